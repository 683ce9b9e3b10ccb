// Random operation sequences on a retained resource store over a small universe
// of ids, generations and sequences, so that collisions, regressions, overlaps
// and duplicates happen often, with the invariants that must hold after every
// step whatever happened. Everything is checked from the outside. A twin store
// is given, through the direct operations, every change the store applies, so
// prepared commits and batches must leave exactly what direct binds and updates
// leave. Shared by the seeded random test and the fuzz target, which differ only
// in where their choices come from.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "retained/model/admission.hpp"
#include "retained/model/index.hpp"
#include "retained/model/record_text.hpp"
#include "retained/store/candidate_batch.hpp"
#include "retained/store/prepared_admission.hpp"
#include "retained/store/retained_resource_store.hpp"

namespace store_proof {

using namespace orvi;

struct proof_failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class choices {
 public:
  virtual ~choices() = default;
  virtual std::uint32_t below(std::uint32_t n) = 0;  // 0..n-1, n at most 256
  bool one_in(std::uint32_t n) { return below(n) == 0; }
  // Faults (collisions, broken rules, missing resources) come only in a wild step.
  bool fault(std::uint32_t n) { return wild && one_in(n); }
  bool wild = true;
  const text& pick(const std::vector<text>& from) { return from[below(static_cast<std::uint32_t>(from.size()))]; }
};

class seeded_choices final : public choices {
 public:
  explicit seeded_choices(std::uint64_t seed) : rng_(seed) {}
  std::uint32_t below(std::uint32_t n) override { return static_cast<std::uint32_t>(rng_() % n); }

 private:
  std::mt19937_64 rng_;
};

// One byte per choice; past the end every choice is 0.
class byte_choices final : public choices {
 public:
  byte_choices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint32_t below(std::uint32_t n) override { return pos_ < size_ ? data_[pos_++] % n : 0; }
  bool exhausted() const { return pos_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_, pos_ = 0;
};

inline const text SURFACE = "main";
inline const std::vector<text> PAINTS{"p0", "p1", "p2"}, IMAGES{"i0", "i1"}, CLIPS{"c0", "c1"}, TRANSFORMS{"t0", "t1"},
    OWNERS{"o0", "o1", "o2", "o3"}, GLYPHS{"sha256:" + text(64, 'a'), "sha256:" + text(64, 'B')};

// Each identity mostly comes as the one record it always has, so that resending
// it is a known resource; sometimes as a variant that collides with it, or that
// breaks a rule of its kind when it is new.
inline paint_record make_paint(choices& c, const text& id) {
  paint_record p{id, id.back(), 20, 30, 255, 0, 0, 100};
  if (c.fault(8)) p.red = 7;
  if (c.fault(16)) p.opacity = 101;
  return p;
}
inline render_image_record make_image(choices& c, const text& id, std::int32_t generation) {
  const std::int32_t width = 1 + generation % 2;
  render_image_record i{id,
                        "image",
                        generation,
                        width,
                        1,
                        width * 4,
                        "bgra8-hex",
                        "srgb",
                        "straight",
                        "ready",
                        true,
                        id + "@" + std::to_string(generation),
                        text(width * 8, 'f'),
                        "src"};
  if (c.fault(8))
    i = {id,        "image", generation,        width, 1,    0, "bgra8-hex", "srgb", "straight",
         "loading", false,   i.contentIdentity, "",    "src"};
  if (c.fault(16)) i.format = "rgba8";
  return i;
}
inline glyph_alpha_record make_glyph(choices& c, const text& id) {
  glyph_alpha_record g{id, 2, 1, 2, 2, "a8-unorm-hex", "00ff", "src"};
  if (c.fault(8)) g.payload = "ffff";
  if (c.fault(16)) g.rowBytes = 3;
  return g;
}
inline clip_record make_clip(choices& c, const text& id) {
  return {id, 0, 0, 10, c.fault(16) ? 0 : 10, c.fault(8) ? 2 : 0};
}
inline transform_record make_transform(choices& c, const text& id) {
  return {id, 0, 0, c.fault(16) ? 0 : 100, 100, c.fault(8) ? 90 : 0};
}
inline std::int32_t image_generation(choices& c) { return c.fault(16) ? 0 : 1 + static_cast<std::int32_t>(c.below(3)); }
inline text glyph_id(choices& c) { return c.fault(16) ? text("sha256:00") : c.pick(GLYPHS); }
inline text transform_id(choices& c) { return c.fault(16) ? text("identity") : c.pick(TRANSFORMS); }

inline render_command_record make_command(choices& c, const text& owner, std::int32_t sequence) {
  static const std::vector<text> kinds{"rect", "image", "glyphAlpha", "text"};
  render_command_record m;
  m.sequence = sequence;
  m.owner = c.one_in(4) ? owner + ".part" : c.fault(16) ? text("zz") : owner;
  m.kind = c.pick(kinds);
  if (m.kind == "image") m.resourceId = c.pick(IMAGES), m.imageGeneration = 1 + static_cast<std::int32_t>(c.below(3));
  if (m.kind == "glyphAlpha") m.resourceId = glyph_id(c), m.geometryFlag = c.one_in(4);
  if (c.one_in(2)) m.paintId = c.pick(PAINTS);
  if (c.one_in(3)) m.clipId = c.pick(CLIPS);
  if (c.one_in(3)) m.transformId = c.one_in(3) ? text("identity") : c.pick(TRANSFORMS);
  m.geometry[0] = static_cast<std::int32_t>(c.below(3));
  m.attributeText1 = c.one_in(2) ? "a" : "";
  return m;
}

// A well-formed fragment of the owner with no commands yet.
inline owner_fragment base_fragment(const text& id, std::int32_t generation) {
  owner_fragment f;
  f.id = id;
  f.generation = generation;
  f.layoutWidth = f.layoutHeight = f.inkWidth = f.inkHeight = 10;
  f.dependencySignature = {"k1", "k2", "k3", "k4", "k5", "k6"};
  f.source = "src";
  return f;
}

inline owner_fragment make_fragment(choices& c, const text& id, std::int32_t generation,
                                    const std::vector<std::int32_t>& sequences) {
  owner_fragment f = base_fragment(id, generation);
  f.auxValue = static_cast<std::int32_t>(c.below(2));
  if (c.fault(16)) f.inkWidth = 5;
  if (c.fault(16)) f.dependencySignature.signatureText6.clear();
  for (std::int32_t sequence : sequences) f.commands.push_back(make_command(c, id, sequence));
  return f;
}

// Mostly brings what the commands reference; sometimes not, and sometimes more.
inline resource_delta make_delta(choices& c, const owner_fragment& f) {
  resource_delta d;
  d.surface = c.fault(16) ? "other" : SURFACE;
  for (const render_command_record& m : f.commands) {
    if (!m.paintId.empty() && !c.fault(3)) d.paints.push_back(make_paint(c, m.paintId));
    if (m.kind == "image" && !c.fault(3)) d.images.push_back(make_image(c, m.resourceId, m.imageGeneration));
    if (m.kind == "glyphAlpha" && !c.fault(3)) d.glyphs.push_back(make_glyph(c, m.resourceId));
    if (!m.clipId.empty() && !c.fault(3)) d.clips.push_back(make_clip(c, m.clipId));
    if (!m.transformId.empty() && m.transformId != "identity" && !c.fault(3))
      d.transforms.push_back(make_transform(c, m.transformId));
  }
  for (std::uint32_t n = c.below(3); n > 0; --n) {
    switch (c.below(5)) {
      case 0:
        d.paints.push_back(make_paint(c, c.pick(PAINTS)));
        break;
      case 1:
        d.images.push_back(make_image(c, c.pick(IMAGES), image_generation(c)));
        break;
      case 2:
        d.glyphs.push_back(make_glyph(c, glyph_id(c)));
        break;
      case 3:
        d.clips.push_back(make_clip(c, c.pick(CLIPS)));
        break;
      default:
        d.transforms.push_back(make_transform(c, transform_id(c)));
        break;
    }
  }
  return d;
}

// What a prepared commit compares: the canonical texts of the inputs, without the surface.
inline std::vector<text> input_texts(const owner_fragment& f, const resource_delta& d) {
  std::vector<text> t{fragment_record_text(f)};
  for (const auto& m : f.commands) t.push_back(command_record_text(m));
  t.push_back("paints");
  for (const auto& r : d.paints) t.push_back(paint_record_text(r));
  t.push_back("images");
  for (const auto& r : d.images) t.push_back(image_record_text(r));
  t.push_back("glyphs");
  for (const auto& r : d.glyphs) t.push_back(glyph_record_text(r));
  t.push_back("clips");
  for (const auto& r : d.clips) t.push_back(clip_record_text(r));
  t.push_back("transforms");
  for (const auto& r : d.transforms) t.push_back(transform_record_text(r));
  return t;
}

// Changes one input, or reorders two parts of it, or only its surface (which a
// commit does not compare); whether the texts still match is decided by them.
inline void alter_inputs(choices& c, owner_fragment& f, resource_delta& d) {
  switch (c.below(4)) {
    case 0:
      f.commands[c.below(static_cast<std::uint32_t>(f.commands.size()))].geometry[17] += 1;
      break;
    case 1:
      d.paints.empty() ? void(f.auxValue += 1) : void(d.paints.back().opacity ^= 1);
      break;
    case 2:
      d.surface = "elsewhere";
      break;
    default:
      if (d.images.size() > 1)
        std::swap(d.images[0], d.images[1]);
      else if (f.commands.size() > 1)
        std::swap(f.commands[0], f.commands[1]);
      else
        d.paints.push_back(make_paint(c, "p0"));
  }
}

struct injected_fault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A store one of whose apply steps throws when armed: an apply cut short must
// pass the exception on and leave the store as it was.
struct fallible_store : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  std::int32_t countdown = -1;
  void tick() {
    if (countdown >= 0 && countdown-- == 0) throw injected_fault("injected");
  }
  void index_put(const text& key, std::uint32_t value) override {
    tick();
    retained_resource_store::index_put(key, value);
  }
  void append_command_row(std::int32_t owner_row, const render_command_record& command, std::int32_t paint_row,
                          std::int32_t image_row, std::int32_t glyph_row, std::int32_t clip_row,
                          std::int32_t transform_row) override {
    tick();
    retained_resource_store::append_command_row(owner_row, command, paint_row, image_row, glyph_row, clip_row,
                                                transform_row);
  }
  void set_command_row(std::int32_t command_row, const render_command_record& command, std::int32_t paint_row,
                       std::int32_t image_row, std::int32_t glyph_row, std::int32_t clip_row,
                       std::int32_t transform_row) override {
    tick();
    retained_resource_store::set_command_row(command_row, command, paint_row, image_row, glyph_row, clip_row,
                                             transform_row);
  }
};

inline text decimal(std::uint32_t v) { return std::to_string(static_cast<std::int32_t>(v)); }

// Everything the store shows from the outside: figures that only an applied
// change may move, the content that the twin must equal, and the rows read back.
struct observed {
  text figures, content;
  std::array<std::vector<text>, 5> rows;
  bool operator==(const observed&) const = default;
};

struct owner_state {
  text id;
  std::int32_t generation = 0;
  std::vector<render_command_record> commands;
  std::uint32_t first_row = 0;
};

inline observed look(retained_resource_store& s, const std::vector<owner_state>& owners) {
  observed o;
  o.figures = s.store_diagnostics_text() + "|" + decimal(s.current_revision()) + "|" + decimal(s.admission_total()) +
              "|" + decimal(s.index_probe_total());
  for (std::uint32_t v :
       {s.entry_count(), s.paint_count(), s.image_count(), s.glyph_count(), s.clip_count(), s.transform_count(),
        s.owner_count(), s.command_total(), s.payload_total(), s.validation_total(), s.explicit_comparison_total(),
        s.payload_comparison_total(), s.index_node_count(), s.index_bucket_count()})
    o.content += decimal(v) + " ";
  o.content += s.state_name() + "|" + s.surface_name() + "|";
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.paint_count()); ++r)
    o.rows[0].push_back(paint_record_text(s.read_paint_row(r)));
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.image_count()); ++r)
    o.rows[1].push_back(image_record_text(s.read_image_row(r)));
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.glyph_count()); ++r)
    o.rows[2].push_back(glyph_record_text(s.read_glyph_row(r)));
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.clip_count()); ++r)
    o.rows[3].push_back(clip_record_text(s.read_clip_row(r)));
  for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.transform_count()); ++r)
    o.rows[4].push_back(transform_record_text(s.read_transform_row(r)));
  for (std::int32_t r = -1; r <= static_cast<std::int32_t>(s.command_total()); ++r) {
    for (std::int32_t v : {s.command_owner(r), s.command_paint_row(r), s.command_image_row(r), s.command_glyph_row(r),
                           s.command_clip_row(r), s.command_transform_row(r)})
      o.content += std::to_string(v) + ",";
  }
  for (const owner_state& owner : owners) {
    const std::int32_t row = s.find_owner_binding(owner.id);
    o.content += "|" + owner.id + ":" + std::to_string(row) + ":" + decimal(s.owner_generation(row));
    for (std::int32_t j = 0; j < static_cast<std::int32_t>(owner.commands.size()); ++j) {
      for (std::int32_t v :
           {s.owner_command_paint_row(row, j), s.owner_command_image_row(row, j), s.owner_command_glyph_row(row, j),
            s.owner_command_clip_row(row, j), s.owner_command_transform_row(row, j)})
        o.content += "," + std::to_string(v);
    }
  }
  return o;
}

class driver {
 public:
  explicit driver(choices& c) : c_(c) { reset(SURFACE); }

  // One operation with its checks, then the invariants of the whole store.
  void step() {
    ++steps_;
    before_ = look(*store_, owners_);
    c_.wild = c_.one_in(3);
    const std::uint32_t pick = c_.below(200);
    if (pick < 2)
      close();
    else if (pick == 2 || (store_->state_name() != "open" && pick < 40))
      reset(c_.one_in(2) ? SURFACE : c_.one_in(2) ? text() : text(129, 's'));
    else if (pick < 40)
      direct(ADMISSION_BIND);
    else if (pick < 80)
      direct(ADMISSION_UPDATE);
    else if (pick < 110)
      prepare(c_.one_in(2) ? ADMISSION_BIND : ADMISSION_UPDATE);
    else if (pick < 140)
      commit();
    else if (pick < 160)
      prepare_batch();
    else if (pick < 185)
      commit_batch();
    else
      find();
    check_store();
  }

  std::uint64_t steps() const { return steps_; }
  // How often each message came back: shows what the sequences reach.
  const std::map<text, std::uint64_t>& outcomes() const { return outcomes_; }

 private:
  struct prepared_entry {
    std::shared_ptr<prepared_admission> prepared;
    owner_fragment fragment;
    resource_delta delta;
    std::uint8_t kind;
    std::uint32_t store_id;
  };
  struct batch_entry {
    std::shared_ptr<prepared_candidate_batch> batch;
    std::vector<owner_fragment> fragments;
    std::vector<resource_delta> deltas;
    std::uint32_t store_id;
  };

  void expect(bool holds, const text& what) {
    if (!holds) throw proof_failure("step " + std::to_string(steps_) + " (" + op_ + "): " + what);
  }

  void reset(const text& surface) {
    store_ = std::make_unique<fallible_store>(surface);
    twin_ = std::make_unique<fallible_store>(surface);
    ++store_id_;
    owners_.clear();
    // Sometimes a prepared object of the old store stays, to be committed on the new one.
    if (!prepared_.empty()) prepared_.erase(prepared_.begin(), prepared_.end() - c_.one_in(4));
    if (!batches_.empty()) batches_.erase(batches_.begin(), batches_.end() - c_.one_in(4));
    revision_ = admissions_ = validations_ = explicit_ = payload_cmp_ = 0;
    closed_ = false;
    op_ = "new store '" + surface.substr(0, 8) + "'";
  }

  owner_state* bound(const text& id) {
    for (owner_state& o : owners_)
      if (o.id == id) return &o;
    return nullptr;
  }

  // Mostly an owner the admission can apply to: an unbound one to bind, a bound one to update.
  text owner_for(std::uint8_t kind) {
    std::vector<text> fit;
    for (const text& id : OWNERS)
      if ((bound(id) == nullptr) == (kind == ADMISSION_BIND)) fit.push_back(id);
    return fit.empty() || c_.fault(4) ? c_.pick(OWNERS) : c_.pick(fit);
  }

  // A fragment for the owner: mostly one that keeps its bound range with a newer
  // generation (for an update) or a range of its own (for a binding), and
  // sometimes an overlap, a repeat, an older generation or another range.
  std::pair<owner_fragment, resource_delta> inputs(const text& id, std::uint8_t kind) {
    const owner_state* o = bound(id);
    std::vector<std::int32_t> sequences;
    if (o && kind == ADMISSION_UPDATE && !c_.fault(8)) {
      for (const auto& m : o->commands) sequences.push_back(m.sequence);
    } else {
      std::int32_t next = c_.fault(8) ? static_cast<std::int32_t>(c_.below(40)) : 8 * (id.back() - '0');
      for (std::uint32_t n = 1 + c_.below(3); n > 0; --n) sequences.push_back(c_.fault(16) ? next : next++);
    }
    std::int32_t generation = o ? o->generation + 1 : 1 + static_cast<std::int32_t>(c_.below(3));
    if (c_.fault(6)) generation = static_cast<std::int32_t>(c_.below(4));
    owner_fragment f = make_fragment(c_, id, generation, sequences);
    resource_delta d = make_delta(c_, f);
    return {std::move(f), std::move(d)};
  }

  std::uint32_t expected_revision() {
    const std::uint32_t r = store_->current_revision();
    return c_.fault(8) ? r + (c_.one_in(2) ? 1u : ~0u) : r;
  }

  // Counted by operation and message, with the figures left out.
  void note(const text& message) {
    text key = op_.substr(0, op_.find(' ')) + ": " + message;
    for (char& ch : key) ch = ch >= '0' && ch <= '9' ? '#' : ch;
    ++outcomes_[key];
  }

  // A refused operation changes nothing and reports zeros at the current revision.
  void refused(retained_resource_store& s, const observed& was, const operation_result& r) {
    expect(!r.ok && r.message != "ok" && !r.message.empty(), "a refusal without a message");
    expect(r.revision == s.current_revision() && r.validations + r.explicitComparisons + r.payloadComparisons == 0,
           "a refusal reported figures");
    expect(look(s, owners_) == was, "a refused operation changed the store");
  }

  // The model follows an applied change; the twin is given it through a direct
  // operation and must report the same counters.
  void applied(const operation_result& r, const std::vector<owner_fragment>& fragments,
               const std::vector<resource_delta>& deltas, std::uint8_t kind, bool batch) {
    expect(r.ok && r.message == "ok" && r.revision == before_revision() + 1, "an applied result");
    revision_ += 1;
    admissions_ += 1;
    validations_ += r.validations;
    explicit_ += r.explicitComparisons;
    payload_cmp_ += r.payloadComparisons;
    std::uint32_t sums[3] = {0, 0, 0};
    for (std::size_t i = 0; i < fragments.size(); ++i) {
      const owner_fragment& f = fragments[i];
      const operation_result t = kind == ADMISSION_BIND ? twin_->bind_owner(f, deltas[i], twin_->current_revision())
                                                        : twin_->update_owner(f, deltas[i], twin_->current_revision());
      expect(t.ok, "the twin refused what the store applied: " + t.message);
      sums[0] += t.validations, sums[1] += t.explicitComparisons, sums[2] += t.payloadComparisons;
      if (owner_state* o = bound(f.id)) {
        expect(kind == ADMISSION_UPDATE && o->generation < f.generation, "an update that should not apply");
        o->generation = f.generation;
        o->commands = f.commands;
      } else {
        expect(kind == ADMISSION_BIND, "an update of an unbound owner applied");
        owners_.push_back({f.id, f.generation, f.commands, before_commands()});
      }
    }
    expect(sums[0] == r.validations && sums[1] == r.explicitComparisons && sums[2] == r.payloadComparisons,
           "the counters differ from the twin's");
    const observed now = look(*store_, owners_), twin = look(*twin_, owners_);
    expect(now.content == twin.content && now.rows == twin.rows,
           batch ? "a batch left other rows than its updates" : "a commit left other rows than its direct twin");
    for (int k = 0; k < 5; ++k) {
      const auto& old = before_.rows[k];
      expect(now.rows[k].size() >= old.size() && std::equal(old.begin(), old.end(), now.rows[k].begin()),
             "an applied change rewrote a stored resource row");
    }
    for (const resource_delta& d : deltas) {
      for (const auto& p : d.paints)
        expect(paints_equal(store_->read_paint_row(key("paint", p.id)), p), "a delta paint is not stored");
      for (const auto& i : d.images)
        expect(images_equal(store_->read_image_row(key("image-generation", i.id, i.generation)), i),
               "a delta image is not stored");
      for (const auto& g : d.glyphs)
        expect(glyphs_equal(store_->read_glyph_row(key("glyph", g.id)), g), "a delta glyph is not stored");
      for (const auto& x : d.clips)
        expect(clips_equal(store_->read_clip_row(key("clip", x.id)), x), "a delta clip is not stored");
      for (const auto& t : d.transforms)
        expect(transforms_equal(store_->read_transform_row(key("transform", t.id)), t),
               "a delta transform is not stored");
    }
  }

  // Runs a call that may apply, sometimes with an apply step armed to throw;
  // answers nothing when it threw, after checking that the store is unchanged.
  template <class Call>
  std::optional<operation_result> attempt(fallible_store& target, const observed& was, Call call) {
    target.countdown = c_.one_in(8) ? static_cast<std::int32_t>(c_.below(12)) : -1;
    try {
      const operation_result r = call();
      target.countdown = -1;
      return r;
    } catch (const injected_fault&) {
      target.countdown = -1;
      note("an apply cut short");
      expect(look(target, owners_) == was, "an apply cut short left the store changed");
      return std::nullopt;
    }
  }

  std::int32_t key(const char* kind, const text& id, std::int32_t number = 0) {
    return store_->index_find_key(make_index_key(kind, id, number));
  }
  std::uint32_t before_revision() const { return revision_; }
  std::uint32_t before_commands() const {
    std::uint32_t n = 0;
    for (const owner_state& o : owners_) n += static_cast<std::uint32_t>(o.commands.size());
    return n;
  }

  static operation_result run_direct(retained_resource_store& s, std::uint8_t kind, const owner_fragment& f,
                                     const resource_delta& d, std::uint32_t rev, bool preflight) {
    if (preflight) return kind ? s.preflight_bind(f, d, rev) : s.preflight_update(f, d, rev);
    return kind ? s.bind_owner(f, d, rev) : s.update_owner(f, d, rev);
  }
  static bool same_outcome(const operation_result& a, const operation_result& b) {
    return a.ok == b.ok && a.message == b.message && a.validations == b.validations &&
           a.explicitComparisons == b.explicitComparisons && a.payloadComparisons == b.payloadComparisons;
  }

  // A direct bind or update, often after the preflight of the same call, which
  // must agree with it.
  void direct(std::uint8_t kind) {
    auto [f, d] = inputs(owner_for(kind), kind);
    const std::uint32_t rev = expected_revision();
    op_ = text(kind ? "bind " : "update ") + f.id;
    const bool preflight = c_.one_in(2);
    const operation_result pre = preflight ? run_direct(*store_, kind, f, d, rev, true) : operation_result{};
    if (preflight) expect(look(*store_, owners_) == before_, "a preflight changed the store");
    const auto attempted = attempt(*store_, before_, [&] { return run_direct(*store_, kind, f, d, rev, false); });
    if (!attempted) return;
    const operation_result& r = *attempted;
    note(r.message);
    if (preflight) {
      expect(same_outcome(pre, r) && pre.revision == before_revision(),
             "the preflight disagrees with the call that follows it");
    }
    if (store_->state_name() != "open") {
      expect(r.message == "retained resource store is not open", "not open");
    } else if (rev != revision_) {
      expect(r.message ==
                 "retained resource store stale revision: expected " + decimal(rev) + ", current " + decimal(revision_),
             "a stale revision was not refused as stale");
    } else {  // the twin holds what the store holds (its owner ranges and keys too), so it decides alike
      const operation_result t = run_direct(*twin_, kind, f, d, twin_->current_revision(), true);
      expect(same_outcome(t, r), "the twin decides '" + t.message + "' where the store decided '" + r.message + "'");
    }
    if (r.ok)
      applied(r, {f}, {d}, kind, false);
    else
      refused(*store_, before_, r);
  }

  // Preparing changes nothing and decides exactly what the preflight decides.
  void prepare(std::uint8_t kind) {
    auto [f, d] = inputs(owner_for(kind), kind);
    const std::uint32_t rev = expected_revision();
    op_ = text(kind ? "prepare-bind " : "prepare-update ") + f.id;
    const operation_result pre = run_direct(*store_, kind, f, d, rev, true);
    auto p = kind ? store_->prepare_bind(f, d, rev) : store_->prepare_update(f, d, rev);
    expect(p && p->is_admitted() == pre.ok && p->message() == pre.message && p->revision() == rev &&
               p->is_bind() == (kind != 0) && !p->is_consumed(),
           "a prepared admission disagrees with the preflight");
    if (pre.ok) {
      expect(p->validations() == pre.validations && p->explicit_comparisons() == pre.explicitComparisons &&
                 p->payload_comparisons() == pre.payloadComparisons,
             "a prepared admission counted otherwise than the preflight");
    }
    expect(look(*store_, owners_) == before_, "preparing changed the store");
    prepared_.push_back({p, f, d, kind, store_id_});
    if (prepared_.size() > 8) prepared_.erase(prepared_.begin());
  }

  // Commits a prepared admission with the right, changed or reordered inputs,
  // in either kind, on this store or another; the checks decide in their order.
  void commit() {
    if (prepared_.empty()) return prepare(ADMISSION_BIND);
    prepared_entry& e =
        c_.one_in(2) ? prepared_.back() : prepared_[c_.below(static_cast<std::uint32_t>(prepared_.size()))];
    owner_fragment f = e.fragment;
    resource_delta d = e.delta;
    if (c_.one_in(3)) alter_inputs(c_, f, d);
    const std::uint8_t kind = c_.one_in(8) ? !e.kind : e.kind;
    fallible_store& target = c_.one_in(8) ? *twin_ : *store_;
    const observed was = look(target, owners_);
    const std::uint32_t probes = target.index_probe_total();
    const bool consumed = e.prepared->is_consumed();
    op_ = "commit " + e.fragment.id;
    const auto attempted = attempt(target, was, [&] {
      return kind ? target.commit_prepared_bind(e.prepared, f, d) : target.commit_prepared_update(e.prepared, f, d);
    });
    if (!attempted) return expect(e.prepared->is_consumed() == consumed, "an apply cut short consumed its admission");
    const operation_result& r = *attempted;
    note(r.message);
    const text prefix = "retained resource prepared admission ";
    text expected = "ok";
    if (&target != store_.get() || e.store_id != store_id_)
      expected = prefix + "belongs to another store";
    else if (consumed)
      expected = prefix + "was already consumed";
    else if (kind != e.kind)
      expected = prefix + "kind does not match commit";
    else if (!e.prepared->is_admitted())
      expected = e.prepared->message();
    else if (e.prepared->revision() != revision_)
      expected = prefix + "is stale: expected " + decimal(e.prepared->revision()) + ", current " + decimal(revision_);
    else if (input_texts(f, d) != input_texts(e.fragment, e.delta))
      expected = prefix + "inputs were changed";
    expect(r.message == expected, "commit answered '" + r.message + "', expected '" + expected + "'");
    expect(e.prepared->is_consumed() == (consumed || r.ok), "the consumed flag");
    if (!r.ok) return refused(target, was, r);
    expect(r.validations == e.prepared->validations() && r.explicitComparisons == e.prepared->explicit_comparisons() &&
               r.payloadComparisons == e.prepared->payload_comparisons() &&
               store_->index_probe_total() - probes >= e.prepared->index_probes(),
           "a commit counted otherwise than its preparation");
    applied(r, {e.fragment}, {e.delta}, kind, false);
  }

  // A batch of updates, mostly of bound owners with distinct owners; sometimes a
  // duplicate owner or sequence, or a stale revision.
  void prepare_batch() {
    batch_entry e{nullptr, {}, {}, store_id_};
    std::vector<text> ids = OWNERS;
    for (std::uint32_t n = 1 + c_.below(3); n > 0 && !ids.empty(); --n) {
      const std::size_t at = c_.below(static_cast<std::uint32_t>(ids.size()));
      auto [f, d] = inputs(ids[at], ADMISSION_UPDATE);
      if (!c_.one_in(6)) ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(at));
      e.fragments.push_back(std::move(f));
      e.deltas.push_back(std::move(d));
    }
    if (c_.fault(8)) e.deltas.pop_back();
    const std::uint32_t rev = expected_revision();
    op_ = "prepare-batch " + std::to_string(e.fragments.size());
    e.batch = store_->prepare_candidate_batch(e.fragments, e.deltas, rev);
    note(e.batch->message());
    expect(e.batch && e.batch->revision() == rev && !e.batch->is_consumed() && e.batch->staged_total_3() == 0 &&
               e.batch->staged_total_4() == 0,
           "a new batch");
    std::uint32_t items = 0, sums[3] = {0, 0, 0};
    const text expected = expected_batch(e, rev, items, sums);
    expect(e.batch->message() == expected && e.batch->is_admitted() == (expected == "ok") &&
               e.batch->item_count() == items,
           "the batch answered '" + e.batch->message() + "', its updates one by one '" + expected + "'");
    expect(
        !e.batch->is_admitted() || (e.batch->validations() == sums[0] && e.batch->explicit_comparisons() == sums[1] &&
                                    e.batch->payload_comparisons() == sums[2]),
        "a batch counted otherwise than its updates one by one");
    expect(look(*store_, owners_) == before_, "preparing a batch changed the store");
    batches_.push_back(std::move(e));
    if (batches_.size() > 4) batches_.erase(batches_.begin());
  }

  // What preparing a batch must answer: the checks of the whole batch, then its
  // items as the updates they are, made one after another on a copy of the
  // store. The copy binds the bound owners in row order, the first with every
  // stored resource in row order, which gives the same rows and owners.
  text expected_batch(const batch_entry& e, std::uint32_t rev, std::uint32_t& items, std::uint32_t* sums) {
    const text prefix = "retained resource candidate batch ";
    if (store_->state_name() != "open") return "retained resource store is not open";
    if (rev != revision_)
      return "retained resource store stale revision: expected " + decimal(rev) + ", current " + decimal(revision_);
    if (e.fragments.empty() || e.deltas.size() != e.fragments.size())
      return prefix + "requires 1..4096 parallel fragment/delta items";
    std::set<text> owners;
    std::set<std::int32_t> sequences;
    for (const owner_fragment& f : e.fragments) {
      if (!owners.insert(f.id).second) return prefix + "duplicates owner " + f.id;
      for (const auto& m : f.commands)
        if (!sequences.insert(m.sequence).second)
          return prefix + "duplicates command sequence " + std::to_string(m.sequence);
    }
    fallible_store copy(store_->surface_name());
    resource_delta stored{store_->surface_name(), {}, {}, {}, {}, {}};
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(store_->paint_count()); ++r)
      stored.paints.push_back(store_->read_paint_row(r));
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(store_->image_count()); ++r)
      stored.images.push_back(store_->read_image_row(r));
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(store_->glyph_count()); ++r)
      stored.glyphs.push_back(store_->read_glyph_row(r));
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(store_->clip_count()); ++r)
      stored.clips.push_back(store_->read_clip_row(r));
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(store_->transform_count()); ++r)
      stored.transforms.push_back(store_->read_transform_row(r));
    for (const owner_state& o : owners_) {
      owner_fragment f = base_fragment(o.id, o.generation);
      f.commands = o.commands;
      expect(copy.bind_owner(f, stored, copy.current_revision()).ok, "the copy of the store");
      stored = {store_->surface_name(), {}, {}, {}, {}, {}};
    }
    expect(look(copy, owners_).rows == before_.rows, "the copy holds other rows");
    for (std::size_t i = 0; i < e.fragments.size(); ++i, ++items) {
      const operation_result r = copy.update_owner(e.fragments[i], e.deltas[i], copy.current_revision());
      if (!r.ok) return prefix + "item " + std::to_string(i) + ": " + r.message;
      sums[0] += r.validations, sums[1] += r.explicitComparisons, sums[2] += r.payloadComparisons;
    }
    return "ok";
  }

  void commit_batch() {
    if (batches_.empty()) return prepare_batch();
    batch_entry& e = c_.one_in(2) ? batches_.back() : batches_[c_.below(static_cast<std::uint32_t>(batches_.size()))];
    std::vector<owner_fragment> fragments = e.fragments;
    std::vector<resource_delta> deltas = e.deltas;
    // Reordered, changed or short inputs; a batch prepared without its last delta keeps its lists.
    const std::uint32_t change = fragments.size() == deltas.size() ? c_.below(8) : 8;
    if (change == 0) std::swap(fragments.front(), fragments.back()), std::swap(deltas.front(), deltas.back());
    if (change == 1) alter_inputs(c_, fragments.back(), deltas.back());
    if (change == 2) fragments.pop_back(), deltas.pop_back();
    fallible_store& target = c_.one_in(8) ? *twin_ : *store_;
    const observed was = look(target, owners_);
    const std::uint32_t probes = target.index_probe_total();
    const bool consumed = e.batch->is_consumed();
    op_ = "commit-batch " + std::to_string(fragments.size());
    const auto attempted =
        attempt(target, was, [&] { return target.commit_prepared_candidate_batch(e.batch, fragments, deltas); });
    if (!attempted) return expect(e.batch->is_consumed() == consumed, "a batch cut short was consumed");
    const operation_result& r = *attempted;
    note(r.message);
    bool same = fragments.size() == e.batch->item_count() && deltas.size() == fragments.size();
    for (std::size_t i = 0; same && i < fragments.size(); ++i)
      same = input_texts(fragments[i], deltas[i]) == input_texts(e.fragments[i], e.deltas[i]);
    const text prefix = "retained resource prepared candidate batch ";
    text expected = "ok";
    if (&target != store_.get() || e.store_id != store_id_)
      expected = prefix + "belongs to another store";
    else if (consumed)
      expected = prefix + "was already consumed";
    else if (!e.batch->is_admitted())
      expected = e.batch->message();
    else if (e.batch->revision() != revision_)
      expected = prefix + "is stale: expected " + decimal(e.batch->revision()) + ", current " + decimal(revision_);
    else if (!same)
      expected = prefix + "inputs were changed or reordered";
    expect(r.message == expected, "batch commit answered '" + r.message + "', expected '" + expected + "'");
    expect(e.batch->is_consumed() == (consumed || r.ok), "the batch's consumed flag");
    if (!r.ok) return refused(target, was, r);
    expect(r.validations == e.batch->validations() && r.explicitComparisons == e.batch->explicit_comparisons() &&
               r.payloadComparisons == e.batch->payload_comparisons() &&
               store_->index_probe_total() - probes >= e.batch->index_probes(),
           "a batch commit counted otherwise than its preparation");
    applied(r, e.fragments, e.deltas, ADMISSION_UPDATE, true);
  }

  void close() {
    op_ = "close";
    expect(store_->close_store() && twin_->close_store(), "close answered false");
    if (!closed_) ++revision_;
    closed_ = true;
    owners_.clear();
    expect(store_->current_revision() == revision_ && store_->state_name() == "closed", "closing");
  }

  // A command that may or may not be stored: found exactly when one of the same
  // sequence with the same canonical text is.
  void find() {
    const text& id = c_.pick(OWNERS);
    const render_command_record m = make_command(c_, id, static_cast<std::int32_t>(c_.below(40)));
    op_ = "find " + std::to_string(m.sequence);
    std::int32_t row = -1, owner = -1;
    for (std::size_t o = 0; o < owners_.size(); ++o) {
      for (std::size_t j = 0; j < owners_[o].commands.size(); ++j) {
        if (command_record_text(owners_[o].commands[j]) == command_record_text(m))
          row = static_cast<std::int32_t>(owners_[o].first_row + j), owner = static_cast<std::int32_t>(o);
      }
    }
    expect(store_->find_command_row(m) == row && store_->find_command_owner(m) == owner, "a command lookup");
    expect(look(*store_, owners_) == before_, "a lookup changed the store");
  }

  // The invariants of the whole store, whatever the last step did.
  void check_store() {
    retained_resource_store& s = *store_;
    const text line = "retained-resource-store-v1: surface=" + s.surface_name() + "; state=" + s.state_name() +
                      "; revision=" + decimal(s.current_revision()) + "; entries=" + decimal(s.entry_count()) +
                      "; owners=" + decimal(s.owner_count()) + "; commands=" + decimal(s.command_total()) +
                      "; payload=" + decimal(s.payload_total()) + "; validations=" + decimal(s.validation_total()) +
                      "; explicit-comparisons=" + decimal(s.explicit_comparison_total()) +
                      "; payload-comparisons=" + decimal(s.payload_comparison_total()) +
                      "; admissions=" + decimal(s.admission_total()) + "; rejections=operation-results-only";
    expect(s.store_diagnostics_text() == line, "the diagnostics line disagrees with the figures");
    expect(s.current_revision() == revision_ && s.admission_total() == admissions_ &&
               s.validation_total() == validations_ && s.explicit_comparison_total() == explicit_ &&
               s.payload_comparison_total() == payload_cmp_,
           "the revision or the totals differ from the sums of the applied results");
    expect(
        s.entry_count() == s.paint_count() + s.image_count() + s.glyph_count() + s.clip_count() + s.transform_count(),
        "entry count");
    expect(s.owner_count() == owners_.size() && s.command_total() == before_commands(), "owners and commands");
    expect(s.index_bucket_count() == STORE_INDEX_BUCKETS, "bucket count");

    // Every resource is found under its own keys; the newest generation of an
    // image id is its "image-latest" row.
    std::uint32_t payload = 0, nodes = s.entry_count() + s.owner_count() + s.command_total();
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.paint_count()); ++r)
      expect(key("paint", s.read_paint_row(r).id) == r, "a paint row is not found under its key");
    std::map<text, std::pair<std::int32_t, std::int32_t>> latest;
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.image_count()); ++r) {
      const render_image_record i = s.read_image_row(r);
      expect(key("image-generation", i.id, i.generation) == r && validate_render_image(i).empty(), "an image row");
      auto [it, added] = latest.try_emplace(i.id, i.generation, r);
      if (!added && it->second.first <= i.generation) it->second = {i.generation, r};
      payload += static_cast<std::uint32_t>(i.sizeBytes);
    }
    for (const auto& [id, newest] : latest)
      expect(key("image-latest", id) == newest.second, "image-latest does not name the newest generation of " + id);
    nodes += static_cast<std::uint32_t>(latest.size());
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.glyph_count()); ++r) {
      const glyph_alpha_record g = s.read_glyph_row(r);
      expect(key("glyph", g.id) == r, "a glyph row is not found under its key");
      payload += static_cast<std::uint32_t>(g.sizeBytes);
    }
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.clip_count()); ++r)
      expect(key("clip", s.read_clip_row(r).id) == r, "a clip row is not found under its key");
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(s.transform_count()); ++r)
      expect(key("transform", s.read_transform_row(r).id) == r, "a transform row is not found under its key");
    expect(s.payload_total() == payload, "the payload total differs from the stored sizes");
    expect(s.index_node_count() == nodes, "index nodes differ from the keys the rows need");

    // Every stored command is found with its owner, and every resolved row names
    // a stored resource of the referenced identity.
    for (std::size_t o = 0; o < owners_.size(); ++o) {
      const owner_state& owner = owners_[o];
      const auto row = static_cast<std::int32_t>(o);
      expect(s.find_owner_binding(owner.id) == row &&
                 s.owner_generation(row) == static_cast<std::uint32_t>(owner.generation),
             "owner " + owner.id);
      for (std::size_t j = 0; j < owner.commands.size(); ++j) {
        const render_command_record& m = owner.commands[j];
        const auto at = static_cast<std::int32_t>(owner.first_row + j), jj = static_cast<std::int32_t>(j);
        expect(s.find_command_row(m) == at && s.find_command_owner(m) == row && s.command_owner(at) == row,
               "a stored command is not found");
        const std::int32_t paint = s.command_paint_row(at), image = s.command_image_row(at),
                           glyph = s.command_glyph_row(at), clip = s.command_clip_row(at),
                           transform = s.command_transform_row(at);
        expect(paint == s.owner_command_paint_row(row, jj) && image == s.owner_command_image_row(row, jj) &&
                   glyph == s.owner_command_glyph_row(row, jj) && clip == s.owner_command_clip_row(row, jj) &&
                   transform == s.owner_command_transform_row(row, jj),
               "command rows differ from the owner's command rows");
        expect(m.paintId.empty() ? paint == -1 : paint >= 0 && s.read_paint_row(paint).id == m.paintId, "paint ref");
        const render_image_record i = image >= 0 ? s.read_image_row(image) : render_image_record{};
        expect(
            m.kind != "image" ? image == -1 : image >= 0 && i.id == m.resourceId && i.generation == m.imageGeneration,
            "image ref");
        expect(m.kind != "glyphAlpha" || m.geometryFlag ? glyph == -1
                                                        : glyph >= 0 && s.read_glyph_row(glyph).id == m.resourceId,
               "glyph ref");
        expect(m.clipId.empty() ? clip == -1 : clip >= 0 && s.read_clip_row(clip).id == m.clipId, "clip ref");
        expect(m.transformId.empty() || m.transformId == "identity"
                   ? transform == -1
                   : transform >= 0 && s.read_transform_row(transform).id == m.transformId,
               "transform ref");
      }
    }
  }

  choices& c_;
  std::unique_ptr<fallible_store> store_, twin_;
  std::uint32_t store_id_ = 0;
  std::vector<owner_state> owners_;
  std::uint32_t revision_ = 0, admissions_ = 0, validations_ = 0, explicit_ = 0, payload_cmp_ = 0;
  bool closed_ = false;
  std::vector<prepared_entry> prepared_;
  std::vector<batch_entry> batches_;
  observed before_;
  text op_;
  std::uint64_t steps_ = 0;
  std::map<text, std::uint64_t> outcomes_;
};

}  // namespace store_proof
