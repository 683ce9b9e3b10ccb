#include "provider/native_ui_host_provider.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/provider/provider_steps.hpp"

namespace orvi {
namespace {

using namespace provider_steps;

std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  for (std::size_t from = 0, to;; from = to + separator.size()) {
    to = text.find(separator, from);
    parts.push_back(text.substr(from, to - from));
    if (to == std::string::npos) return parts;
  }
}

TEST(Provider, StateMachine) {
  const std::string v1 = "orvi.native-ui-host-capabilities.v1";
  const std::map<std::string, native_ui_host_capabilities> contracts{
      {"good", contract()}, {"other-id", {"orvi.other", 1, "demo"}}, {"v2", {v1, 2, "demo"}}, {"no-name", {v1, 1, ""}}};
  // From | contract | request | to | last diagnostic (a refusal, or "before"
  // when the request leaves it as it was) | events added.
  const std::string table = R"(
    new          | good     | init 1 0   | ready        | ok | provider demo ready owner-thread-bound
    new          | other-id | init 1 0   | unavailable  | initialize incompatible-capability-contract |
    new          | v2       | init 1 0   | unavailable  | initialize incompatible-capability-contract |
    new          | no-name  | init 1 0   | unavailable  | initialize incompatible-capability-contract |
    new          | no-name  | init 0 0 8 | new          | initialize invalid-state-or-thread |
    new          | good     | init 0 1   | unavailable  | initialize provider-unavailable |
    new          | good     | init 1 1   | failed       | initialize partial-initialization | provider demo partial-initialization-cleaned capabilities-created-services-not-published
    ready        | good     | init 1 0   | ready        | initialize invalid-state-or-thread |
    ready        | good     | loss       | lost         | before | provider demo lost device-removed
    ready        | good     | loss 8     | ready        | provider-loss invalid-state-or-thread |
    lost         | good     | loss       | lost         | provider-loss invalid-state-or-thread |
    ready        | good     | teardown   | torn-down    | before | provider demo torn-down queues-quiesced-identities-invalidated
    lost         | good     | teardown   | torn-down    | before | provider demo torn-down queues-quiesced-identities-invalidated
    failed       | good     | teardown   | torn-down    | before | provider demo torn-down queues-quiesced-identities-invalidated
    unavailable  | v2       | teardown   | torn-down    | before | provider demo torn-down queues-quiesced-identities-invalidated
    torn-down    | good     | teardown   | torn-down    | before |
    new          | good     | teardown   | new          | teardown invalid-state=new |
    initializing | good     | teardown   | initializing | teardown invalid-state=initializing |
    torn-down    | good     | teardown 8 | torn-down    | teardown wrong-thread |
    ready        | good     | teardown 8 | ready        | teardown wrong-thread |)";
  for (const std::string& row : split(table.substr(1), "\n")) {
    std::vector<std::string> c = split(row, "|");
    for (std::string& cell : c) cell.erase(cell.find_last_not_of(' ') + 1).erase(0, cell.find_first_not_of(' '));
    P p(contracts.at(c[1]), O);
    p.state = c[0];
    p.max_latency_us = -1;
    p.last_diagnostic = "before";
    std::string payload;
    const bool ok = c[4].find(' ') == std::string::npos;
    EXPECT_EQ(apply(p, c[2], payload), ok) << row;
    EXPECT_EQ(p.max_latency_us, c[5].empty() ? -1 : latency.at(c[2].substr(0, c[2].find(' ')))) << row;
    EXPECT_EQ(p.state, c[3]) << row;
    EXPECT_EQ(p.last_diagnostic, diagnostic(c[4])) << row;
    EXPECT_EQ(p.failures, ok ? 0u : 1u) << row;
    EXPECT_EQ(events_since(p, 0), c[5]) << row;
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

TEST(Provider, EachOperationsOwnRefusals) {
  // A batch open with n1 at generation 2, a composition on w1, a delayed text
  // item from a, one primary display.
  P busy = ready();
  run_script(busy, "batch ; node n1 2 ; begin w1 ; set a text 1 ; publish d1 0 0 1920 1080 0 0 1920 1040 100 1 =>");
  ASSERT_TRUE(busy.clipboard == (clipboard_item{"a", "text/plain;charset=utf-8", "hello", 1}));
  const std::string rows = R"(
    batch                          => !accessibility-batch nested-batch
    commit ; commit                => !accessibility-batch no-active-batch
    node - 3                       => !accessibility-update invalid-batch-node-role-or-name
    node n2 3 - OK                 => !accessibility-update invalid-batch-node-role-or-name
    node n2 3 button -             => !accessibility-update invalid-batch-node-role-or-name
    node n2 0                      => !accessibility-update invalid-batch-node-role-or-name
    action n2 2                    => !accessibility-action stale-or-missing-node-identity
    begin - 0 0 0 0 0 0 0 0 0 0    => !text-input-begin invalid-window-range-or-geometry
    surround w1 -1 0 0 0           => !surrounding-text inactive-stale-window-or-invalid-range
    surround w1 0 -1 0 0           => !surrounding-text inactive-stale-window-or-invalid-range
    surround w1 0 0 -1 0           => !surrounding-text inactive-stale-window-or-invalid-range
    surround w1 0 0 0 -1           => !surrounding-text inactive-stale-window-or-invalid-range
    surround w2 0 0 0 0            => !surrounding-text inactive-stale-window-or-invalid-range
    type w1 -1 0                   => !text-input-commit inactive-stale-window-or-invalid-range
    type w1 0 -1                   => !text-input-commit inactive-stale-window-or-invalid-range
    cancel w2                      => !text-input-cancel inactive-or-stale-window
    focus w1 -                     => !text-focus-transfer invalid-source-or-destination
    focus w2 w3                    => !text-focus-transfer invalid-source-or-destination
    set b text 0 0                 => !clipboard-set permission-format-owner-or-delayed-capability
    set - text 0                   => !clipboard-set permission-format-owner-or-delayed-capability
    set b text/plain 0             => !clipboard-set permission-format-owner-or-delayed-capability
    materialize a 0                => !clipboard-materialize permission-owner-or-not-delayed
    publish d2 0 0 0 9 0 0 9 9 1 0 => !display-publish invalid-display-geometry)";
  std::vector<std::string> lines = split(rows, "\n");
  for (int field : {0, 1, 2, 3, 6, 7}) {  // each range and caret size below 0
    std::string numbers;
    for (int i = 0; i < 10; ++i) numbers += i == field ? " -1" : " 0";
    lines.push_back("begin w1" + numbers + " => !text-input-begin invalid-window-range-or-geometry");
  }
  for (const std::string& row : lines) {
    P p = busy;
    run_script(p, row);
  }
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
  EXPECT_EQ(h.inner, (std::vector<std::string>{"1 " + diagnostic("accessibility-action reentrant-or-unavailable"),
                                               "torn-down action=0"}));
  EXPECT_EQ(h.action_callback_active + h.batch_active, 0u);
}

}  // namespace
}  // namespace orvi
