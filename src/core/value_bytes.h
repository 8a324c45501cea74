#pragma once
// Little-endian field accessors for the byte images of values: the operand buffers of
// the value stack and the operator executor hold integers little-endian in their size,
// and the stack's structured items (locations, ranges) are flat byte records. Every
// field goes through these, never through a cast of the bytes to a struct.

#include <cstdint>

#include "core/unsigned_int64.h"

namespace zentor::value_bytes {

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}
inline OrdinalValue LoadOrdinal(const uint8_t* p) {
  return OrdinalValue(UnsignedInt64::FromWords(LoadU32(p), LoadU32(p + 4)));
}

inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline void StoreU64(uint8_t* p, uint64_t v) {
  StoreU32(p, static_cast<uint32_t>(v));
  StoreU32(p + 4, static_cast<uint32_t>(v >> 32));
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
