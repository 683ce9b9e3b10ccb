// A small finite-state machine over named states and events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvi {

struct state_transition {
  std::string from;
  std::string event;
  std::string to;
};

// Moves only along its list of transitions; an event that matches no
// transition, or more than one, is refused.
class state_machine {
 public:
  state_machine(std::string initial, std::vector<state_transition> transitions);
  virtual ~state_machine() = default;

  // True when the machine moved. Only an ambiguous event changes the status.
  virtual bool fire(const std::string& event);

  const std::string& current() const { return current_; }
  const std::string& previous() const { return previous_; }
  const std::string& last_event() const { return last_event_; }
  std::uint64_t transition_count() const { return transition_count_; }
  // "ok" after a transition, "Ambiguous state transition" after an ambiguous event.
  const std::string& status() const { return status_; }
  const std::vector<state_transition>& transitions() const { return transitions_; }

 private:
  std::string current_;
  std::string previous_;
  std::string last_event_;
  std::uint64_t transition_count_ = 0;
  std::string status_ = "ok";
  std::vector<state_transition> transitions_;
};

}  // namespace orvi
