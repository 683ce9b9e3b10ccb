// The runtime's error record and its two exception types.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace orvi {

struct runtime_error_record {
  std::string code;     // dotted, e.g. "file.read"
  std::string message;  // English sentence, possibly ending in a path
  std::uint64_t value = 0;
  std::string module;  // empty, or "tovi_window_input_canvas"
  std::string detail;

  runtime_error_record() = default;
  runtime_error_record(std::string code_text, std::string message_text)
      : code(std::move(code_text)), message(std::move(message_text)) {}
};

// Raised for broken runtime contracts; describes itself as "code: message".
class tovi_runtime_exception : public std::exception {
 public:
  explicit tovi_runtime_exception(const runtime_error_record& record)
      : record_(record), description_(record.code + ": " + record.message) {}
  ~tovi_runtime_exception() override = default;

  const char* what() const noexcept override { return description_.c_str(); }
  const runtime_error_record& record() const noexcept { return record_; }

 private:
  runtime_error_record record_;
  std::string description_;
};

// Raised when the current task was asked to stop. Deliberately not derived from
// std::exception, so last-resort handlers of that type let it pass.
struct tovi_task_cancelled {};

// Raises a tovi_runtime_exception with the given code and message.
[[noreturn]] void raise_runtime_error(std::string code, std::string message, std::string module = {});

}  // namespace orvi
