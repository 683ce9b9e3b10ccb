// Random operation sequences on a retained resource store over a small universe
// of ids, generations and sequences, so that collisions, regressions, overlaps
// and duplicates happen often, with the invariants that must hold after every
// step whatever happened, all checked from the outside. After every change the
// store must show what a twin shows that is made by direct bindings alone from
// what was applied, and every admission must answer what the twin answers, so
// prepared commits, batches and updates must leave exactly what direct binds
// leave. Shared by the seeded random test and the fuzz target, which differ in
// where their choices come from and in how much they read back after a step
// (see `checking`).
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <tuple>
#include <unordered_set>

#include "retained/model/record_text.hpp"
#include "retained/store/candidate_batch.hpp"

namespace store_proof {

using namespace orvi;

struct proof_failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct injected_fault {};

// Where a sequence's choices come from: a seeded generator, or a fuzzer's bytes.
class choices {
 public:
  explicit choices(std::function<std::uint32_t()> next) : next_(std::move(next)) {}
  std::uint32_t below(std::uint32_t n) { return next_() % n; }  // 0..n-1, n at most 256
  bool one_in(std::uint32_t n) { return below(n) == 0; }
  // Faults (collisions, broken rules, missing resources) come only in a wild step.
  bool fault(std::uint32_t n) { return wild && one_in(n); }
  template <class T>
  const T& pick(const std::vector<T>& from) {
    return from[below(static_cast<std::uint32_t>(from.size()))];
  }
  std::int32_t upto(std::uint32_t n) { return static_cast<std::int32_t>(below(n)); }
  bool wild = true;

 private:
  std::function<std::uint32_t()> next_;
};

// Resource kinds in the order of a delta's lists: paints, images, glyphs, clips, transforms.
inline const text SHA = "sha256:" + text(63, 'a');
inline const std::vector<text> IDS[5] = {
    {"p0", "p1", "p2"}, {"i0", "i1"}, {SHA + "a", SHA + "B"}, {"c0", "c1"}, {"t0", "t1"}};
inline const std::vector<text> OWNERS{"o0", "o1", "o2", "o3"};
inline text decimal(std::uint32_t v) { return std::to_string(static_cast<std::int32_t>(v)); }

// Each identity mostly comes as the one record it always has, so that resending
// it is a known resource; in a wild step sometimes as a variant that collides
// with it, or that breaks a rule of its kind when it is new.
inline void add_resource(choices& c, resource_delta& d, std::uint32_t kind, const text& id, std::int32_t generation) {
  const std::int32_t w = 1 + generation % 2;
  if (kind == 0) d.paints.push_back({id, c.fault(8) ? 7 : id.back(), 20, 30, 255, 0, 0, c.fault(16) ? 101 : 100});
  const bool placeholder = kind == 1 && c.fault(8);
  if (kind == 1)
    d.images.push_back({id, "image", generation, w, 1, placeholder ? 0 : w * 4, c.fault(16) ? "rgba8" : "bgra8-hex",
                        "srgb", "straight", placeholder ? "loading" : "ready", !placeholder,
                        id + "@" + std::to_string(generation), placeholder ? "" : text(w * 8, 'f'), "src"});
  if (kind == 2)
    d.glyphs.push_back({id, 2, 1, c.fault(16) ? 3 : 2, 2, "a8-unorm-hex", c.fault(8) ? "ffff" : "00ff", "src"});
  if (kind == 3) d.clips.push_back({id, 0, 0, 10, c.fault(16) ? 0 : 10, c.fault(8) ? 2 : 0});
  if (kind == 4) d.transforms.push_back({id, 0, 0, c.fault(16) ? 0 : 100, 100, c.fault(8) ? 90 : 0});
}

// The resource of each kind that a command resolves, or "" for none.
inline std::array<text, 5> references(const render_command_record& m) {
  return {m.paintId, m.kind == "image" ? m.resourceId : "",
          m.kind == "glyphAlpha" && !m.geometryFlag ? m.resourceId : "", m.clipId,
          m.transformId == "identity" ? "" : m.transformId};
}

inline render_command_record make_command(choices& c, const text& owner, std::int32_t sequence) {
  static const std::vector<text> kinds{"rect", "image", "glyphAlpha", "text"};
  render_command_record m;
  m.sequence = sequence, m.owner = c.one_in(4) ? owner + ".part" : c.fault(16) ? "zz" : owner, m.kind = c.pick(kinds);
  if (m.kind == "image") m.resourceId = c.pick(IDS[1]), m.imageGeneration = 1 + c.upto(3);
  if (m.kind == "glyphAlpha")
    m.resourceId = c.fault(16) ? text("sha256:0") : c.pick(IDS[2]), m.geometryFlag = c.one_in(4);
  if (c.one_in(2)) m.paintId = c.pick(IDS[0]);
  if (c.one_in(3)) m.clipId = c.pick(IDS[3]);
  if (c.one_in(3)) m.transformId = c.one_in(3) ? text("identity") : c.pick(IDS[4]);
  m.geometry[0] = c.upto(3);
  return m;
}

// A fragment with a delta that mostly brings what its commands reference;
// sometimes not, and sometimes more.
inline std::pair<owner_fragment, resource_delta> make_inputs(choices& c, const text& id, std::int32_t generation,
                                                             const std::vector<std::int32_t>& sequences) {
  owner_fragment f;
  f.id = id, f.generation = generation, f.auxValue = c.upto(2), f.source = "src";
  f.layoutWidth = f.layoutHeight = f.inkHeight = 10, f.inkWidth = c.fault(16) ? 5 : 10;
  f.dependencySignature = {"k1", "k2", "k3", "k4", "k5", c.fault(16) ? "" : "k6"};
  resource_delta d{c.fault(16) ? "other" : "main", {}, {}, {}, {}, {}};
  for (std::int32_t sequence : sequences) {
    const render_command_record& m = f.commands.emplace_back(make_command(c, id, sequence));
    const std::array<text, 5> refs = references(m);
    for (std::uint32_t k = 0; k < 5; ++k)
      if (!refs[k].empty() && !c.fault(3)) add_resource(c, d, k, refs[k], m.imageGeneration);
  }
  for (std::uint32_t n = c.below(3); n > 0; --n) {
    const std::uint32_t kind = c.below(5);  // each choice in its own statement, so that a seed replays anywhere
    const text id = kind == 4 && c.fault(16) ? text("identity") : c.pick(IDS[kind]);
    add_resource(c, d, kind, id, c.fault(16) ? 0 : 1 + c.upto(3));
  }
  return {std::move(f), std::move(d)};
}

// Canonical texts of a delta's resources, kind by kind.
using kind_texts = std::array<std::vector<text>, 5>;
using kind_counts = std::array<std::size_t, 5>;
inline kind_texts texts_of(const resource_delta& d) {
  kind_texts t;
  const auto add = [&](std::size_t k, const auto& rows, auto text_of) {
    for (const auto& r : rows) t[k].push_back(text_of(r));
  };
  add(0, d.paints, paint_record_text), add(1, d.images, image_record_text), add(2, d.glyphs, glyph_record_text);
  add(3, d.clips, clip_record_text), add(4, d.transforms, transform_record_text);
  return t;
}

// What a prepared commit compares: the canonical texts of the inputs, not the surface.
inline std::pair<std::vector<text>, kind_texts> input_texts(const owner_fragment& f, const resource_delta& d) {
  std::vector<text> t{fragment_record_text(f)};
  for (const auto& m : f.commands) t.push_back(command_record_text(m));
  return {t, texts_of(d)};
}

// Every stored resource, read back row by row, as a delta; or those from the given rows on.
inline resource_delta stored(retained_resource_store& s, const kind_counts& from = {}) {
  resource_delta d{s.surface_name(), {}, {}, {}, {}, {}};
  const auto read = [&](std::size_t k, std::uint32_t count, auto& to, auto row) {
    for (auto r = static_cast<std::int32_t>(from[k]); r < static_cast<std::int32_t>(count); ++r) to.push_back(row(r));
  };
  read(0, s.paint_count(), d.paints, [&](std::int32_t r) { return s.read_paint_row(r); });
  read(1, s.image_count(), d.images, [&](std::int32_t r) { return s.read_image_row(r); });
  read(2, s.glyph_count(), d.glyphs, [&](std::int32_t r) { return s.read_glyph_row(r); });
  read(3, s.clip_count(), d.clips, [&](std::int32_t r) { return s.read_clip_row(r); });
  read(4, s.transform_count(), d.transforms, [&](std::int32_t r) { return s.read_transform_row(r); });
  return d;
}
inline kind_counts counts_of(retained_resource_store& s) {
  return {s.paint_count(), s.image_count(), s.glyph_count(), s.clip_count(), s.transform_count()};
}

// A store whose index puts and command rewrites throw once armed and counted
// down: an apply cut short, in any item of a batch, must change nothing.
struct fallible_store : retained_resource_store {
  using retained_resource_store::retained_resource_store;
  std::int32_t countdown = -1;
  void index_put(const text& key, std::uint32_t value) override {
    if (countdown >= 0 && countdown-- == 0) throw injected_fault{};
    retained_resource_store::index_put(key, value);
  }
  void set_command_row(std::int32_t row, const render_command_record& m, std::int32_t p, std::int32_t i, std::int32_t g,
                       std::int32_t c, std::int32_t t) override {
    if (countdown >= 0 && countdown-- == 0) throw injected_fault{};
    retained_resource_store::set_command_row(row, m, p, i, g, c, t);
  }
  std::int32_t found_row = -2;  // what the last command lookup answered
  std::int32_t find_command_row(const render_command_record& m) override {
    return found_row = retained_resource_store::find_command_row(m);
  }
};

// Everything the store shows from the outside: the figures that count calls
// (which a batch raises once for all its items), and the content.
struct observed {
  text figures, content;
  bool operator==(const observed&) const = default;
};
inline text figures_of(retained_resource_store& s) {
  return s.store_diagnostics_text() + "|" + decimal(s.index_probe_total());
}
inline observed look(retained_resource_store& s) {
  observed o{figures_of(s), s.state_name() + "|" + s.surface_name()};
  for (const std::vector<text>& kind : texts_of(stored(s)))
    for (const text& t : kind) o.content += "|" + t;
  for (std::uint32_t v : {s.entry_count(), s.owner_count(), s.command_total(), s.payload_total(), s.index_node_count()})
    o.content += "|" + decimal(v);
  for (std::int32_t r = -1; r <= static_cast<std::int32_t>(s.command_total()); ++r) {
    for (std::int32_t v : {s.command_owner(r), s.command_paint_row(r), s.command_image_row(r), s.command_glyph_row(r),
                           s.command_clip_row(r), s.command_transform_row(r)})
      o.content += "," + std::to_string(v);
  }
  return o;
}

// What look shows, but the rows' canonical texts: the figures (by their
// operations, not the diagnostics line), the counts of every kind, the command
// rows' links and the owners' generations. Cheap enough for every step.
inline observed glance(retained_resource_store& s) {
  const std::int32_t commands = static_cast<std::int32_t>(s.command_total()),
                     owners = static_cast<std::int32_t>(s.owner_count());
  std::vector<std::int64_t> v;  // the numbers, kept as raw bytes
  v.reserve(16 + 6 * (static_cast<std::size_t>(commands) + 2) + static_cast<std::size_t>(owners));
  for (std::uint32_t n : {s.current_revision(), s.validation_total(), s.explicit_comparison_total(),
                          s.payload_comparison_total(), s.admission_total(), s.index_probe_total()})
    v.push_back(n);
  const std::size_t figures = v.size();
  for (std::uint32_t n :
       {s.entry_count(), s.paint_count(), s.image_count(), s.glyph_count(), s.clip_count(), s.transform_count(),
        s.owner_count(), s.command_total(), s.payload_total(), s.index_node_count()})
    v.push_back(n);
  for (std::int32_t r = -1; r <= commands; ++r) {
    for (std::int32_t n : {s.command_owner(r), s.command_paint_row(r), s.command_image_row(r), s.command_glyph_row(r),
                           s.command_clip_row(r), s.command_transform_row(r)})
      v.push_back(n);
  }
  for (std::int32_t r = 0; r < owners; ++r) v.push_back(s.owner_generation(r));
  const auto bytes = [&](std::size_t from, std::size_t to) {
    return text(reinterpret_cast<const char*>(v.data() + from), (to - from) * sizeof(std::int64_t));
  };
  return {bytes(0, figures), s.state_name() + "|" + s.surface_name() + "|" + bytes(figures, v.size())};
}

// How much a driver reads back, and how it keeps its twin. `full`: the whole
// store after every change, and look around every call that must change
// nothing; the twin made again after every change. `lean` (the fuzz target,
// where runs per second are coverage):
// - around every call that must change nothing, and after every step, the
//   glance, which must stay what the last whole check saw;
// - after every change, the whole store against the model, but reading only
//   the rows appended since the last check, and looking up only the commands
//   of the owners the change applied to (every command's resolved rows are
//   still compared): nothing rewrites a stored row or another owner's
//   commands, so what any step changed there stays changed until the check of
//   everything, which comes before the store is closed or replaced and at the
//   end of the run (finish);
// - the twin made only when an answer needs it, and then compared with the
//   store's glance (the model check shows the rest of what look would); after
//   a binding it is given the new owner rather than made again, still by direct
//   bindings alone; a batch's last item is preflighted on it, not applied;
// - in a fuzzing process, none of these checks that an earlier run passed at
//   the same point (see `passed_checks`).
enum class checking { full, lean };

// What a fuzzing process remembers from run to run: the checks that passed,
// each under a key of every choice made before it. The store reached there
// from the same choices is the same store, so such a check would pass again;
// a run still makes every operation, under the sanitizers, but makes only the
// checks that no earlier run with the same beginning made.
struct passed_checks {
  std::function<std::uint64_t()> key;  // of the choices made so far
  std::unordered_set<std::uint64_t> keys;
  std::uint64_t skipped = 0;  // checks not made again
};

class driver {
 public:
  explicit driver(choices& c, checking depth = checking::full) : c_(c), full_(depth == checking::full) {
    reset("main");
    check_whole_store(*store_);
  }

  // Lets a lean driver skip the checks of its whole store and of its answers
  // that an earlier run passed at the same point.
  void remember(passed_checks* passed) { passed_ = full_ ? nullptr : passed; }

  // The check of everything that a lean driver leaves to the end of a run.
  void finish() {
    if (!full_) check_whole_store(*store_, true);
  }

  // One operation with its checks, then the invariants of the whole store.
  void step() {
    ++steps_;
    c_.wild = c_.one_in(3);
    const std::uint32_t pick = c_.below(200);
    const bool open = store_->state_name() == "open";
    if (pick < 2) close();
    if (pick == 2 || (pick < 40 && !open)) reset(c_.one_in(2) ? "main" : text(c_.one_in(2) ? 0 : 129, 's'));
    if (pick > 2 && pick < 80 && (open || pick >= 40)) admit(0);
    if (pick >= 80 && (pick < 130 || (pick < 185 && prepared_.empty()))) admit(pick >= 110 && pick < 130 ? 2 : 1);
    if (pick >= 130 && pick < 185 && !prepared_.empty()) commit(c_.pick(prepared_));
    if (pick >= 185) resend();
    check_store();
  }

  std::uint64_t steps() const { return steps_; }
  // Everything the store shows now.
  observed shows() { return look(*store_); }
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
    std::uint32_t store_id, rev;
    operation_result answer;  // what the twin answered, and the preparation too
  };

  void expect(bool holds, const text& what) {
    if (!holds) throw proof_failure("step " + std::to_string(steps_) + " (" + op_ + "): " + what);
  }

  // A check point: where a run is, by its choices so far, and which check it makes there.
  std::uint64_t point(std::uint64_t check) const {
    return passed_ ? passed_->key() ^ (check * 0x9E3779B97F4A7C15u) : 0;
  }
  bool passed_before(std::uint64_t at) {
    const bool seen = passed_ && passed_->keys.count(at) != 0;
    if (seen) ++passed_->skipped;
    return seen;
  }
  void passed(std::uint64_t at) {
    if (passed_) passed_->keys.insert(at);
  }

  // What a driver compares around a call that must change nothing: look, or for a lean driver the glance.
  observed observe(retained_resource_store& s) const { return full_ ? look(s) : glance(s); }

  // Counted by operation and message, with the figures left out.
  void note(const text& message) {
    if (!full_) return;  // nobody reads them
    text key = op_.substr(0, op_.find(' ')) + ": " + message;
    for (char& ch : key) ch = ch >= '0' && ch <= '9' ? '#' : ch;
    ++outcomes_[key];
  }

  void reset(const text& surface) {
    if (store_ && !full_) check_whole_store(*store_, true);
    store_ = std::make_unique<fallible_store>(surface);
    ++store_id_;
    // Sometimes a prepared object of the old store stays, to be committed on the new one.
    if (!prepared_.empty()) prepared_.erase(prepared_.begin(), prepared_.end() - c_.one_in(4));
    forget_owners(), rows_ = {}, figures_ = {}, changed_ = true;
    // A lean driver keeps a twin that nothing was applied to, which is a new store of that surface.
    if (full_ || !twin_ || twin_->current_revision() != 0 || twin_->surface_name() != surface) twin_.reset();
    op_ = "new store '" + surface.substr(0, 8) + "'";
  }

  void close() {
    op_ = "close";
    if (!full_) check_whole_store(*store_, true);
    figures_[0] += store_->state_name() != "closed";
    expect(store_->close_store() && store_->state_name() == "closed", "closing");
    forget_owners(), rows_ = {}, twin_.reset(), changed_ = true;
  }

  fallible_store& elsewhere() {  // made when first needed: most runs never commit there
    if (!elsewhere_) elsewhere_ = std::make_unique<fallible_store>("main");
    return *elsewhere_;
  }

  void forget_owners() { owners_.clear(), owner_texts_.clear(), touched_.clear(), checked_rows_ = {}, read_ = {}; }

  // The twin: a new store given the owners in row order by direct bindings, the
  // first with every stored resource in row order, which gives the same rows.
  // Made again after every change of the model (a lean driver binds the owners
  // it lacks, the first with the rows it lacks).
  retained_resource_store& twin() {
    if (twin_ && twin_owners_ == owners_.size()) return *twin_;
    if (!twin_) twin_ = std::make_unique<retained_resource_store>(store_->surface_name()), twin_owners_ = 0;
    resource_delta resources = stored(*store_, counts_of(*twin_));
    for (; twin_owners_ < owners_.size(); ++twin_owners_) {
      const owner_fragment& o = owners_[twin_owners_];
      expect(twin_->bind_owner(o, resources, twin_->current_revision()).ok, "the twin refuses a binding");
      resources = {store_->surface_name(), {}, {}, {}, {}, {}};
    }
    if (store_->state_name() == "closed") twin_->close_store();
    if (!full_)
      expect(glance(*twin_).content == glance(*store_).content, "the store shows other content than its twin");
    return *twin_;
  }

  owner_fragment* bound(const text& id) {
    for (owner_fragment& o : owners_)
      if (o.id == id) return &o;
    return nullptr;
  }

  // Mostly an owner, with a fragment, the admission can apply to: for an update
  // a bound one that keeps its range with a newer generation, for a binding an
  // unbound one with a range of its own; sometimes another owner, an overlap, a
  // repeat, an older generation or another range.
  std::pair<owner_fragment, resource_delta> inputs(std::uint8_t kind, const text* owner = nullptr) {
    std::vector<text> fit;
    for (const text& id : OWNERS)
      if ((bound(id) == nullptr) == (kind == ADMISSION_BIND)) fit.push_back(id);
    const text id = owner ? *owner : fit.empty() || c_.fault(4) ? c_.pick(OWNERS) : c_.pick(fit);
    const owner_fragment* o = bound(id);
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

  // Mostly the current revision, sometimes one before or after it.
  std::uint32_t expected_revision() { return figures_[0] + (c_.fault(8) ? (c_.one_in(2) ? 1u : ~0u) : 0u); }
  static operation_result run_direct(retained_resource_store& s, std::uint8_t kind, const owner_fragment& f,
                                     const resource_delta& d, std::uint32_t rev, bool preflight) {
    if (preflight) return kind ? s.preflight_bind(f, d, rev) : s.preflight_update(f, d, rev);
    return kind ? s.bind_owner(f, d, rev) : s.update_owner(f, d, rev);
  }
  static auto outcome(const operation_result& r) {
    return std::tie(r.ok, r.message, r.validations, r.explicitComparisons, r.payloadComparisons);
  }

  // Runs a call that may apply, sometimes with an apply step armed to throw. A
  // refusal reports zeros and a message; it, or an apply cut short (which
  // answers nothing), changes nothing.
  template <class Call>
  std::optional<operation_result> attempt(fallible_store& target, Call call, std::uint32_t armed_one_in) {
    target.countdown = c_.one_in(armed_one_in) ? c_.upto(8) : -1;
    const std::uint64_t at = point(3);
    const bool seen = passed_before(at);
    const observed was = seen ? observed{} : observe(target);
    std::optional<operation_result> r;
    try {
      r = call();
      note(r->message);
      expect(r->ok || (r->message != "ok" && !r->message.empty() && r->revision == target.current_revision() &&
                       r->validations + r->explicitComparisons + r->payloadComparisons == 0),
             "a refusal reported figures or no message");
    } catch (const injected_fault&) {
      note("an apply cut short");
    }
    target.countdown = -1;
    expect(seen || (r && r->ok) || observe(target) == was, "a refusal or an apply cut short changed the store");
    passed(at);
    return r;
  }

  // The model follows an applied change. Each resource of the deltas is new,
  // validated once and appended as a row, or known and compared once (its
  // payload too for an image or a glyph).
  void applied(const operation_result& r, const std::vector<owner_fragment>& fragments,
               const std::vector<resource_delta>& deltas, std::uint8_t kind) {
    expect(r.ok && r.message == "ok" && r.revision == figures_[0] + 1, "an applied result");
    operation_result counted{true, 0, 0, 0, 0, "ok"};
    if (full_ || kind != ADMISSION_BIND) twin_.reset();  // a binding only adds owners, which the twin can bind
    changed_ = true;
    for (std::size_t i = 0; i < fragments.size(); ++i) {
      owner_fragment* o = bound(fragments[i].id);
      expect(o ? kind == ADMISSION_UPDATE && o->generation < fragments[i].generation : kind == ADMISSION_BIND,
             "an admission applied that should not");
      const std::size_t row = o ? static_cast<std::size_t>(o - owners_.data()) : owners_.size();
      if (!o) owner_texts_.emplace_back();
      owner_texts_[row].assign(fragments[i].commands.size(), text());  // made when a probe needs them
      (o ? *o : owners_.emplace_back()) = fragments[i];
      touched_.resize(owners_.size()), touched_[row] = true;
      const kind_texts brought = texts_of(deltas[i]);
      for (std::size_t k = 0; k < 5; ++k) {
        for (const text& t : brought[k]) {
          const bool known = std::find(rows_[k].begin(), rows_[k].end(), t) != rows_[k].end();
          if (!known) rows_[k].push_back(t);
          (known ? counted.explicitComparisons : counted.validations) += 1;
          counted.payloadComparisons += known && (k == 1 || k == 2);
        }
      }
    }
    expect(outcome(r) == outcome(counted), "the counters differ from the resources the deltas brought");
    const std::uint32_t add[] = {1, r.validations, r.explicitComparisons, r.payloadComparisons, 1};
    for (std::size_t i = 0; i < 5; ++i) figures_[i] += add[i];
  }

  // A direct bind or update, a prepared admission, or a batch of updates (mostly
  // of bound owners, sometimes with a duplicate owner or sequence or a missing
  // delta) answers what the twin answers: a batch what its checks of the whole
  // batch and then its items, made one after another, answer. Preparing changes nothing.
  void admit(std::uint32_t mode) {  // 0 direct, 1 prepared, 2 batch
    const bool batch = mode == 2;
    prepared_entry e{nullptr,   nullptr, {}, {}, batch || c_.one_in(2) ? ADMISSION_UPDATE : ADMISSION_BIND,
                     store_id_, 0,       {}};
    std::vector<text> ids;
    for (const owner_fragment& o : owners_) ids.push_back(o.id);
    if (ids.empty() || c_.fault(4)) ids = OWNERS;
    for (std::uint32_t n = batch ? 1 + c_.below(3) : 1; n > 0 && !ids.empty(); --n) {
      const std::size_t at = c_.below(static_cast<std::uint32_t>(ids.size()));
      auto [f, d] = inputs(e.kind, batch ? &ids[at] : nullptr);
      if (!c_.one_in(6)) ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(at));
      e.fragments.push_back(std::move(f)), e.deltas.push_back(std::move(d));
    }
    if (batch && c_.fault(8)) e.deltas.pop_back();
    const std::uint32_t rev = e.rev = expected_revision();
    const text names[] = {e.kind ? "bind " : "update ", "prepare ", "prepare-batch "};
    op_ = names[mode] + e.fragments[0].id;
    // From here on the store's answer (unless an apply is cut short) follows
    // from the choices made: an earlier run may have compared it with the twin's.
    const std::uint64_t asked = point(1);
    const bool answered = passed_before(asked);
    std::uint32_t items = 0;
    if (!answered) e.answer = answer(e, rev, batch, items);
    const operation_result& want = e.answer;
    if (mode == 0) {
      const owner_fragment& f = e.fragments[0];
      const auto r = attempt(
          *store_, [&] { return run_direct(*store_, e.kind, f, e.deltas[0], rev, false); }, 6);
      expect(answered || !r || outcome(*r) == outcome(want), "the twin answers '" + want.message + "'");
      if (r) passed(asked);
      if (r && r->ok) applied(*r, e.fragments, e.deltas, e.kind);
      return;
    }
    if (batch) e.batch = store_->prepare_candidate_batch(e.fragments, e.deltas, rev);
    const owner_fragment& f = e.fragments[0];
    if (!batch)
      e.one = e.kind ? store_->prepare_bind(f, e.deltas[0], rev) : store_->prepare_update(f, e.deltas[0], rev);
    const auto answers = [&](auto& p) {
      note(p.message());
      const operation_result got{p.is_admitted(),         0,          p.validations(), p.explicit_comparisons(),
                                 p.payload_comparisons(), p.message()};
      if (answered) e.answer = got;  // which was the twin's answer
      return answered || (p.revision() == rev && !p.is_consumed() && got.ok == want.ok && got.message == want.message &&
                          (!want.ok || outcome(got) == outcome(want)));
    };
    expect(batch ? answers(*e.batch) && (answered || e.batch->item_count() == items)
                 : answers(*e.one) && e.one->is_bind() == e.kind,
           "prepared otherwise than the twin answers: '" + want.message + "'");
    expect(answered || observe(*store_) == before_, "preparing changed the store");
    passed(asked);
    prepared_.push_back(std::move(e));
    if (prepared_.size() > 8) prepared_.erase(prepared_.begin());
    if (c_.one_in(3)) commit(prepared_.back());  // at once, while it is fresh
  }

  // The twin's answer: a single admission is preflighted on it; the items of a
  // batch are applied one after another.
  operation_result answer(const prepared_entry& e, std::uint32_t rev, bool batch, std::uint32_t& items) {
    const text prefix = "retained resource candidate batch ";
    std::set<text> seen;  // owners, and sequences after a space
    text first = store_->state_name() != "open" ? "retained resource store is not open" : "";
    if (first.empty() && rev != figures_[0])
      first = "retained resource store stale revision: expected " + decimal(rev) + ", current " + decimal(figures_[0]);
    if (batch && first.empty() && e.deltas.size() != e.fragments.size())
      first = prefix + "requires 1..4096 parallel fragment/delta items";
    for (const owner_fragment& f : e.fragments) {
      if (!batch) break;
      if (first.empty() && !seen.insert(f.id).second) first = prefix + "duplicates owner " + f.id;
      for (const auto& m : f.commands)
        if (first.empty() && !seen.insert(" " + std::to_string(m.sequence)).second)
          first = prefix + "duplicates command sequence " + std::to_string(m.sequence);
    }
    operation_result sums{first.empty(), 0, 0, 0, 0, first.empty() ? "ok" : first};
    if (!full_ && !sums.ok) return sums;  // decided without the twin
    retained_resource_store& copy = twin();
    bool took = false;  // the twin took an item
    for (std::size_t i = 0; sums.ok && i < e.fragments.size(); ++i) {
      // A lean driver preflights a batch's last item too, so that the twin stays as it is when it can.
      const bool preflight = !batch || (!full_ && i + 1 == e.fragments.size());
      const operation_result r =
          run_direct(copy, e.kind, e.fragments[i], e.deltas[i], copy.current_revision(), preflight);
      took = took || (r.ok && !preflight);
      if (!r.ok)
        sums = {false, 0, 0, 0, 0, batch ? prefix + "item " + std::to_string(i) + ": " + r.message : r.message};
      items += r.ok;
      sums.validations += r.validations, sums.explicitComparisons += r.explicitComparisons;
      sums.payloadComparisons += r.payloadComparisons;
    }
    if (batch && (full_ || took)) twin_.reset();  // it took the items
    return sums;
  }

  // Commits a prepared admission or batch with the right, changed or reordered
  // inputs, in either kind, on this store or another; the checks decide in
  // their order, and a success counts what the preparation counted.
  void commit(const prepared_entry& e) {
    std::vector<owner_fragment> fragments = e.fragments;
    std::vector<resource_delta> deltas = e.deltas;
    const std::uint32_t change = fragments.size() == deltas.size() ? c_.below(8) : 8;
    if (change == 0) fragments.back().commands.back().geometry[17] += 1;
    if (change == 1) deltas.back().surface = "elsewhere";  // which a commit does not compare
    if (change == 2) std::reverse(fragments.begin(), fragments.end()), std::reverse(deltas.begin(), deltas.end());
    if (change == 3 && e.batch) fragments.pop_back(), deltas.pop_back();
    const auto same = [&] {
      bool equal = fragments.size() == e.fragments.size() && deltas.size() == fragments.size();
      for (std::size_t i = 0; equal && i < fragments.size(); ++i)
        equal = input_texts(fragments[i], deltas[i]) == input_texts(e.fragments[i], e.deltas[i]);
      return equal;
    };
    const std::uint8_t kind = c_.one_in(8) ? !e.kind : e.kind;
    fallible_store& target = c_.one_in(8) ? elsewhere() : *store_;
    const std::uint32_t probes = target.index_probe_total();
    const auto consumed = [&] { return e.batch ? e.batch->is_consumed() : e.one->is_consumed(); };
    const bool was_consumed = consumed();
    op_ = (e.batch ? "commit-batch " : "commit ") + e.fragments[0].id;
    const auto r = attempt(
        target,
        [&] {
          if (e.batch) return target.commit_prepared_candidate_batch(e.batch, fragments, deltas);
          return kind ? target.commit_prepared_bind(e.one, fragments[0], deltas[0])
                      : target.commit_prepared_update(e.one, fragments[0], deltas[0]);
        },
        e.batch ? 2 : 6);  // a batch is cut short often, so that later items are reached
    expect(consumed() == (was_consumed || (r && r->ok)), "the consumed flag");
    if (!r) return;
    const text prefix =
        e.batch ? "retained resource prepared candidate batch " : "retained resource prepared admission ";
    std::pair<bool, text> checks[] = {
        {&target != store_.get() || e.store_id != store_id_, prefix + "belongs to another store"},
        {was_consumed, prefix + "was already consumed"},
        {!e.batch && kind != e.kind, prefix + "kind does not match commit"},
        {!e.answer.ok, e.answer.message},
        {e.rev != figures_[0], prefix + "is stale: expected " + decimal(e.rev) + ", current " + decimal(figures_[0])},
        {false, prefix + (e.batch ? "inputs were changed or reordered" : "inputs were changed")},
        {true, "ok"}};
    // The inputs' texts are compared only when no earlier check decides.
    checks[5].first = std::none_of(checks, checks + 5, [](auto& c) { return c.first; }) && !same();
    const text expected = std::find_if(std::begin(checks), std::end(checks), [](auto& c) { return c.first; })->second;
    expect(r->message == expected, "commit answered '" + r->message + "', expected '" + expected + "'");
    if (!r->ok) return;
    expect(outcome(*r) == outcome(e.answer) &&
               target.index_probe_total() - probes >= (e.batch ? e.batch->index_probes() : e.one->index_probes()),
           "a commit counted otherwise than its preparation");
    applied(*r, e.fragments, e.deltas, e.kind);
  }

  // An update that keeps a bound owner's commands and resends stored resources,
  // and perhaps the next generation of an image (the first, when none is
  // stored), is admitted.
  void resend() {
    if (owners_.empty() || store_->state_name() != "open") return;
    owner_fragment f = c_.pick(owners_);
    f.generation += 1;
    const resource_delta all = stored(*store_);
    resource_delta d{all.surface, {}, {}, {}, {}, {}};
    const auto some = [&](auto& to, const auto& from) {
      for (const auto& r : from)
        if (c_.one_in(2)) to.push_back(r);
    };
    some(d.paints, all.paints), some(d.images, all.images), some(d.glyphs, all.glyphs);
    some(d.clips, all.clips), some(d.transforms, all.transforms);
    if (c_.one_in(2)) {
      const text& id = c_.pick(IDS[1]);
      std::int32_t newest = 0;
      for (const auto& i : all.images) newest = i.id == id ? std::max(newest, i.generation) : newest;
      c_.wild = false;
      add_resource(c_, d, 1, id, newest + 1);
    }
    op_ = "resend " + f.id;
    const auto r = attempt(
        *store_, [&] { return store_->update_owner(f, d, figures_[0]); }, 6);
    expect(!r || r->ok, "resending stored resources was refused: " + (r ? r->message : text()));
    if (r) applied(*r, {f}, {d}, ADMISSION_UPDATE);
  }

  // After a step that changed the model, the invariants of the whole store: it
  // shows what its twin and the model show, and every command is found with its
  // owner and resolves rows that name stored resources of the referenced
  // identities. (A step that changed nothing left the store as the last check
  // found it, which its own checks show.) After every step, a command that may or
  // may not be stored is found exactly when one with the same canonical text is;
  // and the lookups change nothing.
  void check_store() {
    retained_resource_store& s = *store_;
    if (full_ ? !twin_ : changed_) {
      const std::uint64_t at = point(2);
      if (passed_before(at)) {
        before_ = glance(s), changed_ = false;  // what that check saw
      } else {
        check_whole_store(s), passed(at);
      }
    }
    const text owner = c_.pick(OWNERS);
    const render_command_record probe = make_command(c_, owner, c_.upto(40));
    const std::uint64_t looked_up = point(4);
    if (passed_before(looked_up)) return;
    text probe_text;  // made when a command has the probe's sequence, which its text holds
    std::int32_t at = 0, probe_row = -1, probe_owner = -1;
    for (std::int32_t row = 0; row < static_cast<std::int32_t>(owners_.size()); ++row) {
      const auto r = static_cast<std::size_t>(row);
      for (std::size_t j = 0; j < owners_[r].commands.size(); ++j, ++at) {
        if (owners_[r].commands[j].sequence != probe.sequence) continue;
        if (probe_text.empty()) probe_text = command_record_text(probe);
        text& known = owner_texts_[r][j];
        if (known.empty()) known = command_record_text(owners_[r].commands[j]);
        if (known == probe_text) probe_row = at, probe_owner = row;
      }
    }
    expect(find_command(probe) == std::pair{probe_row, probe_owner}, "a command lookup");
    // The lookups, and a lean step that changed nothing, leave what the last whole check saw.
    expect(full_ ? figures_of(s) == before_.figures : glance(s) == before_, "a lookup changed the store");
    passed(looked_up);
  }

  // The row and the owner the store finds for a command. A lean driver takes
  // the row from the lookup the owner's lookup makes, when it makes one.
  std::pair<std::int32_t, std::int32_t> find_command(const render_command_record& m) {
    fallible_store& s = *store_;
    if (full_) return {s.find_command_row(m), s.find_command_owner(m)};
    s.found_row = -2;
    const std::int32_t owner = s.find_command_owner(m);
    return {s.found_row != -2 ? s.found_row : s.find_command_row(m), owner};
  }

  // A lean driver reads the texts of the rows appended since its last check, or of every row when asked to.
  void check_whole_store(retained_resource_store& s, bool everything = false) {
    changed_ = false;
    everything = everything || full_;
    before_ = observe(s);
    if (full_) expect(look(twin()).content == before_.content, "the store shows other content than its twin");
    const kind_counts from = everything ? kind_counts{} : checked_rows_;
    if (everything) read_ = {};
    const resource_delta more = stored(s, from);
    const auto add = [](auto& to, const auto& rows) { to.insert(to.end(), rows.begin(), rows.end()); };
    add(read_.paints, more.paints), add(read_.images, more.images), add(read_.glyphs, more.glyphs);
    add(read_.clips, more.clips), add(read_.transforms, more.transforms);
    const resource_delta& all = read_;
    const kind_texts texts = texts_of(more);
    bool rows_hold = true;
    for (std::size_t k = 0; k < 5; ++k) {
      rows_hold = rows_hold && rows_[k].size() == from[k] + texts[k].size() &&
                  std::equal(texts[k].begin(), texts[k].end(), rows_[k].begin() + static_cast<std::ptrdiff_t>(from[k]));
      checked_rows_[k] = rows_[k].size();
    }
    expect(rows_hold, "the stored rows differ from the resources applied");
    std::uint32_t payload = 0, commands = 0;
    std::set<text> images;  // each id has an "image-latest" key
    for (const auto& i : all.images) payload += static_cast<std::uint32_t>(i.sizeBytes), images.insert(i.id);
    for (const auto& g : all.glyphs) payload += static_cast<std::uint32_t>(g.sizeBytes);
    for (const owner_fragment& o : owners_) commands += static_cast<std::uint32_t>(o.commands.size());
    const auto entries = static_cast<std::uint32_t>(count_delta_entries(all));
    const auto owners = static_cast<std::uint32_t>(owners_.size());
    static const char* const names[] = {"revision",
                                        "entries",
                                        "owners",
                                        "commands",
                                        "payload",
                                        "validations",
                                        "explicit-comparisons",
                                        "payload-comparisons",
                                        "admissions"};
    const std::array<std::uint32_t, 9> want{figures_[0], entries,     owners,      commands,   payload,
                                            figures_[1], figures_[2], figures_[3], figures_[4]};
    const std::array<std::uint32_t, 9> shown{s.current_revision(),
                                             s.entry_count(),
                                             s.owner_count(),
                                             s.command_total(),
                                             s.payload_total(),
                                             s.validation_total(),
                                             s.explicit_comparison_total(),
                                             s.payload_comparison_total(),
                                             s.admission_total()};
    text line = "retained-resource-store-v1: surface=" + s.surface_name() + "; state=" + s.state_name();
    for (std::size_t i = 0; i < want.size(); ++i) line += "; " + text(names[i]) + "=" + decimal(want[i]);
    expect(shown == want && s.store_diagnostics_text() == line + "; rejections=operation-results-only",
           "the figures or the diagnostics line differ from the model's: " + s.store_diagnostics_text());
    expect(s.index_node_count() == entries + images.size() + owners + commands,
           "the index holds other keys than the rows, the newest images, owners and commands need");
    const auto id_at = [](const auto& rows, std::int32_t r) {  // "" for -1, which is no row
      return r >= 0 && static_cast<std::size_t>(r) < rows.size() ? rows[r].id : text(r == -1 ? "" : "?");
    };
    std::int32_t at = 0;
    for (std::int32_t row = 0; row < static_cast<std::int32_t>(owners); ++row) {
      const owner_fragment& o = owners_[row];
      expect(s.find_owner_binding(o.id) == row && s.owner_generation(row) == static_cast<std::uint32_t>(o.generation),
             "owner " + o.id);
      for (const render_command_record& m : o.commands) {
        const std::int32_t image = s.command_image_row(at);
        const std::array<text, 5> named{id_at(all.paints, s.command_paint_row(at)), id_at(all.images, image),
                                        id_at(all.glyphs, s.command_glyph_row(at)),
                                        id_at(all.clips, s.command_clip_row(at)),
                                        id_at(all.transforms, s.command_transform_row(at))};
        expect((!(everything || touched_[row]) || find_command(m) == std::pair{at, row}) && named == references(m) &&
                   (image < 0 || all.images[image].generation == m.imageGeneration),
               "a stored command is not found, or a resolved row names another resource");
        ++at;
      }
    }
    touched_.assign(owners, false);
  }

  choices& c_;
  passed_checks* passed_ = nullptr;
  std::unique_ptr<fallible_store> store_;
  std::unique_ptr<retained_resource_store> twin_;
  std::size_t twin_owners_ = 0;                // the owners bound in the twin
  std::unique_ptr<fallible_store> elsewhere_;  // another store, where every commit is refused
  std::uint32_t store_id_ = 0;
  const bool full_;
  bool changed_ = true;                         // the model changed since the last whole check
  std::vector<owner_fragment> owners_;          // the fragments last applied, in binding order
  std::vector<std::vector<text>> owner_texts_;  // the canonical texts of their commands, "" until needed
  std::vector<bool> touched_;                   // owners applied to since the last whole check
  kind_counts checked_rows_{};                  // rows a lean driver's whole checks have read
  resource_delta read_;                         // and those rows
  kind_texts rows_;                             // the canonical texts of the resources applied, in row order
  // The figures the applied results add up to: revision, validations, explicit and payload comparisons, admissions.
  std::array<std::uint32_t, 5> figures_{};
  std::vector<prepared_entry> prepared_;
  observed before_;  // what the last whole check saw (in a lean driver, the glance)
  text op_;
  std::uint64_t steps_ = 0;
  std::map<text, std::uint64_t> outcomes_;
};

}  // namespace store_proof
