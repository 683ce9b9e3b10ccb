// The read-only face of the store (figures, counts, row accessors, the
// diagnostics line) and closing, which empties the store for good.
#include <cstddef>
#include <string>

#include "retained/store/retained_resource_store.hpp"
#include "runtime/format.hpp"

namespace orvi {

namespace {

std::uint32_t rows(std::size_t count) { return static_cast<std::uint32_t>(count); }

// The value at a command row, or -1 outside the command table.
std::int32_t command_value(const std::vector<std::int32_t>& column, std::int32_t command_row) {
  if (command_row < 0 || static_cast<std::size_t>(command_row) >= column.size()) return -1;
  return column[static_cast<std::size_t>(command_row)];
}

// Figures are written as the signed reading of their 32 bits.
text figure(std::uint32_t value) { return std::to_string(static_cast<std::int32_t>(value)); }

}  // namespace

text retained_resource_store::surface_name() { return surface; }
text retained_resource_store::state_name() { return state; }
std::uint32_t retained_resource_store::current_revision() { return revision; }
std::uint32_t retained_resource_store::owner_count() { return rows(owner_table.id.size()); }
std::uint32_t retained_resource_store::command_total() { return commands; }
std::uint32_t retained_resource_store::payload_total() { return payload; }
std::uint32_t retained_resource_store::validation_total() { return validations; }
std::uint32_t retained_resource_store::explicit_comparison_total() { return explicit_comparisons; }
std::uint32_t retained_resource_store::payload_comparison_total() { return payload_comparisons; }
std::uint32_t retained_resource_store::admission_total() { return admissions; }
std::uint32_t retained_resource_store::paint_count() { return rows(paint_table.id.size()); }
std::uint32_t retained_resource_store::image_count() { return rows(image_table.id.size()); }
std::uint32_t retained_resource_store::glyph_count() { return rows(glyph_table.id.size()); }
std::uint32_t retained_resource_store::clip_count() { return rows(clip_table.id.size()); }
std::uint32_t retained_resource_store::transform_count() { return rows(transform_table.id.size()); }

std::uint32_t retained_resource_store::entry_count() {
  return paint_count() + image_count() + glyph_count() + clip_count() + transform_count();
}

std::int32_t retained_resource_store::command_paint_row(std::int32_t command_row) {
  return command_value(command_table.paint_row, command_row);
}
std::int32_t retained_resource_store::command_image_row(std::int32_t command_row) {
  return command_value(command_table.image_row, command_row);
}
std::int32_t retained_resource_store::command_glyph_row(std::int32_t command_row) {
  return command_value(command_table.glyph_row, command_row);
}
std::int32_t retained_resource_store::command_clip_row(std::int32_t command_row) {
  return command_value(command_table.clip_row, command_row);
}
std::int32_t retained_resource_store::command_transform_row(std::int32_t command_row) {
  return command_value(command_table.transform_row, command_row);
}

std::int32_t retained_resource_store::command_owner(std::int32_t command_row) {
  const std::vector<std::uint32_t>& column = command_table.owner_row;
  if (command_row < 0 || static_cast<std::size_t>(command_row) >= column.size()) return -1;
  return static_cast<std::int32_t>(column[static_cast<std::size_t>(command_row)]);
}

std::uint32_t retained_resource_store::owner_generation(std::int32_t owner_row) {
  const std::vector<std::uint32_t>& column = owner_table.generation;
  if (owner_row < 0 || static_cast<std::size_t>(owner_row) >= column.size()) return 0;
  return column[static_cast<std::size_t>(owner_row)];
}

namespace {

// Command row of the owner's j-th command, or -1 when the owner or j is out of range.
std::int32_t owner_command(const owner_columns& owners, std::int32_t owner_row, std::int32_t j) {
  if (owner_row < 0 || static_cast<std::size_t>(owner_row) >= owners.id.size() || j < 0) return -1;
  const auto r = static_cast<std::size_t>(owner_row);
  if (static_cast<std::uint32_t>(j) >= owners.command_count[r]) return -1;
  const std::int64_t row = static_cast<std::int64_t>(owners.first_command_row[r]) + j;
  return row > INT32_MAX ? -1 : static_cast<std::int32_t>(row);
}

}  // namespace

std::int32_t retained_resource_store::owner_command_paint_row(std::int32_t owner_row, std::int32_t j) {
  const std::int32_t row = owner_command(owner_table, owner_row, j);
  return row == -1 ? -1 : command_paint_row(row);
}
std::int32_t retained_resource_store::owner_command_image_row(std::int32_t owner_row, std::int32_t j) {
  const std::int32_t row = owner_command(owner_table, owner_row, j);
  return row == -1 ? -1 : command_image_row(row);
}
std::int32_t retained_resource_store::owner_command_glyph_row(std::int32_t owner_row, std::int32_t j) {
  const std::int32_t row = owner_command(owner_table, owner_row, j);
  return row == -1 ? -1 : command_glyph_row(row);
}
std::int32_t retained_resource_store::owner_command_clip_row(std::int32_t owner_row, std::int32_t j) {
  const std::int32_t row = owner_command(owner_table, owner_row, j);
  return row == -1 ? -1 : command_clip_row(row);
}
std::int32_t retained_resource_store::owner_command_transform_row(std::int32_t owner_row, std::int32_t j) {
  const std::int32_t row = owner_command(owner_table, owner_row, j);
  return row == -1 ? -1 : command_transform_row(row);
}

bool retained_resource_store::close_store() {
  if (state == "closed") return true;
  paint_table = {};
  image_table = {};
  glyph_table = {};
  clip_table = {};
  transform_table = {};
  owner_table = {};
  command_table = {};
  // The bucket count and the probe total outlive the close; the heads do not,
  // so every later lookup answers -1 without a bucket to read.
  store_index.heads = {};
  store_index.keys = {};
  store_index.values = {};
  store_index.next = {};
  store_index.chain_lengths = {};
  store_index.chain_positions = {};
  store_index.slots = {};
  commands = 0;
  payload = 0;
  state = "closed";
  ++revision;
  return true;
}

text retained_resource_store::store_diagnostics_text() {
  return format_placeholders(
      "retained-resource-store-v1: surface={0}; state={1}; revision={2}; entries={3}; owners={4}; commands={5}; "
      "payload={6}; validations={7}; explicit-comparisons={8}; payload-comparisons={9}; admissions={10}; "
      "rejections=operation-results-only",
      {surface, state, figure(revision), figure(entry_count()), figure(rows(owner_table.id.size())), figure(commands),
       figure(payload), figure(validations), figure(explicit_comparisons), figure(payload_comparisons),
       figure(admissions)});
}

}  // namespace orvi
