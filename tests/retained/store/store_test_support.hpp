// Valid records and owners, and a dump of everything a store holds, for the
// retained store tests.
#pragma once

#include <string>
#include <tuple>
#include <vector>

#include "retained/model/record_text.hpp"
#include "retained/store/candidate_batch.hpp"
#include "retained/store/prepared_admission.hpp"
#include "runtime/format.hpp"

namespace store_test {

using namespace orvi;

inline paint_record paint(const text& id, std::int32_t red = 10) { return {id, red, 20, 30, 255, 0, 0, 100}; }
inline render_image_record image(const text& id, std::int32_t generation) {
  return {id, "image", generation, 1, 1, 4, "bgra8-hex", "srgb", "straight", "ready", true, "c" + id, "00ff00FF", "s"};
}
inline glyph_alpha_record glyph(char digit) {
  return {"sha256:" + text(64, digit), 1, 1, 1, 1, "a8-unorm-hex", "7f", "s"};
}
inline clip_record clip(const text& id) { return {id, 0, 0, 10, 10, 0}; }
inline transform_record transform(const text& id) { return {id, 0, 0, 100, 100, 0}; }
inline const resource_delta none{"main", {}, {}, {}, {}, {}};
inline const resource_delta every_kind{"main",       {paint("p")}, {image("img", 3)},
                                       {glyph('a')}, {clip("c")},  {transform("t")}};

// Owner `id` at `generation`, one "rect" command per sequence, referencing nothing.
inline owner_fragment fragment(const text& id, std::int32_t generation, const std::vector<std::int32_t>& sequences) {
  owner_fragment f{id, generation, 0, 0, 0, 10, 10, 0, 0, 10, 10, {"k", "k", "k", "k", "k", "s"}, {}, "s"};
  for (std::int32_t s : sequences) {
    render_command_record& c = f.commands.emplace_back();
    c.owner = id, c.sequence = s, c.kind = "rect";
  }
  return f;
}

inline auto fields(const operation_result& r) {
  return std::make_tuple(r.ok, r.revision, r.validations, r.explicitComparisons, r.payloadComparisons, r.message);
}

// Opens the protected fields, so a test can set up or read what no public
// operation reaches directly.
struct open_store : retained_resource_store {
  using retained_resource_store::command_table;
  using retained_resource_store::commands;
  using retained_resource_store::owner_table;
  using retained_resource_store::retained_resource_store;
  using retained_resource_store::store_index;

  // Every row, key and total, and what every key's lookup finds and counts:
  // two equal fingerprints mean nothing observable changed.
  text fingerprint() {
    text out = store_diagnostics_text() + std::to_string(index_probe_total());
    const auto add = [&](const auto&... columns) {
      ((out += "|",
        [&] {
          for (const auto& v : columns) out += length_prefixed_text(to_text(v));
        }()),
       ...);
    };
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(entry_count()); ++r) {
      out += paint_record_text(read_paint_row(r)) + image_record_text(read_image_row(r)) +
             glyph_record_text(read_glyph_row(r)) + clip_record_text(read_clip_row(r)) +
             transform_record_text(read_transform_row(r));
    }
    const owner_columns& o = owner_table;
    const command_columns& m = command_table;
    const store_index_columns& x = store_index;
    add(o.id, o.generation, o.first_sequence, o.last_sequence, o.first_command_row, o.command_count, m.sequence,
        m.owner_row, m.command_text, m.kind, m.resource_id, m.image_generation, m.paint_row, m.image_row, m.glyph_row,
        m.clip_row, m.transform_row, x.heads, x.keys, x.values, x.next, x.chain_lengths, x.chain_positions);
    for (const text& key : x.keys) {
      preflight_result counted;
      out += std::to_string(index_get(counted, key)) + "/" + std::to_string(counted.index_probes) + ";";
    }
    return out;
  }
  static text to_text(const text& v) { return v; }
  static text to_text(std::int64_t v) { return std::to_string(v); }
};

}  // namespace store_test
