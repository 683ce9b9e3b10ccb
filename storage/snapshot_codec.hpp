// The snapshot file format: "CVX1", zigzag little-endian int32 header, live
// entries in ascending key-byte order, a 30-bit checksum in the last four bytes.
#pragma once

#include <cstdint>

#include "storage/store_record.hpp"

namespace orvi {

inline constexpr std::int32_t MAX_SNAPSHOT_FILE_BYTES = 2097152;
inline constexpr std::int32_t MIN_SNAPSHOT_FILE_BYTES = 20;

// Empty when the store fails is_valid_store.
byte_vector encode_snapshot(const store_record& store);

// The byte count encode_snapshot would produce, without building it; -1 for an
// invalid store. Lets a commit refuse an oversized store before allocating.
std::int64_t encoded_snapshot_size(const store_record& store);

// An open store on success, otherwise failed_store(directory, message). A zero
// byte in a key or value raises std::invalid_argument.
store_record decode_snapshot(const byte_vector& bytes, const text& directory);

void write_zigzag_int32(byte_vector& bytes, std::int32_t n);
std::int32_t read_zigzag_int32(const byte_vector& bytes, std::int32_t offset);
void write_entry_field(byte_vector& bytes, const text& s);
std::int32_t snapshot_checksum(const byte_vector& bytes, std::int32_t length);

int byte_value(std::int8_t byte);
std::int8_t int_to_byte(int n);

}  // namespace orvi
