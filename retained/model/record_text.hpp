// Canonical one-line texts that identify a retained record's whole content.
// Two records of one kind have the same text exactly when all their fields are
// equal; a fragment's text covers its own fields and its command count only.
#pragma once

#include "retained/model/records.hpp"

namespace orvi {

text paint_record_text(const paint_record& paint);
text image_record_text(const render_image_record& image);
text glyph_record_text(const glyph_alpha_record& glyph);
text clip_record_text(const clip_record& clip);
text transform_record_text(const transform_record& transform);
text fragment_record_text(const owner_fragment& fragment);
text command_record_text(const render_command_record& command);

}  // namespace orvi
