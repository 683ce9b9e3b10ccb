// Feeds arbitrary bytes to the snapshot decoder. The checksum is repaired first
// so that inputs get past it into the entry checks.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "storage/snapshot_codec.hpp"

// Aborts, which libFuzzer reports as a crash with the input that caused it.
#define FUZZ_CHECK(cond)                                                     \
  do {                                                                       \
    if (!(cond)) {                                                           \
      std::fprintf(stderr, "check failed: %s (line %d)\n", #cond, __LINE__); \
      std::abort();                                                          \
    }                                                                        \
  } while (0)

namespace {

bool is_decoder_message(const std::string& s) {
  for (const char* m : {"snapshot header is invalid", "snapshot checksum is invalid", "snapshot metadata is invalid",
                        "snapshot entry header is truncated", "snapshot key is invalid", "snapshot value is invalid",
                        "snapshot contains an invalid entry", "snapshot has trailing bytes"}) {
    if (s == m) return true;
  }
  return false;
}

bool same_entries(const orvi::store_record& a, const orvi::store_record& b) {
  if (a.entries.size() != b.entries.size()) return false;
  for (std::size_t i = 0; i < a.entries.size(); ++i) {
    const auto &x = a.entries[i], &y = b.entries[i];
    if (x.key != y.key || x.value != y.value || x.deleted != y.deleted) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvi::byte_vector bytes(data, data + size);
  if (bytes.size() >= 20) {
    bytes.resize(bytes.size() - 4);
    orvi::write_zigzag_int32(bytes, orvi::snapshot_checksum(bytes, static_cast<std::int32_t>(bytes.size())));
  }

  orvi::store_record store;
  try {
    store = orvi::decode_snapshot(bytes, "fuzz");
  } catch (const std::invalid_argument& e) {
    FUZZ_CHECK(std::string(e.what()) == "Text.FromUtf8 does not accept an embedded zero byte");
    return 0;
  }

  FUZZ_CHECK(store.directory == "fuzz");
  if (!store.open) {
    FUZZ_CHECK(is_decoder_message(store.status));
    FUZZ_CHECK(store.entries.empty() && store.generation == 0);
    return 0;
  }

  FUZZ_CHECK(store.status == "ok" && store.dirty == 0 && store.generation >= 0);
  FUZZ_CHECK(orvi::is_valid_store(store));
  bool ascending = true;
  for (std::size_t i = 0; i < store.entries.size(); ++i) {
    FUZZ_CHECK(!store.entries[i].deleted);
    if (i > 0 && !(store.entries[i - 1].key < store.entries[i].key)) ascending = false;
  }

  const orvi::byte_vector again = orvi::encode_snapshot(store);
  FUZZ_CHECK(!again.empty());
  FUZZ_CHECK(orvi::encoded_snapshot_size(store) == static_cast<std::int64_t>(again.size()));
  const orvi::store_record reread = orvi::decode_snapshot(again, "fuzz");
  FUZZ_CHECK(reread.open && reread.status == "ok" && reread.generation == store.generation);

  // The re-encoding holds the live entries sorted by key.
  orvi::store_record sorted = store;
  std::stable_sort(sorted.entries.begin(), sorted.entries.end(),
                   [](const orvi::store_entry& a, const orvi::store_entry& b) { return a.key < b.key; });
  FUZZ_CHECK(same_entries(reread, sorted));
  // Each key at most once: repeats in the file merge into their first entry.
  for (std::size_t i = 1; i < sorted.entries.size(); ++i) FUZZ_CHECK(sorted.entries[i - 1].key < sorted.entries[i].key);

  // A file already in canonical form (sorted, each key once) re-encodes to itself.
  const auto count = static_cast<std::size_t>(orvi::read_zigzag_int32(bytes, 12));
  if (ascending && count == store.entries.size()) FUZZ_CHECK(again == bytes);
  return 0;
}
