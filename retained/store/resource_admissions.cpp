// Resource admissions (placeholder until built: every resource is refused).
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

bool retained_resource_store::admit_paint(preflight_result&, staging_state&, const paint_record&) { return false; }
bool retained_resource_store::admit_image(preflight_result&, staging_state&, const render_image_record&) {
  return false;
}
bool retained_resource_store::admit_glyph_alpha(preflight_result&, staging_state&, const glyph_alpha_record&) {
  return false;
}
bool retained_resource_store::admit_clip(preflight_result&, staging_state&, const clip_record&) { return false; }
bool retained_resource_store::admit_transform(preflight_result&, staging_state&, const transform_record&) {
  return false;
}

}  // namespace orvi
