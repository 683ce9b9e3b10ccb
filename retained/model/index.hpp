// Index keys, the text hash that picks a bucket, and a small chained hash map
// from key texts to row numbers that counts the nodes its lookups visit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/text.hpp"

namespace orvi {

inline constexpr std::string_view RESOURCE_ID_ALPHABET =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-:/@";

// "{0}:{1}": the decimal byte length, a colon, the bytes unchanged.
text length_prefixed_text(std::string_view s);

// "{len}:{kind}:{len}:{id}:{number}"; the length prefixes keep any id unambiguous.
text make_index_key(std::string_view kind, std::string_view id, std::int32_t number);

// Bucket of a text among bucket_count buckets. The empty text answers 17 whatever
// the count; a count of 0 is taken as 1, and a negative count gives a remainder
// with the sign of the wrapped dividend.
std::int32_t hash_resource_text(std::string_view s, std::int32_t bucket_count);

class index_table {
 public:
  // A count below 1 gives one bucket.
  explicit index_table(std::int32_t bucket_count);

  // Always within 0..bucket_count()-1, the empty key included.
  std::int32_t bucket_of(std::string_view key) const;
  // The value under the key or -1; every node visited adds 1 to probes().
  std::int32_t find(std::string_view key);
  // Inserts or overwrites; counts nothing. A new key goes to the head of its bucket.
  void assign(std::string_view key, std::uint32_t value);
  // Nodes visited by find since creation, modulo 2^32.
  std::uint32_t probes() const { return probes_; }

  std::uint32_t bucket_count() const { return bucketCount; }
  std::size_t node_count() const { return keys.size(); }

 private:
  std::uint32_t bucketCount;
  std::vector<std::int32_t> heads;
  std::vector<text> keys;
  std::vector<std::int32_t> values;
  std::vector<std::int32_t> next;
  std::uint32_t probes_ = 0;
};

}  // namespace orvi
