#include "storage/durable_store.hpp"

#include <gtest/gtest.h>

#include <limits>

#include "runtime/errors.hpp"
#include "storage/file_ops.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/file_ops_guard.hpp"
#include "tests/support/temp_dir.hpp"

using namespace orvi;
using orvi::testing::list_dir;
using orvi::testing::temp_dir;
using fs_path = std::filesystem::path;

// A store as one line, then its directory's files: "open ok g2 dirty k=v | store.cordvex".
text seen(const store_record& s) {
  text out =
      (s.open ? "open " : "failed ") + s.status + " g" + std::to_string(s.generation) + (s.dirty ? " dirty" : "");
  for (const auto& e : s.entries) out += " " + e.key + "=" + e.value;
  out += " |";
  for (const text& name : list_dir(s.directory)) out += " " + name;
  return out;
}

byte_vector snapshot_of(std::int32_t generation, const std::vector<std::pair<text, text>>& entries) {
  store_record store = new_empty_store("d");
  store.generation = generation;
  for (const auto& [k, v] : entries) store_put(store, k, v);
  return encode_snapshot(store);
}

TEST(OpenStore, DirectoryRules) {
  temp_dir tmp;
  // Opening creates no file, and one directory level but not a missing parent.
  EXPECT_TRUE(open_store(tmp.str()).open && open_store(tmp.file("made")).open);
  EXPECT_EQ(list_dir(tmp.str()), std::vector<text>{"made"});
  ASSERT_TRUE(write_file_bytes(tmp.file("plain"), {}));
  for (const text& dir :
       {tmp.file("no/parent"), text(), tmp.file("plain"), tmp.str() + std::string("\0x", 2), text("\xC3")})
    EXPECT_EQ(open_store(dir).status, "database directory is unavailable") << dir;
}

TEST(CommitStore, RefusedCommitsTouchNothingAndTheLargestFileRoundTrips) {
  temp_dir tmp;
  // At the last generation; over a small budget; one byte over the read limit
  // under a budget above it.
  store_record at_max = open_store(tmp.str()), small = at_max, big = at_max;
  at_max.generation = std::numeric_limits<std::int32_t>::max();
  EXPECT_TRUE(commit_store(at_max)) << "nothing to commit";
  store_put(at_max, "k", "v");
  small.byte_budget = 1024;
  store_put(small, "k", text(1100, 'v'));
  big.byte_budget = 4 * 1048576;
  store_put(big, "a", text(1048576, 'a'));
  store_put(big, "b", text(2097152 - 20 - 9 - 1048576 - 9 + 1, 'b'));  // 20 bytes of frame, 8 + 1 + value per entry
  for (store_record* s : {&at_max, &small, &big}) {
    const std::int32_t generation = s->generation;
    EXPECT_FALSE(commit_store(*s));
    EXPECT_EQ(std::tie(s->generation, s->dirty), std::make_tuple(generation, 1));
  }
  EXPECT_TRUE(list_dir(tmp.str()).empty());

  big.entries[1].value.pop_back();
  ASSERT_TRUE(commit_store(big));
  EXPECT_EQ(std::make_tuple(big.dirty, list_dir(tmp.str())), std::make_tuple(0, std::vector<text>{"store.cordvex"}));
  const store_record reopened = open_store(tmp.str());
  EXPECT_EQ(std::make_tuple(encoded_snapshot_size(reopened), encode_snapshot(reopened) == encode_snapshot(big)),
            std::make_tuple(2097152, true));
  ASSERT_TRUE(write_file_bytes(tmp.file("store.cordvex"), byte_vector(2097153, 1)));
  EXPECT_THROW(open_store(tmp.str()), tovi_runtime_exception) << "one byte more is refused";
}

// Every combination of snapshot and write-ahead copy: what open gives, and which files remain.
TEST(OpenStore, RecoveryTable) {
  enum kind { absent, valid, invalid };
  // The snapshot and the copy with their generations, then the opened store.
  const std::tuple<kind, int, kind, int, text> rows[] = {
      {absent, 0, absent, 0, "open ok g0 |"},
      {absent, 0, valid, 4, "open ok g4 both=new w=wal | store.cordvex"},
      {absent, 0, invalid, 0, "open ok g0 |"},
      {valid, 5, absent, 0, "open ok g5 both=old s=snapshot | store.cordvex"},
      {valid, 5, valid, 5, "open ok g5 both=new w=wal | store.cordvex"},
      {valid, 5, valid, 6, "open ok g6 both=new w=wal | store.cordvex"},
      {valid, 5, valid, 4, "open ok g5 both=old s=snapshot | store.cordvex"},
      {valid, 5, invalid, 0, "open ok g5 both=old s=snapshot | store.cordvex"},
      {invalid, 0, absent, 0, "failed snapshot header is invalid g0 | store.cordvex"},
      {invalid, 0, valid, 2, "open ok g2 both=new w=wal | store.cordvex"},
      {invalid, 0, invalid, 0, "failed snapshot header is invalid g0 | store.cordvex store.wal.cordvex"},
  };
  for (const auto& [snapshot, snapshot_gen, wal, wal_gen, expected] : rows) {
    temp_dir tmp;
    for (const auto& [k, name, bytes] :
         {std::tuple{snapshot, "store.cordvex", snapshot_of(snapshot_gen, {{"both", "old"}, {"s", "snapshot"}})},
          std::tuple{wal, "store.wal.cordvex", snapshot_of(wal_gen, {{"both", "new"}, {"w", "wal"}})}})
      ASSERT_TRUE(k == absent || write_file_bytes(tmp.file(name), k == valid ? bytes : text_to_byte_vector("junk")));
    store_record result = open_store(tmp.str());
    EXPECT_EQ(seen(result), expected);
    // A failed store takes puts but never commits over what recovery may yet read.
    EXPECT_FALSE(!result.open && store_put(result, "k", "v") && commit_store(result));
    EXPECT_EQ(seen(open_store(tmp.str())), expected) << "opening again changes nothing";
  }
}

static text failing;  // "write wal", "flush next", ...: the call and the file it fails on
bool passes(const char* call, const fs_path& path) {
  return failing != call + text(path.filename() == "store.wal.cordvex" ? " wal" : " next");
}

// Each failing file call: the commit reports false with the generation and
// the dirty flag kept, and the next open completes the change whenever the
// write-ahead copy was whole; a recovery whose rename fails keeps that copy.
TEST(CommitStore, EveryFailingFileCallIsReportedAndRecovered) {
  static const store_file_ops& real = platform_store_file_ops();
  orvi::testing::file_ops_guard guard;
  auto& ops = active_store_file_ops();
  ops.write_file = [](const text& p, const byte_vector& b) { return passes("write", p) && real.write_file(p, b); };
  ops.flush_file = [](const fs_path& p) { return passes("flush", p) && real.flush_file(p); };
  ops.replace_file = [](const fs_path& from, const fs_path& to) {
    return passes("rename", from) && real.replace_file(from, to);
  };
  for (const char* step : {"write wal", "flush wal", "write next", "flush next", "rename next"}) {
    SCOPED_TRACE(step);
    const bool wal_whole = text(step) != "write wal";
    temp_dir tmp;
    failing = "";
    store_record store = open_store(tmp.str());
    ASSERT_TRUE(store_put(store, "k", "old") && commit_store(store) && store_put(store, "k", "new"));
    failing = step;
    EXPECT_FALSE(commit_store(store));
    EXPECT_EQ(seen(store), wal_whole ? "open ok g1 dirty k=new | store.cordvex store.wal.cordvex"
                                     : "open ok g1 dirty k=new | store.cordvex");
    failing = "rename next";
    EXPECT_EQ(seen(open_store(tmp.str())), wal_whole ? "failed write-ahead recovery could not promote the durable "
                                                       "snapshot g2 k=new | store.cordvex store.wal.cordvex"
                                                     : "open ok g1 k=old | store.cordvex");
    failing = "";
    EXPECT_EQ(seen(open_store(tmp.str())),
              wal_whole ? "open ok g2 k=new | store.cordvex" : "open ok g1 k=old | store.cordvex");
  }
}

TEST(FileKinds, OnlyNotFoundMeansAbsent) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("f"), {}));
  const auto kind = [&](const text& name) { return query_file_kind(*to_platform_path(tmp.file(name))); };
  EXPECT_EQ(std::make_tuple(kind("f"), kind("missing"), kind("f/below"), kind("")),
            std::make_tuple(file_kind::regular, file_kind::absent, file_kind::absent, file_kind::other));
#ifndef _WIN32
  // A query that fails for any other reason, a name too long or a loop of links, is no absence.
  std::filesystem::create_symlink("loop", *to_platform_path(tmp.file("loop")));
  EXPECT_EQ(std::make_tuple(kind(text(300, 'n')), kind("loop")),
            std::make_tuple(file_kind::unknown, file_kind::unknown));
#endif
  // The path helpers never act on a name cut at a zero byte.
  const text cut = tmp.file("f") + std::string("\0tail", 5);
  EXPECT_TRUE(is_regular_file(tmp.file("f")) && flush_file_by_path(tmp.file("f")));
  EXPECT_FALSE(is_regular_file(cut) || flush_file_by_path(cut));
  remove_file_quietly(cut);
  EXPECT_TRUE(orvi::testing::file_exists(tmp.file("f")));

  // The snapshot or the write-ahead copy alone, whose type query fails: still
  // read, not taken for absent; where nothing can be read, the read error
  // surfaces instead of an empty store.
  static text queried;
  for (const char* name : {"store.cordvex", "store.wal.cordvex"}) {
    temp_dir dir;
    ASSERT_TRUE(write_file_bytes(dir.file(name), snapshot_of(1, {{"k", "v"}})));
    queried = name;
    orvi::testing::file_ops_guard guard;
    active_store_file_ops().query_kind = [](const fs_path& p) {
      return p.filename() == queried ? file_kind::unknown : query_file_kind(p);
    };
    EXPECT_EQ(seen(open_store(dir.str())), "open ok g1 k=v | store.cordvex") << name;
    std::filesystem::remove(*to_platform_path(dir.file("store.cordvex")));
    EXPECT_THROW(open_store(dir.str()), tovi_runtime_exception) << name;
  }
}
