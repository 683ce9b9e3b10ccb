// Helpers shared by the retained store tests.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "retained/store/retained_resource_store.hpp"

namespace store_test {

using orvi::retained_resource_store;
using orvi::text;

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
};

// The diagnostics line with these nine figures, revision to admissions.
inline text diagnostics(const text& surface, const text& state, const std::vector<int>& f) {
  const auto n = [&](int i) { return std::to_string(f[static_cast<std::size_t>(i)]); };
  return "retained-resource-store-v1: surface=" + surface + "; state=" + state + "; revision=" + n(0) +
         "; entries=" + n(1) + "; owners=" + n(2) + "; commands=" + n(3) + "; payload=" + n(4) +
         "; validations=" + n(5) + "; explicit-comparisons=" + n(6) + "; payload-comparisons=" + n(7) +
         "; admissions=" + n(8) + "; rejections=operation-results-only";
}

inline orvi::render_image_record image(const text& id, std::int32_t generation) {
  orvi::render_image_record record;
  record.id = id;
  record.generation = generation;
  return record;
}

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
  orvi::paint_record paint() { return {str(), num(), num(), num(), num(), num(), num(), num()}; }
  orvi::render_image_record image() {
    return {str(), str(), num(), num(), num(), num(), str(), str(), str(), str(), rng() % 2 == 0, str(), str(), str()};
  }
  orvi::glyph_alpha_record glyph() { return {str(), num(), num(), num(), num(), str(), str(), str()}; }
  orvi::clip_record clip() { return {str(), num(), num(), num(), num(), num()}; }
  orvi::transform_record transform() { return {str(), num(), num(), num(), num(), num()}; }
};

}  // namespace store_test
