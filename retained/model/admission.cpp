#include "retained/model/admission.hpp"

#include <initializer_list>
#include <vector>

#include "runtime/format.hpp"

namespace orvi {

namespace {

bool is_one_of(std::string_view value, std::initializer_list<std::string_view> allowed) {
  for (auto a : allowed) {
    if (value == a) return true;
  }
  return false;
}

// The image's id and the offending value are arguments, never template text.
text image_message(std::string_view templ, const render_image_record& image, const text& value = text()) {
  return format_placeholders(templ, {image.id, value});
}

text fragment_message(std::string_view templ, const owner_fragment& fragment, const text& value = text()) {
  return format_placeholders(templ, {fragment.id, value});
}

constexpr std::int32_t MAX_IMAGE_IDENTITY_BYTES = 64;
constexpr std::int32_t MAX_READY_IMAGE_SIDE = 512;
constexpr std::int32_t MAX_OWNER_ID_BYTES = 128;
constexpr std::int32_t MAX_FRAGMENT_COMMANDS = 4096;
constexpr std::int32_t BOUNDED_COORDINATE = 1000000;

bool within_bytes(const text& s, std::size_t max) { return !s.empty() && s.size() <= max; }

text validate_ready_image(const render_image_record& image) {
  if (!image.resident) return image_message("render image {0} ready state requires resident pixels", image);
  if (image.width < 1 || image.width > MAX_READY_IMAGE_SIDE || image.height < 1 ||
      image.height > MAX_READY_IMAGE_SIDE) {
    return image_message("render image {0} dimensions must be within 1..512", image);
  }
  const std::int64_t expected_size = std::int64_t{image.width} * image.height * 4;
  if (image.sizeBytes != expected_size) {
    return image_message("render image {0} byte size must equal width*height*4 within 1048576 bytes", image);
  }
  if (static_cast<std::int64_t>(image.payload.size()) != std::int64_t{image.sizeBytes} * 2) {
    return image_message("render image {0} BGRA8 hex payload length must equal sizeBytes*2", image);
  }
  if (!is_hex_text(image.payload)) {
    return image_message("render image {0} BGRA8 payload contains a non-hexadecimal byte", image);
  }
  return text();
}

}  // namespace

text validate_render_image(const render_image_record& image) {
  if (!within_bytes(image.id, MAX_IMAGE_IDENTITY_BYTES) ||
      !within_bytes(image.contentIdentity, MAX_IMAGE_IDENTITY_BYTES) || image.source.empty()) {
    return "render image requires id/content identity of at most 64 bytes and a source";
  }
  if (image.kind != "image")
    return image_message("render image {0} requires kind=image, received {1}", image, image.kind);
  if (image.generation <= 0) return image_message("render image {0} requires a positive generation", image);
  if (image.format != "bgra8-hex") {
    return image_message("render image {0} format {1} is unsupported; admitted format is bgra8-hex", image,
                         image.format);
  }
  if (!is_one_of(image.colorSpace, {"srgb", "linear-srgb", "display-p3", "rec2020"})) {
    return image_message(
        "render image {0} colorSpace {1} is unsupported; admitted named SDR spaces are srgb, linear-srgb, "
        "display-p3, and rec2020",
        image, image.colorSpace);
  }
  if (image.alphaMode != "straight") return image_message("render image {0} requires alphaMode=straight", image);
  if (!is_one_of(image.state, {"ready", "loading", "empty", "error"})) {
    return image_message("render image {0} has unsupported state {1}", image, image.state);
  }
  if (image.state == "ready") return validate_ready_image(image);
  if (image.resident || image.sizeBytes != 0 || !image.payload.empty() || image.width < 0 || image.height < 0) {
    return image_message("render image {0} placeholder state requires nonresident empty payload metadata", image);
  }
  return text();
}

text validate_bounded_rect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                           std::string_view label) {
  const auto within = [](std::int32_t v, std::int32_t lo, std::int32_t hi) { return v >= lo && v <= hi; };
  if (within(x, -BOUNDED_COORDINATE, BOUNDED_COORDINATE) && within(y, -BOUNDED_COORDINATE, BOUNDED_COORDINATE) &&
      within(width, 0, BOUNDED_COORDINATE) && within(height, 0, BOUNDED_COORDINATE)) {
    return text();
  }
  return format_placeholders("{0} exceeds bounded retained geometry", {label});
}

text validate_owner_fragment(const owner_fragment& f) {
  if (!within_bytes(f.id, MAX_OWNER_ID_BYTES) || f.source.empty() || f.generation <= 0) {
    return "retained owner fragment requires bounded identity, positive generation, and source";
  }
  text bounds = validate_bounded_rect(f.layoutX, f.layoutY, f.layoutWidth, f.layoutHeight,
                                      fragment_message("fragment {0} layout bounds", f));
  if (!bounds.empty()) return bounds;
  bounds =
      validate_bounded_rect(f.inkX, f.inkY, f.inkWidth, f.inkHeight, fragment_message("fragment {0} ink bounds", f));
  if (!bounds.empty()) return bounds;
  if (f.layoutWidth < 1 || f.layoutHeight < 1 || f.inkWidth < 1 || f.inkHeight < 1) {
    return fragment_message("fragment {0} requires positive layout and ink bounds", f);
  }
  // The bounds checks above keep every sum far inside 32 bits; 64-bit sums keep
  // that true even if those limits ever grow.
  if (f.inkX > f.layoutX || f.inkY > f.layoutY ||
      std::int64_t{f.inkX} + f.inkWidth < std::int64_t{f.layoutX} + f.layoutWidth ||
      std::int64_t{f.inkY} + f.inkHeight < std::int64_t{f.layoutY} + f.layoutHeight) {
    return fragment_message("fragment {0} ink bounds must contain its layout bounds", f);
  }
  const auto& sig = f.dependencySignature;
  for (const text* s : {&sig.signatureText1, &sig.signatureText2, &sig.signatureText3, &sig.signatureText4,
                        &sig.signatureText5, &sig.signatureText6}) {
    if (s->empty()) {
      return fragment_message("fragment {0}: {1}", f,
                              "retained fragment dependency signature requires five nonempty keys and a source");
    }
  }
  if (f.commands.empty() || f.commands.size() > MAX_FRAGMENT_COMMANDS) {
    return fragment_message("fragment {0} requires 1..4096 commands", f);
  }
  const text sub_owner_prefix = fragment_message("{0}.", f);
  std::int32_t transforms = 0;
  std::int32_t clips = 0;
  for (const auto& command : f.commands) {
    if (command.owner != f.id && !starts_with(command.owner, sub_owner_prefix)) {
      return fragment_message("fragment {0} contains foreign command owner {1}", f, command.owner);
    }
    if (command.kind == "transformPush") {
      ++transforms;
    } else if (command.kind == "transformPop") {
      --transforms;
    } else if (command.kind == "clipPush") {
      ++clips;
    } else if (command.kind == "clipPop") {
      --clips;
    }
    if (transforms == -1 || clips == -1)
      return fragment_message("fragment {0} contains an underflowing local stack", f);
  }
  if (transforms != 0 || clips != 0)
    return fragment_message("fragment {0} must balance transform and clip state locally", f);
  return text();
}

}  // namespace orvi
