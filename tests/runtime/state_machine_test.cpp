#include "runtime/state_machine.hpp"

#include <gtest/gtest.h>

using namespace orvi;

// Current, previous, last event, transition count, status.
std::string seen(const state_machine& m) {
  return m.current() + " " + m.previous() + " " + m.last_event() + " " + std::to_string(m.transition_count()) + " " +
         m.status();
}

TEST(StateMachine, FiresAlongTheListOnly) {
  state_machine m("idle", {{"idle", "go", "run"},
                           {"run", "tick", "run"},
                           {"run", "stop", "idle"},
                           {"idle", "jam", "a"},
                           {"idle", "jam", "a"},
                           {"idle", "idle", "run"},  // events named like states
                           {"run", "idle", "idle"}});
  const std::tuple<const char*, bool, const char*> steps[] = {
      {"GO", false, "idle idle  0 ok"},  // compared byte for byte
      {"go", true, "run idle go 1 ok"},
      {"tick", true, "run run tick 2 ok"},  // to itself: still a transition
      {"jam", false, "run run tick 2 ok"},  // ambiguous only where both match
      {"stop", true, "idle run stop 3 ok"},
      {"jam", false, "idle run stop 3 Ambiguous state transition"},
      {"stop", false, "idle run stop 3 Ambiguous state transition"},  // no match keeps the status
      {"go", true, "run idle go 4 ok"},
  };
  for (auto [event, moved, after] : steps) {
    // Firing one of the machine's own texts acts as firing a copy of it.
    for (const auto own :
         {&state_machine::current, &state_machine::previous, &state_machine::last_event, &state_machine::status}) {
      state_machine copied = m, viewed = m;
      EXPECT_EQ(viewed.fire((viewed.*own)()), copied.fire(std::string((copied.*own)())));
      EXPECT_EQ(seen(viewed), seen(copied)) << "firing " << (m.*own)() << " in " << seen(m);
    }
    EXPECT_EQ(m.fire(event), moved) << event;
    EXPECT_EQ(seen(m), after) << event;
  }
}
