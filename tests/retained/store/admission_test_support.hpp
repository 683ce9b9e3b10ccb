// Valid records, fragments and a whole-store fingerprint for the admission tests.
#pragma once

#include <string>
#include <type_traits>
#include <vector>

#include "retained/store/retained_resource_store.hpp"
#include "runtime/format.hpp"
#include "store_test_support.hpp"

namespace admission_test {

using namespace orvi;

inline paint_record paint(const text& id, std::int32_t red = 10) { return {id, red, 20, 30, 255, 0, 0, 100}; }
inline render_image_record image(const text& id, std::int32_t generation) {
  return {id, "image", generation, 1, 1, 4, "bgra8-hex", "srgb", "straight", "ready", true, "c", "00ff00FF", "s"};
}
inline glyph_alpha_record glyph(char digit) {
  return {"sha256:" + text(64, digit), 1, 1, 1, 1, "a8-unorm-hex", "7f", "s"};
}
inline clip_record clip(const text& id) { return {id, 0, 0, 10, 10, 0}; }
inline transform_record transform(const text& id) { return {id, 0, 0, 100, 100, 0}; }
inline const resource_delta none{"main", {}, {}, {}, {}, {}};

inline render_command_record command(const text& owner, std::int32_t sequence) {
  render_command_record c;
  c.owner = owner, c.sequence = sequence, c.kind = "rect";
  return c;
}

inline owner_fragment fragment(const text& id, std::int32_t generation, const std::vector<std::int32_t>& sequences) {
  owner_fragment f{id, generation, 0, 0, 0, 10, 10, 0, 0, 10, 10, {"k", "k", "k", "k", "k", "s"}, {}, "s"};
  for (std::int32_t s : sequences) f.commands.push_back(command(id, s));
  return f;
}

// Every field of the store, the index heads and the diagnostics line in one
// text: two equal fingerprints mean nothing observable changed.
struct fingerprint_store : store_test::open_store {
  using open_store::open_store;
  template <class... Columns>
  static void add(text& out, const Columns&... columns) {
    const auto one = [&](const auto& column) {
      out += "|";
      for (const auto& v : column) {
        if constexpr (std::is_same_v<std::decay_t<decltype(column)>, std::vector<text>>) {
          out += std::to_string(v.size()) + ":" + v + ";";
        } else {
          out += std::to_string(static_cast<long long>(v)) + ";";
        }
      }
    };
    (one(columns), ...);
  }
  text fingerprint() {
    text out = store_diagnostics_text() + std::to_string(index_probe_total());
    const paint_columns& p = paint_table;
    const image_columns& i = image_table;
    const glyph_columns& g = glyph_table;
    const clip_columns& c = clip_table;
    const transform_columns& t = transform_table;
    const owner_columns& o = owner_table;
    const command_columns& m = command_table;
    const store_index_columns& x = store_index;
    add(out, p.id, p.red, p.green, p.blue, p.alpha, p.radius, p.border_width, p.opacity, i.id, i.kind, i.generation,
        i.width, i.height, i.size_bytes, i.format, i.color_space, i.alpha_mode, i.state, i.resident, i.content_identity,
        i.payload, i.source, g.id, g.width, g.height, g.row_bytes, g.size_bytes, g.format, g.payload, g.source, c.id,
        c.x, c.y, c.width, c.height, c.radius, t.id, t.translate_x, t.translate_y, t.scale_x, t.scale_y, t.rotation,
        o.id, o.generation, o.first_sequence, o.last_sequence, o.first_command_row, o.command_count, m.sequence,
        m.owner_row, m.command_text, m.kind, m.resource_id, m.image_generation, m.paint_row, m.image_row, m.glyph_row,
        m.clip_row, m.transform_row, x.heads, x.keys, x.values, x.next, x.chain_lengths, x.chain_positions);
    for (const text& key : x.keys) {  // what every key's lookup finds and counts
      preflight_result counted;
      out += std::to_string(index_get(counted, key)) + "/" + std::to_string(counted.index_probes) + ";";
    }
    return out;
  }
};

}  // namespace admission_test
