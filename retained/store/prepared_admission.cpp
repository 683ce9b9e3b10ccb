// Prepared owner admissions: the check runs now and changes nothing; the
// commit applies its outcome at most once, on the preparing store, at the
// prepared revision and with inputs that print the same canonical texts.
#include "retained/store/prepared_admission.hpp"

#include <cstddef>
#include <string>

#include "retained/model/record_text.hpp"
#include "runtime/format.hpp"

namespace orvi {

namespace {

template <class T, class Print>
std::vector<text> texts_of(const std::vector<T>& records, Print print) {
  std::vector<text> texts;
  texts.reserve(records.size());
  for (const T& record : records) texts.push_back(print(record));
  return texts;
}

template <class T, class Print>
bool texts_equal(const std::vector<T>& records, const std::vector<text>& texts, Print print) {
  if (records.size() != texts.size()) return false;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (print(records[i]) != texts[i]) return false;
  }
  return true;
}

// The resources of a delta list whose texts are the accepted texts, in order;
// the accepted texts are a subsequence of the delta's.
template <class T, class Print>
void pick_accepted(const std::vector<T>& records, const std::vector<text>& accepted, Print print, std::vector<T>& out) {
  std::size_t k = 0;
  for (const T& record : records) {
    if (k >= accepted.size()) break;
    if (print(record) == accepted[k]) {
      out.push_back(record);
      ++k;
    }
  }
}

// Row i of a captured list, or "none" past its end: a fragment with more
// commands than were captured must not read beyond what was kept.
std::int32_t row_or_none(const std::vector<std::int32_t>& rows, std::size_t i) {
  return i < rows.size() ? rows[i] : -1;
}

text signed_decimal(std::uint32_t value) { return std::to_string(static_cast<std::int32_t>(value)); }

}  // namespace

std::shared_ptr<prepared_admission> prepared_admission::make(std::shared_ptr<retained_store_token> token,
                                                             preflight_result result, owner_fragment fragment,
                                                             resource_delta delta, std::uint32_t revision,
                                                             std::uint8_t kind) {
  return std::make_shared<prepared_admission>(construction_key{}, std::move(token), std::move(result),
                                              std::move(fragment), std::move(delta), revision, kind);
}

prepared_admission::prepared_admission(construction_key, std::shared_ptr<retained_store_token> token,
                                       preflight_result result, owner_fragment fragment, resource_delta delta,
                                       std::uint32_t revision, std::uint8_t kind)
    : token_(std::move(token)), revision_(revision), kind_(kind) {
  admitted_ = result.admitted;
  message_ = result.message;
  validations_ = result.validations;
  explicit_comparisons_ = result.explicit_comparisons;
  payload_comparisons_ = result.payload_comparisons;
  index_probes_ = result.index_probes;
  first_sequence_ = result.owner.first_sequence;
  last_sequence_ = result.owner.last_sequence;
  fragment_text_ = fragment_record_text(fragment);
  command_texts_ = texts_of(fragment.commands, command_record_text);
  delta_texts_ = {texts_of(delta.paints, paint_record_text), texts_of(delta.images, image_record_text),
                  texts_of(delta.glyphs, glyph_record_text), texts_of(delta.clips, clip_record_text),
                  texts_of(delta.transforms, transform_record_text)};
  accepted_texts_ = {
      texts_of(result.accepted_paints, paint_record_text), texts_of(result.accepted_images, image_record_text),
      texts_of(result.accepted_glyphs, glyph_record_text), texts_of(result.accepted_clips, clip_record_text),
      texts_of(result.accepted_transforms, transform_record_text)};
  rows_ = std::move(result.owner.resolved_rows);
}

prepared_admission::~prepared_admission() = default;

bool prepared_admission::is_admitted() { return admitted_ != 0; }
std::uint32_t prepared_admission::revision() { return revision_; }
std::uint32_t prepared_admission::validations() { return validations_; }
std::uint32_t prepared_admission::explicit_comparisons() { return explicit_comparisons_; }
std::uint32_t prepared_admission::payload_comparisons() { return payload_comparisons_; }
std::uint32_t prepared_admission::index_probes() { return index_probes_; }
text prepared_admission::message() { return message_; }
bool prepared_admission::is_consumed() { return consumed_ != 0; }
bool prepared_admission::belongs_to(const std::shared_ptr<retained_store_token>& other) { return token_ == other; }
bool prepared_admission::is_bind() { return kind_ != 0; }
void prepared_admission::mark_consumed() { consumed_ = 1; }

bool prepared_admission::inputs_match(const owner_fragment& fragment, const resource_delta& delta) {
  // Each list is compared by its length first, so no text is printed for a
  // list of the wrong length.
  const resource_texts& d = delta_texts_;
  return fragment_record_text(fragment) == fragment_text_ &&
         texts_equal(fragment.commands, command_texts_, command_record_text) &&
         texts_equal(delta.paints, d.paints, paint_record_text) &&
         texts_equal(delta.images, d.images, image_record_text) &&
         texts_equal(delta.glyphs, d.glyphs, glyph_record_text) &&
         texts_equal(delta.clips, d.clips, clip_record_text) &&
         texts_equal(delta.transforms, d.transforms, transform_record_text);
}

preflight_result prepared_admission::staged_admission(const owner_fragment& fragment, const resource_delta& delta) {
  preflight_result result = make_preflight_result(fragment.id, static_cast<std::uint32_t>(fragment.generation));
  result.admitted = admitted_;
  result.message = message_;
  result.validations = validations_;
  result.explicit_comparisons = explicit_comparisons_;
  result.payload_comparisons = payload_comparisons_;
  result.index_probes = index_probes_;
  result.owner.first_sequence = first_sequence_;
  result.owner.last_sequence = last_sequence_;
  const resource_texts& a = accepted_texts_;
  pick_accepted(delta.paints, a.paints, paint_record_text, result.accepted_paints);
  pick_accepted(delta.images, a.images, image_record_text, result.accepted_images);
  pick_accepted(delta.glyphs, a.glyphs, glyph_record_text, result.accepted_glyphs);
  pick_accepted(delta.clips, a.clips, clip_record_text, result.accepted_clips);
  pick_accepted(delta.transforms, a.transforms, transform_record_text, result.accepted_transforms);
  resolved_row_lists& out = result.owner.resolved_rows;
  for (std::size_t i = 0; i < fragment.commands.size(); ++i) {
    result.owner.commands.push_back(fragment.commands[i]);
    out.paint.push_back(row_or_none(rows_.paint, i));
    out.image.push_back(row_or_none(rows_.image, i));
    out.glyph.push_back(row_or_none(rows_.glyph, i));
    out.clip.push_back(row_or_none(rows_.clip, i));
    out.transform.push_back(row_or_none(rows_.transform, i));
  }
  return result;
}

std::shared_ptr<prepared_admission> retained_resource_store::prepare_bind(const owner_fragment& fragment,
                                                                          const resource_delta& delta,
                                                                          std::uint32_t expected_revision) {
  preflight_result result = stage_owner_admission(fragment, delta, expected_revision, ADMISSION_BIND);
  return prepared_admission::make(token, std::move(result), fragment, delta, expected_revision, ADMISSION_BIND);
}

std::shared_ptr<prepared_admission> retained_resource_store::prepare_update(const owner_fragment& fragment,
                                                                            const resource_delta& delta,
                                                                            std::uint32_t expected_revision) {
  preflight_result result = stage_owner_admission(fragment, delta, expected_revision, ADMISSION_UPDATE);
  return prepared_admission::make(token, std::move(result), fragment, delta, expected_revision, ADMISSION_UPDATE);
}

operation_result retained_resource_store::commit_prepared_admission(const std::shared_ptr<prepared_admission>& prepared,
                                                                    const owner_fragment& fragment,
                                                                    const resource_delta& delta, std::uint8_t kind) {
  const auto refuse = [this](const text& message) { return make_operation_result(false, revision, 0, 0, 0, message); };
  if (!prepared) return refuse("retained resource prepared admission is missing");
  if (!prepared->belongs_to(token)) return refuse("retained resource prepared admission belongs to another store");
  if (prepared->is_consumed()) return refuse("retained resource prepared admission was already consumed");
  if (prepared->is_bind() != (kind != 0))
    return refuse("retained resource prepared admission kind does not match commit");
  if (!prepared->is_admitted()) return refuse(prepared->message());
  if (prepared->revision() != revision) {
    return refuse(format_placeholders("retained resource prepared admission is stale: expected {0}, current {1}",
                                      {signed_decimal(prepared->revision()), signed_decimal(revision)}));
  }
  if (!prepared->inputs_match(fragment, delta))
    return refuse("retained resource prepared admission inputs were changed");
  const operation_result applied = apply_staged_admission(prepared->staged_admission(fragment, delta), kind);
  prepared->mark_consumed();
  return applied;
}

operation_result retained_resource_store::commit_prepared_bind(const std::shared_ptr<prepared_admission>& prepared,
                                                               const owner_fragment& fragment,
                                                               const resource_delta& delta) {
  return commit_prepared_admission(prepared, fragment, delta, ADMISSION_BIND);
}

operation_result retained_resource_store::commit_prepared_update(const std::shared_ptr<prepared_admission>& prepared,
                                                                 const owner_fragment& fragment,
                                                                 const resource_delta& delta) {
  return commit_prepared_admission(prepared, fragment, delta, ADMISSION_UPDATE);
}

}  // namespace orvi
