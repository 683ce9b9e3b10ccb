#include "runtime/text_value.hpp"

#include <gtest/gtest.h>

#include <string>

namespace orvi {
namespace {

TEST(TextValue, EditsInOrder) {
  enum op { set, insert, backspace, revert };
  const std::string full(4095, 'a'), euro = "\xE2\x82\xAC";
  struct step {
    op what;
    std::string arg, text;
    bool active, replace;
  };
  const step steps[] = {
      {insert, "x", "", false, false},  // not active yet
      {set, "abc", "abc", true, true},
      {insert, "", "abc", true, true},  // empty input keeps even the replace flag
      {insert, "x", "x", true, false},
      {insert, "y", "xy", true, false},
      {set, "abc", "abc", true, true},
      {backspace, "", "", true, false},
      {backspace, "", "", true, false},
      {insert, full, full, true, false},
      {insert, "bc", full, true, false},  // 4095 + 2: dropped whole
      {insert, "b", full + "b", true, false},
      {insert, "c", full + "b", true, false},
      {set, "x" + euro, "x" + euro, true, true},
      {insert, "y" + euro, "y" + euro, true, false},
      {backspace, "", "y", true, false},  // three bytes at once
      {insert, "\xC3\xA9", "y\xC3\xA9", true, false},
      {backspace, "", "y", true, false},
      {backspace, "", "", true, false},
      {insert, "\x80\x80", "\x80\x80", true, false},
      {backspace, "", "", true, false},  // stray continuation bytes go together
      {set, "kept", "kept", true, true},
      {insert, "new", "new", true, false},
      {revert, "", "kept", false, false},
      {insert, "z", "kept", false, false},
      {backspace, "", "kep", false, false},  // backspace ignores the active flag
      {set, "r", "r", true, true},
      {revert, "", "r", false, true},  // the replace flag survives a revert
      {backspace, "", "", false, false},
  };
  text_value v;
  int row = 0;
  for (const step& s : steps) {
    if (s.what == set) v.set(s.arg);
    if (s.what == insert) v.insert(s.arg);
    if (s.what == backspace) v.backspace();
    if (s.what == revert) v.revert();
    EXPECT_EQ(v.text(), s.text) << "row " << row;
    EXPECT_EQ(v.active(), s.active) << "row " << row;
    EXPECT_EQ(v.replace_on_input(), s.replace) << "row " << row++;
  }
}

}  // namespace
}  // namespace orvi
