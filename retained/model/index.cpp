#include "retained/model/index.hpp"

#include <array>
#include <string>

#include "runtime/format.hpp"

namespace orvi {

namespace {

constexpr std::array<std::uint8_t, 256> make_codes() {
  std::array<std::uint8_t, 256> codes{};
  for (auto& c : codes) c = 71;
  for (std::size_t i = 0; i < RESOURCE_ID_ALPHABET.size(); ++i) {
    codes[static_cast<unsigned char>(RESOURCE_ID_ALPHABET[i])] = static_cast<std::uint8_t>(i + 1);
  }
  return codes;
}

constexpr std::array<std::uint8_t, 256> CODES = make_codes();

}  // namespace

text length_prefixed_text(std::string_view s) { return format_placeholders("{0}:{1}", {std::to_string(s.size()), s}); }

text make_index_key(std::string_view kind, std::string_view id, std::int32_t number) {
  return format_placeholders("{0}:{1}:{2}:{3}:{4}", {std::to_string(kind.size()), kind, std::to_string(id.size()), id,
                                                     std::to_string(number)});
}

std::int32_t hash_resource_text(std::string_view s, std::int32_t bucket_count) {
  // Only a count of 0 has no remainder: it is taken as 1. A negative count
  // reduces like any other, the remainder keeping the sign of the dividend.
  const std::int64_t n = bucket_count == 0 ? 1 : bucket_count;
  std::int32_t h = 17;
  for (unsigned char c : s) {
    // Product and sum wrap modulo 2^32 (in unsigned arithmetic, so without
    // overflow); the remainder is taken in 64 bits, where INT_MIN by -1 is defined.
    const std::uint32_t wrapped = static_cast<std::uint32_t>(h) * 33u + CODES[c];
    h = static_cast<std::int32_t>(std::int64_t{static_cast<std::int32_t>(wrapped)} % n);
  }
  return h;
}

index_table::index_table(std::int32_t bucket_count)
    : bucketCount(bucket_count < 1 ? 1u : static_cast<std::uint32_t>(bucket_count)), heads(bucketCount, -1) {}

std::int32_t index_table::bucket_of(std::string_view key) const {
  const auto n = static_cast<std::int64_t>(bucketCount);
  // The empty key hashes to 17 unreduced, and a very large count can wrap the
  // hash negative: both are brought back into 0..n-1 here.
  const std::int64_t h = hash_resource_text(key, static_cast<std::int32_t>(n));
  return static_cast<std::int32_t>((h % n + n) % n);
}

std::int32_t index_table::find(std::string_view key) {
  for (std::int32_t node = heads[static_cast<std::size_t>(bucket_of(key))]; node != -1;
       node = next[static_cast<std::size_t>(node)]) {
    ++probes_;
    if (keys[static_cast<std::size_t>(node)] == key) return values[static_cast<std::size_t>(node)];
  }
  return -1;
}

void index_table::assign(std::string_view key, std::uint32_t value) {
  const auto bucket = static_cast<std::size_t>(bucket_of(key));
  for (std::int32_t node = heads[bucket]; node != -1; node = next[static_cast<std::size_t>(node)]) {
    if (keys[static_cast<std::size_t>(node)] == key) {
      values[static_cast<std::size_t>(node)] = static_cast<std::int32_t>(value);
      return;
    }
  }
  keys.emplace_back(key);
  values.push_back(static_cast<std::int32_t>(value));
  next.push_back(heads[bucket]);
  heads[bucket] = static_cast<std::int32_t>(keys.size() - 1);
}

}  // namespace orvi
