#include "storage/durable_store.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "runtime/errors.hpp"
#include "storage/file_ops.hpp"
#include "storage/snapshot_codec.hpp"
#include "tests/support/file_ops_guard.hpp"
#include "tests/support/temp_dir.hpp"

namespace orvi {
namespace {

using testing::file_bytes;
using testing::file_exists;
using testing::file_ops_guard;
using testing::list_dir;
using testing::temp_dir;

using entry_list = std::vector<std::pair<text, text>>;
const std::vector<text> SNAPSHOT_ONLY{"store.cordvex"};
const std::vector<text> SNAPSHOT_AND_WAL{"store.cordvex", "store.wal.cordvex"};

store_record make_store(const text& dir, std::int32_t generation, const entry_list& entries) {
  store_record store = new_empty_store(dir);
  store.generation = generation;
  for (const auto& [k, v] : entries) store_put(store, k, v);
  store.dirty = 0;
  return store;
}

entry_list live_entries(const store_record& store) {
  entry_list out;
  for (const auto& e : store.entries)
    if (!e.deleted) out.emplace_back(e.key, e.value);
  return out;
}

// The code of the runtime exception `run` raises, or "" when it returns.
template <typename F>
text error_code(F run) {
  try {
    run();
  } catch (const tovi_runtime_exception& e) {
    return e.record().code;
  }
  return "";
}

TEST(OpenStore, DirectoryRules) {
  temp_dir tmp;
  EXPECT_TRUE(open_store(tmp.str()).open);
  EXPECT_TRUE(list_dir(tmp.str()).empty()) << "opening creates no file";
  // One level is created; a missing parent is not.
  EXPECT_TRUE(open_store(tmp.file("made")).open);
  EXPECT_TRUE(std::filesystem::is_directory(*to_platform_path(tmp.file("made"))));
  ASSERT_TRUE(write_file_bytes(tmp.file("plain"), {}));
  const text zero_byte_dir = tmp.str() + std::string("\0x", 2);
  for (const text& dir : {tmp.file("no/parent"), text(), tmp.file("plain"), zero_byte_dir, text("\xC3")})
    EXPECT_EQ(std::make_tuple(open_store(dir).open, open_store(dir).status),
              std::make_tuple(0, "database directory is unavailable"))
        << dir;
}

TEST(CommitStore, RefusedCommitsTouchNothing) {
  temp_dir tmp;
  // At the last generation; over a small budget; over the read limit under a
  // budget above it.
  store_record at_max = open_store(tmp.str()), small = at_max, big = at_max;
  at_max.generation = std::numeric_limits<std::int32_t>::max();
  store_put(at_max, "k", "v");
  small.byte_budget = 1024;
  store_put(small, "k", text(1100, 'v'));
  big.byte_budget = 4 * 1048576;
  store_put(big, "a", text(1048576, 'a'));
  store_put(big, "b", text(1048576, 'b'));
  for (store_record* s : {&at_max, &small, &big}) {
    const std::int32_t generation = s->generation;
    EXPECT_FALSE(commit_store(*s));
    EXPECT_EQ(std::tie(s->generation, s->dirty), std::make_tuple(generation, 1));
  }
  EXPECT_TRUE(list_dir(tmp.str()).empty());

  // A store whose open failed still takes puts; its commit must not write
  // over the snapshot that recovery may yet read.
  const byte_vector junk = text_to_byte_vector("junk");
  ASSERT_TRUE(write_file_bytes(tmp.file("store.cordvex"), junk));
  store_record failed = open_store(tmp.str());
  ASSERT_TRUE(!failed.open && store_put(failed, "k", "v"));
  EXPECT_FALSE(commit_store(failed));
  EXPECT_EQ(file_bytes(tmp.file("store.cordvex")), junk);
  EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_ONLY);
}

TEST(CommitStore, RoundTripUpToTheReadLimit) {
  temp_dir tmp;
  store_record store = open_store(tmp.str());
  EXPECT_TRUE(commit_store(store)) << "nothing to commit";
  EXPECT_TRUE(list_dir(tmp.str()).empty());
  // 20 bytes of frame, then two entries of 8 + 1 + value bytes each.
  store_put(store, "a", text(1048576, 'a'));
  store_put(store, "b", text(2097152 - 20 - 9 - 1048576 - 9, 'b'));
  ASSERT_TRUE(commit_store(store));
  EXPECT_FALSE(store.dirty);
  EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_ONLY) << "no write-ahead copy or temporary left";
  const byte_vector exact = file_bytes(tmp.file("store.cordvex"));
  ASSERT_EQ(exact.size(), 2097152u);
  for (const char* name : {"store.cordvex", "store.wal.cordvex"}) {
    SCOPED_TRACE(name);
    temp_dir dir;
    ASSERT_TRUE(write_file_bytes(dir.file(name), byte_vector(2097153, 1)));
    EXPECT_EQ(error_code([&] { open_store(dir.str()); }), "file.read.limit");
    ASSERT_TRUE(write_file_bytes(dir.file(name), exact));
    const store_record opened = open_store(dir.str());
    EXPECT_EQ(opened.generation, 1);
    EXPECT_EQ(live_entries(opened), live_entries(store));
    EXPECT_EQ(list_dir(dir.str()), SNAPSHOT_ONLY);
  }
}

// Every row of the recovery table: what open returns and which files remain.
TEST(OpenStore, RecoveryTable) {
  enum kind { absent, valid, invalid };
  // snapshot, its generation, write-ahead copy, its generation; then the
  // result's open, generation and status, and whether the copy remains.
  const std::tuple<kind, int, kind, int, bool, int, const char*, bool> rows[] = {
      {absent, 0, absent, 0, true, 0, "ok", false},
      {absent, 0, valid, 4, true, 4, "ok", false},
      {absent, 0, invalid, 0, true, 0, "ok", false},
      {valid, 5, absent, 0, true, 5, "ok", false},
      {valid, 5, valid, 5, true, 5, "ok", false},
      {valid, 5, valid, 6, true, 6, "ok", false},
      {valid, 5, valid, 4, true, 5, "ok", false},
      {valid, 5, invalid, 0, true, 5, "ok", false},
      {invalid, 0, absent, 0, false, 0, "snapshot header is invalid", false},
      {invalid, 0, valid, 2, true, 2, "ok", false},
      {invalid, 0, invalid, 0, false, 0, "snapshot header is invalid", true},
  };
  for (const auto& [snapshot, snapshot_gen, wal, wal_gen, open, generation, status, wal_remains] : rows) {
    SCOPED_TRACE(::testing::Message() << "snapshot " << snapshot << "/" << snapshot_gen << " wal " << wal << "/"
                                      << wal_gen);
    temp_dir tmp;
    const auto snap_store = make_store(tmp.str(), snapshot_gen, {{"both", "old"}, {"s", "snapshot"}});
    const auto wal_store = make_store(tmp.str(), wal_gen, {{"both", "new"}, {"w", "wal"}});
    for (const auto& [k, name, s] :
         {std::tuple{snapshot, "store.cordvex", &snap_store}, std::tuple{wal, "store.wal.cordvex", &wal_store}})
      ASSERT_TRUE(k == absent ||
                  write_file_bytes(tmp.file(name), k == valid ? encode_snapshot(*s) : text_to_byte_vector("junk")));

    const store_record result = open_store(tmp.str());
    EXPECT_EQ(std::make_tuple(bool(result.open), result.generation, result.status, result.dirty),
              std::make_tuple(open, generation, status, 0));
    EXPECT_EQ(file_exists(tmp.file("store.wal.cordvex")), wal_remains);
    EXPECT_FALSE(file_exists(tmp.file("store.next.cordvex")));
    const bool promoted = wal == valid && (snapshot != valid || wal_gen >= snapshot_gen);
    EXPECT_TRUE(!promoted || file_bytes(tmp.file("store.cordvex")) == encode_snapshot(wal_store));
    EXPECT_EQ(live_entries(result), live_entries(promoted            ? wal_store
                                                 : snapshot == valid ? snap_store
                                                                     : new_empty_store("")));
    // Opening again finds a settled directory.
    const store_record again = open_store(tmp.str());
    EXPECT_EQ(std::make_tuple(again.generation, live_entries(again)),
              std::make_tuple(result.generation, live_entries(result)));
  }
}

// A failing step gives false, restores the generation, keeps dirty, and leaves
// files from which the next open completes the change whenever the write-ahead
// copy was complete; a recovery whose rename fails keeps that copy.
TEST(CommitStore, FailingStepsAreRecoveredOnOpen) {
  // The failing call, then the file it fails on: the write-ahead copy or the temporary.
  static text failing;
  for (const char* step : {"write wal", "flush wal", "write next", "flush next", "rename next"}) {
    SCOPED_TRACE(step);
    const bool wal_whole = text(step) != "write wal";
    temp_dir tmp;
    store_record store = open_store(tmp.str());
    store_put(store, "k", "old");
    ASSERT_TRUE(commit_store(store));
    store_put(store, "k", "new");
    file_ops_guard guard;
    auto& ops = active_store_file_ops();
    ops.write_file = [](const text& path, const byte_vector& bytes) {
      return failing != text("write ") + (path.ends_with("store.wal.cordvex") ? "wal" : "next") &&
             platform_store_file_ops().write_file(path, bytes);
    };
    ops.flush_file = [](const std::filesystem::path& path) {
      return failing != text("flush ") + (path.filename() == "store.wal.cordvex" ? "wal" : "next") &&
             platform_store_file_ops().flush_file(path);
    };
    ops.replace_file = [](const std::filesystem::path& from, const std::filesystem::path& to) {
      return failing != "rename next" && platform_store_file_ops().replace_file(from, to);
    };
    failing = step;
    EXPECT_FALSE(commit_store(store));
    EXPECT_EQ(std::tie(store.generation, store.dirty), std::make_tuple(1, 1));
    EXPECT_EQ(list_dir(tmp.str()), wal_whole ? SNAPSHOT_AND_WAL : SNAPSHOT_ONLY);
    failing = "rename next";
    const store_record stuck = open_store(tmp.str());
    EXPECT_EQ(std::make_tuple(stuck.open, stuck.status, stuck.generation, store_get(stuck, "k").value),
              wal_whole ? std::make_tuple(0, "write-ahead recovery could not promote the durable snapshot", 2, "new")
                        : std::make_tuple(1, "ok", 1, "old"));
    EXPECT_EQ(list_dir(tmp.str()), wal_whole ? SNAPSHOT_AND_WAL : SNAPSHOT_ONLY) << "the temporary is removed";
    failing = "";
    const store_record reopened = open_store(tmp.str());
    EXPECT_EQ(std::make_tuple(reopened.generation, store_get(reopened, "k").value),
              std::make_tuple(wal_whole ? 2 : 1, wal_whole ? "new" : "old"));
    EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_ONLY);
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

  // The snapshot or the write-ahead copy alone, whose type query fails.
  static text queried;
  for (const char* name : {"store.cordvex", "store.wal.cordvex"}) {
    SCOPED_TRACE(name);
    temp_dir dir;
    ASSERT_TRUE(write_file_bytes(dir.file(name), encode_snapshot(make_store(dir.str(), 1, {{"k", "v"}}))));
    queried = name;
    file_ops_guard guard;
    active_store_file_ops().query_kind = [](const std::filesystem::path& path) {
      return path.filename() == queried ? file_kind::unknown : query_file_kind(path);
    };
    // Still read, not taken for absent.
    EXPECT_EQ(store_get(open_store(dir.str()), "k").value, "v");
    // Where nothing can be read, the read error surfaces instead of an empty store.
    for (const char* f : {"store.cordvex", "store.wal.cordvex"})
      std::filesystem::remove(*to_platform_path(dir.file(f)));
    EXPECT_EQ(error_code([&] { open_store(dir.str()); }), "file.read");
  }
}

TEST(FileHelpers, ZeroBytePathsAreRefused) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("f"), text_to_byte_vector("data")));
  EXPECT_TRUE(is_regular_file(tmp.file("f")) && flush_file_by_path(tmp.file("f")));
  // A name cut at the zero must not be acted on.
  const text cut = tmp.file("f") + std::string("\0tail", 5);
  EXPECT_FALSE(is_regular_file(cut) || flush_file_by_path(cut));
  remove_file_quietly(cut);
  EXPECT_TRUE(file_exists(tmp.file("f")));
  EXPECT_EQ(error_code([&] { read_file_bounded(cut, 100); }), "file.read");
}

}  // namespace
}  // namespace orvi
