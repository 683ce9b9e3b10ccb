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
  for (const auto& e : store.entries) {
    if (!e.deleted) out.emplace_back(e.key, e.value);
  }
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
  for (const text& dir : {tmp.file("no/parent"), text(), tmp.file("plain"), zero_byte_dir, text("\xC3")}) {
    const store_record s = open_store(dir);
    EXPECT_FALSE(s.open) << dir;
    EXPECT_EQ(s.status, "database directory is unavailable") << dir;
  }
}

TEST(CommitStore, RefusedCommitsTouchNothing) {
  temp_dir tmp;
  store_record at_max = open_store(tmp.str());
  at_max.generation = std::numeric_limits<std::int32_t>::max();
  store_put(at_max, "k", "v");
  EXPECT_FALSE(commit_store(at_max));
  EXPECT_EQ(at_max.generation, std::numeric_limits<std::int32_t>::max());
  EXPECT_TRUE(at_max.dirty);

  // Over a small budget, and over the read limit under a budget above it.
  store_record small_budget = open_store(tmp.str());
  small_budget.byte_budget = 1024;
  store_put(small_budget, "k", text(1100, 'v'));
  EXPECT_FALSE(commit_store(small_budget));
  store_record big_budget = open_store(tmp.str());
  big_budget.byte_budget = 4 * 1048576;
  store_put(big_budget, "a", text(1048576, 'a'));
  store_put(big_budget, "b", text(1048576, 'b'));
  EXPECT_FALSE(commit_store(big_budget));
  EXPECT_TRUE(list_dir(tmp.str()).empty());

  // A store whose open failed still takes puts; its commit must not write
  // over the snapshot that recovery may yet read.
  const byte_vector junk = text_to_byte_vector("junk");
  ASSERT_TRUE(write_file_bytes(tmp.file("store.cordvex"), junk));
  store_record failed = open_store(tmp.str());
  ASSERT_FALSE(failed.open);
  ASSERT_TRUE(store_put(failed, "k", "v"));
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
    temp_dir dir;
    ASSERT_TRUE(write_file_bytes(dir.file(name), byte_vector(2097153, 1)));
    EXPECT_EQ(error_code([&] { open_store(dir.str()); }), "file.read.limit") << name;
    ASSERT_TRUE(write_file_bytes(dir.file(name), exact));
    const store_record opened = open_store(dir.str());
    EXPECT_EQ(opened.generation, 1) << name;
    EXPECT_EQ(live_entries(opened), live_entries(store)) << name;
    EXPECT_EQ(list_dir(dir.str()), SNAPSHOT_ONLY) << name;
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
    const auto put = [&](kind k, const char* name, const store_record& s) {
      if (k != absent) {
        ASSERT_TRUE(write_file_bytes(tmp.file(name), k == valid ? encode_snapshot(s) : text_to_byte_vector("junk")));
      }
    };
    put(snapshot, "store.cordvex", snap_store);
    put(wal, "store.wal.cordvex", wal_store);

    const store_record result = open_store(tmp.str());
    EXPECT_EQ(static_cast<bool>(result.open), open);
    EXPECT_EQ(result.generation, generation);
    EXPECT_EQ(result.status, status);
    EXPECT_FALSE(result.dirty);
    EXPECT_EQ(file_exists(tmp.file("store.wal.cordvex")), wal_remains);
    EXPECT_FALSE(file_exists(tmp.file("store.next.cordvex")));

    const bool promoted = wal == valid && (snapshot != valid || wal_gen >= snapshot_gen);
    if (promoted) {
      EXPECT_EQ(live_entries(result), live_entries(wal_store));
      EXPECT_EQ(file_bytes(tmp.file("store.cordvex")), encode_snapshot(wal_store));
    } else {
      EXPECT_EQ(live_entries(result), snapshot == valid ? live_entries(snap_store) : entry_list{});
    }
    // Opening again finds a settled directory.
    const store_record again = open_store(tmp.str());
    EXPECT_EQ(again.generation, result.generation);
    EXPECT_EQ(live_entries(again), live_entries(result));
  }
}

TEST(OpenStore, FailedPromotionKeepsTheWriteAheadCopy) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("store.cordvex"), encode_snapshot(make_store(tmp.str(), 1, {{"k", "old"}}))));
  ASSERT_TRUE(
      write_file_bytes(tmp.file("store.wal.cordvex"), encode_snapshot(make_store(tmp.str(), 2, {{"k", "new"}}))));
  {
    file_ops_guard guard;
    active_store_file_ops().replace_file = [](const std::filesystem::path&, const std::filesystem::path&) {
      return false;
    };
    const store_record s = open_store(tmp.str());
    EXPECT_FALSE(s.open);
    EXPECT_EQ(s.status, "write-ahead recovery could not promote the durable snapshot");
    EXPECT_EQ(s.generation, 2);
    EXPECT_EQ(store_get(s, "k").value, "new");
    EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_AND_WAL) << "the temporary is removed";
  }
  EXPECT_EQ(store_get(open_store(tmp.str()), "k").value, "new");
}

// A failing step gives false, restores the generation, keeps dirty, and leaves
// files from which the next open completes the change whenever the write-ahead
// copy was complete.
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
    failing = step;
    {
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
      EXPECT_FALSE(commit_store(store));
    }
    EXPECT_EQ(store.generation, 1);
    EXPECT_TRUE(store.dirty);
    EXPECT_EQ(list_dir(tmp.str()), wal_whole ? SNAPSHOT_AND_WAL : SNAPSHOT_ONLY);
    const store_record reopened = open_store(tmp.str());
    EXPECT_EQ(store_get(reopened, "k").value, wal_whole ? "new" : "old");
    EXPECT_EQ(reopened.generation, wal_whole ? 2 : 1);
    EXPECT_EQ(list_dir(tmp.str()), SNAPSHOT_ONLY);
  }
}

TEST(OpenStore, OnlyNotFoundMeansAbsent) {
  // The snapshot or the write-ahead copy alone, whose type query fails.
  static text queried;
  for (const char* name : {"store.cordvex", "store.wal.cordvex"}) {
    SCOPED_TRACE(name);
    temp_dir tmp;
    ASSERT_TRUE(write_file_bytes(tmp.file(name), encode_snapshot(make_store(tmp.str(), 1, {{"k", "v"}}))));
    queried = name;
    file_ops_guard guard;
    active_store_file_ops().query_kind = [](const std::filesystem::path& path) {
      return path.filename() == queried ? file_kind::unknown : query_file_kind(path);
    };
    // Still read, not taken for absent.
    EXPECT_EQ(store_get(open_store(tmp.str()), "k").value, "v");
    // Where nothing can be read, the read error surfaces instead of an empty store.
    std::filesystem::remove(*to_platform_path(tmp.file("store.cordvex")));
    std::filesystem::remove(*to_platform_path(tmp.file("store.wal.cordvex")));
    EXPECT_THROW(open_store(tmp.str()), tovi_runtime_exception);
  }
}

TEST(FileHelpers, ZeroBytePathsAreRefused) {
  temp_dir tmp;
  ASSERT_TRUE(write_file_bytes(tmp.file("f"), text_to_byte_vector("data")));
  EXPECT_TRUE(is_regular_file(tmp.file("f")));
  EXPECT_TRUE(flush_file_by_path(tmp.file("f")));

  // A name cut at the zero must not be acted on.
  const text cut = tmp.file("f") + std::string("\0tail", 5);
  EXPECT_FALSE(is_regular_file(cut));
  EXPECT_FALSE(flush_file_by_path(cut));
  remove_file_quietly(cut);
  EXPECT_TRUE(file_exists(tmp.file("f")));
  EXPECT_EQ(error_code([&] { read_file_bounded(cut, 100); }), "file.read");
}

}  // namespace
}  // namespace orvi
