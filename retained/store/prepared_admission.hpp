// The outcome of an owner admission checked now and applied later. It keeps
// the canonical texts of its inputs instead of the inputs themselves, so that a
// commit can tell whether it is handed the same fragment and delta again, and
// the rows the check resolved, so that nothing is resolved twice.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "retained/model/records.hpp"
#include "retained/store/retained_resource_store.hpp"
#include "runtime/text.hpp"

namespace orvi {

class prepared_admission {
  // Only make() can name this, so every object lives in one shared allocation
  // with its reference count.
  struct construction_key {
    explicit construction_key() = default;
  };

 public:
  static std::shared_ptr<prepared_admission> make(std::shared_ptr<retained_store_token> token, preflight_result result,
                                                  owner_fragment fragment, resource_delta delta, std::uint32_t revision,
                                                  std::uint8_t kind);

  prepared_admission(construction_key, std::shared_ptr<retained_store_token> token, preflight_result result,
                     owner_fragment fragment, resource_delta delta, std::uint32_t revision, std::uint8_t kind);
  prepared_admission(const prepared_admission&) = delete;
  prepared_admission& operator=(const prepared_admission&) = delete;

  virtual ~prepared_admission();
  virtual bool is_admitted();
  virtual std::uint32_t revision();
  virtual std::uint32_t validations();
  virtual std::uint32_t explicit_comparisons();
  virtual std::uint32_t payload_comparisons();
  virtual std::uint32_t index_probes();
  virtual text message();
  virtual bool is_consumed();
  virtual bool belongs_to(const std::shared_ptr<retained_store_token>& other);
  virtual bool is_bind();
  virtual void mark_consumed();
  virtual bool inputs_match(const owner_fragment& fragment, const resource_delta& delta);
  virtual preflight_result staged_admission(const owner_fragment& fragment, const resource_delta& delta);

 private:
  // Canonical texts of the five resource kinds, each list in its source order.
  struct resource_texts {
    std::vector<text> paints, images, glyphs, clips, transforms;
  };

  std::shared_ptr<retained_store_token> token_;
  std::uint32_t revision_ = 0;
  std::uint8_t kind_ = 0;
  std::uint8_t consumed_ = 0;
  std::uint8_t admitted_ = 0;
  text message_;
  std::uint32_t validations_ = 0;
  std::uint32_t explicit_comparisons_ = 0;
  std::uint32_t payload_comparisons_ = 0;
  std::uint32_t index_probes_ = 0;
  std::uint32_t first_sequence_ = 0;
  std::uint32_t last_sequence_ = 0;
  text fragment_text_;
  std::vector<text> command_texts_;
  resource_texts delta_texts_;
  resource_texts accepted_texts_;
  resolved_row_lists rows_;
};

}  // namespace orvi
