#include "runtime/errors.hpp"

namespace orvi {

void raise_runtime_error(std::string code, std::string message, std::string module) {
  runtime_error_record record(std::move(code), std::move(message));
  record.module = std::move(module);
  throw tovi_runtime_exception(record);
}

}  // namespace orvi
