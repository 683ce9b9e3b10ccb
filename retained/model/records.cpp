#include "retained/model/records.hpp"

namespace orvi {

bool paints_equal(const paint_record& a, const paint_record& b) {
  return a.id == b.id && a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha &&
         a.radius == b.radius && a.borderWidth == b.borderWidth && a.opacity == b.opacity;
}

bool images_equal(const render_image_record& a, const render_image_record& b) {
  return a.id == b.id && a.kind == b.kind && a.generation == b.generation && a.width == b.width &&
         a.height == b.height && a.sizeBytes == b.sizeBytes && a.format == b.format && a.colorSpace == b.colorSpace &&
         a.alphaMode == b.alphaMode && a.state == b.state && a.resident == b.resident &&
         a.contentIdentity == b.contentIdentity && a.payload == b.payload && a.source == b.source;
}

bool glyphs_equal(const glyph_alpha_record& a, const glyph_alpha_record& b) {
  return a.id == b.id && a.width == b.width && a.height == b.height && a.rowBytes == b.rowBytes &&
         a.sizeBytes == b.sizeBytes && a.format == b.format && a.payload == b.payload && a.source == b.source;
}

bool clips_equal(const clip_record& a, const clip_record& b) {
  return a.id == b.id && a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height && a.radius == b.radius;
}

bool transforms_equal(const transform_record& a, const transform_record& b) {
  return a.id == b.id && a.translateX == b.translateX && a.translateY == b.translateY && a.scaleX == b.scaleX &&
         a.scaleY == b.scaleY && a.rotation == b.rotation;
}

std::int32_t count_delta_entries(const resource_delta& delta) {
  // Unsigned, so a count past 2^31 wraps instead of overflowing.
  const std::uint32_t total =
      static_cast<std::uint32_t>(delta.paints.size()) + static_cast<std::uint32_t>(delta.images.size()) +
      static_cast<std::uint32_t>(delta.glyphs.size()) + static_cast<std::uint32_t>(delta.clips.size()) +
      static_cast<std::uint32_t>(delta.transforms.size());
  return static_cast<std::int32_t>(total);
}

operation_result make_operation_result(bool ok, std::uint32_t revision, std::uint32_t validations,
                                       std::uint32_t explicitComparisons, std::uint32_t payloadComparisons,
                                       std::string_view message) {
  return operation_result{ok, revision, validations, explicitComparisons, payloadComparisons, text(message)};
}

}  // namespace orvi
