#include "provider/native_ui_host_provider.hpp"

#include <limits>

#include "tests/provider/provider_steps.hpp"

namespace orvi::provider_steps {

TEST(Provider, StateMachine) {
  P p(contract(), O);
  EXPECT_EQ(p.diagnostics_text(),
            "native-ui-host-provider: schema=orvi.native-ui-host-provider.v1; version=1; provider=demo; state=new; "
            "owner-thread=7; sequence=0; timestamp=0; correlation=0; events=0; nodes=0; displays=0; "
            "topology=0; session=active; composition=false; keyboard-requested=false; keyboard-visible=false; "
            "clipboard-format=; failures=0; allocations=0; max-latency-us=0; diagnostic=ok");
  // A wrong thread is refused before the contract is looked at.
  run_script(p, R"(
    new 1 - ; init 0 0 8 => !initialize invalid-state-or-thread
    new ; teardown => !teardown invalid-state=new
    init 1 0   => provider demo ready owner-thread-bound @ready
    init 1 0   => !initialize invalid-state-or-thread
    loss 8     => !provider-loss invalid-state-or-thread
    loss       => provider demo lost device-removed @lost
    loss       => !provider-loss invalid-state-or-thread
    teardown   => provider demo torn-down queues-quiesced-identities-invalidated @torn-down
    teardown   =>
    teardown 8 => !teardown wrong-thread
    new 1 - ; init 1 0 | new 1 demo orvi.other ; init 1 0 => !initialize incompatible-capability-contract @unavailable
    new 2 ; init 1 0 | new 2 ; init 0 0 => !initialize incompatible-capability-contract @unavailable
    teardown   => provider demo torn-down queues-quiesced-identities-invalidated @torn-down
    new ; init 0 1 => !initialize provider-unavailable @unavailable)");
  // A partial initialization is cleaned up and recorded, then refused.
  P q(contract(), O);
  q.max_latency_us = -1;
  EXPECT_FALSE(q.initialize(true, true, O, 0, 0));
  EXPECT_EQ(events_since(q, 0) + "; " + q.state + " " + std::to_string(q.max_latency_us) + "; " + q.last_diagnostic,
            "provider demo partial-initialization-cleaned capabilities-created-services-not-published; failed 0; " +
                refusal("initialize partial-initialization"));
  run_script(q, "teardown => provider demo torn-down queues-quiesced-identities-invalidated @torn-down");
  // After some activity every figure but the sequence (which numbers the
  // events) differs from the others, so no two can trade places.
  P busy = ready();
  std::string payload;
  for (const char* step : {"batch", "node n1 1", "node n2 1", "node n3 1", "node n4 1", "commit", "commit",
                           "publish d 0 0 9 9 0 0 9 9 1 1", "publish e 0 0 9 9 0 0 9 9 1 0", "topology", "begin w1",
                           "session 0", "session 0"}) {
    apply(busy, step, payload);
  }
  busy.record_host_event("c", "s", "e", "d", 50, 60, 8);
  EXPECT_EQ(busy.diagnostics_text(),
            "native-ui-host-provider: schema=orvi.native-ui-host-provider.v1; version=1; provider=demo; state=ready; "
            "owner-thread=7; sequence=6; timestamp=50; correlation=60; events=6; nodes=4; displays=2; "
            "topology=1; session=active; composition=true; keyboard-requested=true; keyboard-visible=false; "
            "clipboard-format=; failures=3; allocations=44; max-latency-us=8; diagnostic=" +
                refusal("session-transition duplicate-state=active"));
}

TEST(Provider, EventTimesAndCorrelationsMoveOnAndStopAtTheTop) {
  constexpr std::int32_t top = std::numeric_limits<std::int32_t>::max();
  P p(contract(), O);
  ASSERT_TRUE(p.initialize(true, false, O, 5, 9));
  EXPECT_EQ(
      p.event_line(0) + p.event_line(-1) + p.event_line(1),
      "host-event 1: time=5; correlation=9; category=provider; subject=demo; state=ready; detail=owner-thread-bound");
  // Time, correlation and latency given; time and correlation used, greatest latency.
  const std::tuple<std::int32_t, std::int32_t, std::int32_t, std::string, std::int32_t> rows[] = {
      {5, 0, 3, "time=6; correlation=10", 3},      // an equal time, no correlation
      {100, 2, -4, "time=100; correlation=2", 3},  // a lower correlation is still taken
      {-top - 1, 1, 0, "time=101; correlation=1", 3},
      {top, top, 0, "time=2147483647; correlation=2147483647", 3},
      {-1, -1, top, "time=2147483647; correlation=2147483647", top}};
  for (const auto& [time, correlation, latency, used, max_latency] : rows) {
    p.record_host_event("c", "{1}", "{0}", "d{2}", time, correlation, latency);
    EXPECT_EQ(p.event_log.back(), "host-event " + std::to_string(p.event_log.size()) + ": " + used +
                                      "; category=c; subject={1}; state={0}; detail=d{2}");
    EXPECT_EQ(p.max_latency_us, max_latency) << used;
  }
}

// A host whose services may all be held by another program, and whose event
// sink calls back into the provider while an action runs.
struct host : P {
  using P::P;
  bool held = true;
  std::string inner;  // what the calls from inside answered
  bool has_capability(std::string_view capability) const override { return !held && P::has_capability(capability); }
  void record_host_event(std::string_view category, std::string_view subject, std::string_view state,
                         std::string_view detail, std::int32_t time, std::int32_t correlation,
                         std::int32_t latency) override {
    P::record_host_event(category, subject, state, detail, time, correlation, latency);
    if (state != "action" || !inner.empty()) return;
    inner = std::to_string(action_callback_active) + " ";
    inner += perform_accessibility_action(subject, 1, "again", false, O, 0, 0) ? "ok" : last_diagnostic;
    inner += tear_down(O, 0, 0) ? "; " + this->state + " action=" + std::to_string(action_callback_active) : "";
  }
};

TEST(Provider, ADerivedHostsSlotsDecide) {
  host h(contract(), O);
  // Window events need no capability.
  run_script(h, R"(init 1 0 ; set a text 0 => !clipboard capability-unavailable-before-effect
                   window w{0} => window w{0} resized correlated-window-runtime-event)");
  h.held = false;
  // The action's own event (the action flag set) lets the host try another
  // action (refused) and close the provider, which ends the action.
  run_script(h, "batch ; node n1 1 =>");
  EXPECT_TRUE(h.perform_accessibility_action("n1", 1, "invoke", false, O, 0, 0));
  EXPECT_EQ(h.inner, "1 " + refusal("accessibility-action reentrant-or-unavailable") + "; torn-down action=0");
}

// A ready provider each of whose texts holds `t`, with a node, a display, an
// active composition and a clipboard item.
P scene(const std::string& t, bool delayed) {
  P p = ready();
  p.publish_display({t, 0, 0, 9, 9, 0, 0, 9, 9, 1, 1}, O);
  p.provider_name = p.last_diagnostic = p.session_state = t;
  p.node_ids = p.node_roles = p.node_names = {t};
  p.node_generations = {1};
  p.batch_active = 1;
  p.composition = {t, t, t, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, t, t, 1, 1, 1};
  p.clipboard = {t, t, t, delayed};
  return p;
}

std::vector<std::string*> own_texts(P& p) {
  composition_state& c = p.composition;
  return {&p.schema_id,         &p.provider_name,  &p.contract_id,   &p.state,           &p.last_diagnostic,
          &p.node_ids[0],       &p.node_roles[0],  &p.node_names[0], &c.window_id,       &c.preedit,
          &c.surrounding_text,  &c.purpose,        &c.hints,         &p.clipboard.owner, &p.clipboard.format,
          &p.clipboard.payload, &p.display_ids[0], &p.session_state, &p.event_log[0]};
}

using texts = std::vector<std::string_view>;
std::string said(bool yes) { return yes ? "true" : "false"; }

// Every operation that takes texts, with texts that let it act on the scene:
// "=" is the scene's text, "*" a text that outgrows it.
// clang-format off
const std::vector<std::pair<std::vector<std::string>, std::string (*)(P&, const texts&)>> text_calls{
    {{"*", "*"}, [](P& p, const texts& a) { return said(p.reject_operation(a[0], a[1])); }},
    {{"="}, [](P& p, const texts& a) { return said(p.has_capability(a[0])); }},
    {{"*"}, [](P& p, const texts& a) { return said(p.require_capability(O, a[0])); }},
    {{"*", "*", "*", "*"}, [](P& p, const texts& a) { return p.record_host_event(a[0], a[1], a[2], a[3], 0, 0, 1), std::string(); }},
    {{"=", "*"}, [](P& p, const texts& a) { return said(p.record_window_event(a[0], a[1], 0, 0, O)); }},
    {{"="}, [](P& p, const texts& a) { return std::to_string(p.find_accessibility_node(a[0])); }},
    {{"=", "*", "*"}, [](P& p, const texts& a) { return said(p.update_accessibility_node(a[0], 2, a[1], a[2], O)); }},
    {{"*", "*", "*"}, [](P& p, const texts& a) { return said(p.update_accessibility_node(a[0], 1, a[1], a[2], O)); }},
    {{"=", "*"}, [](P& p, const texts& a) { return said(p.perform_accessibility_action(a[0], 1, a[1], false, O, 0, 0)); }},
    {{"*", "*", "*", "*"}, [](P& p, const texts& a) {
       return said(p.begin_text_input(a[0], a[1], 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, a[2], a[3], false, true, O, 0, 0)); }},
    {{"=", "*"}, [](P& p, const texts& a) { return said(p.update_surrounding_text(a[0], a[1], 1, 2, 3, 4, O, 0, 0)); }},
    {{"=", "*"}, [](P& p, const texts& a) { return said(p.commit_text_input(a[0], a[1], 1, 2, O, 0, 0)); }},
    {{"=", "*"}, [](P& p, const texts& a) { return said(p.cancel_text_input(a[0], a[1], O, 0, 0)); }},
    {{"=", "*"}, [](P& p, const texts& a) { return said(p.transfer_text_focus(a[0], a[1], O, 0, 0)); }},
    {{"*"}, [](P& p, const texts& a) { return said(p.request_virtual_keyboard(true, false, a[0], O, 0, 0)); }},
    {{"="}, [](P& p, const texts& a) { return said(p.is_clipboard_format_supported(a[0])); }},
    {{"*", "image/rgba8", "*"}, [](P& p, const texts& a) { return said(p.set_clipboard(a[0], a[1], a[2], false, true, O, 0, 0)); }},
    {{"=", "*"}, [](P& p, const texts& a) { return said(p.materialize_clipboard(a[0], a[1], true, O, 0, 0)); }},
    {{"="}, [](P& p, const texts& a) { return p.read_clipboard(a[0], true, O, 0, 0); }},
    {{"="}, [](P& p, const texts& a) { return std::to_string(p.find_display(a[0])); }},
    {{"*"}, [](P& p, const texts& a) { return said(p.transition_session(true, a[0], O, 0, 0)); }},
    {{"*"}, [](P& p, const texts& a) { return said(p.report_provider_loss(a[0], O, 0, 0)); }}};
// clang-format on

// An operation acts alike whether a text it is given is a copy of one of the
// provider's own texts or a view of it, even where it writes that text first.
TEST(Provider, ATextViewingTheProvidersOwnActsAsItsCopy) {
  P any = scene("x", false);
  const std::size_t fields = own_texts(any).size();
  for (const std::string t : {"application/orvi-value-v1", "w"}) {
    for (const bool delayed : {false, true}) {
      const P start = scene(t, delayed);
      for (std::size_t call = 0; call < text_calls.size(); ++call) {
        const auto& [defaults, run] = text_calls[call];
        for (std::size_t slot = 0; slot < defaults.size(); ++slot) {
          for (std::size_t field = 0; field < fields; ++field) {
            P copied = start, viewed = start;
            std::vector<std::string> given;
            for (const std::string& d : defaults) {
              given.push_back(d == "="   ? t
                              : d == "*" ? "a-text-that-outgrows-the-scene-" + std::to_string(given.size())
                                         : d);
            }
            given[slot] = *own_texts(copied)[field];
            texts copies(given.begin(), given.end()), views = copies;
            views[slot] = *own_texts(viewed)[field];
            const std::string where = "call " + std::to_string(call) + ", text " + std::to_string(slot) +
                                      " viewing field " + std::to_string(field) + " of " + t +
                                      (delayed ? ", delayed" : "");
            const std::string answer = run(copied, copies);
            EXPECT_EQ(run(viewed, views), answer) << where;
            EXPECT_EQ(viewed.event_log.back() + " " + viewed.diagnostics_text(),
                      copied.event_log.back() + " " + copied.diagnostics_text())
                << where;
            EXPECT_TRUE(viewed == copied) << where;
          }
        }
      }
    }
  }
}

}  // namespace orvi::provider_steps
