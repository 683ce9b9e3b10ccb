// Test support: swaps the host's platform table for the length of a test and
// records the calls the fakes receive.
#pragma once

#include "host/platform.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace orvi::testing {

// The table as it was is put back when this ends.
struct scoped_platform {
  const host_platform saved = platform();
  ~scoped_platform() { platform() = saved; }
};

// Distinct non-null handle values for fakes.
template <typename Handle>
Handle fake_handle(std::uintptr_t value) {
  return reinterpret_cast<Handle>(value);
}

inline std::vector<std::string>& call_log() {
  static std::vector<std::string> calls;
  return calls;
}

inline void log_call(std::string call) { call_log().push_back(std::move(call)); }

}  // namespace orvi::testing
