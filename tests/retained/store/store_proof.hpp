// Random operation sequences on a retained resource store over a small universe
// of ids, generations and sequences, so that collisions, regressions, overlaps
// and duplicates happen often, with the invariants that must hold after every
// step whatever happened. Everything is checked from the outside. A twin store
// is given, through the direct operations, every change the store applies, so
// prepared commits and batches must leave exactly what direct binds and updates
// leave. Shared by the seeded random test and the fuzz target, which differ only
// in where their choices come from.
#pragma once

#include <algorithm>
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
  std::int32_t upto(std::uint32_t n) { return static_cast<std::int32_t>(below(n)); }
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
  return {id, c.fault(8) ? 7 : id.back(), 20, 30, 255, 0, 0, c.fault(16) ? 101 : 100};
}
inline render_image_record make_image(choices& c, const text& id, std::int32_t generation) {
  const std::int32_t width = 1 + generation % 2;
  const text content = id + "@" + std::to_string(generation), pixels(static_cast<std::size_t>(width) * 8, 'f');
  render_image_record i{id,     "image",    generation, width, 1,       width * 4, "bgra8-hex",
                        "srgb", "straight", "ready",    true,  content, pixels,    "src"};
  if (c.fault(8)) i.state = "loading", i.resident = false, i.sizeBytes = 0, i.payload.clear();  // a placeholder
  if (c.fault(16)) i.format = "rgba8";
  return i;
}
inline glyph_alpha_record make_glyph(choices& c, const text& id) {
  return {id, 2, 1, c.fault(16) ? 3 : 2, 2, "a8-unorm-hex", c.fault(8) ? "ffff" : "00ff", "src"};
}
inline clip_record make_clip(choices& c, const text& id) {
  return {id, 0, 0, 10, c.fault(16) ? 0 : 10, c.fault(8) ? 2 : 0};
}
inline transform_record make_transform(choices& c, const text& id) {
  return {id, 0, 0, c.fault(16) ? 0 : 100, 100, c.fault(8) ? 90 : 0};
}

inline render_command_record make_command(choices& c, const text& owner, std::int32_t sequence) {
  static const std::vector<text> kinds{"rect", "image", "glyphAlpha", "text"};
  render_command_record m;
  m.sequence = sequence;
  m.owner = c.one_in(4) ? owner + ".part" : c.fault(16) ? text("zz") : owner;
  m.kind = c.pick(kinds);
  if (m.kind == "image") m.resourceId = c.pick(IMAGES), m.imageGeneration = 1 + c.upto(3);
  if (m.kind == "glyphAlpha")
    m.resourceId = c.fault(16) ? text("sha256:0") : c.pick(GLYPHS), m.geometryFlag = c.one_in(4);
  if (c.one_in(2)) m.paintId = c.pick(PAINTS);
  if (c.one_in(3)) m.clipId = c.pick(CLIPS);
  if (c.one_in(3)) m.transformId = c.one_in(3) ? text("identity") : c.pick(TRANSFORMS);
  m.geometry[0] = c.upto(3);
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

// A fragment with a delta that mostly brings what its commands reference;
// sometimes not, and sometimes more.
inline std::pair<owner_fragment, resource_delta> make_inputs(choices& c, const text& id, std::int32_t generation,
                                                             const std::vector<std::int32_t>& sequences) {
  owner_fragment f = base_fragment(id, generation);
  f.auxValue = c.upto(2);
  if (c.fault(16)) f.inkWidth = 5;
  if (c.fault(16)) f.dependencySignature.signatureText6.clear();
  resource_delta d{c.fault(16) ? "other" : SURFACE, {}, {}, {}, {}, {}};
  for (std::int32_t sequence : sequences) {
    const render_command_record& m = f.commands.emplace_back(make_command(c, id, sequence));
    if (!m.paintId.empty() && !c.fault(3)) d.paints.push_back(make_paint(c, m.paintId));
    if (m.kind == "image" && !c.fault(3)) d.images.push_back(make_image(c, m.resourceId, m.imageGeneration));
    if (m.kind == "glyphAlpha" && !c.fault(3)) d.glyphs.push_back(make_glyph(c, m.resourceId));
    if (!m.clipId.empty() && !c.fault(3)) d.clips.push_back(make_clip(c, m.clipId));
    if (!m.transformId.empty() && m.transformId != "identity" && !c.fault(3))
      d.transforms.push_back(make_transform(c, m.transformId));
  }
  for (std::uint32_t n = c.below(3); n > 0; --n) {
    const std::uint32_t kind = c.below(5);
    if (kind == 0) d.paints.push_back(make_paint(c, c.pick(PAINTS)));
    const text& image = c.pick(IMAGES);  // each choice in its own statement, so that a seed replays anywhere
    if (kind == 1) d.images.push_back(make_image(c, image, c.fault(16) ? 0 : 1 + c.upto(3)));
    if (kind == 2) d.glyphs.push_back(make_glyph(c, c.pick(GLYPHS)));
    if (kind == 3) d.clips.push_back(make_clip(c, c.pick(CLIPS)));
    if (kind == 4) d.transforms.push_back(make_transform(c, c.fault(16) ? text("identity") : c.pick(TRANSFORMS)));
  }
  return {std::move(f), std::move(d)};
}

// Canonical texts of a delta's resources, kind by kind.
using kind_texts = std::array<std::vector<text>, 5>;
inline kind_texts texts_of(const resource_delta& d) {
  kind_texts t;
  for (const auto& r : d.paints) t[0].push_back(paint_record_text(r));
  for (const auto& r : d.images) t[1].push_back(image_record_text(r));
  for (const auto& r : d.glyphs) t[2].push_back(glyph_record_text(r));
  for (const auto& r : d.clips) t[3].push_back(clip_record_text(r));
  for (const auto& r : d.transforms) t[4].push_back(transform_record_text(r));
  return t;
}

// What a prepared commit compares: the canonical texts of the inputs, not the surface.
inline std::pair<std::vector<text>, kind_texts> input_texts(const owner_fragment& f, const resource_delta& d) {
  std::vector<text> t{fragment_record_text(f)};
  for (const auto& m : f.commands) t.push_back(command_record_text(m));
  return {t, texts_of(d)};
}

// Changes one input, or reorders two parts of it, or only its surface (which a
// commit does not compare); whether the texts still match is decided by them.
inline void alter_inputs(choices& c, owner_fragment& f, resource_delta& d) {
  const std::uint32_t how = c.below(4);
  if (how == 0) f.commands[c.below(static_cast<std::uint32_t>(f.commands.size()))].geometry[17] += 1;
  if (how == 1 && d.paints.empty()) f.auxValue += 1;
  if (how == 1 && !d.paints.empty()) d.paints.back().opacity ^= 1;
  if (how == 2) d.surface = "elsewhere";
  if (how == 3 && d.images.size() > 1) std::swap(d.images[0], d.images[1]);
  if (how == 3 && d.images.size() < 2 && f.commands.size() > 1) std::swap(f.commands[0], f.commands[1]);
}

// Every stored resource, read back row by row, as a delta.
inline resource_delta stored(retained_resource_store& s) {
  resource_delta d{s.surface_name(), {}, {}, {}, {}, {}};
  const auto read = [](auto& list, std::uint32_t count, auto row) {
    for (std::int32_t r = 0; r < static_cast<std::int32_t>(count); ++r) list.push_back(row(r));
  };
  read(d.paints, s.paint_count(), [&](std::int32_t r) { return s.read_paint_row(r); });
  read(d.images, s.image_count(), [&](std::int32_t r) { return s.read_image_row(r); });
  read(d.glyphs, s.glyph_count(), [&](std::int32_t r) { return s.read_glyph_row(r); });
  read(d.clips, s.clip_count(), [&](std::int32_t r) { return s.read_clip_row(r); });
  read(d.transforms, s.transform_count(), [&](std::int32_t r) { return s.read_transform_row(r); });
  return d;
}

struct injected_fault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A store whose index puts and command rewrites throw once armed and counted
// down: an apply cut short must pass the exception on and change nothing.
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
  void set_command_row(std::int32_t row, const render_command_record& command, std::int32_t paint, std::int32_t image,
                       std::int32_t glyph, std::int32_t clip, std::int32_t transform) override {
    tick();
    retained_resource_store::set_command_row(row, command, paint, image, glyph, clip, transform);
  }
};

inline text decimal(std::uint32_t v) { return std::to_string(static_cast<std::int32_t>(v)); }

struct owner_state {
  text id;
  std::int32_t generation = 0;
  std::vector<render_command_record> commands;
  std::uint32_t first_row = 0;
};

// Everything the store shows from the outside: figures that only an applied
// change may move, the content that the twin must equal, and the rows read back.
struct observed {
  text figures, content;
  kind_texts rows;
  bool operator==(const observed&) const = default;
};

inline observed look(retained_resource_store& s, const std::vector<owner_state>& owners) {
  observed o{s.store_diagnostics_text() + "|" + decimal(s.current_revision()) + "|" + decimal(s.admission_total()) +
                 "|" + decimal(s.index_probe_total()),
             s.state_name() + "|" + s.surface_name(), texts_of(stored(s))};
  for (std::uint32_t v :
       {s.entry_count(), s.owner_count(), s.command_total(), s.payload_total(), s.validation_total(),
        s.explicit_comparison_total(), s.payload_comparison_total(), s.index_node_count(), s.index_bucket_count()})
    o.content += "|" + decimal(v);
  for (std::int32_t r = -1; r <= static_cast<std::int32_t>(s.command_total()); ++r) {
    for (std::int32_t v : {s.command_owner(r), s.command_paint_row(r), s.command_image_row(r), s.command_glyph_row(r),
                           s.command_clip_row(r), s.command_transform_row(r)})
      o.content += "," + std::to_string(v);
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
    const bool open = store_->state_name() == "open";
    if (pick < 2) close();
    if (pick == 2 || (pick > 2 && pick < 40 && !open))
      reset(c_.one_in(2) ? SURFACE : text(c_.one_in(2) ? 0 : 129, 's'));
    if (pick > 2 && pick < 80 && (open || pick >= 40)) direct(pick < 40 ? ADMISSION_BIND : ADMISSION_UPDATE);
    if (pick >= 80 && pick < 110) prepare(c_.one_in(2) ? ADMISSION_BIND : ADMISSION_UPDATE);
    if (pick >= 110 && pick < 130) prepare_batch();
    if (pick >= 130 && pick < 185 && prepared_.empty()) prepare(ADMISSION_BIND);
    if (pick >= 130 && pick < 185 && !prepared_.empty()) commit(c_.below(static_cast<std::uint32_t>(prepared_.size())));
    if (pick >= 185 && pick < 192) resend();
    if (pick >= 192) find();
    check_store();
  }

  std::uint64_t steps() const { return steps_; }
  // How often each message came back: shows what the sequences reach.
  const std::map<text, std::uint64_t>& outcomes() const { return outcomes_; }

 private:
  // A prepared admission or batch with the inputs it was prepared from.
  struct prepared_entry {
    std::shared_ptr<prepared_admission> one;
    std::shared_ptr<prepared_candidate_batch> batch;
    std::vector<owner_fragment> fragments;
    std::vector<resource_delta> deltas;
    std::uint8_t kind;
    std::uint32_t store_id;
  };

  void expect(bool holds, const text& what) {
    if (!holds) throw proof_failure("step " + std::to_string(steps_) + " (" + op_ + "): " + what);
  }

  // Counted by operation and message, with the figures left out.
  void note(const text& message) {
    text key = op_.substr(0, op_.find(' ')) + ": " + message;
    for (char& ch : key) ch = ch >= '0' && ch <= '9' ? '#' : ch;
    ++outcomes_[key];
  }

  void reset(const text& surface) {
    store_ = std::make_unique<fallible_store>(surface);
    twin_ = std::make_unique<fallible_store>(surface);
    ++store_id_;
    owners_.clear();
    // Sometimes a prepared object of the old store stays, to be committed on the new one.
    if (!prepared_.empty()) prepared_.erase(prepared_.begin(), prepared_.end() - c_.one_in(4));
    revision_ = admissions_ = validations_ = explicit_ = payload_cmp_ = 0;
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

  // Mostly a fragment that keeps the owner's bound range with a newer generation
  // (for an update) or a range of its own (for a binding); sometimes an overlap,
  // a repeat, an older generation or another range.
  std::pair<owner_fragment, resource_delta> inputs(const text& id, std::uint8_t kind) {
    const owner_state* o = bound(id);
    std::vector<std::int32_t> sequences;
    if (o && kind == ADMISSION_UPDATE && !c_.fault(8)) {
      for (const auto& m : o->commands) sequences.push_back(m.sequence);
    } else {
      std::int32_t next = c_.fault(8) ? c_.upto(40) : 8 * (id.back() - '0');
      for (std::uint32_t n = 1 + c_.below(3); n > 0; --n) sequences.push_back(c_.fault(16) ? next : next++);
    }
    const std::int32_t generation = c_.fault(6) ? c_.upto(4) : o ? o->generation + 1 : 1 + c_.upto(3);
    return make_inputs(c_, id, generation, sequences);
  }

  std::uint32_t expected_revision() {
    const std::uint32_t r = store_->current_revision();
    return c_.fault(8) ? r + (c_.one_in(2) ? 1u : ~0u) : r;
  }
  text stale(std::uint32_t expected) {
    return "retained resource store stale revision: expected " + decimal(expected) + ", current " + decimal(revision_);
  }
  std::int32_t key(const char* kind, const text& id, std::int32_t number = 0) {
    return store_->index_find_key(make_index_key(kind, id, number));
  }
  std::uint32_t command_count() const {
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

  // Runs a call that may apply, sometimes with an apply step armed to throw;
  // answers nothing when it threw, after checking that the store is unchanged.
  template <class Call>
  std::optional<operation_result> attempt(fallible_store& target, const observed& was, Call call,
                                          std::uint32_t armed_one_in = 6) {
    target.countdown = c_.one_in(armed_one_in) ? c_.upto(8) : -1;
    try {
      const operation_result r = call();
      target.countdown = -1;
      note(r.message);
      return r;
    } catch (const injected_fault&) {
      target.countdown = -1;
      note("an apply cut short");
      expect(look(target, owners_) == was, "an apply cut short left the store changed");
      return std::nullopt;
    }
  }

  // A refused operation changes nothing and reports zeros at the current revision.
  void refused(retained_resource_store& s, const observed& was, const operation_result& r) {
    expect(!r.ok && r.message != "ok" && !r.message.empty(), "a refusal without a message");
    expect(r.revision == s.current_revision() && r.validations + r.explicitComparisons + r.payloadComparisons == 0,
           "a refusal reported figures");
    expect(look(s, owners_) == was, "a refused operation changed the store");
  }

  // The model follows an applied change, and the twin is given it through
  // direct operations: same counters, same rows. Old rows stay as they were and
  // every resource of the deltas is stored.
  void applied(const operation_result& r, const std::vector<owner_fragment>& fragments,
               const std::vector<resource_delta>& deltas, std::uint8_t kind) {
    expect(r.ok && r.message == "ok" && r.revision == revision_ + 1, "an applied result");
    revision_ += 1, admissions_ += 1;
    validations_ += r.validations, explicit_ += r.explicitComparisons, payload_cmp_ += r.payloadComparisons;
    operation_result sums;
    for (std::size_t i = 0; i < fragments.size(); ++i) {
      const owner_fragment& f = fragments[i];
      const operation_result t = run_direct(*twin_, kind, f, deltas[i], twin_->current_revision(), false);
      expect(t.ok, "the twin refused what the store applied: " + t.message);
      sums.validations += t.validations, sums.explicitComparisons += t.explicitComparisons;
      sums.payloadComparisons += t.payloadComparisons;
      if (owner_state* o = bound(f.id)) {
        expect(kind == ADMISSION_UPDATE && o->generation < f.generation, "an update that should not apply");
        o->generation = f.generation, o->commands = f.commands;
      } else {
        expect(kind == ADMISSION_BIND, "an update of an unbound owner applied");
        owners_.push_back({f.id, f.generation, f.commands, command_count()});
      }
    }
    expect(same_outcome(sums, {false, 0, r.validations, r.explicitComparisons, r.payloadComparisons, ""}),
           "the counters differ from the twin's");
    const observed now = look(*store_, owners_), twin = look(*twin_, owners_);
    expect(now.content == twin.content && now.rows == twin.rows, "the store holds other rows than its twin");
    // Each resource of the deltas is new, validated once and stored, or known
    // and compared once (its payload too for an image or a glyph).
    std::uint32_t brought = 0, with_payload = 0, added[5] = {};
    for (const resource_delta& d : deltas)
      brought += static_cast<std::uint32_t>(count_delta_entries(d)),
          with_payload += static_cast<std::uint32_t>(d.images.size() + d.glyphs.size());
    for (std::size_t k = 0; k < 5; ++k)
      added[k] = static_cast<std::uint32_t>(now.rows[k].size() - before_.rows[k].size());
    const std::uint32_t new_rows = added[0] + added[1] + added[2] + added[3] + added[4];
    expect(same_outcome(r, {true, 0, new_rows, brought - new_rows, with_payload - added[1] - added[2], "ok"}),
           "the counters differ from the resources the deltas brought");
    for (std::size_t k = 0; k < 5; ++k) {
      const auto& old = before_.rows[k];
      expect(now.rows[k].size() >= old.size() && std::equal(old.begin(), old.end(), now.rows[k].begin()),
             "an applied change rewrote a stored resource row");
      for (const resource_delta& d : deltas) {
        const kind_texts brought = texts_of(d);
        for (const text& t : brought[k])
          expect(std::find(now.rows[k].begin(), now.rows[k].end(), t) != now.rows[k].end(), "a delta resource is lost");
      }
    }
  }

  // A direct bind or update, often after the preflight of the same call, which
  // must agree with it; the twin, which holds the same owner ranges and keys
  // although no accessor shows them, must decide alike.
  void direct(std::uint8_t kind) {
    auto [f, d] = inputs(owner_for(kind), kind);
    const std::uint32_t rev = expected_revision();
    op_ = text(kind ? "bind " : "update ") + f.id;
    const bool preflight = c_.one_in(2);
    const operation_result pre = preflight ? run_direct(*store_, kind, f, d, rev, true) : operation_result{};
    if (preflight) expect(look(*store_, owners_) == before_, "a preflight changed the store");
    const auto r = attempt(*store_, before_, [&] { return run_direct(*store_, kind, f, d, rev, false); });
    if (!r) return;
    expect(!preflight || (same_outcome(pre, *r) && pre.revision == revision_), "the preflight disagrees");
    if (store_->state_name() != "open") {
      expect(r->message == "retained resource store is not open", "not open");
    } else if (rev != revision_) {
      expect(r->message == stale(rev), "a stale revision was not refused as stale");
    } else {
      const operation_result t = run_direct(*twin_, kind, f, d, twin_->current_revision(), true);
      expect(same_outcome(t, *r), "the twin decides '" + t.message + "', the store '" + r->message + "'");
    }
    if (r->ok) return applied(*r, {f}, {d}, kind);
    refused(*store_, before_, *r);
  }

  // Preparing changes nothing and decides exactly what the preflight decides.
  void prepare(std::uint8_t kind) {
    auto [f, d] = inputs(owner_for(kind), kind);
    const std::uint32_t rev = expected_revision();
    op_ = text(kind ? "prepare-bind " : "prepare-update ") + f.id;
    const operation_result pre = run_direct(*store_, kind, f, d, rev, true);
    auto p = kind ? store_->prepare_bind(f, d, rev) : store_->prepare_update(f, d, rev);
    expect(p->is_admitted() == pre.ok && p->message() == pre.message && p->revision() == rev &&
               p->is_bind() == (kind != 0) && !p->is_consumed(),
           "a prepared admission disagrees with the preflight");
    expect(!pre.ok || same_outcome(
                          pre, {true, 0, p->validations(), p->explicit_comparisons(), p->payload_comparisons(), "ok"}),
           "a prepared admission counted otherwise than the preflight");
    expect(look(*store_, owners_) == before_, "preparing changed the store");
    keep({p, nullptr, {f}, {d}, kind, store_id_});
  }

  // Kept for a later commit, or committed at once while it is fresh.
  void keep(prepared_entry e) {
    prepared_.push_back(std::move(e));
    if (prepared_.size() > 8) prepared_.erase(prepared_.begin());
    if (c_.one_in(3)) commit(prepared_.size() - 1);
  }

  // A batch of updates, mostly of bound owners, sometimes with a duplicate owner
  // or sequence, a missing delta or a stale revision. It must answer what its
  // checks of the whole batch and then its items, made as updates one after
  // another on a copy of the store, answer.
  void prepare_batch() {
    prepared_entry e{nullptr, nullptr, {}, {}, ADMISSION_UPDATE, store_id_};
    std::vector<text> ids;
    for (const owner_state& o : owners_) ids.push_back(o.id);
    if (ids.empty() || c_.fault(4)) ids = OWNERS;
    for (std::uint32_t n = 1 + c_.below(3); n > 0 && !ids.empty(); --n) {
      const std::size_t at = c_.below(static_cast<std::uint32_t>(ids.size()));
      auto [f, d] = inputs(ids[at], ADMISSION_UPDATE);
      if (!c_.one_in(6)) ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(at));
      e.fragments.push_back(std::move(f)), e.deltas.push_back(std::move(d));
    }
    if (c_.fault(8)) e.deltas.pop_back();
    const std::uint32_t rev = expected_revision();
    op_ = "prepare-batch " + std::to_string(e.fragments.size());
    e.batch = store_->prepare_candidate_batch(e.fragments, e.deltas, rev);
    note(e.batch->message());
    std::uint32_t items = 0;
    operation_result sums{true, 0, 0, 0, 0, "ok"};
    const text expected = expected_batch(e, rev, items, sums);
    expect(e.batch->message() == expected && e.batch->is_admitted() == (expected == "ok") &&
               e.batch->item_count() == items && e.batch->revision() == rev && !e.batch->is_consumed() &&
               e.batch->staged_total_3() + e.batch->staged_total_4() == 0,
           "the batch answered '" + e.batch->message() + "', its updates one by one '" + expected + "'");
    expect(
        !e.batch->is_admitted() || same_outcome(sums, {true, 0, e.batch->validations(), e.batch->explicit_comparisons(),
                                                       e.batch->payload_comparisons(), "ok"}),
        "a batch counted otherwise than its updates one by one");
    expect(look(*store_, owners_) == before_, "preparing a batch changed the store");
    keep(std::move(e));
  }

  // The copy binds the bound owners in row order, the first with every stored
  // resource in row order, which gives the same rows.
  text expected_batch(const prepared_entry& e, std::uint32_t rev, std::uint32_t& items, operation_result& sums) {
    const text prefix = "retained resource candidate batch ";
    if (store_->state_name() != "open") return "retained resource store is not open";
    if (rev != revision_) return stale(rev);
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
    resource_delta resources = stored(*store_);
    for (const owner_state& o : owners_) {
      owner_fragment f = base_fragment(o.id, o.generation);
      f.commands = o.commands;
      expect(copy.bind_owner(f, resources, copy.current_revision()).ok, "the copy of the store");
      resources = {store_->surface_name(), {}, {}, {}, {}, {}};
    }
    expect(look(copy, owners_).rows == before_.rows, "the copy holds other rows");
    for (std::size_t i = 0; i < e.fragments.size(); ++i, ++items) {
      const operation_result r = copy.update_owner(e.fragments[i], e.deltas[i], copy.current_revision());
      if (!r.ok) return prefix + "item " + std::to_string(i) + ": " + r.message;
      sums.validations += r.validations, sums.explicitComparisons += r.explicitComparisons;
      sums.payloadComparisons += r.payloadComparisons;
    }
    return "ok";
  }

  // Commits a prepared admission or batch with the right, changed or reordered
  // inputs, in either kind, on this store or another; the checks decide in
  // their order, and a success counts what the preparation counted.
  void commit(std::size_t at) {
    prepared_entry& e = prepared_[at];
    std::vector<owner_fragment> fragments = e.fragments;
    std::vector<resource_delta> deltas = e.deltas;
    const std::uint32_t change = fragments.size() == deltas.size() ? c_.below(8) : 8;
    if (change < 3) alter_inputs(c_, fragments.back(), deltas.back());
    if (change == 3 && e.batch)
      std::swap(fragments.front(), fragments.back()), std::swap(deltas.front(), deltas.back());
    if (change == 4 && e.batch) fragments.pop_back(), deltas.pop_back();
    const std::uint8_t kind = c_.one_in(8) ? !e.kind : e.kind;
    fallible_store& target = c_.one_in(8) ? *twin_ : *store_;
    const observed was = look(target, owners_);
    const std::uint32_t probes = target.index_probe_total();
    const bool batch = e.batch != nullptr;
    const bool consumed = batch ? e.batch->is_consumed() : e.one->is_consumed();
    const bool admitted = batch ? e.batch->is_admitted() : e.one->is_admitted();
    const std::uint32_t prepared_at = batch ? e.batch->revision() : e.one->revision();
    bool same = fragments.size() == e.fragments.size() && deltas.size() == fragments.size();
    for (std::size_t i = 0; same && i < fragments.size(); ++i)
      same = input_texts(fragments[i], deltas[i]) == input_texts(e.fragments[i], e.deltas[i]);
    op_ = (batch ? "commit-batch " : "commit ") + e.fragments[0].id;
    const auto r = attempt(
        target, was,
        [&] {
          if (batch) return target.commit_prepared_candidate_batch(e.batch, fragments, deltas);
          return kind ? target.commit_prepared_bind(e.one, fragments[0], deltas[0])
                      : target.commit_prepared_update(e.one, fragments[0], deltas[0]);
        },
        batch ? 2 : 6);  // a batch is cut short often, so that later items are reached
    const bool now_consumed = batch ? e.batch->is_consumed() : e.one->is_consumed();
    expect(now_consumed == (consumed || (r && r->ok)), "the consumed flag");
    if (!r) return;
    const text prefix = batch ? "retained resource prepared candidate batch " : "retained resource prepared admission ";
    const std::pair<bool, text> checks[] = {
        {&target != store_.get() || e.store_id != store_id_, prefix + "belongs to another store"},
        {consumed, prefix + "was already consumed"},
        {!batch && kind != e.kind, prefix + "kind does not match commit"},
        {!admitted, batch ? e.batch->message() : e.one->message()},
        {prepared_at != revision_,
         prefix + "is stale: expected " + decimal(prepared_at) + ", current " + decimal(revision_)},
        {!same, prefix + (batch ? "inputs were changed or reordered" : "inputs were changed")},
        {true, "ok"}};
    const text expected = std::find_if(std::begin(checks), std::end(checks), [](auto& c) { return c.first; })->second;
    expect(r->message == expected, "commit answered '" + r->message + "', expected '" + expected + "'");
    if (!r->ok) return refused(target, was, *r);
    const std::uint32_t counted[] = {batch ? e.batch->validations() : e.one->validations(),
                                     batch ? e.batch->explicit_comparisons() : e.one->explicit_comparisons(),
                                     batch ? e.batch->payload_comparisons() : e.one->payload_comparisons(),
                                     batch ? e.batch->index_probes() : e.one->index_probes()};
    expect(same_outcome(*r, {true, 0, counted[0], counted[1], counted[2], "ok"}) &&
               store_->index_probe_total() - probes >= counted[3],
           "a commit counted otherwise than its preparation");
    applied(*r, e.fragments, e.deltas, e.kind);
  }

  // An update that keeps a bound owner's commands and brings copies of stored
  // resources, and perhaps the next generation of a stored image, is admitted.
  void resend() {
    if (owners_.empty() || store_->state_name() != "open") return;
    const owner_state& o = owners_[c_.below(static_cast<std::uint32_t>(owners_.size()))];
    owner_fragment f = base_fragment(o.id, o.generation + 1);
    f.commands = o.commands;
    const resource_delta all = stored(*store_);
    resource_delta d{SURFACE, {}, {}, {}, {}, {}};
    const auto some = [&](auto& to, const auto& from) {
      for (const auto& r : from)
        if (c_.one_in(2)) to.push_back(r);
    };
    some(d.paints, all.paints), some(d.images, all.images), some(d.glyphs, all.glyphs);
    some(d.clips, all.clips), some(d.transforms, all.transforms);
    // And sometimes the next generation of a stored image, which is new.
    if (!all.images.empty() && c_.one_in(2)) {
      const text& id = all.images[c_.below(static_cast<std::uint32_t>(all.images.size()))].id;
      std::int32_t newest = 0;
      for (const auto& i : all.images) newest = i.id == id ? std::max(newest, i.generation) : newest;
      c_.wild = false;
      d.images.push_back(make_image(c_, id, newest + 1));
    }
    op_ = "resend " + o.id;
    const auto r = attempt(*store_, before_, [&] { return store_->update_owner(f, d, revision_); });
    if (!r) return;
    expect(r->ok, "resending stored resources: " + r->message);
    applied(*r, {f}, {d}, ADMISSION_UPDATE);
  }

  void close() {
    op_ = "close";
    const bool was_closed = store_->state_name() == "closed";
    expect(store_->close_store() && twin_->close_store(), "close answered false");
    revision_ += !was_closed;
    owners_.clear();
    expect(store_->current_revision() == revision_ && store_->state_name() == "closed", "closing");
  }

  // A command that may or may not be stored: found exactly when one with the
  // same canonical text is.
  void find() {
    const text& id = c_.pick(OWNERS);
    const render_command_record m = make_command(c_, id, c_.upto(40));
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
    expect(s.owner_count() == owners_.size() && s.command_total() == command_count() &&
               s.index_bucket_count() == STORE_INDEX_BUCKETS,
           "owners, commands or buckets");

    // Every resource is found under its own keys; "image-latest" names the
    // newest generation of each image id; the index holds no other keys than
    // the rows, owners and commands need.
    const resource_delta all = stored(s);
    expect(s.entry_count() ==
               all.paints.size() + all.images.size() + all.glyphs.size() + all.clips.size() + all.transforms.size(),
           "entry count");
    const auto keyed = [&](const auto& list, const char* kind) {
      for (std::size_t r = 0; r < list.size(); ++r)
        expect(key(kind, list[r].id) == static_cast<std::int32_t>(r), text("a row is not found under its key ") + kind);
    };
    keyed(all.paints, "paint"), keyed(all.glyphs, "glyph"), keyed(all.clips, "clip"),
        keyed(all.transforms, "transform");
    std::map<text, std::pair<std::int32_t, std::int32_t>> latest;  // image id -> newest generation, its row
    std::uint32_t payload = 0;
    for (std::size_t r = 0; r < all.images.size(); ++r) {
      const render_image_record& i = all.images[r];
      const auto row = static_cast<std::int32_t>(r);
      expect(key("image-generation", i.id, i.generation) == row && validate_render_image(i).empty(), "an image row");
      auto [it, added] = latest.try_emplace(i.id, i.generation, row);
      if (!added && it->second.first <= i.generation) it->second = {i.generation, row};
      payload += static_cast<std::uint32_t>(i.sizeBytes);
    }
    for (const auto& [id, newest] : latest) {
      staging_state none = make_staging_state(1);
      preflight_result scratch = make_preflight_result(id, 1);
      expect(key("image-latest", id) == newest.second &&
                 s.find_latest_image_index(scratch, none, id) == static_cast<std::uint32_t>(newest.first),
             "image-latest does not name the newest generation of " + id);
    }
    for (const auto& g : all.glyphs) payload += static_cast<std::uint32_t>(g.sizeBytes);
    expect(s.payload_total() == payload, "the payload total differs from the stored sizes");
    expect(s.index_node_count() == s.entry_count() + latest.size() + s.owner_count() + s.command_total(),
           "index nodes differ from the keys the rows need");

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
        const std::int32_t rows[] = {s.command_paint_row(at), s.command_image_row(at), s.command_glyph_row(at),
                                     s.command_clip_row(at), s.command_transform_row(at)};
        expect(rows[0] == s.owner_command_paint_row(row, jj) && rows[1] == s.owner_command_image_row(row, jj) &&
                   rows[2] == s.owner_command_glyph_row(row, jj) && rows[3] == s.owner_command_clip_row(row, jj) &&
                   rows[4] == s.owner_command_transform_row(row, jj),
               "command rows differ from the owner's command rows");
        const auto names = [](std::int32_t r, const text& id, const auto& list) {
          return id.empty() ? r == -1 : r >= 0 && static_cast<std::size_t>(r) < list.size() && list[r].id == id;
        };
        const bool image = m.kind == "image", glyph = m.kind == "glyphAlpha" && !m.geometryFlag;
        expect(names(rows[0], m.paintId, all.paints) && names(rows[1], image ? m.resourceId : "", all.images) &&
                   (!image || all.images[rows[1]].generation == m.imageGeneration) &&
                   names(rows[2], glyph ? m.resourceId : "", all.glyphs) && names(rows[3], m.clipId, all.clips) &&
                   names(rows[4], m.transformId == "identity" ? "" : m.transformId, all.transforms),
               "a resolved row does not name the referenced resource");
      }
    }
  }

  choices& c_;
  std::unique_ptr<fallible_store> store_, twin_;
  std::uint32_t store_id_ = 0;
  std::vector<owner_state> owners_;
  std::uint32_t revision_ = 0, admissions_ = 0, validations_ = 0, explicit_ = 0, payload_cmp_ = 0;
  std::vector<prepared_entry> prepared_;
  observed before_;
  text op_;
  std::uint64_t steps_ = 0;
  std::map<text, std::uint64_t> outcomes_;
};

}  // namespace store_proof
