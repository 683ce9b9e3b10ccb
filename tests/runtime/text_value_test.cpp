#include "runtime/text_value.hpp"

#include <gtest/gtest.h>

using namespace orvi;

// The text, then "+" or "-" for active and for replace on input.
std::string seen(const text_value& v) {
  return v.text() + (v.active() ? "+" : "-") + (v.replace_on_input() ? "+" : "-");
}

TEST(TextValue, EditsInOrder) {
  const std::string full(4095, 'a'), euro = "\xE2\x82\xAC", e_acute = "\xC3\xA9";
  // Each case edits a fresh value: s(et), i(nsert), b(ackspace), r(evert), and
  // the state expected after each step.
  using step = std::tuple<char, std::string, std::string>;
  const std::vector<std::vector<step>> cases = {
      // Input only while active; the first input replaces; empty input changes nothing.
      {{'i', "x", "--"}, {'s', "abc", "abc++"}, {'i', "", "abc++"}, {'i', "x", "x+-"}, {'i', "y", "xy+-"}},
      {{'s', "abc", "abc++"}, {'b', "", "+-"}, {'b', "", "+-"}},
      // 4095 + 2 bytes is dropped whole; 4095 + 1 fits, and then nothing more;
      // a replacing input is measured against the cleared text.
      {{'s', full, full + "++"}, {'i', "bc", "bc+-"}},
      {{'s', "abc", "abc++"}, {'i', full + "b", full + "b+-"}},
      {{'s', "abc", "abc++"}, {'i', full + "bc", "+-"}, {'i', "d", "d+-"}},
      {{'s', "", "++"},
       {'i', full, full + "+-"},
       {'i', "bc", full + "+-"},
       {'i', "b", full + "b+-"},
       {'i', "c", full + "b+-"}},
      {{'s', "", "++"}, {'i', "y" + euro, "y" + euro + "+-"}, {'b', "", "y+-"}},
      {{'s', "", "++"}, {'i', e_acute, e_acute + "+-"}, {'b', "", "+-"}},
      {{'s', "", "++"}, {'i', "\x80\x80", "\x80\x80+-"}, {'b', "", "+-"}},  // stray continuation bytes
      // Revert ends editing; backspace ignores that, and the replace flag survives.
      {{'s', "kept", "kept++"}, {'i', "new", "new+-"}, {'r', "", "kept--"}, {'i', "z", "kept--"}, {'b', "", "kep--"}},
      {{'s', "r", "r++"}, {'r', "", "r-+"}, {'b', "", "--"}},
  };
  for (std::size_t c = 0; c < cases.size(); ++c) {
    text_value v;
    for (const auto& [op, arg, after] : cases[c]) {
      // Setting or inserting the value's own text or committed text acts as
      // doing so with a copy of it.
      for (const auto own : {&text_value::text, &text_value::committed}) {
        for (const auto edit : {&text_value::set, &text_value::insert}) {
          text_value copied = v, viewed = v;
          (copied.*edit)(std::string((copied.*own)()));
          (viewed.*edit)((viewed.*own)());
          EXPECT_TRUE(seen(viewed) + viewed.committed() == seen(copied) + copied.committed())
              << "case " << c << " before " << op << ": " << seen(viewed) << " / " << seen(copied);
        }
      }
      op == 's' ? v.set(arg) : op == 'i' ? v.insert(arg) : op == 'b' ? v.backspace() : v.revert();
      EXPECT_EQ(seen(v), after) << "case " << c << ": " << op << " of " << arg.size() << " bytes";
    }
  }
}
