// The lookup of a stored command by its sequence and its whole content. (The
// overlay itself is exercised through candidate batches.)
#include <gtest/gtest.h>

#include "tests/retained/store/store_test_support.hpp"

namespace {

using namespace store_test;

TEST(CommandLookup, FindsOnlyACommandStoredExactlyAsGiven) {
  retained_resource_store store("main");
  ASSERT_TRUE(store.bind_owner(owner("a", 1, 1, 2), delta(), 0).ok);
  const owner_fragment b = owner("b", 1, 10, 3);
  ASSERT_TRUE(store.bind_owner(b, delta(), 1).ok);
  owner_fragment newer = owner("b", 2, 10, 3);
  newer.commands[1].geometry[17] = 5;
  ASSERT_TRUE(store.update_owner(newer, delta(), 2).ok);
  render_command_record unstored = newer.commands[1];
  unstored.sequence = 99;
  const struct {
    render_command_record command;
    std::int32_t row, owner;
  } cases[] = {{newer.commands[1], 3, 1}, {b.commands[1], -1, -1}, {unstored, -1, -1}, {newer.commands[0], 2, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(store.find_command_row(c.command), c.row);
    EXPECT_EQ(store.find_command_owner(c.command), c.owner);
  }
  store.index_put(make_index_key("command-sequence", "", 99), 7);  // a key naming no stored row
  EXPECT_EQ(store.find_command_row(unstored), -1);
  store.close_store();
  EXPECT_EQ(store.find_command_row(newer.commands[1]), -1);
  EXPECT_EQ(store.find_command_owner(newer.commands[1]), -1);
}

}  // namespace
