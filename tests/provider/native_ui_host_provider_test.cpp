#include "provider/native_ui_host_provider.hpp"

#include <limits>

#include "tests/provider/provider_steps.hpp"

namespace orvi::provider_steps {

TEST(Provider, StateMachine) {
  P p(contract(), O);
  run_script(p, R"(
    init 1 0 8 => !initialize invalid-state-or-thread
    teardown   => !teardown invalid-state=new
    init 1 0   => provider demo ready owner-thread-bound)");
  EXPECT_EQ(p.state + " " + p.last_diagnostic, "ready ok");
  run_script(p, R"(
    init 1 0   => !initialize invalid-state-or-thread
    loss 8     => !provider-loss invalid-state-or-thread
    teardown 8 => !teardown wrong-thread
    loss       => provider demo lost device-removed
    loss       => !provider-loss invalid-state-or-thread
    teardown   => provider demo torn-down queues-quiesced-identities-invalidated
    teardown   =>
    teardown 8 => !teardown wrong-thread)");
  p.state = "initializing";
  run_script(p, "teardown => !teardown invalid-state=initializing");
  // Refused initializations that still move the provider on, which can then
  // be torn down (but not from "new").
  const std::string v1 = "orvi.native-ui-host-capabilities.v1", bad = "incompatible-capability-contract";
  const std::tuple<native_ui_host_capabilities, std::string, std::string, std::string> rows[] = {
      {contract(1, "orvi.other"), "init 1 0", "unavailable initialize " + bad, ""},
      {contract(2), "init 1 0", "unavailable initialize " + bad, ""},
      {contract(1, v1, ""), "init 1 0", "unavailable initialize " + bad, ""},
      {contract(1, v1, ""), "init 0 0 8", "new initialize invalid-state-or-thread", ""},
      {contract(), "init 0 1", "unavailable initialize provider-unavailable", ""},
      {contract(), "init 1 1", "failed initialize partial-initialization",
       "provider demo partial-initialization-cleaned capabilities-created-services-not-published"}};
  for (const auto& [c, init, outcome, events] : rows) {
    P q(c, O);
    q.max_latency_us = -1;
    std::string payload;
    EXPECT_FALSE(apply(q, init, payload));
    const std::size_t space = outcome.find(' ');
    EXPECT_EQ(q.state + " " + q.last_diagnostic, outcome.substr(0, space) + " " + refusal(outcome.substr(space + 1)));
    EXPECT_EQ(events_since(q, 0) + " " + std::to_string(q.max_latency_us), events + (events.empty() ? " -1" : " 0"));
    run_script(q, q.state == "new" ? "teardown => !teardown invalid-state=new"
                                   : "teardown => provider " + c.provider_name +
                                         " torn-down queues-quiesced-identities-invalidated");
    EXPECT_EQ(q.failures, q.state == "new" ? 2u : 1u);
  }
}

TEST(Provider, CapabilityRefusalsComeFirstInTheirOrder) {
  const std::map<std::string, std::uint8_t P::*> flag{
      {"accessibility", &P::capability_accessibility},       {"text-input", &P::capability_text_input},
      {"virtual-keyboard", &P::capability_virtual_keyboard}, {"clipboard", &P::capability_clipboard},
      {"display-topology", &P::capability_display_topology}, {"session-lifecycle", &P::capability_session_lifecycle}};
  const std::vector<std::string> services = split(
      "accessibility batch,accessibility node n 1,accessibility commit,accessibility action n 1,text-input begin w,"
      "text-input surround w 0 0 0 0,text-input type w,text-input cancel w,text-input focus w v,virtual-keyboard "
      "keyboard,clipboard set a text 0,clipboard materialize a,clipboard read text,display-topology topology,"
      "display-topology publish d 0 0 9 9 0 0 9 9 1 1,session-lifecycle session 1",
      ",");
  for (const std::string& service : services) {
    const std::string capability = service.substr(0, service.find(' ')), command = service.substr(capability.size());
    // Each case adds a fault to the one before; the first check decides.
    P p = ready();
    p.*flag.at(capability) = 0;
    run_script(p, command + " => !" + capability + " capability-unavailable-before-effect");
    p.owner_thread = 2147483648u;
    run_script(p, command + " => !" + capability + " wrong-thread expected=2147483648 actual=7");
    p.state = "lost";
    run_script(p, command + " => !" + capability + " provider-state=lost");
  }
  // Window events need no capability, only the state, the thread and a window.
  P p = ready();
  for (const auto& [name, member] : flag) p.*member = 0;
  run_script(p, R"(window w{0} => window w{0} resized correlated-window-runtime-event
                   window -    => !window-event invalid-state-thread-or-window)");
  p.owner_thread = 8;
  run_script(p, "window w1 => !window-event invalid-state-thread-or-window");
  p.owner_thread = O;
  p.state = "lost";
  run_script(p, "window w1 => !window-event invalid-state-thread-or-window");
}

TEST(Provider, FirstEventLineAndDiagnosticsAfterConstruction) {
  P p(contract(), 2147483648u);
  EXPECT_EQ(p.diagnostics_text(),
            "native-ui-host-provider: schema=orvi.native-ui-host-provider.v1; version=1; provider=demo; state=new; "
            "owner-thread=2147483648; sequence=0; timestamp=0; correlation=0; events=0; nodes=0; displays=0; "
            "topology=0; session=active; composition=false; keyboard-requested=false; keyboard-visible=false; "
            "clipboard-format=; failures=0; allocations=0; max-latency-us=0; diagnostic=ok");
  ASSERT_TRUE(p.initialize(true, false, 2147483648u, 5, 9));
  EXPECT_EQ(p.event_line(0),
            "host-event 1: time=5; correlation=9; category=provider; subject=demo; state=ready; "
            "detail=owner-thread-bound");
  EXPECT_EQ(p.event_line(-1) + p.event_line(1), "");
}

TEST(Provider, EventTimesAndCorrelationsMoveOnAndStopAtTheTop) {
  constexpr std::int32_t top = std::numeric_limits<std::int32_t>::max();
  P p(contract(), O);
  // Time, correlation and latency given; time and correlation used, greatest latency.
  const std::tuple<std::int32_t, std::int32_t, std::int32_t, std::string, std::int32_t> rows[] = {
      {5, 9, -4, "time=5; correlation=9", 0},
      {5, 0, 3, "time=6; correlation=10", 3},  // an equal time, no correlation
      {3, -4, 1, "time=7; correlation=11", 3},
      {100, 2, 2, "time=100; correlation=2", 3},  // a lower correlation is still taken
      {-top - 1, 1, 0, "time=101; correlation=1", 3},
      {top - 1, top - 1, 0, "time=2147483646; correlation=2147483646", 3},
      {0, 0, 0, "time=2147483647; correlation=2147483647", 3},
      {top, 0, 0, "time=2147483647; correlation=2147483647", 3},
      {-1, -1, top, "time=2147483647; correlation=2147483647", top},
  };
  for (const auto& [time, correlation, latency, used, max_latency] : rows) {
    p.record_host_event("c", "{1}", "{0}", "d{2}", time, correlation, latency);
    EXPECT_EQ(p.event_log.back(), "host-event " + std::to_string(p.event_log.size()) + ": " + used +
                                      "; category=c; subject={1}; state={0}; detail=d{2}");
    EXPECT_EQ(p.max_latency_us, max_latency) << used;
  }
  EXPECT_FALSE(p.reject_operation("op{0}", "why {1}"));
  EXPECT_EQ(p.last_diagnostic, "host.ui_services op{0} rejected: why {1}");
}

// A host whose clipboard may be held by another program, and whose event sink
// calls back into the provider while an action runs.
struct host : P {
  using P::P;
  bool clipboard_held = true;
  std::vector<std::string> inner;  // what each call from inside answered
  bool has_capability(std::string_view capability) const override {
    return !(clipboard_held && capability == "clipboard") && P::has_capability(capability);
  }
  void record_host_event(std::string_view category, std::string_view subject, std::string_view state,
                         std::string_view detail, std::int32_t time, std::int32_t correlation,
                         std::int32_t latency) override {
    P::record_host_event(category, subject, state, detail, time, correlation, latency);
    if (state != "action" || !inner.empty()) return;
    inner.push_back(std::to_string(action_callback_active) + " " +
                    (perform_accessibility_action(subject, 1, "again", false, O, 0, 0) ? "ok" : last_diagnostic));
    inner.push_back(tear_down(O, 0, 0) ? this->state + " action=" + std::to_string(action_callback_active)
                                       : last_diagnostic);
  }
};

TEST(Provider, ADerivedHostsSlotsDecide) {
  host h(contract(), O);
  ASSERT_TRUE(h.initialize(true, false, O, 0, 0));
  run_script(h, "set a text 0 => !clipboard capability-unavailable-before-effect");
  h.clipboard_held = false;
  run_script(h, R"(set a text 0 => clipboard a ownership format=text/plain;charset=utf-8; delayed=false
                   batch ; node n1 1 =>)");
  EXPECT_EQ(h.batch_active, 1u);
  // The action's own event (the action flag set) lets the host try another
  // action (refused) and close the provider, which ends the action.
  EXPECT_TRUE(h.perform_accessibility_action("n1", 1, "invoke", false, O, 0, 0));
  EXPECT_EQ(h.inner, (std::vector<std::string>{"1 " + refusal("accessibility-action reentrant-or-unavailable"),
                                               "torn-down action=0"}));
  EXPECT_EQ(h.action_callback_active + h.batch_active, 0u);
}

}  // namespace orvi::provider_steps
