// Column tables: appends, row reads, reads of combined rows (stored rows, then
// the staging overlay's pending rows, then the admission's accepted rows),
// finds by identity and reference resolution.
#include <cstddef>

#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

namespace {

template <class T>
bool row_in(std::int32_t row, const std::vector<T>& column) {
  return row >= 0 && static_cast<std::size_t>(row) < column.size();
}

std::size_t at(std::int32_t row) { return static_cast<std::size_t>(row); }

std::uint32_t next_row(std::size_t count) { return static_cast<std::uint32_t>(count); }

// A row at or beyond the stored count names a pending record; anything else
// outside both regions reads as an empty record.
template <class T>
T pending_at(const std::vector<T>& pending, std::int32_t row, std::uint32_t stored) {
  const std::int64_t position = static_cast<std::int64_t>(row) - stored;
  if (position < 0 || position >= static_cast<std::int64_t>(pending.size())) return T{};
  return pending[static_cast<std::size_t>(position)];
}

// Combined row of an accepted record at its position in the accepted list, or
// -1 when there is none. Positions come from the admission's side index, which
// answers what a walk of the list from its first entry would.
std::int32_t accepted_row(std::int32_t position, std::uint32_t stored, std::size_t pending) {
  if (position < 0) return -1;
  return static_cast<std::int32_t>(stored + pending + static_cast<std::size_t>(position));
}

}  // namespace

void retained_resource_store::append_paint_row(const paint_record& paint) {
  paint_columns& t = paint_table;
  const std::uint32_t row = next_row(t.id.size());
  t.id.push_back(paint.id);
  t.red.push_back(paint.red);
  t.green.push_back(paint.green);
  t.blue.push_back(paint.blue);
  t.alpha.push_back(paint.alpha);
  t.radius.push_back(paint.radius);
  t.border_width.push_back(paint.borderWidth);
  t.opacity.push_back(paint.opacity);
  index_put(make_index_key("paint", paint.id, 0), row);
}

void retained_resource_store::append_image_row(const render_image_record& image) {
  image_columns& t = image_table;
  const std::uint32_t row = next_row(t.id.size());
  t.id.push_back(image.id);
  t.kind.push_back(image.kind);
  t.generation.push_back(image.generation);
  t.width.push_back(image.width);
  t.height.push_back(image.height);
  t.size_bytes.push_back(image.sizeBytes);
  t.format.push_back(image.format);
  t.color_space.push_back(image.colorSpace);
  t.alpha_mode.push_back(image.alphaMode);
  t.state.push_back(image.state);
  t.resident.push_back(image.resident);
  t.content_identity.push_back(image.contentIdentity);
  t.payload.push_back(image.payload);
  t.source.push_back(image.source);
  index_put(make_index_key("image-generation", image.id, image.generation), row);
  index_put(make_index_key("image-latest", image.id, 0), row);
}

void retained_resource_store::append_glyph_row(const glyph_alpha_record& glyph) {
  glyph_columns& t = glyph_table;
  const std::uint32_t row = next_row(t.id.size());
  t.id.push_back(glyph.id);
  t.width.push_back(glyph.width);
  t.height.push_back(glyph.height);
  t.row_bytes.push_back(glyph.rowBytes);
  t.size_bytes.push_back(glyph.sizeBytes);
  t.format.push_back(glyph.format);
  t.payload.push_back(glyph.payload);
  t.source.push_back(glyph.source);
  index_put(make_index_key("glyph", glyph.id, 0), row);
}

void retained_resource_store::append_clip_row(const clip_record& clip) {
  clip_columns& t = clip_table;
  const std::uint32_t row = next_row(t.id.size());
  t.id.push_back(clip.id);
  t.x.push_back(clip.x);
  t.y.push_back(clip.y);
  t.width.push_back(clip.width);
  t.height.push_back(clip.height);
  t.radius.push_back(clip.radius);
  index_put(make_index_key("clip", clip.id, 0), row);
}

void retained_resource_store::append_transform_row(const transform_record& transform) {
  transform_columns& t = transform_table;
  const std::uint32_t row = next_row(t.id.size());
  t.id.push_back(transform.id);
  t.translate_x.push_back(transform.translateX);
  t.translate_y.push_back(transform.translateY);
  t.scale_x.push_back(transform.scaleX);
  t.scale_y.push_back(transform.scaleY);
  t.rotation.push_back(transform.rotation);
  index_put(make_index_key("transform", transform.id, 0), row);
}

void retained_resource_store::append_command_row(std::int32_t owner_row, const render_command_record& command,
                                                 std::int32_t paint_row, std::int32_t image_row, std::int32_t glyph_row,
                                                 std::int32_t clip_row, std::int32_t transform_row) {
  command_columns& t = command_table;
  t.sequence.push_back(static_cast<std::uint32_t>(command.sequence));
  t.owner_row.push_back(static_cast<std::uint32_t>(owner_row));
  t.command_text.push_back(command_record_text(command));
  t.kind.push_back(command.kind);
  t.resource_id.push_back(command.resourceId);
  t.image_generation.push_back(static_cast<std::uint32_t>(command.imageGeneration));
  t.paint_row.push_back(paint_row);
  t.image_row.push_back(image_row);
  t.glyph_row.push_back(glyph_row);
  t.clip_row.push_back(clip_row);
  t.transform_row.push_back(transform_row);
}

void retained_resource_store::set_command_row(std::int32_t command_row, const render_command_record& command,
                                              std::int32_t paint_row, std::int32_t image_row, std::int32_t glyph_row,
                                              std::int32_t clip_row, std::int32_t transform_row) {
  command_columns& t = command_table;
  if (!row_in(command_row, t.sequence)) return;  // no row to overwrite
  const std::size_t r = at(command_row);
  t.sequence[r] = static_cast<std::uint32_t>(command.sequence);
  t.command_text[r] = command_record_text(command);
  t.kind[r] = command.kind;
  t.resource_id[r] = command.resourceId;
  t.image_generation[r] = static_cast<std::uint32_t>(command.imageGeneration);
  t.paint_row[r] = paint_row;
  t.image_row[r] = image_row;
  t.glyph_row[r] = glyph_row;
  t.clip_row[r] = clip_row;
  t.transform_row[r] = transform_row;
}

paint_record retained_resource_store::read_paint_row(std::int32_t row) {
  const paint_columns& t = paint_table;
  if (!row_in(row, t.id)) return {};
  const std::size_t r = at(row);
  return {t.id[r], t.red[r], t.green[r], t.blue[r], t.alpha[r], t.radius[r], t.border_width[r], t.opacity[r]};
}

render_image_record retained_resource_store::read_image_row(std::int32_t row) {
  const image_columns& t = image_table;
  if (!row_in(row, t.id)) return {};
  const std::size_t r = at(row);
  return {t.id[r],      t.kind[r],        t.generation[r], t.width[r], t.height[r],   t.size_bytes[r],
          t.format[r],  t.color_space[r], t.alpha_mode[r], t.state[r], t.resident[r], t.content_identity[r],
          t.payload[r], t.source[r]};
}

glyph_alpha_record retained_resource_store::read_glyph_row(std::int32_t row) {
  const glyph_columns& t = glyph_table;
  if (!row_in(row, t.id)) return {};
  const std::size_t r = at(row);
  return {t.id[r], t.width[r], t.height[r], t.row_bytes[r], t.size_bytes[r], t.format[r], t.payload[r], t.source[r]};
}

clip_record retained_resource_store::read_clip_row(std::int32_t row) {
  const clip_columns& t = clip_table;
  if (!row_in(row, t.id)) return {};
  const std::size_t r = at(row);
  return {t.id[r], t.x[r], t.y[r], t.width[r], t.height[r], t.radius[r]};
}

transform_record retained_resource_store::read_transform_row(std::int32_t row) {
  const transform_columns& t = transform_table;
  if (!row_in(row, t.id)) return {};
  const std::size_t r = at(row);
  return {t.id[r], t.translate_x[r], t.translate_y[r], t.scale_x[r], t.scale_y[r], t.rotation[r]};
}

paint_record retained_resource_store::paint_at(const staging_state& staging, std::int32_t row) {
  const std::uint32_t stored = paint_count();
  if (row >= 0 && static_cast<std::uint32_t>(row) < stored) return read_paint_row(row);
  return pending_at(staging.pending_paints, row, stored);
}

render_image_record retained_resource_store::image_at(const staging_state& staging, std::int32_t row) {
  const std::uint32_t stored = image_count();
  if (row >= 0 && static_cast<std::uint32_t>(row) < stored) return read_image_row(row);
  return pending_at(staging.pending_images, row, stored);
}

glyph_alpha_record retained_resource_store::glyph_at(const staging_state& staging, std::int32_t row) {
  const std::uint32_t stored = glyph_count();
  if (row >= 0 && static_cast<std::uint32_t>(row) < stored) return read_glyph_row(row);
  return pending_at(staging.pending_glyphs, row, stored);
}

clip_record retained_resource_store::clip_at(const staging_state& staging, std::int32_t row) {
  const std::uint32_t stored = clip_count();
  if (row >= 0 && static_cast<std::uint32_t>(row) < stored) return read_clip_row(row);
  return pending_at(staging.pending_clips, row, stored);
}

transform_record retained_resource_store::transform_at(const staging_state& staging, std::int32_t row) {
  const std::uint32_t stored = transform_count();
  if (row >= 0 && static_cast<std::uint32_t>(row) < stored) return read_transform_row(row);
  return pending_at(staging.pending_transforms, row, stored);
}

std::int32_t retained_resource_store::find_paint_index(preflight_result& result, staging_state& staging,
                                                       const text& id) {
  const text key = make_index_key("paint", id, 0);
  const std::int32_t staged = staging.resource_keys.find(key);
  return staged != -1 ? staged : index_get(result, key);
}

std::int32_t retained_resource_store::find_image_generation_index(preflight_result& result, staging_state& staging,
                                                                  const text& id, std::int32_t generation) {
  const text key = make_index_key("image-generation", id, generation);
  const std::int32_t staged = staging.resource_keys.find(key);
  return staged != -1 ? staged : index_get(result, key);
}

std::uint32_t retained_resource_store::find_latest_image_index(preflight_result& result, staging_state& staging,
                                                               const text& id) {
  const text key = make_index_key("image-latest", id, 0);
  const std::int32_t staged = staging.resource_keys.find(key);
  if (staged != -1) return static_cast<std::uint32_t>(image_at(staging, staged).generation);
  const std::int32_t stored = index_get(result, key);
  if (!row_in(stored, image_table.generation)) return 0;
  return static_cast<std::uint32_t>(image_table.generation[at(stored)]);
}

std::int32_t retained_resource_store::find_glyph_index(preflight_result& result, staging_state& staging,
                                                       const text& identity) {
  const text key = make_index_key("glyph", identity, 0);
  const std::int32_t staged = staging.resource_keys.find(key);
  return staged != -1 ? staged : index_get(result, key);
}

std::int32_t retained_resource_store::find_clip_index(preflight_result& result, staging_state& staging,
                                                      const text& id) {
  const text key = make_index_key("clip", id, 0);
  const std::int32_t staged = staging.resource_keys.find(key);
  return staged != -1 ? staged : index_get(result, key);
}

std::int32_t retained_resource_store::find_transform_index(preflight_result& result, staging_state& staging,
                                                           const text& id) {
  const text key = make_index_key("transform", id, 0);
  const std::int32_t staged = staging.resource_keys.find(key);
  return staged != -1 ? staged : index_get(result, key);
}

std::int32_t retained_resource_store::find_owner_binding(const text& owner_id) {
  return index_find_key(make_index_key("binding", owner_id, 0));
}

std::int32_t retained_resource_store::find_owner_binding_counted(preflight_result& result, const text& owner_id) {
  return index_get(result, make_index_key("binding", owner_id, 0));
}

std::int32_t retained_resource_store::resolve_paint_reference(preflight_result& result, staging_state& staging,
                                                              const text& id) {
  const std::int32_t found = find_paint_index(result, staging, id);
  if (found != -1) return found;
  return accepted_row(result.accepted_index.paint(result.accepted_paints, id), paint_count(),
                      staging.pending_paints.size());
}

std::int32_t retained_resource_store::resolve_image_reference(preflight_result& result, staging_state& staging,
                                                              const text& id, std::int32_t generation) {
  const std::int32_t found = find_image_generation_index(result, staging, id, generation);
  if (found != -1) return found;
  return accepted_row(result.accepted_index.image(result.accepted_images, id, generation), image_count(),
                      staging.pending_images.size());
}

std::int32_t retained_resource_store::resolve_glyph_reference(preflight_result& result, staging_state& staging,
                                                              const text& identity) {
  const std::int32_t found = find_glyph_index(result, staging, identity);
  if (found != -1) return found;
  return accepted_row(result.accepted_index.glyph(result.accepted_glyphs, identity), glyph_count(),
                      staging.pending_glyphs.size());
}

std::int32_t retained_resource_store::resolve_clip_reference(preflight_result& result, staging_state& staging,
                                                             const text& id) {
  const std::int32_t found = find_clip_index(result, staging, id);
  if (found != -1) return found;
  return accepted_row(result.accepted_index.clip(result.accepted_clips, id), clip_count(),
                      staging.pending_clips.size());
}

std::int32_t retained_resource_store::resolve_transform_reference(preflight_result& result, staging_state& staging,
                                                                  const text& id) {
  const std::int32_t found = find_transform_index(result, staging, id);
  if (found != -1) return found;
  return accepted_row(result.accepted_index.transform(result.accepted_transforms, id), transform_count(),
                      staging.pending_transforms.size());
}

}  // namespace orvi
