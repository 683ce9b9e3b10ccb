// Test support: swaps the host's platform table for the length of a test and
// records the calls the fakes receive.
#pragma once

#include "host/platform.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace orvi::testing {

class scoped_platform {
 public:
  scoped_platform() : saved_(platform()) {}
  ~scoped_platform() { platform() = saved_; }
  scoped_platform(const scoped_platform&) = delete;
  scoped_platform& operator=(const scoped_platform&) = delete;

 private:
  host_platform saved_;
};

// Distinct non-null handle values for fakes.
template <typename Handle>
Handle fake_handle(std::uintptr_t value) {
  return reinterpret_cast<Handle>(value);
}

inline std::string handle_text(const void* handle) { return std::to_string(reinterpret_cast<std::uintptr_t>(handle)); }

inline std::vector<std::string>& call_log() {
  static std::vector<std::string> calls;
  return calls;
}

inline void log_call(std::string call) { call_log().push_back(std::move(call)); }

}  // namespace orvi::testing
