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
    new 2 ; init 1 0 => !initialize incompatible-capability-contract @unavailable
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

}  // namespace orvi::provider_steps
