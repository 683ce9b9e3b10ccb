// One editable single-line text: the text being edited, the committed text it
// reverts to, and whether input is accepted and replaces the whole text.
#pragma once

#include <cstddef>
#include <string>

namespace orvi {

class text_value {
 public:
  static constexpr std::size_t max_bytes = 4096;

  virtual ~text_value() = default;

  // Starts editing: text and committed become the given text, and the next
  // input replaces it (as when a field is focused with its content selected).
  virtual void set(const std::string& value);
  // Appends while active; input that would pass max_bytes is dropped whole.
  virtual void insert(const std::string& input);
  // Removes the last UTF-8 character, or clears the text when the next input
  // would replace it. Works whether active or not.
  virtual void backspace();
  // Back to the committed text; editing ends.
  virtual void revert();

  const std::string& text() const { return text_; }
  const std::string& committed() const { return committed_; }
  bool active() const { return active_; }
  bool replace_on_input() const { return replace_on_input_; }

 private:
  std::string text_;
  std::string committed_;
  bool active_ = false;
  bool replace_on_input_ = false;
};

}  // namespace orvi
