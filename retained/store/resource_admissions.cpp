// Resource admissions: each resource of a delta is either already known under
// its identity with exactly the same content, or new and obeying the rules of
// its kind, or refused with a message. Nothing here changes the store; the
// effect is on the admission's counters, message and accepted lists.
#include <algorithm>
#include <string>
#include <unordered_map>

#include "retained/model/admission.hpp"
#include "retained/store/retained_resource_store.hpp"
#include "runtime/format.hpp"

namespace orvi {

namespace {

text decimal(std::int32_t value) { return std::to_string(value); }

text with_id(std::string_view templ, const text& id) { return format_placeholders(templ, {id}); }

bool within(std::int64_t value, std::int64_t low, std::int64_t high) { return value >= low && value <= high; }

// The identity of an image: its id together with its generation.
text image_identity(const text& id, std::int32_t generation) {
  return std::to_string(id.size()) + ":" + id + "@" + decimal(generation);
}

const text& identity_of(const paint_record& r) { return r.id; }
const text& identity_of(const glyph_alpha_record& r) { return r.id; }
const text& identity_of(const clip_record& r) { return r.id; }
const text& identity_of(const transform_record& r) { return r.id; }
text identity_of(const render_image_record& r) { return image_identity(r.id, r.generation); }

using newest_generations = std::unordered_map<text, std::int32_t>;

// Images also keep the highest generation accepted for each id.
void note_newest(newest_generations*, const paint_record&) {}
void note_newest(newest_generations*, const glyph_alpha_record&) {}
void note_newest(newest_generations*, const clip_record&) {}
void note_newest(newest_generations*, const transform_record&) {}
void note_newest(newest_generations* newest, const render_image_record& image) {
  std::int32_t& generation = newest->try_emplace(image.id, 0).first->second;
  if (image.generation > generation) generation = image.generation;
}

void start_over(accepted_positions::kind_positions& kind, newest_generations* newest) {
  kind.first.clear();
  kind.indexed = 0;
  if (newest != nullptr) newest->clear();
}

// Indexes the entries added since the last lookup, keeping the first position
// of each identity; a list that shrank is indexed again from its start.
template <class T>
void catch_up(accepted_positions::kind_positions& kind, const std::vector<T>& accepted, newest_generations* newest) {
  if (accepted.size() < kind.indexed) start_over(kind, newest);
  if (kind.first.bucket_count() < accepted.capacity()) kind.first.reserve(accepted.capacity());
  for (; kind.indexed < accepted.size(); ++kind.indexed) {
    kind.first.emplace(identity_of(accepted[kind.indexed]), static_cast<std::int32_t>(kind.indexed));
    note_newest(newest, accepted[kind.indexed]);
  }
}

template <class T>
std::int32_t walk(const std::vector<T>& accepted, const text& identity) {
  for (std::size_t p = 0; p < accepted.size(); ++p) {
    if (identity_of(accepted[p]) == identity) return static_cast<std::int32_t>(p);
  }
  return -1;
}

template <class T>
std::int32_t first_position(bool staging, accepted_positions::kind_positions& kind, const std::vector<T>& accepted,
                            const text& identity, newest_generations* newest = nullptr) {
  if (!staging) return walk(accepted, identity);
  catch_up(kind, accepted, newest);
  auto found = kind.first.find(identity);
  if (found == kind.first.end()) return -1;
  const auto position = static_cast<std::size_t>(found->second);
  if (position < accepted.size() && identity_of(accepted[position]) == identity) return found->second;
  // The list was changed in place: index it again from its start.
  start_over(kind, newest);
  catch_up(kind, accepted, newest);
  found = kind.first.find(identity);
  return found == kind.first.end() ? -1 : found->second;
}

// Step 2 of every admission, for a record found under its identity: counted,
// compared, accepted when equal and refused with the collision message when not.
template <class T, class Collision>
bool known_record(preflight_result& result, const T& known, const T& fresh, bool (*equal)(const T&, const T&),
                  bool carries_payload, Collision collision) {
  ++result.explicit_comparisons;
  if (carries_payload) ++result.payload_comparisons;
  if (equal(known, fresh)) return true;
  result.message = collision();
  return false;
}

// Steps 5 and 6: the rules have run and given their message.
template <class T>
bool validated(preflight_result& result, std::vector<T>& accepted, const T& record, const text& message) {
  ++result.validations;
  if (!message.empty()) {
    result.message = message;
    return false;
  }
  accepted.push_back(record);
  return true;
}

text paint_rules(const paint_record& p) {
  if (p.id.empty()) return "render paint requires a nonempty id";
  if (!within(p.red, 0, 255) || !within(p.green, 0, 255) || !within(p.blue, 0, 255) || !within(p.alpha, 0, 255)) {
    return with_id("render paint {0} requires RGBA channels from 0 through 255", p.id);
  }
  if (p.radius < 0 || p.borderWidth < 0) {
    return with_id("render paint {0} requires nonnegative radius and border width", p.id);
  }
  if (!within(p.opacity, 0, 100)) return with_id("render paint {0} requires opacity from 0 through 100", p.id);
  if (p.id.size() > 256) return "retained paint id exceeds 256 bytes";
  return {};
}

bool is_sha256_identity(const text& identity) {
  constexpr std::string_view prefix = "sha256:";
  return identity.size() == prefix.size() + 64 && starts_with(identity, prefix) &&
         is_hex_text(std::string_view(identity).substr(prefix.size()));
}

text glyph_rules(const glyph_alpha_record& g) {
  if (!is_sha256_identity(g.id)) return "render glyph alpha resource requires a sha256 content identity";
  if (g.source.empty()) return with_id("render glyph alpha resource {0} requires a source", g.id);
  if (g.format != "a8-unorm-hex") return with_id("render glyph alpha resource {0} format must be a8-unorm-hex", g.id);
  if (!within(g.width, 1, 4096) || !within(g.height, 1, 4096)) {
    return with_id("render glyph alpha resource {0} dimensions must be within 1..4096", g.id);
  }
  if (g.rowBytes != g.width || g.sizeBytes != std::int64_t{g.width} * g.height || !within(g.sizeBytes, 1, 524288)) {
    return with_id("render glyph alpha resource {0} requires tightly packed rows within 512 KiB", g.id);
  }
  if (g.payload.size() != static_cast<std::size_t>(g.sizeBytes) * 2 || !is_hex_text(g.payload)) {
    return with_id("render glyph alpha resource {0} payload must be exact A8 hexadecimal data", g.id);
  }
  return {};
}

text clip_rules(const clip_record& c) {
  if (!within(static_cast<std::int64_t>(c.id.size()), 1, 256)) {
    return "retained resource clip requires an id of 1..256 bytes";
  }
  if (c.width < 1 || c.height < 1 || c.radius < 0) {
    return with_id("retained resource clip {0} requires positive bounds and a nonnegative radius", c.id);
  }
  return {};
}

text transform_rules(const transform_record& t) {
  if (!within(static_cast<std::int64_t>(t.id.size()), 1, 64)) {
    return "render transform requires a nonempty id of at most 64 bytes";
  }
  if (t.id == "identity") return "render transform id identity is reserved for the built-in identity transform";
  if (!within(t.translateX, -1000000, 1000000) || !within(t.translateY, -1000000, 1000000)) {
    return with_id("render transform {0} translation must be within -1000000..1000000", t.id);
  }
  if (!within(t.scaleX, 1, 10000) || !within(t.scaleY, 1, 10000)) {
    return with_id("render transform {0} scale must be within 1..10000 percent", t.id);
  }
  if (!within(t.rotation, -360000, 360000)) {
    return with_id("render transform {0} rotation must be within -360000..360000 millidegrees", t.id);
  }
  return {};
}

}  // namespace

accepted_positions& accepted_positions::operator=(const accepted_positions& other) noexcept {
  if (this != &other) {
    for (kind_positions* kind : {&paints_, &images_, &glyphs_, &clips_, &transforms_}) start_over(*kind, nullptr);
    newest_.clear();
    staging_ = false;
  }
  return *this;
}

std::int32_t accepted_positions::paint(const std::vector<paint_record>& accepted, const text& id) {
  return first_position(staging_, paints_, accepted, id);
}

std::int32_t accepted_positions::image(const std::vector<render_image_record>& accepted, const text& id,
                                       std::int32_t generation) {
  return first_position(staging_, images_, accepted, image_identity(id, generation), &newest_);
}

std::int32_t accepted_positions::glyph(const std::vector<glyph_alpha_record>& accepted, const text& identity) {
  return first_position(staging_, glyphs_, accepted, identity);
}

std::int32_t accepted_positions::clip(const std::vector<clip_record>& accepted, const text& id) {
  return first_position(staging_, clips_, accepted, id);
}

std::int32_t accepted_positions::transform(const std::vector<transform_record>& accepted, const text& id) {
  return first_position(staging_, transforms_, accepted, id);
}

std::int32_t accepted_positions::newest_image(const std::vector<render_image_record>& accepted, const text& id) {
  if (!staging_) {
    std::int32_t newest = 0;
    for (const render_image_record& image : accepted) {
      if (image.id == id && image.generation > newest) newest = image.generation;
    }
    return newest;
  }
  catch_up(images_, accepted, &newest_);
  const auto found = newest_.find(id);
  return found == newest_.end() ? 0 : found->second;
}

bool retained_resource_store::admit_paint(preflight_result& result, staging_state& staging, const paint_record& paint) {
  const auto collision = [&] { return with_id("retained paint identity collision for {0}", paint.id); };
  const std::int32_t row = find_paint_index(result, staging, paint.id);
  if (row >= 0) return known_record(result, paint_at(staging, row), paint, paints_equal, false, collision);
  const std::int32_t position = result.accepted_index.paint(result.accepted_paints, paint.id);
  if (position >= 0) {
    const paint_record& earlier = result.accepted_paints[static_cast<std::size_t>(position)];
    return known_record(result, earlier, paint, paints_equal, false, collision);
  }
  return validated(result, result.accepted_paints, paint, paint_rules(paint));
}

bool retained_resource_store::admit_image(preflight_result& result, staging_state& staging,
                                          const render_image_record& image) {
  const auto collision = [&] {
    return format_placeholders("retained image identity collision for {0}@{1}", {image.id, decimal(image.generation)});
  };
  const std::int32_t row = find_image_generation_index(result, staging, image.id, image.generation);
  if (row >= 0) return known_record(result, image_at(staging, row), image, images_equal, true, collision);
  const std::int32_t position = result.accepted_index.image(result.accepted_images, image.id, image.generation);
  if (position >= 0) {
    const render_image_record& earlier = result.accepted_images[static_cast<std::size_t>(position)];
    return known_record(result, earlier, image, images_equal, true, collision);
  }
  // A generation below the newest one known for the id would go back in time.
  std::int32_t newest = static_cast<std::int32_t>(find_latest_image_index(result, staging, image.id));
  newest = std::max(newest, result.accepted_index.newest_image(result.accepted_images, image.id));
  if (newest >= 1 && newest > image.generation) {
    result.message = format_placeholders("retained image {0} generation regressed from {1} to {2}",
                                         {image.id, decimal(newest), decimal(image.generation)});
    return false;
  }
  return validated(result, result.accepted_images, image, validate_render_image(image));
}

bool retained_resource_store::admit_glyph_alpha(preflight_result& result, staging_state& staging,
                                                const glyph_alpha_record& glyph) {
  const auto collision = [&] { return with_id("retained glyph identity collision for {0}", glyph.id); };
  const std::int32_t row = find_glyph_index(result, staging, glyph.id);
  if (row >= 0) return known_record(result, glyph_at(staging, row), glyph, glyphs_equal, true, collision);
  const std::int32_t position = result.accepted_index.glyph(result.accepted_glyphs, glyph.id);
  if (position >= 0) {
    const glyph_alpha_record& earlier = result.accepted_glyphs[static_cast<std::size_t>(position)];
    return known_record(result, earlier, glyph, glyphs_equal, true, collision);
  }
  return validated(result, result.accepted_glyphs, glyph, glyph_rules(glyph));
}

bool retained_resource_store::admit_clip(preflight_result& result, staging_state& staging, const clip_record& clip) {
  const auto collision = [&] { return with_id("retained clip identity collision for {0}", clip.id); };
  const std::int32_t row = find_clip_index(result, staging, clip.id);
  if (row >= 0) return known_record(result, clip_at(staging, row), clip, clips_equal, false, collision);
  const std::int32_t position = result.accepted_index.clip(result.accepted_clips, clip.id);
  if (position >= 0) {
    const clip_record& earlier = result.accepted_clips[static_cast<std::size_t>(position)];
    return known_record(result, earlier, clip, clips_equal, false, collision);
  }
  return validated(result, result.accepted_clips, clip, clip_rules(clip));
}

bool retained_resource_store::admit_transform(preflight_result& result, staging_state& staging,
                                              const transform_record& transform) {
  const auto collision = [&] { return with_id("retained transform identity collision for {0}", transform.id); };
  const std::int32_t row = find_transform_index(result, staging, transform.id);
  if (row >= 0) {
    return known_record(result, transform_at(staging, row), transform, transforms_equal, false, collision);
  }
  const std::int32_t position = result.accepted_index.transform(result.accepted_transforms, transform.id);
  if (position >= 0) {
    const transform_record& earlier = result.accepted_transforms[static_cast<std::size_t>(position)];
    return known_record(result, earlier, transform, transforms_equal, false, collision);
  }
  return validated(result, result.accepted_transforms, transform, transform_rules(transform));
}

}  // namespace orvi
