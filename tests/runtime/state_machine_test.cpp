#include "runtime/state_machine.hpp"

#include <gtest/gtest.h>

namespace orvi {
namespace {

TEST(StateMachine, FiresAlongTheListOnly) {
  state_machine m("idle", {{"idle", "go", "run"},
                           {"run", "tick", "run"},
                           {"run", "stop", "idle"},
                           {"idle", "jam", "a"},
                           {"idle", "jam", "a"}});
  struct step {
    const char* event;
    bool moved;
    const char *current, *previous, *last_event;
    unsigned count;
    const char* status;
  };
  const step steps[] = {
      {"GO", false, "idle", "idle", "", 0, "ok"},  // compared byte for byte
      {"go", true, "run", "idle", "go", 1, "ok"},
      {"tick", true, "run", "run", "tick", 2, "ok"},  // to itself: still a transition
      {"jam", false, "run", "run", "tick", 2, "ok"},  // ambiguous only where both match
      {"stop", true, "idle", "run", "stop", 3, "ok"},
      {"jam", false, "idle", "run", "stop", 3, "Ambiguous state transition"},
      {"stop", false, "idle", "run", "stop", 3, "Ambiguous state transition"},  // no match keeps it
      {"go", true, "run", "idle", "go", 4, "ok"},
  };
  for (const step& s : steps) {
    EXPECT_EQ(m.fire(s.event), s.moved) << s.event;
    EXPECT_EQ(m.current(), s.current) << s.event;
    EXPECT_EQ(m.previous(), s.previous) << s.event;
    EXPECT_EQ(m.last_event(), s.last_event) << s.event;
    EXPECT_EQ(m.transition_count(), s.count) << s.event;
    EXPECT_EQ(m.status(), s.status) << s.event;
  }
  state_machine empty("s", {});
  EXPECT_FALSE(empty.fire("s"));
  EXPECT_FALSE(empty.fire(""));
  EXPECT_EQ(empty.current(), "s");
}

}  // namespace
}  // namespace orvi
