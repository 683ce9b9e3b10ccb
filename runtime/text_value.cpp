#include "runtime/text_value.hpp"

namespace orvi {

void text_value::set(const std::string& value) {
  text_ = value;
  committed_ = value;
  active_ = true;
  replace_on_input_ = true;
}

void text_value::insert(const std::string& input) {
  if (!active_ || input.empty()) return;
  if (replace_on_input_) {
    // Assigned rather than cleared and appended: the input may be this
    // value's own text.
    replace_on_input_ = false;
    if (input.size() <= max_bytes) {
      text_ = input;
    } else {
      text_.clear();
    }
    return;
  }
  if (text_.size() + input.size() <= max_bytes) text_ += input;
}

void text_value::backspace() {
  if (replace_on_input_) {
    text_.clear();
    replace_on_input_ = false;
  } else if (!text_.empty()) {
    std::size_t cut = text_.size() - 1;
    while (cut >= 1 && (static_cast<unsigned char>(text_[cut]) & 0xC0) == 0x80) --cut;
    text_.resize(cut);
  }
}

void text_value::revert() {
  text_ = committed_;
  active_ = false;
}

}  // namespace orvi
