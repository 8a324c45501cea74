#pragma once
// Little-endian fields of the core's 64-bit value classes. The integers of every byte
// image go through the helpers of support/little_endian.h, which this adds to: the
// same namespace, one set of helpers.

#include <cstdint>

#include "core/unsigned_int64.h"
#include "support/little_endian.h"

namespace zentor::value_bytes {

inline OrdinalValue LoadOrdinal(const uint8_t* p) {
  return OrdinalValue(UnsignedInt64::FromWords(LoadU32(p), LoadU32(p + 4)));
}

inline void StoreOrdinal(uint8_t* p, const UnsignedInt64& v) {
  StoreU32(p, v.Low());
  StoreU32(p + 4, v.High());
}

inline uint64_t ToU64(const UnsignedInt64& v) { return static_cast<uint64_t>(v.Low()) | (static_cast<uint64_t>(v.High()) << 32); }
inline OrdinalValue FromU64(uint64_t v) {
  return OrdinalValue(UnsignedInt64::FromWords(static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)));
}

}  // namespace zentor::value_bytes
