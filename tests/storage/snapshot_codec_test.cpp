#include "storage/snapshot_codec.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <stdexcept>
#include <string>

namespace orvi {
namespace {

// Reference writers, independent of the codec's own, for crafting files.
void put_int(byte_vector& b, std::int64_t n) {
  const auto z = static_cast<std::uint32_t>(n >= 0 ? 2 * n : -2 * n - 1);
  for (int shift = 0; shift < 32; shift += 8) b.push_back(static_cast<std::uint8_t>(z >> shift));
}
void put_field(byte_vector& b, const std::string& s) {
  put_int(b, static_cast<std::int64_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}
std::uint32_t reference_checksum(const byte_vector& b, std::size_t n) {
  std::uint32_t h = 0x0CE942FA;
  for (std::size_t i = 0; i < n; ++i) h = ((h * 0x01000193u) ^ b[i]) & 0x3FFFFFFFu;
  return h;
}
// Appends a correct checksum, so the decoder reaches the checks after it.
byte_vector sealed(byte_vector b) {
  put_int(b, reference_checksum(b, b.size()));
  return b;
}
byte_vector operator+(byte_vector a, const byte_vector& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
byte_vector entry(const std::string& key, const std::string& value) {
  byte_vector b;
  put_field(b, key);
  put_field(b, value);
  return b;
}
byte_vector ints(std::initializer_list<std::int64_t> values) {
  byte_vector b;
  for (auto v : values) put_int(b, v);
  return b;
}
byte_vector raw(const std::string& s) { return byte_vector(s.begin(), s.end()); }
byte_vector header(std::int64_t version, std::int64_t generation, std::int64_t count) {
  return raw("CVX1") + ints({version, generation, count});
}

store_record decode(const byte_vector& b) { return decode_snapshot(b, "dir"); }

void expect_failed(const store_record& s, const std::string& message) {
  EXPECT_EQ(s.status, message);
  EXPECT_EQ(s.open, 0);
  EXPECT_TRUE(s.entries.empty());
  EXPECT_EQ(s.generation, 0);
  EXPECT_EQ(s.directory, "dir");
}

using pairs = std::vector<std::pair<std::string, std::string>>;
pairs live_pairs(const store_record& s) {
  pairs out;
  for (const auto& e : s.entries)
    if (!e.deleted) out.emplace_back(e.key, e.value);
  return out;
}

const byte_vector EMPTY_GEN0 = {0x43, 0x56, 0x58, 0x31, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0xC9, 0x6C, 0x03};
const byte_vector ABC_GEN1 = {0x43, 0x56, 0x58, 0x31, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                              0x02, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63, 0x06,
                              0x00, 0x00, 0x00, 0x78, 0x79, 0x7A, 0x0E, 0x9C, 0x00, 0x4A};

TEST(SnapshotCodec, ExampleFilesByteForByte) {
  store_record s = new_empty_store("dir");
  EXPECT_EQ(encode_snapshot(s), EMPTY_GEN0);
  EXPECT_EQ(encoded_snapshot_size(s), 20);
  ASSERT_TRUE(store_put(s, "abc", "xyz"));
  s.generation = 1;
  EXPECT_EQ(encode_snapshot(s), ABC_GEN1);
  EXPECT_EQ(encoded_snapshot_size(s), 34);

  const store_record empty = decode(EMPTY_GEN0);
  EXPECT_EQ(empty.status, "ok");
  EXPECT_EQ(empty.open, 1);
  EXPECT_EQ(empty.generation, 0);
  EXPECT_TRUE(empty.entries.empty());

  const store_record one = decode(ABC_GEN1);
  EXPECT_EQ(one.status, "ok");
  EXPECT_EQ(one.open, 1);
  EXPECT_EQ(one.dirty, 0);
  EXPECT_EQ(one.generation, 1);
  EXPECT_EQ(one.directory, "dir");
  EXPECT_EQ(one.byte_budget, 2097152);
  EXPECT_EQ(one.schema_id, "cordvex.store.v1");
  EXPECT_EQ(live_pairs(one), (pairs{{"abc", "xyz"}}));
}

TEST(SnapshotCodec, IntegersBytesAndChecksum) {
  byte_vector b;
  write_zigzag_int32(b, 1);
  write_zigzag_int32(b, 300);
  write_zigzag_int32(b, -1);
  write_zigzag_int32(b, INT32_MAX);
  write_zigzag_int32(b, INT32_MIN);
  EXPECT_EQ(
      b, (byte_vector{0x02, 0, 0, 0, 0x58, 0x02, 0, 0, 0x01, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  const std::int32_t values[] = {0, 1, -1, 2, -2, 300, 65536, 1 << 30, INT32_MAX, INT32_MIN, INT32_MIN + 1};
  b = {0xAA};  // odd offsets too
  for (auto v : values) write_zigzag_int32(b, v);
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(read_zigzag_int32(b, static_cast<std::int32_t>(1 + 4 * i)), values[i]);

  b.clear();
  write_entry_field(b, "ab\xFF");
  write_entry_field(b, "");
  EXPECT_EQ(b, (byte_vector{0x06, 0, 0, 0, 'a', 'b', 0xFF, 0, 0, 0, 0}));

  EXPECT_EQ(snapshot_checksum({}, 0), 0x0CE942FA);
  EXPECT_EQ(snapshot_checksum({1, 2, 3}, 0), 0x0CE942FA);
  EXPECT_EQ(snapshot_checksum({1, 2, 3}, -5), 0x0CE942FA);
  std::mt19937 rng(7);
  byte_vector data(300);
  for (auto& x : data) x = static_cast<std::uint8_t>(rng());
  for (std::int32_t n : {1, 2, 17, 299, 300})
    EXPECT_EQ(static_cast<std::uint32_t>(snapshot_checksum(data, n)), reference_checksum(data, n)) << n;

  EXPECT_EQ(byte_value(-128), 128);
  EXPECT_EQ(int_to_byte(0x1FF), -1);
  for (int v = 0; v < 256; ++v) EXPECT_EQ(byte_value(int_to_byte(v)), v);
}

TEST(SnapshotCodec, EveryDecoderMessage) {
  const std::string H = "snapshot header is invalid", C = "snapshot checksum is invalid",
                    M = "snapshot metadata is invalid", T = "snapshot entry header is truncated",
                    K = "snapshot key is invalid", V = "snapshot value is invalid", X = "snapshot has trailing bytes";
  byte_vector bad_sum = EMPTY_GEN0;
  bad_sum[16] ^= 0x02;
  const struct {
    const char* name;
    byte_vector bytes;
    std::string message;
  } cases[] = {
      {"empty input", {}, H},
      {"19 bytes", byte_vector(EMPTY_GEN0.begin(), EMPTY_GEN0.end() - 1), H},
      {"sealed 19 bytes", sealed(byte_vector{'C', 'V', 'X', '1', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), H},
      {"bad magic", sealed(raw("CVX2") + ints({1, 0, 0})), H},
      {"lower-case magic", sealed(raw("cvx1") + ints({1, 0, 0})), H},
      {"2097153 bytes", sealed(header(1, 0, 0) + byte_vector(2097153 - 20, 'p')), H},
      {"2097152 bytes pass the size check", sealed(header(1, 0, 0) + byte_vector(2097152 - 20, 'p')), X},
      {"checksum field", bad_sum, C},
      {"checksum comes before metadata", header(2, 0, 0) + ints({0}), C},
      {"version 2", sealed(header(2, 0, 0)), M},
      {"version 0", sealed(header(0, 0, 0)), M},
      {"generation -1", sealed(header(1, -1, 0)), M},
      {"generation INT32_MIN", sealed(header(1, INT32_MIN, 0)), M},
      {"count 65537", sealed(header(1, 0, 65537)), M},
      {"count -1", sealed(header(1, 0, -1)), M},
      {"count 65536, no entries", sealed(header(1, 0, 65536)), T},
      {"count 1, 7 bytes left", sealed(header(1, 0, 1) + raw("1234567")), T},
      {"count 2, one entry", sealed(header(1, 0, 2) + entry("a", "b")), T},
      {"key length 0", sealed(header(1, 0, 1) + ints({0, 0})), K},
      {"key length 4097", sealed(header(1, 0, 1) + ints({4097, 0}) + byte_vector(4097, 'k')), K},
      {"key length -1", sealed(header(1, 0, 1) + ints({-1, 0}) + raw("k")), K},
      {"key ends inside the checksum", sealed(header(1, 0, 1) + ints({3}) + raw("abc") + raw("x")), K},
      {"value length field inside the checksum", sealed(header(1, 0, 1) + ints({3}) + raw("abc") + raw("xyz")), K},
      {"value length 1048577",
       sealed(header(1, 0, 1) + ints({1}) + raw("k") + ints({1048577}) + byte_vector(1048577, 'v')), V},
      {"value length -1", sealed(header(1, 0, 1) + ints({1}) + raw("k") + ints({-1})), V},
      {"value reaches the checksum", sealed(header(1, 0, 1) + ints({1}) + raw("k") + ints({5}) + raw("vvvv")), V},
      {"count 0, one byte more", sealed(header(1, 0, 0) + raw("z")), X},
      {"count 1, two entries", sealed(header(1, 0, 1) + entry("a", "1") + entry("b", "2")), X},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expect_failed(decode(c.bytes), c.message);
  }
  // The lengths that just fit: an empty value ending at the checksum, a full key.
  EXPECT_EQ(live_pairs(decode(sealed(header(1, 3, 1) + entry("abc", "")))), (pairs{{"abc", ""}}));
  const std::string long_key(4096, '\xE9');
  EXPECT_EQ(live_pairs(decode(sealed(header(1, 3, 1) + entry(long_key, "v")))), (pairs{{long_key, "v"}}));
}

TEST(SnapshotCodec, ZeroByteInKeyOrValueRaises) {
  const byte_vector files[] = {
      sealed(header(1, 0, 1) + entry(std::string("a\0", 2), "v")),
      sealed(header(1, 0, 1) + entry("k", std::string("\0", 1))),
      sealed(header(1, 0, 2) + entry("a", "ok") + entry("b", std::string("x\0y", 3))),
  };
  for (const auto& f : files) {
    try {
      decode(f);
      ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Text.FromUtf8 does not accept an embedded zero byte");
    }
  }
}

TEST(SnapshotCodec, EveryChangedByteIsDetected) {
  store_record s = new_empty_store("dir");
  ASSERT_TRUE(store_put(s, "k\xC3\xA9", "v1"));
  ASSERT_TRUE(store_put(s, "a", ""));
  s.generation = 9;
  for (const byte_vector& good : {EMPTY_GEN0, ABC_GEN1, encode_snapshot(s)}) {
    ASSERT_EQ(decode(good).status, "ok");
    for (std::size_t i = 0; i < good.size(); ++i) {
      for (std::uint8_t mask : {0x01, 0x80, 0xFF, 0x5A, 0x24}) {
        byte_vector changed = good;
        changed[i] ^= mask;
        expect_failed(decode(changed), i < 4 ? "snapshot header is invalid" : "snapshot checksum is invalid");
      }
    }
  }
}

// The store's live entries in the order of repeated selection: the smallest
// unmarked key in one pass, a later key replacing only when strictly smaller.
std::vector<const store_entry*> selection_order(const store_record& s) {
  const auto less = [](const std::string& a, const std::string& b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
      const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if (x != y) return x < y;
    }
    return a.size() < b.size();
  };
  std::vector<bool> marked;
  for (const auto& e : s.entries) marked.push_back(e.deleted != 0);
  std::vector<const store_entry*> order;
  for (std::size_t n = std::count(marked.begin(), marked.end(), false); n > 0; --n) {
    std::size_t best = s.entries.size();
    for (std::size_t i = 0; i < s.entries.size(); ++i)
      if (!marked[i] && (best == s.entries.size() || less(s.entries[i].key, s.entries[best].key))) best = i;
    marked[best] = true;
    order.push_back(&s.entries[best]);
  }
  return order;
}

byte_vector reference_encoding(const store_record& s) {
  const auto order = selection_order(s);
  byte_vector b = header(1, s.generation, static_cast<std::int64_t>(order.size()));
  for (const store_entry* e : order) b = b + entry(e->key, e->value);
  return sealed(b);
}

// What decoding must give: every written entry put in file order.
store_record reference_decoding(const std::vector<std::pair<std::string, std::string>>& file_entries,
                                std::int32_t generation) {
  store_record r = new_empty_store("dir");
  r.generation = generation;
  for (const auto& [k, v] : file_entries) EXPECT_TRUE(store_put(r, k, v));
  r.dirty = 0;
  return r;
}

void expect_same_entries(const store_record& a, const store_record& b) {
  ASSERT_EQ(a.entries.size(), b.entries.size());
  for (std::size_t i = 0; i < a.entries.size(); ++i) {
    EXPECT_EQ(a.entries[i].key, b.entries[i].key) << i;
    EXPECT_EQ(a.entries[i].value, b.entries[i].value) << i;
    EXPECT_EQ(a.entries[i].deleted, b.entries[i].deleted) << i;
  }
}

std::string random_key(std::mt19937& rng, const std::vector<std::string>& earlier) {
  static const char alphabet[] = {'a', 'b', 'B', '\x01', '\x7F', '\x80', '\xC3', '\xA9', '\xFF'};
  std::string k;
  if (rng() % 6 == 0) {
    k = "\xC3\xA9"
        "common";  // longer shared prefixes
  } else if (!earlier.empty() && rng() % 3 == 0) {
    // Prefixes and extensions of keys already used.
    k = earlier[rng() % earlier.size()];
    if (k.size() > 1 && rng() % 2) k.resize(1 + rng() % (k.size() - 1));
  }
  for (std::size_t n = (k.empty() ? 1 : 0) + rng() % 4; n > 0; --n) k.push_back(alphabet[rng() % sizeof alphabet]);
  return k;
}

std::string random_value(std::mt19937& rng) {
  std::string v(rng() % 4 == 0 ? 0 : rng() % 12, '\0');
  for (auto& c : v) c = static_cast<char>(1 + rng() % 255);
  return v;
}

TEST(SnapshotCodec, RandomStoresRoundTrip) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    store_record s = new_empty_store("d");
    s.generation = static_cast<std::int32_t>(rng() % 5 == 0 ? INT32_MAX - rng() % 3 : rng() % 1000);
    std::vector<std::string> keys;
    for (int n = rng() % 60; n > 0; --n) {
      std::string k = random_key(rng, keys);
      keys.push_back(k);
      if (rng() % 12 == 0) {
        // Duplicate keys can only come from outside store_put; the encoder still
        // writes them in their order in `entries`.
        s.entries.push_back({k, random_value(rng), 0});
      } else {
        ASSERT_TRUE(store_put(s, k, random_value(rng)));
      }
      if (rng() % 5 == 0) s.entries[rng() % s.entries.size()].deleted = 1;
    }
    const byte_vector bytes = encode_snapshot(s);
    ASSERT_EQ(bytes, reference_encoding(s));
    EXPECT_EQ(encoded_snapshot_size(s), static_cast<std::int64_t>(bytes.size()));

    const store_record d = decode_snapshot(bytes, "elsewhere");
    EXPECT_EQ(d.status, "ok");
    EXPECT_EQ(d.open, 1);
    EXPECT_EQ(d.dirty, 0);
    EXPECT_EQ(d.directory, "elsewhere");
    EXPECT_EQ(d.generation, s.generation);
    pairs written;
    for (const store_entry* e : selection_order(s)) written.emplace_back(e->key, e->value);
    expect_same_entries(d, reference_decoding(written, s.generation));
    EXPECT_EQ(encode_snapshot(d) == bytes, d.entries.size() == written.size());
  }
}

TEST(SnapshotCodec, RepeatedKeysInAFileKeepFirstPlaceAndLastValue) {
  expect_same_entries(
      decode(sealed(header(1, 0, 4) + entry("b", "1") + entry("a", "2") + entry("b", "3") + entry("a", ""))),
      reference_decoding({{"b", "3"}, {"a", ""}}, 0));

  // Unordered files with many repeats, against entries put one by one.
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> keys;
    pairs file_entries;
    byte_vector body;
    for (int n = rng() % 80; n > 0; --n) {
      std::string k = keys.empty() || rng() % 2 ? random_key(rng, keys) : keys[rng() % keys.size()];
      keys.push_back(k);
      file_entries.emplace_back(k, random_value(rng));
      body = body + entry(k, file_entries.back().second);
    }
    const store_record d = decode(sealed(header(1, 5, static_cast<std::int64_t>(file_entries.size())) + body));
    ASSERT_EQ(d.status, "ok");
    expect_same_entries(d, reference_decoding(file_entries, 5));
  }
}

TEST(SnapshotCodec, EncoderOrderDeletedEntriesAndRefusal) {
  store_record s = new_empty_store("dir");
  for (const char* k : {"b", "a", "ab", "\xC3\xA9", "gone"}) ASSERT_TRUE(store_put(s, k, "v"));
  s.entries[4].deleted = 1;
  const store_record d = decode(encode_snapshot(s));
  EXPECT_EQ(live_pairs(d), (pairs{{"a", "v"}, {"ab", "v"}, {"b", "v"}, {"\xC3\xA9", "v"}}));
  EXPECT_EQ(s.entries[0].key, "b");  // the store itself keeps its order

  // Keys alike in their first bytes, and zero bytes (which only a store built
  // outside store_put can hold; the encoder still orders them).
  store_record odd = new_empty_store("dir");
  for (const std::string& k : std::initializer_list<std::string>{
           "abcdefgh1", "abcdefgh", "abcdefgh\x80", "abcdefgh0", "abcdefgh", "a", std::string("a\0", 2),
           std::string("a\0\0", 3), "a\x01", std::string("\0", 1), "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF",
           "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01", "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"})
    odd.entries.push_back({k, std::to_string(odd.entries.size()), 0});
  EXPECT_EQ(encode_snapshot(odd), reference_encoding(odd));

  store_record one = new_empty_store("dir");
  ASSERT_TRUE(store_put(one, "live", "1"));
  ASSERT_TRUE(store_put(one, "dead", "2"));
  one.entries[1].deleted = 1;
  const byte_vector b = encode_snapshot(one);
  EXPECT_EQ(read_zigzag_int32(b, 12), 1);
  EXPECT_EQ(b.size(), 20u + 8 + 4 + 1);

  for (int which = 0; which < 4; ++which) {
    store_record r = one;
    if (which == 0) r.directory.clear();
    if (which == 1) r.generation = -1;
    if (which == 2) r.byte_budget = 1023;
    if (which == 3) r.entries.push_back({"", "v", 1});  // deleted entries are checked too
    EXPECT_TRUE(encode_snapshot(r).empty());
    EXPECT_EQ(encoded_snapshot_size(r), -1);
  }
}

TEST(SnapshotCodec, GenerationsAndLargestEntries) {
  for (std::int32_t g : {0, 1, 2, 255, 65536, INT32_MAX - 1, INT32_MAX}) {
    store_record s = new_empty_store("dir");
    s.generation = g;
    EXPECT_EQ(decode(encode_snapshot(s)).generation, g);
  }

  // Two entries filling a file of exactly 2097152 bytes, the largest accepted.
  store_record s = new_empty_store("dir");
  std::string big_value(1048576, '\0');
  for (std::size_t i = 0; i < big_value.size(); ++i) big_value[i] = static_cast<char>(0x80 + i % 128);
  const std::string long_key(4096, '\xFF');
  ASSERT_TRUE(store_put(s, long_key, big_value));
  ASSERT_TRUE(store_put(s, "a", std::string(2097152 - 20 - 16 - 4096 - 1048576 - 1, 'w')));
  ASSERT_TRUE(store_put(s, "e", ""));
  s.entries[2].deleted = 1;
  const byte_vector bytes = encode_snapshot(s);
  ASSERT_EQ(bytes.size(), 2097152u);
  EXPECT_EQ(encoded_snapshot_size(s), 2097152);
  const store_record d = decode(bytes);
  EXPECT_EQ(d.status, "ok");
  ASSERT_EQ(d.entries.size(), 2u);
  EXPECT_EQ(d.entries[0].key, "a");
  EXPECT_EQ(d.entries[1].key, long_key);
  EXPECT_TRUE(d.entries[1].value == big_value);

  // One byte more is encoded (the budget is the commit's business) but not read.
  s.entries[2].deleted = 0;
  ASSERT_EQ(encode_snapshot(s).size(), 2097152u + 9);
  s.entries[2].deleted = 1;
  s.entries[0].value.push_back('x');
  expect_failed(decode(encode_snapshot(s)), "snapshot header is invalid");
}

}  // namespace
}  // namespace orvi
