// Candidate batches: up to 4096 owner updates staged on one shared overlay, so
// that later items see the resources of earlier ones, and applied as one change
// that raises the revision and the admission total once.
#include "retained/store/candidate_batch.hpp"

#include <cstddef>
#include <string>

#include "retained/model/index.hpp"
#include "retained/store/apply_undo.hpp"
#include "runtime/format.hpp"

namespace orvi {

namespace {

// Staging bucket count: doubles from 64 up to 8192 while below the batch's
// expected key load (items, commands and twice the delta entries).
std::int32_t staging_buckets(std::int64_t load) {
  std::int32_t buckets = 64;
  while (buckets < 8192 && buckets < load) buckets *= 2;
  return buckets;
}

text signed_decimal(std::uint32_t value) { return std::to_string(static_cast<std::int32_t>(value)); }

}  // namespace

std::shared_ptr<prepared_candidate_batch> prepared_candidate_batch::make(
    std::shared_ptr<retained_store_token> token, std::uint32_t revision, std::uint8_t admitted, text message,
    std::vector<std::shared_ptr<prepared_admission>> items, std::uint32_t staging_probes, std::uint32_t staged_total_3,
    std::uint32_t staged_total_4) {
  return std::make_shared<prepared_candidate_batch>(construction_key{}, std::move(token), revision, admitted,
                                                    std::move(message), std::move(items), staging_probes,
                                                    staged_total_3, staged_total_4);
}

prepared_candidate_batch::prepared_candidate_batch(construction_key, std::shared_ptr<retained_store_token> token,
                                                   std::uint32_t revision, std::uint8_t admitted, text message,
                                                   std::vector<std::shared_ptr<prepared_admission>> items,
                                                   std::uint32_t staging_probes, std::uint32_t staged_total_3,
                                                   std::uint32_t staged_total_4)
    : token_(std::move(token)),
      revision_(revision),
      admitted_(admitted),
      message_(std::move(message)),
      items_(std::move(items)),
      staging_probes_(staging_probes),
      staged_total_3_(staged_total_3),
      staged_total_4_(staged_total_4) {
  for (const auto& item : items_) {
    validations_ += item->validations();
    explicit_comparisons_ += item->explicit_comparisons();
    payload_comparisons_ += item->payload_comparisons();
    index_probes_ += item->index_probes();
  }
}

prepared_candidate_batch::~prepared_candidate_batch() = default;

bool prepared_candidate_batch::is_admitted() { return admitted_ != 0; }
std::uint32_t prepared_candidate_batch::revision() { return revision_; }
std::uint32_t prepared_candidate_batch::item_count() { return static_cast<std::uint32_t>(items_.size()); }
std::uint32_t prepared_candidate_batch::validations() { return validations_; }
std::uint32_t prepared_candidate_batch::explicit_comparisons() { return explicit_comparisons_; }
std::uint32_t prepared_candidate_batch::payload_comparisons() { return payload_comparisons_; }
std::uint32_t prepared_candidate_batch::index_probes() { return index_probes_; }
std::uint32_t prepared_candidate_batch::staging_probes() { return staging_probes_; }
std::uint32_t prepared_candidate_batch::staged_total_3() { return staged_total_3_; }
std::uint32_t prepared_candidate_batch::staged_total_4() { return staged_total_4_; }
text prepared_candidate_batch::message() { return message_; }
bool prepared_candidate_batch::is_consumed() { return consumed_ != 0; }
bool prepared_candidate_batch::belongs_to(const std::shared_ptr<retained_store_token>& other) {
  return token_ == other;
}
void prepared_candidate_batch::mark_consumed() { consumed_ = 1; }

bool prepared_candidate_batch::inputs_match(const std::vector<owner_fragment>& fragments,
                                            const std::vector<resource_delta>& deltas) {
  if (fragments.size() != items_.size() || deltas.size() != items_.size()) return false;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (!items_[i]->inputs_match(fragments[i], deltas[i])) return false;
  }
  return true;
}

preflight_result prepared_candidate_batch::staged_item(std::uint32_t i, const owner_fragment& fragment,
                                                       const resource_delta& delta) {
  if (i >= items_.size()) return make_preflight_result(fragment.id, static_cast<std::uint32_t>(fragment.generation));
  return items_[i]->staged_admission(fragment, delta);
}

std::shared_ptr<prepared_candidate_batch> retained_resource_store::prepare_candidate_batch(
    const std::vector<owner_fragment>& fragments, const std::vector<resource_delta>& deltas,
    std::uint32_t expected_revision) {
  staging_state staging = make_staging_state(1);
  std::vector<std::shared_ptr<prepared_admission>> items;
  const auto finish = [&](std::uint8_t admitted, const text& message) {
    return prepared_candidate_batch::make(token, expected_revision, admitted, message, std::move(items),
                                          staging_index_node_count(staging), staging.staged_total_3,
                                          staging.staged_total_4);
  };

  if (state != "open") return finish(0, "retained resource store is not open");
  if (expected_revision != revision) {
    return finish(0, format_placeholders("retained resource store stale revision: expected {0}, current {1}",
                                         {signed_decimal(expected_revision), signed_decimal(revision)}));
  }
  const std::size_t n = fragments.size();
  if (n == 0 || n > MAX_BATCH_ITEMS || deltas.size() != n) {
    return finish(0, "retained resource candidate batch requires 1..4096 parallel fragment/delta items");
  }
  std::int64_t command_sum = 0;
  std::int64_t entry_sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    command_sum += static_cast<std::int64_t>(fragments[i].commands.size());
    entry_sum += static_cast<std::uint32_t>(count_delta_entries(deltas[i]));
    if (command_sum > MAX_STORE_COMMANDS || entry_sum > MAX_DELTA_ENTRIES) {
      return finish(0, "retained resource candidate batch exceeds 65536 commands or delta entries");
    }
  }

  staging = make_staging_state(staging_buckets(static_cast<std::int64_t>(n) + command_sum + 2 * entry_sum));
  // Every owner and sequence of the whole batch is checked before any item is
  // staged, so a duplicate is reported even where an earlier item would fail.
  for (std::size_t i = 0; i < n; ++i) {
    const auto position = static_cast<std::uint32_t>(i);
    const owner_fragment& fragment = fragments[i];
    if (staging.batch_owners.find(fragment.id) >= 0) {
      return finish(0, format_placeholders("retained resource candidate batch duplicates owner {0}", {fragment.id}));
    }
    staging.batch_owners.assign(fragment.id, position);
    for (const render_command_record& command : fragment.commands) {
      const text key = make_index_key("command-sequence", "", command.sequence);
      if (staging.batch_sequences.find(key) >= 0) {
        return finish(0, format_placeholders("retained resource candidate batch duplicates command sequence {0}",
                                             {std::to_string(command.sequence)}));
      }
      staging.batch_sequences.assign(key, position);
    }
  }

  for (std::size_t i = 0; i < n; ++i) {
    preflight_result result = stage_owner_delta(fragments[i], deltas[i], expected_revision, ADMISSION_UPDATE, staging);
    if (result.admitted == 0) {
      return finish(0, format_placeholders("retained resource candidate batch item {0}: {1}",
                                           {std::to_string(i), result.message}));
    }
    items.push_back(
        prepared_admission::make(token, result, fragments[i], deltas[i], expected_revision, ADMISSION_UPDATE));
    index_staged_resources(result, staging);
  }
  return finish(1, "ok");
}

operation_result retained_resource_store::commit_prepared_candidate_batch(
    const std::shared_ptr<prepared_candidate_batch>& batch, const std::vector<owner_fragment>& fragments,
    const std::vector<resource_delta>& deltas) {
  const auto refuse = [this](const text& message) { return make_operation_result(false, revision, 0, 0, 0, message); };
  if (!batch) return refuse("retained resource prepared candidate batch is missing");
  if (!batch->belongs_to(token)) return refuse("retained resource prepared candidate batch belongs to another store");
  if (batch->is_consumed()) return refuse("retained resource prepared candidate batch was already consumed");
  if (!batch->is_admitted()) return refuse(batch->message());
  if (batch->revision() != revision) {
    return refuse(format_placeholders("retained resource prepared candidate batch is stale: expected {0}, current {1}",
                                      {signed_decimal(batch->revision()), signed_decimal(revision)}));
  }
  if (!batch->inputs_match(fragments, deltas)) {
    return refuse("retained resource prepared candidate batch inputs were changed or reordered");
  }

  std::uint32_t validation_sum = 0;
  std::uint32_t explicit_sum = 0;
  std::uint32_t payload_sum = 0;
  std::uint32_t probe_sum = 0;
  // An exception in any item's apply, also one thrown after it wrote
  // everything, puts back that item and every item before it, newest first,
  // so that the batch applies whole or not at all.
  std::vector<apply_undo> applied;
  applied.reserve(fragments.size());
  try {
    for (std::size_t i = 0; i < fragments.size(); ++i) {
      const preflight_result item = batch->staged_item(static_cast<std::uint32_t>(i), fragments[i], deltas[i]);
      applied.emplace_back(*this, item, false);
      apply_delta_rows(item, ADMISSION_UPDATE);
      validation_sum += item.validations;
      explicit_sum += item.explicit_comparisons;
      payload_sum += item.payload_comparisons;
      probe_sum += item.index_probes;
    }
  } catch (...) {
    for (auto undo = applied.rbegin(); undo != applied.rend(); ++undo) undo->restore(*this);
    throw;
  }
  revision += 1;
  validations += validation_sum;
  explicit_comparisons += explicit_sum;
  payload_comparisons += payload_sum;
  admissions += 1;
  store_index.probe_total += probe_sum;
  batch->mark_consumed();
  return make_operation_result(true, revision, validation_sum, explicit_sum, payload_sum, "ok");
}

}  // namespace orvi
