// The candidate overlay that lets later items of a batch see the resources of
// earlier ones before anything is stored, and the lookup of a stored command by
// its sequence and its whole content.
#include <cstddef>
#include <initializer_list>

#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

namespace {

// Appends one resource to its pending list under the given keys; the keys name
// its combined row, the stored rows of the kind coming first.
template <class T>
void stage_pending(std::vector<T>& pending, const T& record, std::uint32_t stored, index_table& keys,
                   std::initializer_list<text> record_keys) {
  const auto row = static_cast<std::uint32_t>(stored + pending.size());
  pending.push_back(record);
  for (const text& key : record_keys) keys.assign(key, row);
}

}  // namespace

void retained_resource_store::index_staged_resources(const preflight_result& result, staging_state& staging) {
  index_table& keys = staging.resource_keys;
  for (const paint_record& paint : result.accepted_paints) {
    stage_pending(staging.pending_paints, paint, paint_count(), keys, {make_index_key("paint", paint.id, 0)});
    staging.staged_nodes += 1;
  }
  for (const render_image_record& image : result.accepted_images) {
    // Decided before this image is staged: its "image-latest" key adds a store
    // node only for an id seen nowhere yet.
    const text latest = make_index_key("image-latest", image.id, 0);
    const bool known = keys.find(latest) >= 0 || index_find_key(latest) >= 0;
    stage_pending(staging.pending_images, image, image_count(), keys,
                  {make_index_key("image-generation", image.id, image.generation), latest});
    staging.staged_nodes += known ? 1 : 2;
    staging.staged_payload += static_cast<std::uint32_t>(image.sizeBytes);
  }
  for (const glyph_alpha_record& glyph : result.accepted_glyphs) {
    stage_pending(staging.pending_glyphs, glyph, glyph_count(), keys, {make_index_key("glyph", glyph.id, 0)});
    staging.staged_nodes += 1;
    staging.staged_payload += static_cast<std::uint32_t>(glyph.sizeBytes);
  }
  for (const clip_record& clip : result.accepted_clips) {
    stage_pending(staging.pending_clips, clip, clip_count(), keys, {make_index_key("clip", clip.id, 0)});
    staging.staged_nodes += 1;
  }
  for (const transform_record& transform : result.accepted_transforms) {
    stage_pending(staging.pending_transforms, transform, transform_count(), keys,
                  {make_index_key("transform", transform.id, 0)});
    staging.staged_nodes += 1;
  }
}

std::int32_t retained_resource_store::find_command_row(const render_command_record& command) {
  const std::int32_t row = index_find_key(make_index_key("command-sequence", "", command.sequence));
  // The index may name a row that no longer exists (a closed store has none).
  if (row < 0) return -1;
  const auto r = static_cast<std::size_t>(row);
  const command_columns& t = command_table;
  if (r >= t.sequence.size() || r >= t.command_text.size()) return -1;
  if (t.sequence[r] != static_cast<std::uint32_t>(command.sequence)) return -1;
  if (t.command_text[r] != command_record_text(command)) return -1;
  return row;
}

std::int32_t retained_resource_store::find_command_owner(const render_command_record& command) {
  const std::int32_t row = find_command_row(command);
  if (row < 0 || static_cast<std::size_t>(row) >= command_table.owner_row.size()) return -1;
  return static_cast<std::int32_t>(command_table.owner_row[static_cast<std::size_t>(row)]);
}

}  // namespace orvi
