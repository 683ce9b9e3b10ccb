#include "retained/model/admission.hpp"

#include <gtest/gtest.h>

#include <climits>

namespace orvi {

template <class R>
using rows_of = std::vector<std::pair<void (*)(R&), text>>;

// Row i of `ordered` breaks its own rule and every later rule (rows with the
// same message are alternatives of one rule; its own change is made last): the
// first broken rule must decide. Each row of `alone` is applied by itself.
template <class R>
void check_rules(text (*validate)(const R&), const R& valid, const rows_of<R>& ordered, const rows_of<R>& alone) {
  EXPECT_EQ(validate(valid), "");
  for (std::size_t i = 0; i < ordered.size() + alone.size(); ++i) {
    R r = valid;
    if (i >= ordered.size()) alone[i - ordered.size()].first(r);
    for (std::size_t j = ordered.size(); j-- > i;) {
      if (j == i || ordered[j].second != ordered[i].second) ordered[j].first(r);
    }
    EXPECT_EQ(validate(r), i < ordered.size() ? ordered[i].second : alone[i - ordered.size()].second) << "row " << i;
  }
}

using image = render_image_record;
const text rule1 = "render image requires id/content identity of at most 64 bytes and a source";
const text p = "render image i{1} ", dims = p + "dimensions must be within 1..512";
const text rule9 = p + "placeholder state requires nonresident empty payload metadata";
void loading(image& r) { r.state = "loading", r.resident = false, r.sizeBytes = 0, r.payload = "", r.width = 300; }

TEST(ImageAdmission, Rules) {
  // clang-format off
  check_rules<image>(
      validate_render_image,
      {"i{1}", "image", 1, 1, 1, 4, "bgra8-hex", "srgb", "straight", "ready", true, "c", "00ff00FF", "s"},
      {{[](auto& r) { r.id.assign(65, 'x'); }, rule1}, {[](auto& r) { r.contentIdentity = ""; }, rule1},
       {[](auto& r) { r.source = ""; }, rule1},
       {[](auto& r) { r.kind = "Image"; }, p + "requires kind=image, received Image"},
       {[](auto& r) { r.generation = 0; }, p + "requires a positive generation"},
       {[](auto& r) { r.format = "{0}"; }, p + "format {0} is unsupported; admitted format is bgra8-hex"},
       {[](auto& r) { r.colorSpace = "SRGB"; },
        p + "colorSpace SRGB is unsupported; admitted named SDR spaces are srgb, linear-srgb, display-p3, and rec2020"},
       {[](auto& r) { r.alphaMode = ""; }, p + "requires alphaMode=straight"},
       {[](auto& r) { r.state = "Ready"; }, p + "has unsupported state Ready"},
       {[](auto& r) { r.resident = false; }, p + "ready state requires resident pixels"},
       {[](auto& r) { r.width = 513; }, dims}, {[](auto& r) { r.height = INT_MAX; }, dims},
       {[](auto& r) { r.sizeBytes = INT_MIN; }, p + "byte size must equal width*height*4 within 1048576 bytes"},
       {[](auto& r) { r.payload += "00"; }, p + "BGRA8 hex payload length must equal sizeBytes*2"},
       {[](auto& r) { r.payload[7] = 'g'; }, p + "BGRA8 payload contains a non-hexadecimal byte"}},
      {{[](auto& r) { r.id.assign(64, 'x'), r.contentIdentity.assign(64, 'c'); }, ""},
       {[](auto& r) { r.contentIdentity.assign(65, 'c'); }, rule1}, {[](auto& r) { r.id = ""; }, rule1},
       {[](auto& r) { r.colorSpace = "linear-srgb"; }, ""}, {[](auto& r) { r.colorSpace = "display-p3"; }, ""},
       {[](auto& r) { r.colorSpace = "rec2020"; }, ""},
       {[](auto& r) { r.height = r.sizeBytes = 0, r.payload = ""; }, dims},
       {[](auto& r) { r.width = r.height = 512, r.sizeBytes = 1048576, r.payload.assign(2097152, 'f'); }, ""},
       {[](auto& r) { loading(r), r.height = 300; }, ""}, {[](auto& r) { loading(r), r.state = "error"; }, ""},
       {[](auto& r) { loading(r), r.state = "empty", r.width = r.height = 0; }, ""},
       {[](auto& r) { loading(r), r.resident = true; }, rule9}, {[](auto& r) { loading(r), r.sizeBytes = 4; }, rule9},
       {[](auto& r) { loading(r), r.payload = "0"; }, rule9}, {[](auto& r) { loading(r), r.width = -1; }, rule9},
       {[](auto& r) { loading(r), r.height = INT_MIN; }, rule9}});
  // clang-format on
}

using fragment = owner_fragment;
const text f1 = "retained owner fragment requires bounded identity, positive generation, and source";
const text q = "fragment c{1} ", contain = q + "ink bounds must contain its layout bounds",
           ink = q + "ink bounds exceeds bounded retained geometry",
           positive = q + "requires positive layout and ink bounds", commands = q + "requires 1..4096 commands",
           signature = "fragment c{1}: retained fragment dependency signature requires five nonempty keys and a source",
           balance = q + "must balance transform and clip state locally";

// Bounds reach 1000000 either way, sizes 0 (the fragment then asks for 1).
fragment card() {
  fragment f{"c{1}", 1, 0, 10, 10, 80, 80, 0, 0, 100, 100, {"s", "s", "s", "s", "s", "s"}, {}, "src"};
  for (auto [owner, kind] : {std::pair{"c{1}", "transformPush"}, {"c{1}.title", "clipPush"}, {"c{1}.", "clipPop"}}) {
    f.commands.emplace_back().owner = owner;
    f.commands.back().kind = kind;
  }
  f.commands.emplace_back(f.commands[0]).kind = "transformPop";
  return f;
}

TEST(FragmentAdmission, Rules) {
  // clang-format off
  check_rules<fragment>(
      validate_owner_fragment, card(),
      {{[](auto& f) { f.id.assign(129, 'c'); }, f1}, {[](auto& f) { f.source = ""; }, f1},
       {[](auto& f) { f.generation = 0; }, f1},
       {[](auto& f) { f.layoutX = 1000001; }, q + "layout bounds exceeds bounded retained geometry"},
       {[](auto& f) { f.inkHeight = -1; }, ink}, {[](auto& f) { f.inkWidth = 1000001; }, ink},
       {[](auto& f) { f.layoutWidth = 0; }, positive}, {[](auto& f) { f.inkHeight = 0; }, positive},
       {[](auto& f) { f.layoutWidth = 95; }, contain},
       {[](auto& f) { f.dependencySignature.signatureText4 = ""; }, signature},
       {[](auto& f) { f.commands.clear(); }, commands},
       {[](auto& f) { f.commands.resize(4097, f.commands[2]); }, commands},
       {[](auto& f) { f.commands[0].owner = "c{1}x"; }, q + "contains foreign command owner c{1}x"},
       {[](auto& f) { f.commands[1].kind = "transformPush"; }, q + "contains an underflowing local stack"},
       {[](auto& f) { f.commands.pop_back(); }, balance}},
      {{[](auto& f) { f.id.assign(128, 'c'), f.commands.assign(4096, {}), f.commands[0].owner = "x"; },
        "fragment " + text(128, 'c') + " contains foreign command owner x"},
       {[](auto& f) { f.layoutX = f.layoutY = f.inkX = f.inkY = -1000000, f.layoutWidth = f.inkWidth = 1000000; }, ""},
       {[](auto& f) { f.layoutX = f.inkX = f.layoutWidth = f.inkWidth = 1000000; }, ""},
       {[](auto& f) { f.layoutY = f.inkY = f.layoutHeight = f.inkHeight = 1000000; }, ""},
       {[](auto& f) { f.inkX = f.inkWidth = 1000000, f.inkY = INT_MAX; }, ink},
       {[](auto& f) { f.layoutX = f.layoutY = f.inkX = f.inkY = 10, f.layoutWidth = f.layoutHeight = 1; }, ""},
       {[](auto& f) { f.layoutHeight = 95; }, contain}, {[](auto& f) { f.inkX = 11; }, contain},
       {[](auto& f) { f.inkY = 11; }, contain},
       {[](auto& f) { f.commands[0].kind = "transformPop"; }, q + "contains an underflowing local stack"},
       {[](auto& f) { f.id = ""; }, f1}, {[](auto& f) { f.inkX = -1000001; }, ink},
       {[](auto& f) { f.inkY = -1000001; }, ink}, {[](auto& f) { f.inkWidth = -1; }, ink},
       {[](auto& f) { f.inkHeight = 1000001; }, ink}, {[](auto& f) { f.layoutHeight = 0; }, positive},
       {[](auto& f) { f.dependencySignature.signatureText1 = ""; }, signature},
       {[](auto& f) { f.dependencySignature.signatureText6 = ""; }, signature},
       {[](auto& f) { f.commands.erase(f.commands.begin() + 2); }, balance},
       {[](auto& f) { std::swap(f.commands[0], f.commands[3]); }, q + "contains an underflowing local stack"}});
  // clang-format on
}

}  // namespace orvi
