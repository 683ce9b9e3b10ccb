// Valid records and owners, random histories of them, and a dump of everything
// a store holds, for the retained store tests.
#pragma once

#include <map>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"
#include "retained/store/candidate_batch.hpp"
#include "retained/store/retained_resource_store.hpp"
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
inline resource_delta delta(std::vector<paint_record> paints = {}, std::vector<render_image_record> images = {}) {
  return {"main", std::move(paints), std::move(images), {}, {}, {}};
}

inline owner_fragment fragment(const text& id, std::int32_t generation, const std::vector<std::int32_t>& sequences) {
  owner_fragment f{id, generation, 0, 0, 0, 10, 10, 0, 0, 10, 10, {"k", "k", "k", "k", "k", "s"}, {}, "s"};
  for (std::int32_t s : sequences) {
    render_command_record& c = f.commands.emplace_back();
    c.owner = id, c.sequence = s, c.kind = "rect";
  }
  return f;
}
// Commands first .. first + count - 1, referencing nothing yet.
inline owner_fragment owner(const text& id, int generation, int first, int count) {
  std::vector<std::int32_t> sequences(static_cast<std::size_t>(count));
  std::iota(sequences.begin(), sequences.end(), first);
  return fragment(id, generation, sequences);
}

inline auto fields(const operation_result& r) {
  return std::make_tuple(r.ok, r.revision, r.validations, r.explicitComparisons, r.payloadComparisons, r.message);
}

// The diagnostics line with these nine figures, revision to admissions.
inline text diagnostics(const text& surface, const text& state, const std::vector<int>& f) {
  const auto n = [&](int i) { return std::to_string(f[static_cast<std::size_t>(i)]); };
  return "retained-resource-store-v1: surface=" + surface + "; state=" + state + "; revision=" + n(0) +
         "; entries=" + n(1) + "; owners=" + n(2) + "; commands=" + n(3) + "; payload=" + n(4) +
         "; validations=" + n(5) + "; explicit-comparisons=" + n(6) + "; payload-comparisons=" + n(7) +
         "; admissions=" + n(8) + "; rejections=operation-results-only";
}

// Opens the protected fields, so a test can set up or read what no public
// operation reaches directly.
struct open_store : retained_resource_store {
  using retained_resource_store::admissions;
  using retained_resource_store::clip_table;
  using retained_resource_store::command_table;
  using retained_resource_store::commands;
  using retained_resource_store::explicit_comparisons;
  using retained_resource_store::glyph_table;
  using retained_resource_store::image_table;
  using retained_resource_store::owner_table;
  using retained_resource_store::paint_table;
  using retained_resource_store::payload;
  using retained_resource_store::payload_comparisons;
  using retained_resource_store::retained_resource_store;
  using retained_resource_store::revision;
  using retained_resource_store::state;
  using retained_resource_store::store_index;
  using retained_resource_store::surface;
  using retained_resource_store::token;
  using retained_resource_store::transform_table;
  using retained_resource_store::validations;

  template <class... Columns>
  static void add(text& out, const Columns&... columns) {
    const auto one = [&](const auto& column) {
      out += "|";
      for (const auto& v : column) {
        if constexpr (std::is_same_v<std::decay_t<decltype(column)>, std::vector<text>>) {
          out += length_prefixed_text(v);
        } else {
          out += std::to_string(static_cast<long long>(v)) + ";";
        }
      }
    };
    (one(columns), ...);
  }
  // Every row, key and total, and what every key's lookup finds and counts: two
  // equal fingerprints mean nothing observable changed. Without the revision,
  // admission and probe totals, stores fed one history by different paths compare.
  text fingerprint(bool revision_and_probes = true) {
    text out = revision_and_probes ? store_diagnostics_text() + std::to_string(index_probe_total()) : text();
    add(out, std::vector{validation_total(), explicit_comparison_total(), payload_comparison_total(), command_total(),
                         payload_total()});
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
    for (const text& key : x.keys) {
      preflight_result counted;
      out += std::to_string(index_get(counted, key)) + "/" + std::to_string(counted.index_probes) + ";";
    }
    return out;
  }
};

// Random texts reach the separators and multi-byte characters the keys must keep apart.
struct random_records {
  std::mt19937 rng{20261207};
  text str() {
    static const std::vector<text> parts = {"a", "Z", "0", "|", ":", "{0}", "\xC3\xA9", " ", "-"};
    text s;
    for (int n = static_cast<int>(rng() % 6); n > 0; --n) s += parts[rng() % parts.size()];
    return s;
  }
  std::int32_t num() { return static_cast<std::int32_t>(rng()); }
  paint_record paint() { return {str(), num(), num(), num(), num(), num(), num(), num()}; }
  render_image_record image() {
    return {str(), str(), num(), num(), num(), num(), str(), str(), str(), str(), rng() % 2 == 0, str(), str(), str()};
  }
  glyph_alpha_record glyph() { return {str(), num(), num(), num(), num(), str(), str(), str()}; }
  clip_record clip() { return {str(), num(), num(), num(), num(), num()}; }
  transform_record transform() { return {str(), num(), num(), num(), num(), num()}; }
};

// Owner j holds sequences 100j .. 100j + 3. Paint and image contents follow
// from their ids, so every repeated id brings the same resource again.
struct owner_history {
  std::mt19937 rng{20240611};
  std::vector<int> generations;
  int paints = 0;
  std::map<text, int> newest_image;

  int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  // Owner j at its next generation (j = the number of owners binds a new one).
  std::pair<owner_fragment, resource_delta> next(int j) {
    if (j == static_cast<int>(generations.size())) generations.push_back(0);
    owner_fragment f = owner("o" + std::to_string(j), ++generations[static_cast<std::size_t>(j)], 100 * j, 4);
    resource_delta d = delta();
    for (render_command_record& c : f.commands) {
      const int choice = pick(4);
      if (choice == 0 || (choice == 1 && paints > 0)) {
        c.paintId = "p" + std::to_string(choice == 0 ? paints++ : pick(paints));
        d.paints.push_back(paint(c.paintId));
      } else if (choice == 2) {
        c.kind = "image", c.resourceId = "i" + std::to_string(pick(3));
        int& generation = newest_image[c.resourceId];
        const bool fresh = generation == 0 || pick(2) == 0;
        if (fresh) ++generation;
        if (fresh || pick(2) == 0) d.images.push_back(image(c.resourceId, generation));
        c.imageGeneration = generation;
      }
    }
    return {f, d};
  }
};

}  // namespace store_test
