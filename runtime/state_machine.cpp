#include "runtime/state_machine.hpp"

#include <utility>

namespace orvi {

state_machine::state_machine(std::string initial, std::vector<state_transition> transitions)
    : current_(initial), previous_(std::move(initial)), transitions_(std::move(transitions)) {}

bool state_machine::fire(const std::string& event) {
  const state_transition* match = nullptr;
  int matches = 0;
  for (const state_transition& t : transitions_) {
    if (t.from == current_ && t.event == event) {
      ++matches;
      match = &t;
    }
  }
  if (matches > 1) {
    status_ = "Ambiguous state transition";
    return false;
  }
  if (matches == 0) return false;
  // The event first: it may be the machine's own current or previous state.
  last_event_ = event;
  previous_ = current_;
  current_ = match->to;
  ++transition_count_;
  status_ = "ok";
  return true;
}

}  // namespace orvi
