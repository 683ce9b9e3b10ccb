#include "storage/snapshot_codec.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>

namespace orvi {
namespace {

// Reference writers, independent of the codec's own, for crafting files.
byte_vector operator+(byte_vector a, const byte_vector& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
byte_vector ints(std::initializer_list<std::int64_t> values) {
  byte_vector b;
  for (auto n : values) {
    const auto z = static_cast<std::uint32_t>(n >= 0 ? 2 * n : -2 * n - 1);
    for (int shift = 0; shift < 32; shift += 8) b.push_back(static_cast<std::uint8_t>(z >> shift));
  }
  return b;
}
byte_vector raw(const std::string& s) { return byte_vector(s.begin(), s.end()); }
byte_vector entry(const std::string& key, const std::string& value) {
  return ints({std::int64_t(key.size())}) + raw(key) + ints({std::int64_t(value.size())}) + raw(value);
}
byte_vector header(std::int64_t version, std::int64_t generation, std::int64_t count) {
  return raw("CVX1") + ints({version, generation, count});
}
// Appends a correct checksum, so the decoder reaches the checks after it.
byte_vector sealed(const byte_vector& b) {
  std::uint32_t h = 0x0CE942FA;
  for (auto x : b) h = ((h * 0x01000193u) ^ x) & 0x3FFFFFFFu;
  return b + ints({h});
}

using pairs = std::vector<std::pair<std::string, std::string>>;
byte_vector file_of(std::int32_t generation, const pairs& entries) {
  byte_vector b = header(1, generation, static_cast<std::int64_t>(entries.size()));
  for (const auto& [k, v] : entries) b = b + entry(k, v);
  return sealed(b);
}
store_record decode(const byte_vector& b) { return decode_snapshot(b, "dir"); }

pairs live_pairs(const store_record& s) {
  pairs out;
  for (const auto& e : s.entries)
    if (!e.deleted) out.emplace_back(e.key, e.value);
  return out;
}
// What decoding must give: every written entry put in file order.
pairs put_in_order(const pairs& file_entries) {
  store_record r = new_empty_store("dir");
  for (const auto& [k, v] : file_entries) EXPECT_TRUE(store_put(r, k, v));
  return live_pairs(r);
}
// The order the encoder must write: live entries by unsigned key bytes, equal
// keys as they stand (std::string compares bytes as unsigned char).
pairs sorted_live(const store_record& s) {
  pairs live = live_pairs(s);
  std::stable_sort(live.begin(), live.end(), [](auto& a, auto& b) { return a.first < b.first; });
  return live;
}

void expect_failed(const store_record& s, const std::string& message) {
  EXPECT_EQ(std::tie(s.status, s.open, s.generation, s.directory), std::make_tuple(message, 0, 0, "dir"));
  EXPECT_TRUE(s.entries.empty());
}
void expect_open(const store_record& s, const std::string& directory, std::int32_t generation, const pairs& live) {
  EXPECT_EQ(std::tie(s.status, s.open, s.dirty, s.directory, s.generation, s.byte_budget, s.schema_id),
            std::make_tuple("ok", 1, 0, directory, generation, 2097152, "cordvex.store.v1"));
  EXPECT_EQ(live_pairs(s), live);
}

TEST(SnapshotCodec, ExampleFileByteForByteAndHelpers) {
  const byte_vector abc_gen1 = {0x43, 0x56, 0x58, 0x31, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                0x02, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63, 0x06,
                                0x00, 0x00, 0x00, 0x78, 0x79, 0x7A, 0x0E, 0x9C, 0x00, 0x4A};
  store_record s = new_empty_store("dir");
  ASSERT_TRUE(store_put(s, "abc", "xyz"));
  s.generation = 1;
  EXPECT_EQ(encode_snapshot(s), abc_gen1);
  EXPECT_EQ(file_of(1, {{"abc", "xyz"}}), abc_gen1);
  expect_open(decode(abc_gen1), "dir", 1, {{"abc", "xyz"}});

  EXPECT_EQ(snapshot_checksum({1, 2, 3}, -5), 0x0CE942FA);                      // a negative length reads nothing
  EXPECT_EQ(snapshot_checksum({1, 2, 3}, 9), snapshot_checksum({1, 2, 3}, 3));  // nor past the end
  byte_vector fields;
  for (std::int32_t n : {0, -1, 5, INT32_MAX, INT32_MIN}) write_zigzag_int32(fields, n);
  write_entry_field(fields, "ab");
  EXPECT_EQ(fields, ints({0, -1, 5, INT32_MAX, INT32_MIN}) + ints({2}) + raw("ab"));
  EXPECT_EQ(std::make_tuple(read_zigzag_int32(fields, 12), read_zigzag_int32(fields, 16)),
            std::make_tuple(INT32_MAX, INT32_MIN));
  EXPECT_EQ(byte_value(-128), 128);
  EXPECT_EQ(int_to_byte(0x1FF), -1);
}

TEST(SnapshotCodec, EveryDecoderMessage) {
  const std::string H = "snapshot header is invalid", C = "snapshot checksum is invalid",
                    M = "snapshot metadata is invalid", T = "snapshot entry header is truncated",
                    K = "snapshot key is invalid", V = "snapshot value is invalid", X = "snapshot has trailing bytes";
  const byte_vector k = ints({1}) + raw("k");  // a valid key, then the value's length
  const std::tuple<const char*, byte_vector, std::string> cases[] = {
      {"empty input", {}, H},
      {"19 bytes", sealed(raw("CVX1") + ints({1, 0}) + raw("123")), H},
      {"lower-case magic", sealed(raw("cvx1") + ints({1, 0, 0})), H},
      {"checksum comes before metadata", header(2, 0, 0) + ints({0}), C},
      {"version 2", sealed(header(2, 0, 0)), M},
      {"generation -1", sealed(header(1, -1, 0)), M},
      {"generation INT32_MIN", sealed(header(1, INT32_MIN, 0)), M},
      {"count 65537", sealed(header(1, 0, 65537)), M},
      {"count -1", sealed(header(1, 0, -1)), M},
      {"count 65536, no entries", sealed(header(1, 0, 65536)), T},
      {"count 1, 7 bytes left", sealed(header(1, 0, 1) + raw("1234567")), T},
      {"key length 0", sealed(header(1, 0, 1) + ints({0, 0})), K},
      {"key length 4097", sealed(header(1, 0, 1) + ints({4097, 0}) + byte_vector(4097, 'k')), K},
      {"value length field inside the checksum", sealed(header(1, 0, 1) + ints({3}) + raw("abc") + raw("xyz")), K},
      {"value length 1048577", sealed(header(1, 0, 1) + k + ints({1048577}) + byte_vector(1048577, 'v')), V},
      {"value length -1", sealed(header(1, 0, 1) + k + ints({-1})), V},
      {"value reaches the checksum", sealed(header(1, 0, 1) + k + ints({5}) + raw("vvvv")), V},
      {"count 1, two entries", sealed(header(1, 0, 1) + entry("a", "1") + entry("b", "2")), X},
  };
  for (const auto& [name, bytes, message] : cases) {
    SCOPED_TRACE(name);
    expect_failed(decode(bytes), message);
  }
  // The lengths that just fit: an empty value ending at the checksum, a full key.
  for (const pairs& fits : {pairs{{"abc", ""}}, pairs{{std::string(4096, '\xE9'), "v"}}})
    expect_open(decode(file_of(3, fits)), "dir", 3, fits);

  for (const auto& [key, value] : pairs{{std::string("a\0", 2), "v"}, {"k", std::string("x\0y", 3)}}) {
    try {
      decode(sealed(header(1, 0, 2) + entry("a", "ok") + entry(key, value)));
      ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), "Text.FromUtf8 does not accept an embedded zero byte");
    }
  }
}

TEST(SnapshotCodec, EveryChangedByteIsDetected) {
  for (const byte_vector& good : {file_of(0, {}), file_of(9, {{"a", ""}, {"k\xC3\xA9", "v1"}})}) {
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

TEST(SnapshotCodec, EncoderOrderAndRefusals) {
  // Keys alike in their first eight bytes, zero bytes (only a store built
  // outside store_put holds them) and repeated keys, whose order is kept.
  store_record odd = new_empty_store("dir");
  for (const std::string& k : {std::string("abcdefgh1"), std::string("abcdefgh"), std::string("abcdefgh\x80"),
                               std::string("abcdefgh"), std::string("a"), std::string("a\0", 2), std::string("\0", 1),
                               std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01")})
    odd.entries.push_back({k, std::to_string(odd.entries.size()), 0});
  EXPECT_EQ(encode_snapshot(odd), file_of(0, sorted_live(odd)));

  // Entries are checked, deleted or not, before anything is written.
  odd.entries.push_back({"", "v", 1});
  for (const store_record& r : {odd, new_empty_store("")}) {
    EXPECT_TRUE(encode_snapshot(r).empty());
    EXPECT_EQ(encoded_snapshot_size(r), -1);
  }
}

// Keys with bytes 0x80-0xFF, prefixes and extensions of earlier keys, and
// keys of (nearly) the largest length, alike in their first bytes.
std::string random_key(std::mt19937& rng, const std::vector<store_entry>& earlier) {
  static const std::string alphabet = "abB\x01\x7F\x80\xC3\xA9\xFF";
  std::string k = earlier.empty() || rng() % 3 ? "" : earlier[rng() % earlier.size()].key;
  if (rng() % 25 == 0) k.assign(MAX_KEY_BYTES - rng() % 2, alphabet[rng() % alphabet.size()]);
  if (k.size() > 1 && rng() % 2) k.resize(1 + rng() % (k.size() - 1));
  for (auto n = (k.empty() ? 1 : 0) + rng() % 4; n > 0 && k.size() < MAX_KEY_BYTES; --n)
    k.push_back(alphabet[rng() % alphabet.size()]);
  return k;
}

std::string random_value(std::mt19937& rng) {
  std::string v(rng() % 4 == 0 ? 0 : rng() % 12, '\0');
  for (auto& c : v) c = static_cast<char>(1 + rng() % 255);
  return v;
}

TEST(SnapshotCodec, RandomStoresMatchTheReferenceAndRoundTrip) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    store_record s = new_empty_store("d");
    s.generation = static_cast<std::int32_t>(round % 4 == 0 ? INT32_MAX - rng() % 3 : rng() % 1000);
    for (int n = rng() % 150; n > 0; --n) {
      const std::string k = random_key(rng, s.entries);
      // Duplicate keys can only come from outside store_put.
      if (rng() % 12 == 0)
        s.entries.push_back({k, random_value(rng), 0});
      else
        ASSERT_TRUE(store_put(s, k, random_value(rng)));
      if (rng() % 5 == 0) s.entries[rng() % s.entries.size()].deleted = 1;
    }
    pairs written = sorted_live(s);
    const byte_vector bytes = encode_snapshot(s);
    ASSERT_EQ(bytes, file_of(s.generation, written));
    EXPECT_EQ(encoded_snapshot_size(s), static_cast<std::int64_t>(bytes.size()));
    const store_record d = decode_snapshot(bytes, "elsewhere");
    expect_open(d, "elsewhere", s.generation, put_in_order(written));
    EXPECT_EQ(encode_snapshot(d) == bytes, d.entries.size() == written.size());

    // The same entries unordered with more repeats: the decoder leaves its
    // ascending fast path at the first key out of order.
    for (auto n = written.size() / 3; n > 0; --n)
      written.emplace_back(written[rng() % written.size()].first, random_value(rng));
    std::shuffle(written.begin() + static_cast<std::ptrdiff_t>(written.size() / 4), written.end(), rng);
    expect_open(decode(file_of(5, written)), "dir", 5, put_in_order(written));
  }
}

TEST(SnapshotCodec, SmallestAndLargestEntries) {
  // Entries of the smallest size, out of order from the second on and
  // repeated at the end: the file holds as many as it can.
  pairs smallest;
  for (int c = 255; c >= 1; --c) smallest.emplace_back(std::string(1, static_cast<char>(c)), "");
  smallest.emplace_back("\xFF", "x");
  expect_open(decode(file_of(0, smallest)), "dir", 0, put_in_order(smallest));

  store_record s = new_empty_store("dir");
  std::string big_value(MAX_VALUE_BYTES, '\0');
  for (std::size_t i = 0; i < big_value.size(); ++i) big_value[i] = static_cast<char>(0x80 + i % 128);
  const std::string long_key(MAX_KEY_BYTES, '\xFF');
  ASSERT_TRUE(store_put(s, long_key, big_value));
  ASSERT_TRUE(store_put(s, "a", std::string(2097152 - 20 - 16 - 4096 - 1048576 - 1, 'w')));
  const byte_vector bytes = encode_snapshot(s);
  ASSERT_EQ(bytes.size(), 2097152u);
  EXPECT_EQ(encoded_snapshot_size(s), 2097152);
  expect_open(decode(bytes), "dir", 0, {{"a", s.entries[1].value}, {long_key, big_value}});

  // One byte more is encoded (the budget is the commit's business) but not read.
  s.entries[1].value.push_back('x');
  const byte_vector over = encode_snapshot(s);
  ASSERT_EQ(over.size(), 2097153u);
  expect_failed(decode(over), "snapshot header is invalid");
}

}  // namespace
}  // namespace orvi
