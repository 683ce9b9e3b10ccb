// The retained resource store: render resources and drawing owners of one
// surface, kept in column tables and found through one chained hash index.
// Every operation is virtual, and the store reaches even its own steps through
// its table of operations, so that a derived store can replace any of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "retained/model/index.hpp"
#include "retained/model/records.hpp"
#include "runtime/text.hpp"

namespace orvi {

inline constexpr std::uint32_t MAX_STORE_ENTRIES = 65536;
inline constexpr std::uint32_t MAX_STORE_COMMANDS = 65536;
inline constexpr std::uint32_t MAX_STORE_PAYLOAD_BYTES = 67108864;
inline constexpr std::uint32_t MAX_STORE_OWNERS = 4096;
inline constexpr std::uint32_t MAX_STORE_INDEX_NODES = 200704;
inline constexpr std::uint32_t MAX_DELTA_ENTRIES = 65536;
inline constexpr std::uint32_t MAX_BATCH_ITEMS = 4096;
inline constexpr std::uint32_t STORE_INDEX_BUCKETS = 8192;
inline constexpr std::uint32_t STORE_SURFACE_MAX_BYTES = 128;

// Kind of an owner admission: nonzero binds a new owner, zero updates a bound one.
inline constexpr std::uint8_t ADMISSION_BIND = 1;
inline constexpr std::uint8_t ADMISSION_UPDATE = 0;

// Identity of one store. Prepared objects share ownership of it, so its address
// is never reused by a later store while any of them can still be committed.
class retained_store_token {
 public:
  virtual ~retained_store_token() = default;
};

class retained_store_interface {
 public:
  virtual ~retained_store_interface() = default;
};

class prepared_admission;
class prepared_candidate_batch;

// The overlay an admission or a candidate batch builds before anything is
// applied. Values of resource_keys are combined rows (stored count of the kind
// + position in the pending list).
struct staging_state {
  index_table resource_keys{1};
  index_table batch_owners{1};
  index_table batch_sequences{1};
  std::vector<paint_record> pending_paints;
  std::vector<render_image_record> pending_images;
  std::vector<glyph_alpha_record> pending_glyphs;
  std::vector<clip_record> pending_clips;
  std::vector<transform_record> pending_transforms;
  std::uint32_t staged_payload = 0;
  std::uint32_t staged_nodes = 0;
  std::uint32_t staged_total_3 = 0;
  std::uint32_t staged_total_4 = 0;
};

staging_state make_staging_state(std::int32_t bucket_count);
// Sum of the probe counts (not the node counts) of the three index tables.
std::uint32_t staging_index_node_count(const staging_state& staging);

// Resolved rows of each staged command, one entry per command in command
// order; -1 where the command references nothing of that kind.
struct resolved_row_lists {
  std::vector<std::int32_t> paint;
  std::vector<std::int32_t> image;
  std::vector<std::int32_t> glyph;
  std::vector<std::int32_t> clip;
  std::vector<std::int32_t> transform;
};

// An owner as it will be stored.
struct staged_owner {
  text owner_id;
  std::uint32_t generation = 0;
  std::uint32_t first_sequence = 0xFFFFFFFFu;
  std::uint32_t last_sequence = 0xFFFFFFFFu;
  std::vector<render_command_record> commands;
  resolved_row_lists resolved_rows;
};

// First position of each identity in the accepted lists of one admission, so
// that finding an accepted resource is one hash lookup instead of a walk over
// everything accepted before it. The index speaks for the lists only while an
// owner admission fills them itself, from empty, by appending (staging_scope);
// an entry changed in place is invisible to it, so any other list, a copy's
// included, is walked. Either way the answer is the one a walk from the first
// entry gives: the first position or -1.
class accepted_positions {
 public:
  accepted_positions() = default;
  // A copy starts empty and outside any admission: its lists are the copy's
  // own, free to be changed in place.
  accepted_positions(const accepted_positions&) noexcept {}
  accepted_positions& operator=(const accepted_positions&) noexcept;

  std::int32_t paint(const std::vector<paint_record>& accepted, const text& id);
  std::int32_t image(const std::vector<render_image_record>& accepted, const text& id, std::int32_t generation);
  std::int32_t glyph(const std::vector<glyph_alpha_record>& accepted, const text& identity);
  std::int32_t clip(const std::vector<clip_record>& accepted, const text& id);
  std::int32_t transform(const std::vector<transform_record>& accepted, const text& id);
  // Highest generation among the accepted images of an id; 0 when there is none.
  std::int32_t newest_image(const std::vector<render_image_record>& accepted, const text& id);

  struct kind_positions {
    std::unordered_map<text, std::int32_t> first;
    std::size_t indexed = 0;
  };

  // Lets the index answer for as long as one owner admission runs.
  class staging_scope {
   public:
    explicit staging_scope(accepted_positions& index) : index_(index) { index_.staging_ = true; }
    ~staging_scope() { index_.staging_ = false; }
    staging_scope(const staging_scope&) = delete;
    staging_scope& operator=(const staging_scope&) = delete;

   private:
    accepted_positions& index_;
  };

 private:
  kind_positions paints_, images_, glyphs_, clips_, transforms_;
  std::unordered_map<text, std::int32_t> newest_;  // kept in step with images_
  bool staging_ = false;
};

// The outcome of staging one owner fragment with its resource delta.
struct preflight_result {
  std::uint8_t admitted = 0;
  text message;
  std::uint32_t validations = 0;
  std::uint32_t explicit_comparisons = 0;
  std::uint32_t payload_comparisons = 0;
  std::uint32_t index_probes = 0;
  std::vector<paint_record> accepted_paints;
  std::vector<render_image_record> accepted_images;
  std::vector<glyph_alpha_record> accepted_glyphs;
  std::vector<clip_record> accepted_clips;
  std::vector<transform_record> accepted_transforms;
  staged_owner owner;
  accepted_positions accepted_index;
};

// Start values of every staging: not admitted, "preflight-not-complete", zero
// counters, empty lists, an owner of that id and generation with no commands.
preflight_result make_preflight_result(const text& owner_id, std::uint32_t generation);

// Column tables: row i of a kind is element i of each of its columns.
struct paint_columns {
  std::vector<text> id;
  std::vector<std::int32_t> red, green, blue, alpha, radius, border_width, opacity;
};

struct image_columns {
  std::vector<text> id, kind;
  std::vector<std::int32_t> generation, width, height, size_bytes;
  std::vector<text> format, color_space, alpha_mode, state;
  std::vector<bool> resident;  // one bit per row
  std::vector<text> content_identity, payload, source;
};

struct glyph_columns {
  std::vector<text> id;  // the content identity
  std::vector<std::int32_t> width, height, row_bytes, size_bytes;
  std::vector<text> format, payload, source;
};

struct clip_columns {
  std::vector<text> id;
  std::vector<std::int32_t> x, y, width, height, radius;
};

struct transform_columns {
  std::vector<text> id;
  std::vector<std::int32_t> translate_x, translate_y, scale_x, scale_y, rotation;
};

// Chained hash index from key texts to row numbers; new nodes go to the head
// of their bucket and are never removed. A closed store has no heads.
struct store_index_columns {
  std::uint32_t bucket_count = STORE_INDEX_BUCKETS;
  std::vector<std::int32_t> heads;
  std::vector<text> keys;
  std::vector<std::uint32_t> values;
  std::vector<std::int32_t> next;
  std::uint32_t probe_total = 0;
  // Kept beside the chains so that a lookup reaches its node at once yet counts
  // exactly the nodes a walk from the head would visit: the walk meets a node
  // after every node added to its bucket later, and a miss visits the whole chain.
  std::vector<std::uint32_t> chain_lengths;    // per bucket
  std::vector<std::uint32_t> chain_positions;  // per node: nodes added to its bucket before it
  std::vector<std::uint64_t> slots;            // open addressing: key hash high bits << 32 | node + 1; 0 = free
};

struct owner_columns {
  std::vector<text> id;
  std::vector<std::uint32_t> generation, first_sequence, last_sequence, first_command_row, command_count;
};

struct command_columns {
  std::vector<std::uint32_t> sequence, owner_row;
  std::vector<text> command_text, kind, resource_id;
  std::vector<std::uint32_t> image_generation;
  std::vector<std::int32_t> paint_row, image_row, glyph_row, clip_row, transform_row;
};

class retained_resource_store {
 public:
  explicit retained_resource_store(const text& surface_name);
  // A copy or a move would carry the same identity token, so a prepared
  // admission of one store could commit on another against different rows.
  retained_resource_store(const retained_resource_store&) = delete;
  retained_resource_store& operator=(const retained_resource_store&) = delete;
  retained_resource_store(retained_resource_store&&) = delete;
  retained_resource_store& operator=(retained_resource_store&&) = delete;

  // The table of operations, in its fixed order.
  virtual ~retained_resource_store();
  virtual text surface_name();
  virtual text state_name();
  virtual std::uint32_t current_revision();
  virtual std::uint32_t owner_count();
  virtual std::uint32_t command_total();
  virtual std::uint32_t payload_total();
  virtual std::uint32_t validation_total();
  virtual std::uint32_t explicit_comparison_total();
  virtual std::uint32_t payload_comparison_total();
  virtual std::uint32_t admission_total();
  virtual std::uint32_t index_node_count();
  virtual std::uint32_t index_bucket_count();
  virtual std::uint32_t index_probe_total();
  virtual std::uint32_t paint_count();
  virtual std::uint32_t image_count();
  virtual std::uint32_t glyph_count();
  virtual std::uint32_t clip_count();
  virtual std::uint32_t transform_count();
  virtual std::int32_t command_paint_row(std::int32_t command_row);
  virtual std::int32_t command_image_row(std::int32_t command_row);
  virtual std::int32_t command_glyph_row(std::int32_t command_row);
  virtual std::int32_t command_clip_row(std::int32_t command_row);
  virtual std::int32_t command_transform_row(std::int32_t command_row);
  virtual std::int32_t command_owner(std::int32_t command_row);
  virtual std::uint32_t entry_count();
  virtual std::int32_t find_owner_binding(const text& owner_id);
  virtual std::int32_t index_find_key(const text& key);
  virtual std::int32_t find_owner_binding_counted(preflight_result& result, const text& owner_id);
  virtual std::int32_t index_get(preflight_result& result, const text& key);
  virtual void index_put(const text& key, std::uint32_t value);
  virtual std::int32_t find_paint_index(preflight_result& result, staging_state& staging, const text& id);
  virtual std::int32_t find_image_generation_index(preflight_result& result, staging_state& staging, const text& id,
                                                   std::int32_t generation);
  virtual std::uint32_t find_latest_image_index(preflight_result& result, staging_state& staging, const text& id);
  virtual std::int32_t find_glyph_index(preflight_result& result, staging_state& staging, const text& identity);
  virtual std::int32_t find_clip_index(preflight_result& result, staging_state& staging, const text& id);
  virtual std::int32_t find_transform_index(preflight_result& result, staging_state& staging, const text& id);
  virtual paint_record paint_at(const staging_state& staging, std::int32_t row);
  virtual render_image_record image_at(const staging_state& staging, std::int32_t row);
  virtual glyph_alpha_record glyph_at(const staging_state& staging, std::int32_t row);
  virtual clip_record clip_at(const staging_state& staging, std::int32_t row);
  virtual transform_record transform_at(const staging_state& staging, std::int32_t row);
  virtual paint_record read_paint_row(std::int32_t row);
  virtual render_image_record read_image_row(std::int32_t row);
  virtual glyph_alpha_record read_glyph_row(std::int32_t row);
  virtual clip_record read_clip_row(std::int32_t row);
  virtual transform_record read_transform_row(std::int32_t row);
  virtual std::uint32_t owner_generation(std::int32_t owner_row);
  virtual std::int32_t owner_command_paint_row(std::int32_t owner_row, std::int32_t j);
  virtual std::int32_t owner_command_image_row(std::int32_t owner_row, std::int32_t j);
  virtual std::int32_t owner_command_glyph_row(std::int32_t owner_row, std::int32_t j);
  virtual std::int32_t owner_command_clip_row(std::int32_t owner_row, std::int32_t j);
  virtual std::int32_t owner_command_transform_row(std::int32_t owner_row, std::int32_t j);
  virtual bool admit_paint(preflight_result& result, staging_state& staging, const paint_record& paint);
  virtual bool admit_image(preflight_result& result, staging_state& staging, const render_image_record& image);
  virtual bool admit_glyph_alpha(preflight_result& result, staging_state& staging, const glyph_alpha_record& glyph);
  virtual bool admit_clip(preflight_result& result, staging_state& staging, const clip_record& clip);
  virtual bool admit_transform(preflight_result& result, staging_state& staging, const transform_record& transform);
  virtual std::int32_t resolve_paint_reference(preflight_result& result, staging_state& staging, const text& id);
  virtual std::int32_t resolve_image_reference(preflight_result& result, staging_state& staging, const text& id,
                                               std::int32_t generation);
  virtual std::int32_t resolve_glyph_reference(preflight_result& result, staging_state& staging, const text& identity);
  virtual std::int32_t resolve_clip_reference(preflight_result& result, staging_state& staging, const text& id);
  virtual std::int32_t resolve_transform_reference(preflight_result& result, staging_state& staging, const text& id);
  virtual preflight_result stage_owner_admission(const owner_fragment& fragment, const resource_delta& delta,
                                                 std::uint32_t expected_revision, std::uint8_t kind);
  virtual preflight_result stage_owner_delta(owner_fragment fragment, resource_delta delta,
                                             std::uint32_t expected_revision, std::uint8_t kind,
                                             staging_state& staging);
  virtual void index_staged_resources(const preflight_result& result, staging_state& staging);
  virtual std::shared_ptr<prepared_candidate_batch> prepare_candidate_batch(
      const std::vector<owner_fragment>& fragments, const std::vector<resource_delta>& deltas,
      std::uint32_t expected_revision);
  virtual void append_paint_row(const paint_record& paint);
  virtual void append_image_row(const render_image_record& image);
  virtual void append_glyph_row(const glyph_alpha_record& glyph);
  virtual void append_clip_row(const clip_record& clip);
  virtual void append_transform_row(const transform_record& transform);
  virtual void append_command_row(std::int32_t owner_row, const render_command_record& command, std::int32_t paint_row,
                                  std::int32_t image_row, std::int32_t glyph_row, std::int32_t clip_row,
                                  std::int32_t transform_row);
  virtual void set_command_row(std::int32_t command_row, const render_command_record& command, std::int32_t paint_row,
                               std::int32_t image_row, std::int32_t glyph_row, std::int32_t clip_row,
                               std::int32_t transform_row);
  virtual void apply_delta_rows(const preflight_result& result, std::uint8_t kind);
  virtual operation_result apply_staged_admission(const preflight_result& result, std::uint8_t kind);
  virtual operation_result bind_owner(const owner_fragment& fragment, const resource_delta& delta,
                                      std::uint32_t expected_revision);
  virtual std::shared_ptr<prepared_admission> prepare_bind(const owner_fragment& fragment, const resource_delta& delta,
                                                           std::uint32_t expected_revision);
  virtual operation_result preflight_bind(const owner_fragment& fragment, const resource_delta& delta,
                                          std::uint32_t expected_revision);
  virtual operation_result update_owner(const owner_fragment& fragment, const resource_delta& delta,
                                        std::uint32_t expected_revision);
  virtual std::shared_ptr<prepared_admission> prepare_update(const owner_fragment& fragment,
                                                             const resource_delta& delta,
                                                             std::uint32_t expected_revision);
  virtual operation_result commit_prepared_admission(const std::shared_ptr<prepared_admission>& prepared,
                                                     const owner_fragment& fragment, const resource_delta& delta,
                                                     std::uint8_t kind);
  virtual operation_result commit_prepared_bind(const std::shared_ptr<prepared_admission>& prepared,
                                                const owner_fragment& fragment, const resource_delta& delta);
  virtual operation_result commit_prepared_update(const std::shared_ptr<prepared_admission>& prepared,
                                                  const owner_fragment& fragment, const resource_delta& delta);
  virtual operation_result commit_prepared_candidate_batch(const std::shared_ptr<prepared_candidate_batch>& batch,
                                                           const std::vector<owner_fragment>& fragments,
                                                           const std::vector<resource_delta>& deltas);
  virtual operation_result preflight_update(const owner_fragment& fragment, const resource_delta& delta,
                                            std::uint32_t expected_revision);
  virtual std::int32_t find_command_owner(const render_command_record& command);
  virtual std::int32_t find_command_row(const render_command_record& command);
  virtual bool close_store();
  virtual text store_diagnostics_text();

 protected:
  std::shared_ptr<retained_store_token> token;
  text surface;
  text state;
  std::uint32_t revision = 0;
  paint_columns paint_table;
  image_columns image_table;
  glyph_columns glyph_table;
  clip_columns clip_table;
  transform_columns transform_table;
  store_index_columns store_index;
  owner_columns owner_table;
  command_columns command_table;
  std::uint32_t commands = 0;  // the command total
  std::uint32_t payload = 0;   // size bytes of the stored images and glyphs
  std::uint32_t validations = 0;
  std::uint32_t explicit_comparisons = 0;
  std::uint32_t payload_comparisons = 0;
  std::uint32_t admissions = 0;

 private:
  void init_retained_store(const text& surface_name);
  // What an apply overwrites or appends, kept so that an exception in the
  // middle of it can put the store back as it was.
  struct apply_undo;
};

}  // namespace orvi
