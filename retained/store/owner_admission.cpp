// Owner fragment admission: the one check that every binding, update, prepared
// admission and batch item passes. It decides against the store and an overlay
// whether a fragment with its delta can be applied, and stages what applying
// needs. It changes nothing but the result it returns (and the probe counts of
// the overlay's index tables).
#include <cstddef>
#include <string>
#include <unordered_set>

#include "retained/model/admission.hpp"
#include "retained/model/index.hpp"
#include "retained/store/retained_resource_store.hpp"
#include "runtime/format.hpp"

namespace orvi {

namespace {

// Figures in messages are the signed reading of their 32 bits.
text decimal(std::int64_t value) { return std::to_string(value); }
text decimal(std::uint32_t value) { return std::to_string(static_cast<std::int32_t>(value)); }

template <class Table>
bool has_row(std::int64_t row, const Table& column) {
  return row >= 0 && static_cast<std::size_t>(row) < column.size();
}

std::uint64_t listed(const std::vector<paint_record>& paints, const std::vector<render_image_record>& images,
                     const std::vector<glyph_alpha_record>& glyphs, const std::vector<clip_record>& clips,
                     const std::vector<transform_record>& transforms) {
  return std::uint64_t{paints.size()} + images.size() + glyphs.size() + clips.size() + transforms.size();
}

template <class T>
std::uint64_t size_bytes_of(const std::vector<T>& resources) {
  std::uint64_t bytes = 0;
  for (const T& r : resources) bytes += static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.sizeBytes));
  return bytes;
}

preflight_result refused(preflight_result result, text message) {
  result.message = std::move(message);
  return result;
}

}  // namespace

preflight_result retained_resource_store::stage_owner_delta(owner_fragment fragment, resource_delta delta,
                                                            std::uint32_t expected_revision, std::uint8_t kind,
                                                            staging_state& staging) {
  preflight_result result = make_preflight_result(fragment.id, static_cast<std::uint32_t>(fragment.generation));
  // Only this admission appends to the result's accepted lists while it runs,
  // so their side index may answer for them until it returns.
  const accepted_positions::staging_scope indexed(result.accepted_index);
  const bool bind = kind != 0;
  const text& id = fragment.id;
  const auto owner_message = [&](std::string_view templ) { return format_placeholders(templ, {id}); };

  if (state != "open") return refused(std::move(result), "retained resource store is not open");
  if (expected_revision != revision) {
    return refused(std::move(result),
                   format_placeholders("retained resource store stale revision: expected {0}, current {1}",
                                       {decimal(expected_revision), decimal(revision)}));
  }
  if (delta.surface != surface)
    return refused(std::move(result), "retained resource delta surface does not match store");
  text fragment_message = validate_owner_fragment(fragment);
  if (!fragment_message.empty()) return refused(std::move(result), std::move(fragment_message));

  const std::vector<render_command_record>& commands = fragment.commands;
  const std::int32_t owner_row = find_owner_binding_counted(result, id);
  // A row the owner table does not hold is treated as no binding at all.
  const bool bound = has_row(owner_row, owner_table.id);
  const auto at = [](std::int64_t row) { return static_cast<std::size_t>(row); };

  if (!bind) {
    if (!bound)
      return refused(std::move(result), owner_message("retained resource owner {0} requires an initial binding"));
    const std::size_t o = at(owner_row);
    if (static_cast<std::int32_t>(owner_table.generation[o]) >= fragment.generation) {
      return refused(std::move(result),
                     owner_message("retained resource owner {0} requires a newer fragment generation"));
    }
    const text range_message = owner_message("retained resource owner {0} must preserve its exact command range");
    if (commands.size() != owner_table.command_count[o]) return refused(std::move(result), range_message);
    for (std::size_t i = 0; i < commands.size(); ++i) {
      const std::int64_t r = std::int64_t{owner_table.first_command_row[o]} + static_cast<std::int64_t>(i);
      const render_command_record& command = commands[i];
      if (!has_row(r, command_table.sequence) ||
          static_cast<std::int32_t>(command_table.sequence[at(r)]) != command.sequence) {
        return refused(std::move(result), range_message);
      }
      const auto stored_generation = static_cast<std::int32_t>(command_table.image_generation[at(r)]);
      if (command.kind == "image" && command_table.kind[at(r)] == "image" &&
          command.resourceId == command_table.resource_id[at(r)] && command.imageGeneration < stored_generation) {
        return refused(std::move(result),
                       format_placeholders("retained resource owner {0} image {1} generation regressed from {2} to {3}",
                                           {id, command.resourceId, decimal(std::int64_t{stored_generation}),
                                            decimal(std::int64_t{command.imageGeneration})}));
      }
    }
  } else {
    if (bound) return refused(std::move(result), owner_message("retained resource owner {0} is already bound"));
    const std::int32_t first = commands.front().sequence;
    const std::int32_t last = commands.back().sequence;
    const auto overlaps = [&](const text& other) {
      return format_placeholders("retained resource owner {0} command range overlaps {1}", {id, other});
    };
    for (std::size_t o = 0; o < owner_table.id.size(); ++o) {
      if (first <= static_cast<std::int32_t>(owner_table.last_sequence[o]) &&
          static_cast<std::int32_t>(owner_table.first_sequence[o]) <= last) {
        return refused(std::move(result), overlaps(owner_table.id[o]));
      }
    }
    // The range is taken from the first and last command only, so a sequence
    // in between may still be stored for another owner, or repeat within the
    // fragment. Either would overwrite a "command-sequence" key and lose the
    // command it named, so both are refused as overlaps too.
    std::unordered_set<std::int32_t> seen;
    for (const render_command_record& command : commands) {
      const std::int32_t row = index_find_key(make_index_key("command-sequence", "", command.sequence));
      if (has_row(row, command_table.owner_row)) {
        const std::uint32_t other = command_table.owner_row[at(row)];
        return refused(std::move(result), overlaps(has_row(other, owner_table.id) ? owner_table.id[other] : text{}));
      }
      if (!seen.insert(command.sequence).second) return refused(std::move(result), overlaps(id));
    }
  }

  const std::uint64_t delta_entries = listed(delta.paints, delta.images, delta.glyphs, delta.clips, delta.transforms);
  if (delta_entries > MAX_DELTA_ENTRIES)
    return refused(std::move(result), "retained resource delta exceeds 65536 entries");

  // Room for every resource of the delta, so accepting them never moves the lists.
  result.accepted_paints.reserve(delta.paints.size());
  result.accepted_images.reserve(delta.images.size());
  result.accepted_glyphs.reserve(delta.glyphs.size());
  result.accepted_clips.reserve(delta.clips.size());
  result.accepted_transforms.reserve(delta.transforms.size());
  for (const paint_record& paint : delta.paints) {
    if (!admit_paint(result, staging, paint)) return result;
  }
  for (const render_image_record& image : delta.images) {
    if (!admit_image(result, staging, image)) return result;
  }
  for (const glyph_alpha_record& glyph : delta.glyphs) {
    if (!admit_glyph_alpha(result, staging, glyph)) return result;
  }
  for (const clip_record& clip : delta.clips) {
    if (!admit_clip(result, staging, clip)) return result;
  }
  for (const transform_record& transform : delta.transforms) {
    if (!admit_transform(result, staging, transform)) return result;
  }

  // Limits are exact sums: nothing here may wrap.
  const std::uint64_t entries = std::uint64_t{entry_count()} +
                                listed(staging.pending_paints, staging.pending_images, staging.pending_glyphs,
                                       staging.pending_clips, staging.pending_transforms) +
                                listed(result.accepted_paints, result.accepted_images, result.accepted_glyphs,
                                       result.accepted_clips, result.accepted_transforms);
  const std::uint64_t old_commands = bound ? owner_table.command_count[at(owner_row)] : 0;
  const std::int64_t command_sum = std::int64_t{this->commands} - static_cast<std::int64_t>(old_commands) +
                                   static_cast<std::int64_t>(commands.size());
  const std::uint64_t payload_sum = std::uint64_t{staging.staged_payload} + payload +
                                    size_bytes_of(result.accepted_images) + size_bytes_of(result.accepted_glyphs);
  if (entries > MAX_STORE_ENTRIES || command_sum > std::int64_t{MAX_STORE_COMMANDS} ||
      payload_sum > MAX_STORE_PAYLOAD_BYTES) {
    return refused(std::move(result), "retained resource store exceeds 65536 entries/commands or 64 MiB");
  }
  if (bind && owner_table.id.size() >= MAX_STORE_OWNERS) {
    return refused(std::move(result), "retained resource store exceeds 4096 owners");
  }
  std::uint64_t nodes = std::uint64_t{store_index.keys.size()} + staging.staged_nodes + result.accepted_paints.size() +
                        2 * std::uint64_t{result.accepted_images.size()} + result.accepted_glyphs.size() +
                        result.accepted_clips.size() + result.accepted_transforms.size();
  if (bind) nodes += 1 + std::uint64_t{commands.size()};
  if (nodes > MAX_STORE_INDEX_NODES) {
    return refused(std::move(result), "retained resource store exceeds 200704 index nodes");
  }

  staged_owner& owner = result.owner;
  owner.first_sequence = static_cast<std::uint32_t>(commands.front().sequence);
  owner.last_sequence = static_cast<std::uint32_t>(commands.back().sequence);
  owner.commands.reserve(commands.size());
  auto& rows = owner.resolved_rows;
  for (auto* column : {&rows.paint, &rows.image, &rows.glyph, &rows.clip, &rows.transform})
    column->reserve(commands.size());
  for (const render_command_record& command : commands) {
    std::int32_t paint_row = -1, image_row = -1, glyph_row = -1, clip_row = -1, transform_row = -1;
    if (!command.paintId.empty()) {
      paint_row = resolve_paint_reference(result, staging, command.paintId);
      if (paint_row < 0) {
        return refused(
            std::move(result),
            format_placeholders("retained resource owner {0} references missing paint {1}", {id, command.paintId}));
      }
    }
    if (command.kind == "image") {
      image_row = resolve_image_reference(result, staging, command.resourceId, command.imageGeneration);
      if (image_row < 0) {
        return refused(std::move(result),
                       format_placeholders("retained resource owner {0} references missing image {1}@{2}",
                                           {id, command.resourceId, decimal(std::int64_t{command.imageGeneration})}));
      }
    }
    if (command.kind == "glyphAlpha" && !command.geometryFlag) {
      glyph_row = resolve_glyph_reference(result, staging, command.resourceId);
      if (glyph_row < 0) {
        return refused(
            std::move(result),
            format_placeholders("retained resource owner {0} references missing glyph {1}", {id, command.resourceId}));
      }
    }
    if (!command.clipId.empty()) {
      clip_row = resolve_clip_reference(result, staging, command.clipId);
      if (clip_row < 0) {
        return refused(std::move(result), format_placeholders("retained resource owner {0} references missing clip {1}",
                                                              {id, command.clipId}));
      }
    }
    if (!command.transformId.empty() && command.transformId != "identity") {
      transform_row = resolve_transform_reference(result, staging, command.transformId);
      if (transform_row < 0) {
        return refused(std::move(result),
                       format_placeholders("retained resource owner {0} references missing transform {1}",
                                           {id, command.transformId}));
      }
    }
    owner.commands.push_back(command);
    owner.resolved_rows.paint.push_back(paint_row);
    owner.resolved_rows.image.push_back(image_row);
    owner.resolved_rows.glyph.push_back(glyph_row);
    owner.resolved_rows.clip.push_back(clip_row);
    owner.resolved_rows.transform.push_back(transform_row);
  }

  result.admitted = 1;
  result.message = "ok";
  return result;
}

}  // namespace orvi
