#include "retained/model/record_text.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace orvi {
namespace {

TEST(RecordText, LiteralExamples) {
  owner_fragment frag;
  frag.commands.resize(3);
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
      {fragment_record_text(frag), "fragment-v1|0:|0|0|0|0|0|0|0|0|0|0|0:|0:|0:|0:|0:|0:|0:|3"},
      // Field bytes are never read as a template, and lengths count bytes.
      {clip_record_text({"a|{0}\xC3\xA9", INT_MIN, INT_MAX, 0, 0, 0}),
       "clip-v1|7:a|{0}\xC3\xA9|-2147483648|2147483647|0|0|0"},
  };
  for (const auto& [actual, expected] : rows) EXPECT_EQ(actual, expected);
}

// Visits every field of a record in declaration order.
void each_field(paint_record& r, auto&& f) {
  f(r.id), f(r.red), f(r.green), f(r.blue), f(r.alpha), f(r.radius), f(r.borderWidth), f(r.opacity);
}
void each_field(render_image_record& r, auto&& f) {
  f(r.id), f(r.kind), f(r.generation), f(r.width), f(r.height), f(r.sizeBytes), f(r.format), f(r.colorSpace);
  f(r.alphaMode), f(r.state), f(r.resident), f(r.contentIdentity), f(r.payload), f(r.source);
}
void each_field(glyph_alpha_record& r, auto&& f) {
  f(r.id), f(r.width), f(r.height), f(r.rowBytes), f(r.sizeBytes), f(r.format), f(r.payload), f(r.source);
}
void each_field(clip_record& r, auto&& f) { f(r.id), f(r.x), f(r.y), f(r.width), f(r.height), f(r.radius); }
void each_field(transform_record& r, auto&& f) {
  f(r.id), f(r.translateX), f(r.translateY), f(r.scaleX), f(r.scaleY), f(r.rotation);
}
void each_field(render_command_record& r, auto&& f) {
  f(r.sequence), f(r.owner), f(r.kind), f(r.attributeText1), f(r.attributeText2), f(r.resourceId);
  f(r.imageGeneration), f(r.paintId), f(r.clipId), f(r.transformId);
  for (auto& v : r.attributeValues) f(v);
  f(r.extraText1), f(r.extraText2), f(r.extraTexts.extraText3), f(r.extraTexts.extraText4);
  f(r.extraTexts.extraText5), f(r.extraTexts.extraText6);
  for (auto& g : r.geometry) f(g);
  f(r.geometryFlag);
}
void each_field(owner_fragment& r, auto&& f) {
  auto& sig = r.dependencySignature;
  f(r.id), f(r.generation), f(r.auxValue), f(r.layoutX), f(r.layoutY), f(r.layoutWidth), f(r.layoutHeight);
  f(r.inkX), f(r.inkY), f(r.inkWidth), f(r.inkHeight), f(sig.signatureText1), f(sig.signatureText2);
  f(sig.signatureText3), f(sig.signatureText4), f(sig.signatureText5), f(sig.signatureText6), f(r.commands);
  f(r.source);
}

// Small pools, so that changes to the same value and misleading concatenations are common.
struct random_field {
  std::mt19937& rng;
  void operator()(text& s) {
    static const char* pieces[] = {"a", "|", ":", "{", "}", "{0}", "1", "0:", "\xC3\xA9", "-", "|1:"};
    s.clear();
    for (auto n = rng() % 4; n > 0; --n) s += pieces[rng() % std::size(pieces)];
  }
  void operator()(std::int32_t& v) {
    static const std::int32_t pool[] = {0, 1, -1, 10, INT_MIN, INT_MAX};
    v = rng() % 4 ? pool[rng() % std::size(pool)] : static_cast<std::int32_t>(rng());
  }
  void operator()(bool& b) { b = rng() % 2; }
  void operator()(std::vector<render_command_record>& commands) {
    commands.resize(rng() % 3);
    for (auto& c : commands) each_field(c, *this);
  }
};

// A fragment's text covers its commands through their number only.
bool same(const std::vector<render_command_record>& a, const std::vector<render_command_record>& b) {
  return a.size() == b.size();
}
bool same(const auto& a, const auto& b) { return a == b; }

// Changes up to three fields of a copy; the texts, and the equality operation
// where there is one, must then be equal exactly when no field changed.
template <class R>
void texts_identify_records(text (*text_of)(const R&), bool (*equal)(const R&, const R&) = nullptr) {
  std::mt19937 rng(20240611);
  random_field fill{rng};
  int fields = 0;
  R a;
  each_field(a, [&](auto&) { ++fields; });
  for (int round = 0; round < 3000; ++round) {
    each_field(a, fill);
    R b = a;
    bool changed = false;
    int picks[3] = {-1, -1, -1};
    for (auto n = rng() % 4; n > 0; --n) picks[n - 1] = static_cast<int>(rng() % fields);
    int index = 0;
    each_field(b, [&](auto& field) {
      if (std::find(std::begin(picks), std::end(picks), index++) == std::end(picks)) return;
      const auto before = field;
      fill(field);
      changed = changed || !same(before, field);
    });
    ASSERT_EQ(text_of(a) == text_of(b), !changed) << text_of(a) << "\n" << text_of(b);
    if (equal) {
      ASSERT_EQ(equal(a, b), !changed) << text_of(a);
    }
  }
}

TEST(RecordText, EqualTextsExactlyWhenRecordsAreEqual) {
  texts_identify_records(paint_record_text, paints_equal);
  texts_identify_records(image_record_text, images_equal);
  texts_identify_records(glyph_record_text, glyphs_equal);
  texts_identify_records(clip_record_text, clips_equal);
  texts_identify_records(transform_record_text, transforms_equal);
  texts_identify_records(command_record_text);
  texts_identify_records(fragment_record_text);
}

}  // namespace
}  // namespace orvi
