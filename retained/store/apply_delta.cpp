// Applying an admitted delta: the accepted resources become rows, the owner
// and its commands are written, and the totals follow. Everything was checked
// when the admission was staged, so nothing is checked here; but an exception
// anywhere in the apply (memory running out, or a derived store's step or
// whole apply_delta_rows throwing, even after writing everything) puts the
// store back exactly as it was before it passes on, so an admission always
// applies whole or not at all. The undo is kept by the callers of
// apply_delta_rows, around the call, since a derived store may replace it.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>

#include "retained/model/index.hpp"
#include "retained/store/apply_undo.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace orvi {

void retained_resource_store::apply_delta_rows(const preflight_result& result, std::uint8_t kind) {
  const bool bind = kind != 0;
  for (const paint_record& paint : result.accepted_paints) append_paint_row(paint);
  for (const render_image_record& image : result.accepted_images) {
    append_image_row(image);
    payload += static_cast<std::uint32_t>(image.sizeBytes);
  }
  for (const glyph_alpha_record& glyph : result.accepted_glyphs) {
    append_glyph_row(glyph);
    payload += static_cast<std::uint32_t>(glyph.sizeBytes);
  }
  for (const clip_record& clip : result.accepted_clips) append_clip_row(clip);
  for (const transform_record& transform : result.accepted_transforms) append_transform_row(transform);

  const staged_owner& owner = result.owner;
  const resolved_row_lists& rows = owner.resolved_rows;
  const auto staged_commands = static_cast<std::uint32_t>(owner.commands.size());
  const auto row_of = [](const std::vector<std::int32_t>& list, std::size_t i) {
    return i < list.size() ? list[i] : -1;
  };
  if (bind) {
    const auto owner_row = static_cast<std::uint32_t>(owner_table.id.size());
    owner_table.id.push_back(owner.owner_id);
    index_put(make_index_key("binding", owner.owner_id, 0), owner_row);
    owner_table.generation.push_back(owner.generation);
    owner_table.first_sequence.push_back(owner.first_sequence);
    owner_table.last_sequence.push_back(owner.last_sequence);
    owner_table.first_command_row.push_back(static_cast<std::uint32_t>(command_table.sequence.size()));
    owner_table.command_count.push_back(staged_commands);
    for (std::size_t i = 0; i < owner.commands.size(); ++i) {
      const render_command_record& command = owner.commands[i];
      const auto command_row = static_cast<std::uint32_t>(command_table.sequence.size());
      append_command_row(static_cast<std::int32_t>(owner_row), command, row_of(rows.paint, i), row_of(rows.image, i),
                         row_of(rows.glyph, i), row_of(rows.clip, i), row_of(rows.transform, i));
      index_put(make_index_key("command-sequence", "", command.sequence), command_row);
    }
    commands += staged_commands;
    return;
  }
  const std::int32_t owner_row = find_owner_binding(owner.owner_id);
  if (owner_row < 0 || static_cast<std::size_t>(owner_row) >= owner_table.id.size()) return;
  const auto o = static_cast<std::size_t>(owner_row);
  const std::uint32_t first_row = owner_table.first_command_row[o];
  const std::uint32_t old_count = owner_table.command_count[o];
  owner_table.generation[o] = owner.generation;
  owner_table.first_sequence[o] = owner.first_sequence;
  owner_table.last_sequence[o] = owner.last_sequence;
  owner_table.command_count[o] = staged_commands;
  for (std::size_t i = 0; i < owner.commands.size(); ++i) {
    set_command_row(static_cast<std::int32_t>(first_row + i), owner.commands[i], row_of(rows.paint, i),
                    row_of(rows.image, i), row_of(rows.glyph, i), row_of(rows.clip, i), row_of(rows.transform, i));
  }
  commands = commands - old_count + staged_commands;
}

operation_result retained_resource_store::apply_staged_admission(const preflight_result& result, std::uint8_t kind) {
  apply_undo undo(*this, result, kind != 0);
  try {
    apply_delta_rows(result, kind);
  } catch (...) {
    undo.restore(*this);
    throw;
  }
  validations += result.validations;
  explicit_comparisons += result.explicit_comparisons;
  payload_comparisons += result.payload_comparisons;
  store_index.probe_total += result.index_probes;
  admissions += 1;
  revision += 1;
  return make_operation_result(true, revision, result.validations, result.explicit_comparisons,
                               result.payload_comparisons, "ok");
}

}  // namespace orvi
