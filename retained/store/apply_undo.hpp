// What an apply overwrites or appends, noted before it writes anything, so
// that an apply cut short by an exception puts the store back exactly as it
// was. The callers of apply_delta_rows keep it around the call: a derived store
// may replace apply_delta_rows and throw after the base has written
// everything. A candidate batch keeps one per item, the failing item's
// included, and puts them back newest first.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "retained/model/index.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

namespace apply_detail {

template <class... Columns>
void truncate(std::size_t rows, Columns&... columns) {
  (columns.resize(std::min(rows, columns.size())), ...);
}

// A command row as set_command_row may overwrite it.
struct saved_command {
  std::size_t row = 0;
  std::uint32_t sequence = 0;
  text command_text, kind, resource_id;
  std::uint32_t image_generation = 0;
  std::int32_t paint_row = -1, image_row = -1, glyph_row = -1, clip_row = -1, transform_row = -1;
};

}  // namespace apply_detail

struct retained_resource_store::apply_undo {
  std::size_t paints = 0, images = 0, glyphs = 0, clips = 0, transforms = 0, owners = 0, command_rows = 0, nodes = 0;
  std::uint32_t probe_total = 0, commands = 0, payload = 0;
  // Existing index nodes whose value an apply may overwrite, with that value.
  std::vector<std::pair<std::size_t, std::uint32_t>> node_values;
  // The owner row an update rewrites: row, generation, first and last sequence, command count.
  bool owner_saved = false;
  std::size_t owner_row = 0;
  std::uint32_t owner_generation = 0, owner_first = 0, owner_last = 0, owner_count = 0;
  std::vector<apply_detail::saved_command> command_rows_saved;

  // Notes everything that applying `result` may write, before any of it is written.
  apply_undo(retained_resource_store& store, const preflight_result& result, bool bind) {
    paints = store.paint_table.id.size();
    images = store.image_table.id.size();
    glyphs = store.glyph_table.id.size();
    clips = store.clip_table.id.size();
    transforms = store.transform_table.id.size();
    owners = store.owner_table.id.size();
    command_rows = store.command_table.sequence.size();
    nodes = store.store_index.keys.size();
    probe_total = store.store_index.probe_total;
    commands = store.commands;
    payload = store.payload;
    // New resources add new keys; only an image's "image-latest" key may
    // already exist. A binding's keys are new too, as the admission checked,
    // but they are noted as well: an undo must not rely on that.
    for (const render_image_record& image : result.accepted_images) {
      note_node(store, make_index_key("image-latest", image.id, 0));
    }
    if (bind) {
      note_node(store, make_index_key("binding", result.owner.owner_id, 0));
      for (const render_command_record& command : result.owner.commands) {
        note_node(store, make_index_key("command-sequence", "", command.sequence));
      }
      return;
    }
    const std::int32_t row = store.find_owner_binding(result.owner.owner_id);
    const owner_columns& owners_table = store.owner_table;
    if (row < 0 || static_cast<std::size_t>(row) >= owners_table.id.size()) return;
    owner_saved = true;
    owner_row = static_cast<std::size_t>(row);
    owner_generation = owners_table.generation[owner_row];
    owner_first = owners_table.first_sequence[owner_row];
    owner_last = owners_table.last_sequence[owner_row];
    owner_count = owners_table.command_count[owner_row];
    const command_columns& t = store.command_table;
    const std::size_t first = owners_table.first_command_row[owner_row];
    for (std::size_t r = first; r < first + result.owner.commands.size() && r < t.sequence.size(); ++r) {
      command_rows_saved.push_back({r, t.sequence[r], t.command_text[r], t.kind[r], t.resource_id[r],
                                    t.image_generation[r], t.paint_row[r], t.image_row[r], t.glyph_row[r],
                                    t.clip_row[r], t.transform_row[r]});
    }
  }

  void note_node(retained_resource_store& store, const text& key) {
    const store_index_columns& index = store.store_index;
    if (index.heads.empty() || store.index_find_key(key) == -1) return;  // a new key: nothing to put back
    const auto bucket =
        static_cast<std::size_t>(hash_resource_text(key, static_cast<std::int32_t>(index.bucket_count)));
    if (bucket >= index.heads.size()) return;
    for (std::int32_t n = index.heads[bucket]; n != -1; n = index.next[static_cast<std::size_t>(n)]) {
      if (index.keys[static_cast<std::size_t>(n)] == key) {
        node_values.emplace_back(static_cast<std::size_t>(n), index.values[static_cast<std::size_t>(n)]);
        return;
      }
    }
  }

  // Puts back what was noted. Only shrinks and moves: nothing here allocates.
  void restore(retained_resource_store& store) noexcept {
    paint_columns& p = store.paint_table;
    apply_detail::truncate(paints, p.id, p.red, p.green, p.blue, p.alpha, p.radius, p.border_width, p.opacity);
    image_columns& i = store.image_table;
    apply_detail::truncate(images, i.id, i.kind, i.generation, i.width, i.height, i.size_bytes, i.format, i.color_space,
                           i.alpha_mode, i.state, i.resident, i.content_identity, i.payload, i.source);
    glyph_columns& g = store.glyph_table;
    apply_detail::truncate(glyphs, g.id, g.width, g.height, g.row_bytes, g.size_bytes, g.format, g.payload, g.source);
    clip_columns& c = store.clip_table;
    apply_detail::truncate(clips, c.id, c.x, c.y, c.width, c.height, c.radius);
    transform_columns& t = store.transform_table;
    apply_detail::truncate(transforms, t.id, t.translate_x, t.translate_y, t.scale_x, t.scale_y, t.rotation);
    owner_columns& o = store.owner_table;
    apply_detail::truncate(owners, o.id, o.generation, o.first_sequence, o.last_sequence, o.first_command_row,
                           o.command_count);
    command_columns& m = store.command_table;
    apply_detail::truncate(command_rows, m.sequence, m.owner_row, m.command_text, m.kind, m.resource_id,
                           m.image_generation, m.paint_row, m.image_row, m.glyph_row, m.clip_row, m.transform_row);
    if (owner_saved && owner_row < o.id.size()) {
      o.generation[owner_row] = owner_generation;
      o.first_sequence[owner_row] = owner_first;
      o.last_sequence[owner_row] = owner_last;
      o.command_count[owner_row] = owner_count;
    }
    for (apply_detail::saved_command& saved : command_rows_saved) {
      const std::size_t r = saved.row;
      if (r >= m.sequence.size()) continue;
      m.sequence[r] = saved.sequence;
      m.command_text[r] = std::move(saved.command_text);
      m.kind[r] = std::move(saved.kind);
      m.resource_id[r] = std::move(saved.resource_id);
      m.image_generation[r] = saved.image_generation;
      m.paint_row[r] = saved.paint_row;
      m.image_row[r] = saved.image_row;
      m.glyph_row[r] = saved.glyph_row;
      m.clip_row[r] = saved.clip_row;
      m.transform_row[r] = saved.transform_row;
    }
    restore_index(store.store_index);
    store.commands = commands;
    store.payload = payload;
  }

  void restore_index(store_index_columns& index) noexcept {
    // New nodes were linked at the head of their bucket, so unlinking them
    // newest first gives every bucket its old head back. A node whose append
    // was cut short never became a head.
    for (std::size_t n = index.keys.size(); n-- > nodes;) {
      if (index.heads.empty()) break;
      const auto bucket =
          static_cast<std::size_t>(hash_resource_text(index.keys[n], static_cast<std::int32_t>(index.bucket_count)));
      if (bucket >= index.heads.size()) continue;
      if (n < index.next.size() && index.heads[bucket] == static_cast<std::int32_t>(n)) {
        index.heads[bucket] = index.next[n];
      }
      // The bucket's length counts the nodes that stay in its chain.
      std::uint32_t length = 0;
      for (std::int32_t m = index.heads[bucket]; m != -1; m = index.next[static_cast<std::size_t>(m)]) {
        length += static_cast<std::size_t>(m) < nodes;
      }
      if (bucket < index.chain_lengths.size()) index.chain_lengths[bucket] = length;
    }
    const bool dropped = index.keys.size() > nodes;
    apply_detail::truncate(nodes, index.keys, index.values, index.next, index.chain_positions);
    for (const auto& [node, value] : node_values) {
      if (node < index.values.size()) index.values[node] = value;
    }
    if (dropped) rebuild_slots(index);
    index.probe_total = probe_total;
  }

  // The direct-lookup table holds each node's key hash and number; dropped
  // nodes leave it by placing the kept ones again, in the same table size.
  static void rebuild_slots(store_index_columns& index) noexcept {
    std::fill(index.slots.begin(), index.slots.end(), 0);
    if (index.slots.empty()) return;
    const std::size_t mask = index.slots.size() - 1;
    for (std::size_t n = 0; n < index.keys.size(); ++n) {
      const std::uint64_t hash = std::hash<std::string_view>{}(index.keys[n]);
      std::size_t i = static_cast<std::size_t>(hash) & mask;
      while (index.slots[i] != 0) i = (i + 1) & mask;
      index.slots[i] = (hash & 0xFFFFFFFF00000000u) | (static_cast<std::uint64_t>(n) + 1);
    }
  }
};

}  // namespace orvi
