#include "retained/model/record_text.hpp"

#include <string>
#include <vector>

#include "retained/model/index.hpp"
#include "runtime/format.hpp"

namespace orvi {

namespace {

// Field values go in as placeholder arguments, never as template text, so an
// id holding "{0}" or "|" is written verbatim.
text num(std::int32_t v) { return std::to_string(v); }
text str(const text& s) { return length_prefixed_text(s); }

}  // namespace

text paint_record_text(const paint_record& p) {
  return format_placeholders("paint-v1|{0}|{1}|{2}|{3}|{4}|{5}|{6}|{7}",
                             {str(p.id), num(p.red), num(p.green), num(p.blue), num(p.alpha), num(p.radius),
                              num(p.borderWidth), num(p.opacity)});
}

text image_record_text(const render_image_record& i) {
  return format_placeholders("image-v1|{0}|{1}|{2}|{3}|{4}|{5}|{6}|{7}|{8}|{9}|{10}|{11}|{12}|{13}",
                             {str(i.id), str(i.kind), num(i.generation), num(i.width), num(i.height), num(i.sizeBytes),
                              str(i.format), str(i.colorSpace), str(i.alphaMode), str(i.state),
                              bool_to_text(i.resident), str(i.contentIdentity), str(i.payload), str(i.source)});
}

text glyph_record_text(const glyph_alpha_record& g) {
  return format_placeholders("glyph-v1|{0}|{1}|{2}|{3}|{4}|{5}|{6}|{7}",
                             {str(g.id), num(g.width), num(g.height), num(g.rowBytes), num(g.sizeBytes), str(g.format),
                              str(g.payload), str(g.source)});
}

text clip_record_text(const clip_record& c) {
  return format_placeholders("clip-v1|{0}|{1}|{2}|{3}|{4}|{5}",
                             {str(c.id), num(c.x), num(c.y), num(c.width), num(c.height), num(c.radius)});
}

text transform_record_text(const transform_record& t) {
  return format_placeholders("transform-v1|{0}|{1}|{2}|{3}|{4}|{5}", {str(t.id), num(t.translateX), num(t.translateY),
                                                                      num(t.scaleX), num(t.scaleY), num(t.rotation)});
}

text fragment_record_text(const owner_fragment& f) {
  const auto& sig = f.dependencySignature;
  return format_placeholders(
      "fragment-v1|{0}|{1}|{2}|{3}|{4}|{5}|{6}|{7}|{8}|{9}|{10}|{11}|{12}|{13}|{14}|{15}|{16}|{17}|{18}",
      {str(f.id), num(f.generation), num(f.auxValue), num(f.layoutX), num(f.layoutY), num(f.layoutWidth),
       num(f.layoutHeight), num(f.inkX), num(f.inkY), num(f.inkWidth), num(f.inkHeight), str(sig.signatureText1),
       str(sig.signatureText2), str(sig.signatureText3), str(sig.signatureText4), str(sig.signatureText5),
       str(sig.signatureText6), str(f.source), std::to_string(f.commands.size())});
}

text command_record_text(const render_command_record& c) {
  const auto& av = c.attributeValues;
  const auto& ex = c.extraTexts;
  text head = format_placeholders(
      "command-v1|{0}|{1}|{2}|{3}|{4}|{5}|{6}|{7}|{8}|{9}|{10}|{11}|{12}|{13}|{14}|{15}|{16}|{17}|{18}|{19}",
      {num(c.sequence),
       str(c.owner),
       str(c.kind),
       str(c.attributeText1),
       str(c.attributeText2),
       str(c.resourceId),
       num(c.imageGeneration),
       str(c.paintId),
       str(c.clipId),
       str(c.transformId),
       num(av[0]),
       num(av[1]),
       num(av[2]),
       num(av[3]),
       str(c.extraText1),
       str(c.extraText2),
       str(ex.extraText3),
       str(ex.extraText4),
       str(ex.extraText5),
       str(ex.extraText6)});
  std::vector<text> whole;
  whole.reserve(24);
  whole.push_back(std::move(head));
  for (std::int32_t g : c.geometry) whole.push_back(num(g));
  whole.push_back(bool_to_text(c.geometryFlag));
  whole.push_back("end");
  whole.insert(whole.end(), 3, "1");
  return format_placeholders(
      "{0}|{1}|{2}|{3}|{4}|{5}|{6}|{7}|{8}|{9}|{10}|{11}|{12}|{13}|{14}|{15}|{16}|{17}|{18}|{19}|{20}|{21}|{22}|{23}",
      whole);
}

}  // namespace orvi
