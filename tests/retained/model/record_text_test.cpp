#include "retained/model/record_text.hpp"

#include <gtest/gtest.h>

#include <climits>

namespace orvi {

// Every field distinct in the fragment and the last command, so that each shows
// in its own place.
TEST(RecordText, LiteralExamples) {
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {paint_record_text({"bg", 255, 0, 0, 255, 4, 0, 100}), "paint-v1|2:bg|255|0|0|255|4|0|100"},
      {clip_record_text({"c1", -10, 0, 100, 50, 0}), "clip-v1|2:c1|-10|0|100|50|0"},
      {transform_record_text({"t", 5, -5, 100, 100, -90000}), "transform-v1|1:t|5|-5|100|100|-90000"},
      {image_record_text({"img", "image", 1, 0, 0, 0, "bgra8-hex", "srgb", "straight", "loading", false, "c", "", "s"}),
       "image-v1|3:img|5:image|1|0|0|0|9:bgra8-hex|4:srgb|8:straight|7:loading|false|1:c|0:|1:s"},
      {glyph_record_text({"g", 1, 2, 1, 2, "a8-unorm-hex", "ff00", "s"}),
       "glyph-v1|1:g|1|2|1|2|12:a8-unorm-hex|4:ff00|1:s"},
      {command_record_text({}),
       "command-v1|0|0:|0:|0:|0:|0:|0|0:|0:|0:|0|0|0|0|0:|0:|0:|0:|0:|0:|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|false|end|"
       "1|1|1"},
      {fragment_record_text({"f", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, {"a", "b", "c", "d", "e", "g"}, {{}, {}, {}}, "s"}),
       "fragment-v1|1:f|1|2|3|4|5|6|7|8|9|10|1:a|1:b|1:c|1:d|1:e|1:g|1:s|3"},
      {command_record_text({1, "o", "k", "a", "b", "r", 2, "p", "c", "t", {3, 4, 5, 6}, "x", "y", {"e", "f", "g", "h"},
                            {7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}, true}),
       "command-v1|1|1:o|1:k|1:a|1:b|1:r|2|1:p|1:c|1:t|3|4|5|6|1:x|1:y|1:e|1:f|1:g|1:h|7|8|9|10|11|12|13|14|15|16|17|"
       "18|19|20|21|22|23|24|true|end|1|1|1"},
      // Field bytes are never read as a template, and lengths count bytes.
      {clip_record_text({"a|{0}\xC3\xA9", INT_MIN, INT_MAX, 0, 0, 0}),
       "clip-v1|7:a|{0}\xC3\xA9|-2147483648|2147483647|0|0|0"},
  };
  // clang-format on
  for (const auto& [actual, expected] : rows) EXPECT_EQ(actual, expected);
}

// Every field of a record, in declaration order.
auto fields(paint_record& r) {
  return std::tie(r.id, r.red, r.green, r.blue, r.alpha, r.radius, r.borderWidth, r.opacity);
}
auto fields(render_image_record& r) {
  return std::tie(r.id, r.kind, r.generation, r.width, r.height, r.sizeBytes, r.format, r.colorSpace, r.alphaMode,
                  r.state, r.resident, r.contentIdentity, r.payload, r.source);
}
auto fields(glyph_alpha_record& r) {
  return std::tie(r.id, r.width, r.height, r.rowBytes, r.sizeBytes, r.format, r.payload, r.source);
}
auto fields(clip_record& r) { return std::tie(r.id, r.x, r.y, r.width, r.height, r.radius); }
auto fields(transform_record& r) { return std::tie(r.id, r.translateX, r.translateY, r.scaleX, r.scaleY, r.rotation); }

text changed(const text& s) { return s + "|"; }
std::int32_t changed(std::int32_t v) { return v + 1; }
bool changed(bool b) { return !b; }

// A copy with any one field changed has another text and is unequal; the
// unchanged copy (the last round) has the same text and is equal.
template <class R>
void texts_identify_records(text (*text_of)(const R&), bool (*equal)(const R&, const R&)) {
  R a;
  constexpr std::size_t count = std::tuple_size_v<decltype(fields(a))>;
  for (std::size_t k = 0; k <= count; ++k) {
    R b = a;
    std::size_t i = 0;
    std::apply([&](auto&... f) { ((f = i++ == k ? changed(f) : f), ...); }, fields(b));
    EXPECT_EQ(text_of(a) == text_of(b), k == count) << text_of(b);
    EXPECT_EQ(equal(a, b), k == count) << text_of(b);
  }
}

TEST(RecordText, EqualTextsExactlyWhenRecordsAreEqual) {
  texts_identify_records(paint_record_text, paints_equal);
  texts_identify_records(image_record_text, images_equal);
  texts_identify_records(glyph_record_text, glyphs_equal);
  texts_identify_records(clip_record_text, clips_equal);
  texts_identify_records(transform_record_text, transforms_equal);
}

}  // namespace orvi
