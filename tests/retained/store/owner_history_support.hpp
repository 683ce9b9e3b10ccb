// Valid owners and deltas, random histories of them, and a dump of everything a
// store holds, for comparing two stores fed the same history.
#pragma once

#include <map>
#include <tuple>
#include <type_traits>
#include <utility>

#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"
#include "retained/store/candidate_batch.hpp"
#include "tests/retained/store/store_test_support.hpp"

namespace store_test {

using namespace orvi;

inline paint_record paint(const text& id, int opacity = 100) { return {id, 10, 20, 30, 255, 0, 0, opacity}; }

inline render_image_record ready_image(const text& id, int generation) {
  return {id, "image", generation, 1, 1, 4, "bgra8-hex", "srgb", "straight", "ready", true, "c" + id, "00ff00FF", "s"};
}

// Commands first .. first + count - 1, referencing nothing yet.
inline owner_fragment owner(const text& id, int generation, int first, int count) {
  owner_fragment f{id, generation, 0, 0, 0, 10, 10, 0, 0, 10, 10, {"k1", "k2", "k3", "k4", "k5", "src"}, {}, "test"};
  for (int i = 0; i < count; ++i) {
    render_command_record c;
    c.sequence = first + i, c.owner = id, c.kind = "rect", c.geometry[0] = i;
    f.commands.push_back(c);
  }
  return f;
}

inline auto fields(const operation_result& r) {
  return std::make_tuple(r.ok, r.revision, r.validations, r.explicitComparisons, r.payloadComparisons, r.message);
}

inline resource_delta delta(std::vector<paint_record> paints = {}, std::vector<render_image_record> images = {}) {
  return {"main", std::move(paints), std::move(images), {}, {}, {}};
}

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
    owner_fragment f = owner("o" + std::to_string(j), ++generations[j], 100 * j, 4);
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
        if (fresh || pick(2) == 0) d.images.push_back(ready_image(c.resourceId, generation));
        c.imageGeneration = generation;
      }
    }
    return {f, d};
  }
};

template <class T>
void put_column(text& out, const std::vector<T>& column) {
  out += "\n";
  for (const T& v : column) {
    if constexpr (std::is_same_v<T, text>) {
      out += length_prefixed_text(v);
    } else {
      out += std::to_string(v) + ",";
    }
  }
}

// Every row, key and total but the revision, the admission total and the index probe total.
inline text rows_and_keys(open_store& s) {
  text out = std::to_string(s.validation_total()) + "/" + std::to_string(s.explicit_comparison_total()) + "/" +
             std::to_string(s.payload_comparison_total()) + "/" + std::to_string(s.command_total()) + "/" +
             std::to_string(s.payload_total());
  for (int i = 0; i < static_cast<int>(s.paint_count()); ++i) out += paint_record_text(s.read_paint_row(i));
  for (int i = 0; i < static_cast<int>(s.image_count()); ++i) out += image_record_text(s.read_image_row(i));
  const auto put = [&](const auto&... columns) { (put_column(out, columns), ...); };
  const owner_columns& o = s.owner_table;
  put(o.id, o.generation, o.first_sequence, o.last_sequence, o.first_command_row, o.command_count);
  const command_columns& c = s.command_table;
  put(c.sequence, c.owner_row, c.command_text, c.kind, c.resource_id, c.image_generation, c.paint_row, c.image_row,
      c.glyph_row, c.clip_row, c.transform_row);
  put(s.store_index.keys, s.store_index.values, s.store_index.next);  // the heads follow from these
  return out;
}

}  // namespace store_test
