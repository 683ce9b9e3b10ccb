// A batch of owner updates checked together against one revision and applied
// as one change. It keeps one prepared update per item that passed; the items
// keep the canonical texts of their inputs.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "retained/model/records.hpp"
#include "retained/store/prepared_admission.hpp"
#include "retained/store/retained_resource_store.hpp"
#include "runtime/text.hpp"

namespace orvi {

class prepared_candidate_batch {
  // Only make() can name this, so every batch lives in one shared allocation
  // with its reference count.
  struct construction_key {
    explicit construction_key() = default;
  };

 public:
  static std::shared_ptr<prepared_candidate_batch> make(std::shared_ptr<retained_store_token> token,
                                                        std::uint32_t revision, std::uint8_t admitted, text message,
                                                        std::vector<std::shared_ptr<prepared_admission>> items,
                                                        std::uint32_t staging_probes, std::uint32_t staged_total_3,
                                                        std::uint32_t staged_total_4);

  // Sums the four counters of the items.
  prepared_candidate_batch(construction_key, std::shared_ptr<retained_store_token> token, std::uint32_t revision,
                           std::uint8_t admitted, text message, std::vector<std::shared_ptr<prepared_admission>> items,
                           std::uint32_t staging_probes, std::uint32_t staged_total_3, std::uint32_t staged_total_4);
  prepared_candidate_batch(const prepared_candidate_batch&) = delete;
  prepared_candidate_batch& operator=(const prepared_candidate_batch&) = delete;

  virtual ~prepared_candidate_batch();
  virtual bool is_admitted();
  virtual std::uint32_t revision();
  virtual std::uint32_t item_count();
  virtual std::uint32_t validations();
  virtual std::uint32_t explicit_comparisons();
  virtual std::uint32_t payload_comparisons();
  virtual std::uint32_t index_probes();
  virtual std::uint32_t staging_probes();
  virtual std::uint32_t staged_total_3();
  virtual std::uint32_t staged_total_4();
  virtual text message();
  virtual bool is_consumed();
  virtual bool belongs_to(const std::shared_ptr<retained_store_token>& other);
  virtual void mark_consumed();
  virtual bool inputs_match(const std::vector<owner_fragment>& fragments, const std::vector<resource_delta>& deltas);
  // The staged result of item i; a position past the items gives a result that
  // is not admitted and holds nothing.
  virtual preflight_result staged_item(std::uint32_t i, const owner_fragment& fragment, const resource_delta& delta);

 private:
  std::shared_ptr<retained_store_token> token_;
  std::uint32_t revision_ = 0;
  std::uint8_t admitted_ = 0;
  std::uint8_t consumed_ = 0;
  text message_;
  std::vector<std::shared_ptr<prepared_admission>> items_;
  std::uint32_t validations_ = 0;
  std::uint32_t explicit_comparisons_ = 0;
  std::uint32_t payload_comparisons_ = 0;
  std::uint32_t index_probes_ = 0;
  std::uint32_t staging_probes_ = 0;
  std::uint32_t staged_total_3_ = 0;
  std::uint32_t staged_total_4_ = 0;
};

}  // namespace orvi
