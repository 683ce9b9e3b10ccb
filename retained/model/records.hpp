// The plain value records of the retained resource model: five resource kinds,
// the render command, the owner fragment with its resource delta, and the
// result of a store operation. Fields are in declaration order, which is also
// the order of comparison and of the canonical texts.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/text.hpp"

namespace orvi {

// A solid paint.
struct paint_record {
  text id;
  std::int32_t red = 0;
  std::int32_t green = 0;
  std::int32_t blue = 0;
  std::int32_t alpha = 0;
  std::int32_t radius = 0;
  std::int32_t borderWidth = 0;
  std::int32_t opacity = 0;
};

// One generation of one render image.
struct render_image_record {
  text id;
  text kind;
  std::int32_t generation = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t sizeBytes = 0;
  text format;
  text colorSpace;
  text alphaMode;
  text state;
  bool resident = false;
  text contentIdentity;
  text payload;
  text source;
};

// An 8-bit alpha mask identified by its content.
struct glyph_alpha_record {
  text id;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t rowBytes = 0;
  std::int32_t sizeBytes = 0;
  text format;
  text payload;
  text source;
};

// A rounded clip rectangle.
struct clip_record {
  text id;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t radius = 0;
};

// A 2-D transform.
struct transform_record {
  text id;
  std::int32_t translateX = 0;
  std::int32_t translateY = 0;
  std::int32_t scaleX = 0;
  std::int32_t scaleY = 0;
  std::int32_t rotation = 0;
};

// The four trailing texts of a render command, carried unchanged.
struct command_extra_texts {
  text extraText3;
  text extraText4;
  text extraText5;
  text extraText6;
};

// One drawing command of an owner fragment.
struct render_command_record {
  std::int32_t sequence = 0;
  text owner;
  text kind;
  text attributeText1;
  text attributeText2;
  text resourceId;
  std::int32_t imageGeneration = 0;
  text paintId;
  text clipId;
  text transformId;
  std::array<std::int32_t, 4> attributeValues{};
  text extraText1;
  text extraText2;
  command_extra_texts extraTexts;
  std::array<std::int32_t, 18> geometry{};
  bool geometryFlag = false;
};

// Five keys and a source; all six are treated alike.
struct fragment_dependency_signature {
  text signatureText1;
  text signatureText2;
  text signatureText3;
  text signatureText4;
  text signatureText5;
  text signatureText6;
};

// The drawing of one owner at one generation.
struct owner_fragment {
  text id;
  std::int32_t generation = 0;
  std::int32_t auxValue = 0;
  std::int32_t layoutX = 0;
  std::int32_t layoutY = 0;
  std::int32_t layoutWidth = 0;
  std::int32_t layoutHeight = 0;
  std::int32_t inkX = 0;
  std::int32_t inkY = 0;
  std::int32_t inkWidth = 0;
  std::int32_t inkHeight = 0;
  fragment_dependency_signature dependencySignature;
  std::vector<render_command_record> commands;
  text source;
};

// The resources that come with one fragment.
struct resource_delta {
  text surface;
  std::vector<paint_record> paints;
  std::vector<render_image_record> images;
  std::vector<glyph_alpha_record> glyphs;
  std::vector<clip_record> clips;
  std::vector<transform_record> transforms;
};

// The outcome of one retained store operation.
struct operation_result {
  bool ok = false;
  std::uint32_t revision = 0;
  std::uint32_t validations = 0;
  std::uint32_t explicitComparisons = 0;
  std::uint32_t payloadComparisons = 0;
  text message;
};

// True when every field is equal; they count nothing themselves.
bool paints_equal(const paint_record& a, const paint_record& b);
bool images_equal(const render_image_record& a, const render_image_record& b);
bool glyphs_equal(const glyph_alpha_record& a, const glyph_alpha_record& b);
bool clips_equal(const clip_record& a, const clip_record& b);
bool transforms_equal(const transform_record& a, const transform_record& b);

// Number of resources in the five lists, modulo 2^32; the surface does not count.
std::int32_t count_delta_entries(const resource_delta& delta);

operation_result make_operation_result(bool ok, std::uint32_t revision, std::uint32_t validations,
                                       std::uint32_t explicitComparisons, std::uint32_t payloadComparisons,
                                       std::string_view message);

}  // namespace orvi
