// Test support: a ready provider with every capability, requests written as
// short commands on its owner thread (time and correlation 0, so the log
// numbers them itself), and a runner that checks what each request did.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "provider/native_ui_host_provider.hpp"

namespace orvi::provider_steps {

using P = native_ui_host_provider;
constexpr std::uint32_t O = 7;  // the owner thread

inline native_ui_host_capabilities contract(std::uint32_t version = 1, std::string name = "demo",
                                            std::string id = "orvi.native-ui-host-capabilities.v1") {
  return {std::move(id), version, std::move(name), 1, 1, 1, 1, 1, 1, 1};
}

inline P ready() {
  P p(contract(), O);
  p.initialize(true, false, O, 0, 0);
  return p;
}

inline std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  for (std::size_t from = 0, to;; from = to + separator.size()) {
    to = text.find(separator, from);
    parts.push_back(text.substr(from, to - from));
    if (to == std::string::npos) return parts;
  }
}

// One request: the operation's short name and its arguments, "-" for an empty
// text, "text" for the plain-text clipboard format. A read's payload goes to
// `payload` (a refused read answers an empty one).
inline bool apply(P& p, const std::string& command, std::string& payload) {
  std::istringstream in(command);
  std::vector<std::string> w;
  for (std::string word; in >> word;)
    w.push_back(word == "-" ? "" : word == "text" ? "text/plain;charset=utf-8" : word);
  const auto t = [&](std::size_t i, const char* fallback) { return i < w.size() ? w[i] : std::string(fallback); };
  const auto n = [&](std::size_t i, long long fallback = 0) {
    return static_cast<std::int32_t>(i < w.size() ? std::stoll(w[i]) : fallback);
  };
  const std::string& op = w.at(0);
  if (op == "batch") return p.begin_accessibility_batch(O, 0, 0);
  if (op == "commit") return p.commit_accessibility_batch(O, 0, 0);
  if (op == "node") return p.update_accessibility_node(w.at(1), n(2), t(3, "button"), t(4, "OK"), O);
  if (op == "action") return p.perform_accessibility_action(w.at(1), n(2), "invoke", n(3) != 0, O, 0, 0);
  if (op == "window") return p.record_window_event(w.at(1), "resized", 0, 0, n(2, O));
  if (op == "begin") {  // window, then selection, replacement, caret and candidate
    if (w.size() == 2) w = {op, w[1], "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    return p.begin_text_input(w.at(1), "ka", n(2), n(3), n(4), n(5), n(6), n(7), n(8), n(9), n(10), n(11),
                              t(12, "text"), t(13, "none"), n(14) != 0, n(15, 1) != 0, O, 0, 0);
  }
  if (op == "surround") return p.update_surrounding_text(w.at(1), "abc", n(2), n(3), n(4), n(5), O, 0, 0);
  if (op == "type") return p.commit_text_input(w.at(1), "ka", n(2), n(3), O, 0, 0);
  if (op == "cancel") return p.cancel_text_input(w.at(1), "escape", O, 0, 0);
  if (op == "focus") return p.transfer_text_focus(w.at(1), w.at(2), O, 0, 0);
  if (op == "keyboard") return p.request_virtual_keyboard(n(1, 1) != 0, n(2) != 0, "docked", O, 0, 0);
  if (op == "set") return p.set_clipboard(w.at(1), w.at(2), "hello", n(3) != 0, n(4, 1) != 0, O, 0, 0);
  if (op == "materialize") return p.materialize_clipboard(w.at(1), "late", n(2, 1) != 0, O, 0, 0);
  if (op == "read") return !(payload = p.read_clipboard(w.at(1), n(2, 1) != 0, O, 0, 0)).empty();
  if (op == "publish") {  // id, x, y, width, height, work area, scale, primary
    return p.publish_display({w.at(1), n(2), n(3), n(4), n(5), n(6), n(7), n(8), n(9), n(10), std::uint8_t(n(11))}, O);
  }
  if (op == "topology") return p.commit_display_topology(O, 0, 0);
  if (op == "session") return p.transition_session(n(1) != 0, t(2, "user"), O, 0, 0);
  if (op == "init") return p.initialize(n(1) != 0, n(2) != 0, n(3, O), 0, 0);
  if (op == "loss") return p.report_provider_loss("device-removed", n(1, O), 0, 0);
  if (op == "teardown") return p.tear_down(n(1, O), 0, 0);
  if (op == "new")
    return (p = P(contract(n(1, 1), t(2, "demo"), t(3, "orvi.native-ui-host-capabilities.v1")), O), true);
  ADD_FAILURE() << "no such command: " << command;
  return false;
}

// The events since line `before`, each as "category subject state detail",
// joined by " + ", each checked to be numbered and timed one after the last.
inline std::string events_since(const P& p, std::size_t before) {
  std::string out;
  for (std::size_t i = before; i < p.event_log.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    EXPECT_TRUE(p.event_log[i].starts_with("host-event " + n + ": time=" + n + "; correlation=" + n + "; "));
    std::string e = p.event_log[i].substr(p.event_log[i].find("category=") + 9);
    for (const std::string l : {"; subject=", "; state=", "; detail="}) e.replace(e.find(l), l.size(), " ");
    out += (out.empty() ? "" : " + ") + e;
  }
  return out;
}

// A refusal's diagnostic from its written "operation reason".
inline std::string refusal(const std::string& d) {
  return "host.ui_services " + d.substr(0, d.find(' ')) + " rejected: " + d.substr(d.find(' ') + 1);
}

inline const std::map<std::string, std::uint8_t P::*> flags{
    {"accessibility", &P::capability_accessibility},       {"text-input", &P::capability_text_input},
    {"virtual-keyboard", &P::capability_virtual_keyboard}, {"clipboard", &P::capability_clipboard},
    {"display-topology", &P::capability_display_topology}, {"session-lifecycle", &P::capability_session_lifecycle}};

// Each operation's capability ("" for none) and the latency its events carry.
// clang-format off
inline const std::map<std::string, std::pair<std::string, std::int32_t>> traits{
    {"init", {"", 0}},                    {"loss", {"", 1}},                     {"teardown", {"", 1}},
    {"window", {"", 0}},                  {"batch", {"accessibility", 0}},       {"commit", {"accessibility", 1}},
    {"node", {"accessibility", 0}},       {"action", {"accessibility", 2}},      {"begin", {"text-input", 3}},
    {"surround", {"text-input", 2}},      {"type", {"text-input", 2}},           {"cancel", {"text-input", 1}},
    {"focus", {"text-input", 1}},         {"keyboard", {"virtual-keyboard", 1}}, {"set", {"clipboard", 2}},
    {"materialize", {"clipboard", 2}},    {"read", {"clipboard", 1}},            {"publish", {"display-topology", 0}},
    {"topology", {"display-topology", 2}}, {"session", {"session-lifecycle", 1}}};
// clang-format on

// Runs a script, one step a line: "command => what it must do". A step adds
// those events ("" for none; a read adds " => " and its payload), or, written
// "!operation reason", is refused with that diagnostic, having changed nothing
// but the diagnostic, the failure count and the state that a trailing "@state"
// names. Commands before " ; " only set the scene; " | " joins alternatives,
// each run from the same state. A service step on a ready provider is first
// refused for a missing capability, then also for another thread, then also
// for a lost provider. After every step: each new line carries its
// operation's latency, allocations grew by
// one per line and one per new column entry, only "init" touched the
// diagnostic, and only "begin" and "keyboard" the keyboard request.
inline void run_script(P& p, const std::string& script) {
  for (const std::string& line : split(script, "\n")) {
    const std::size_t arrow = line.find(" =>"), at = line.find(" @");
    if (arrow == std::string::npos) continue;
    const std::string seen = line.substr(std::min(arrow + 4, line.size()), at - std::min(arrow + 4, at));
    const P start = p;
    for (std::string command : split(line.substr(0, arrow), " | ")) {
      std::string payload, op;
      p = start;
      for (std::size_t semi; (semi = command.find(" ; ")) != std::string::npos; command.erase(0, semi + 3)) {
        ASSERT_TRUE(apply(p, command.substr(0, semi), payload)) << line;
      }
      std::istringstream(command) >> op;
      const auto& [capability, latency] = traits.at(op);
      if (!capability.empty() && p.state == "ready" && p.*flags.at(capability) != 0) {
        P faulty = p;
        faulty.*flags.at(capability) = 0;
        run_script(faulty, command + " => !" + capability + " capability-unavailable-before-effect");
        faulty.owner_thread = 2147483648u;
        run_script(faulty, command + " => !" + capability + " wrong-thread expected=2147483648 actual=7");
        faulty.state = "lost";
        run_script(faulty, command + " => !" + capability + " provider-state=lost");
      }
      p.max_latency_us = -1;
      const P before = p;
      const bool ok = apply(p, command, payload);
      EXPECT_EQ(ok, seen.empty() || seen[0] != '!') << command << ": " << p.last_diagnostic;
      EXPECT_EQ(p.state, at == std::string::npos ? before.state : line.substr(at + 2)) << command;
      // A composition that ends on a ready provider takes its preedit with it.
      EXPECT_TRUE(p.state != "ready" || p.composition.composition_active || p.composition.preedit.empty()) << line;
      const composition_state& c = p.composition;
      EXPECT_LE(std::max({c.composition_active, c.keyboard_requested, c.keyboard_visible, p.clipboard.delayed}), 1);
      if (!ok) {
        P expected = before;
        expected.last_diagnostic = refusal(seen.substr(1));
        expected.failures += 1;
        expected.state = p.state;
        EXPECT_TRUE(p == expected) << command << ": " << p.last_diagnostic << " or more changed";
        continue;
      }
      const std::size_t added = p.event_log.size() - before.event_log.size();
      // Only a begin and a keyboard request decide whether the keyboard is requested.
      EXPECT_TRUE(op == "begin" || op == "keyboard" || c.keyboard_requested == before.composition.keyboard_requested)
          << command;
      EXPECT_EQ(p.last_diagnostic + " " + std::to_string(p.failures),
                (op == "init" ? "ok" : before.last_diagnostic) + " " + std::to_string(before.failures));
      EXPECT_EQ(events_since(p, before.event_log.size()) + (payload.empty() ? "" : " => " + payload), seen) << command;
      EXPECT_EQ(p.max_latency_us, added > 0 ? latency : -1) << command;
      EXPECT_EQ(p.allocations - before.allocations, added + 4 * (p.node_ids.size() - before.node_ids.size()) +
                                                        11 * (p.display_ids.size() - before.display_ids.size()));
    }
  }
}

}  // namespace orvi::provider_steps
