// Admission rules of the retained model: pure checks that answer the empty
// text when the input passes, otherwise the message of the first failing rule.
#pragma once

#include <cstdint>
#include <string_view>

#include "retained/model/records.hpp"

namespace orvi {

text validate_render_image(const render_image_record& image);

// Empty when the rectangle lies within the bounded retained geometry, else
// "<label> exceeds bounded retained geometry".
text validate_bounded_rect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                           std::string_view label);

text validate_owner_fragment(const owner_fragment& fragment);

}  // namespace orvi
