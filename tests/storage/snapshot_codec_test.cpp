#include "storage/snapshot_codec.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <stdexcept>
#include <variant>

using namespace orvi;
using pairs = std::vector<std::pair<std::string, std::string>>;

// A file from its parts: numbers as zigzag int32 fields, texts as their bytes.
// It uses the codec's field writers and checksum, which the literal bytes
// below pin down; the random stores check it against the encoder.
byte_vector bytes_of(std::initializer_list<std::variant<std::int32_t, std::string>> parts) {
  byte_vector b;
  for (const auto& part : parts) {
    if (const auto* n = std::get_if<std::int32_t>(&part)) write_zigzag_int32(b, *n);
    if (const auto* s = std::get_if<std::string>(&part)) b.insert(b.end(), s->begin(), s->end());
  }
  return b;
}
byte_vector seal(byte_vector b) {
  write_zigzag_int32(b, snapshot_checksum(b, static_cast<std::int32_t>(b.size())));
  return b;
}
byte_vector file_of(std::int32_t generation, const pairs& entries) {
  byte_vector b = bytes_of({"CVX1", 1, generation, static_cast<std::int32_t>(entries.size())});
  for (const auto& [k, v] : entries) write_entry_field(b, k), write_entry_field(b, v);
  return seal(b);
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

// Status, open, dirty, directory, generation, budget, schema, live entries.
auto seen(const store_record& s) {
  return std::make_tuple(s.status, int(s.open), int(s.dirty), s.directory, s.generation, s.byte_budget, s.schema_id,
                         live_pairs(s));
}
auto expected(const text& status, std::int32_t generation = 0, const pairs& live = {}, const text& directory = "dir") {
  return std::make_tuple(status, int(status == "ok"), 0, directory, generation, 2097152, text("cordvex.store.v1"),
                         live);
}

TEST(SnapshotCodec, ExampleFileHelpersEncoderOrderAndRefusals) {
  const byte_vector abc_gen1 = {0x43, 0x56, 0x58, 0x31, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
                                0x02, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63, 0x06,
                                0x00, 0x00, 0x00, 0x78, 0x79, 0x7A, 0x0E, 0x9C, 0x00, 0x4A};
  store_record s = new_empty_store("dir");
  ASSERT_TRUE(store_put(s, "abc", "xyz"));
  s.generation = 1;
  EXPECT_EQ(encode_snapshot(s), abc_gen1);

  EXPECT_EQ(snapshot_checksum({1, 2, 3}, -5), 0x0CE942FA);                      // a negative length reads nothing
  EXPECT_EQ(snapshot_checksum({1, 2, 3}, 9), snapshot_checksum({1, 2, 3}, 3));  // nor past the end
  const byte_vector fields = bytes_of({0, -1, 5, INT32_MAX, INT32_MIN});
  EXPECT_EQ(fields, (byte_vector{0, 0, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(read_zigzag_int32(fields, 16), INT32_MIN);
  EXPECT_EQ(std::make_tuple(byte_value(-128), int_to_byte(0x1FF)), std::make_tuple(128, -1));
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
  for (const store_record& r : {odd, new_empty_store("")})
    EXPECT_EQ(std::make_tuple(encode_snapshot(r), encoded_snapshot_size(r)), std::make_tuple(byte_vector{}, -1));
}

TEST(SnapshotCodec, EveryMalformedFileIsRefusedWithItsMessage) {
  const std::string H = "snapshot header is invalid", C = "snapshot checksum is invalid",
                    M = "snapshot metadata is invalid", T = "snapshot entry header is truncated",
                    K = "snapshot key is invalid", V = "snapshot value is invalid", X = "snapshot has trailing bytes";
  const std::tuple<const char*, byte_vector, std::string> cases[] = {
      {"empty input", {}, H},
      {"19 bytes", seal(bytes_of({"CVX1", 1, 0, "123"})), H},
      {"version 2", seal(bytes_of({"CVX1", 2, 0, 0})), M},
      {"generation -1", seal(bytes_of({"CVX1", 1, -1, 0})), M},
      {"generation INT32_MIN", seal(bytes_of({"CVX1", 1, INT32_MIN, 0})), M},
      {"count 65537", seal(bytes_of({"CVX1", 1, 0, 65537})), M},
      {"count -1", seal(bytes_of({"CVX1", 1, 0, -1})), M},
      {"count 65536, no entries", seal(bytes_of({"CVX1", 1, 0, 65536})), T},
      {"count 1, 7 bytes left", seal(bytes_of({"CVX1", 1, 0, 1, "1234567"})), T},
      {"key length 0", seal(bytes_of({"CVX1", 1, 0, 1, 0, 0})), K},
      {"key length 4097", seal(bytes_of({"CVX1", 1, 0, 1, 4097, std::string(4097, 'k'), 0})), K},
      {"value length field inside the checksum", seal(bytes_of({"CVX1", 1, 0, 1, 3, "abcxyz"})), K},
      {"value length 1048577", seal(bytes_of({"CVX1", 1, 0, 1, 1, "k", 1048577, std::string(1048577, 'v')})), V},
      {"value length -1", seal(bytes_of({"CVX1", 1, 0, 1, 1, "k", -1})), V},
      {"value reaches the checksum", seal(bytes_of({"CVX1", 1, 0, 1, 1, "k", 5, "vvvv"})), V},
      {"2097153 bytes", seal(bytes_of({"CVX1", 1, 0, 0, std::string(2097153 - 20, 'x')})), H},
      {"count 1, two entries", seal(bytes_of({"CVX1", 1, 0, 1, 1, "a", 1, "1", 1, "b", 1, "2"})), X},
  };
  for (const auto& [name, bytes, message] : cases) EXPECT_EQ(seen(decode(bytes)), expected(message)) << name;
  // What just fits: an empty value ending at the checksum, a full key, and
  // entries of the smallest size, out of order from the second on and
  // repeated at the end, as many as the file holds.
  pairs smallest;
  for (int c = 255; c >= 1; --c) smallest.emplace_back(std::string(1, static_cast<char>(c)), "");
  smallest.emplace_back("\xFF", "x");
  for (const pairs& fits : {pairs{{"abc", ""}}, pairs{{std::string(4096, '\xE9'), "v"}}, smallest})
    EXPECT_EQ(seen(decode(file_of(3, fits))), expected("ok", 3, put_in_order(fits)));
  // A zero byte in a key or a value raises.
  EXPECT_THROW(decode(file_of(0, {{"a", "ok"}, {std::string("b\0", 2), "v"}})), std::invalid_argument);
  EXPECT_THROW(decode(file_of(0, {{"a", "ok"}, {"b", std::string("x\0y", 3)}})), std::invalid_argument);
  // Every changed byte is detected: in the magic as a bad header, anywhere
  // else by the checksum, which is checked before the metadata.
  for (const byte_vector& good : {file_of(0, {}), file_of(9, {{"a", ""}, {"k\xC3\xA9", "v1"}})})
    for (std::size_t i = 0; i < good.size(); ++i)
      for (std::uint8_t mask : {0x01, 0x80, 0xFF, 0x5A, 0x24}) {
        byte_vector changed = good;
        changed[i] ^= mask;
        EXPECT_EQ(decode(changed).status, i < 4 ? H : C) << i;
      }
}

// Texts from a small alphabet with bytes 0x80-0xFF, so keys are often
// prefixes or extensions of one another; some keys are alike in their first
// eight bytes or (nearly) of the largest length.
std::string random_text(std::mt19937& rng, std::size_t min_size) {
  static const std::string prefixes[] = {"", "", "abcdefgh", std::string(MAX_KEY_BYTES - 6, '\xFF')};
  std::string t = min_size ? prefixes[rng() % 4] : "";
  for (auto n = min_size + rng() % 4; n > 0; --n) t.push_back("abB\x01\x7F\x80\xC3\xA9\xFF"[rng() % 9]);
  return t;
}

TEST(SnapshotCodec, RandomStoresMatchTheReferenceAndRoundTrip) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    store_record s = new_empty_store("d");
    s.generation = static_cast<std::int32_t>(round % 4 == 0 ? INT32_MAX - rng() % 3 : rng() % 1000);
    for (int n = rng() % 150; n > 0; --n) {
      // Repeated keys and tombstones only come from outside store_put.
      if (rng() % 12 == 0 && !s.entries.empty())
        s.entries.push_back({s.entries[rng() % s.entries.size()].key, random_text(rng, 0), 0});
      else
        ASSERT_TRUE(store_put(s, random_text(rng, 1), random_text(rng, 0)));
      if (rng() % 5 == 0) s.entries[rng() % s.entries.size()].deleted = 1;
    }
    pairs written = sorted_live(s);
    const byte_vector bytes = encode_snapshot(s);
    ASSERT_EQ(bytes, file_of(s.generation, written));
    EXPECT_EQ(encoded_snapshot_size(s), static_cast<std::int64_t>(bytes.size()));
    const store_record d = decode_snapshot(bytes, "elsewhere");
    EXPECT_EQ(seen(d), expected("ok", s.generation, put_in_order(written), "elsewhere"));
    EXPECT_EQ(encode_snapshot(d) == bytes, d.entries.size() == written.size());
    // The same entries unordered with more repeats: the decoder leaves its
    // ascending fast path at the first key out of order.
    for (auto n = written.size() / 3; n > 0; --n)
      written.emplace_back(written[rng() % written.size()].first, random_text(rng, 0));
    std::shuffle(written.begin() + static_cast<std::ptrdiff_t>(written.size() / 4), written.end(), rng);
    EXPECT_EQ(seen(decode(file_of(5, written))), expected("ok", 5, put_in_order(written)));
  }
}
