#pragma once
// Little-endian field accessors: the one set through which the debugger packs and
// unpacks the integers of its byte images. The operand buffers of the value stack and
// the operator executor hold integers little-endian in their size; the stack's
// structured items (locations, ranges), the interpreter's save stacks, the class
// library's persistent files and the symbol files' records are flat byte records.
// Every field goes through these, never through a cast of the bytes to a struct nor a
// shift written out by hand. core/value_bytes.h adds the 64-bit value classes.

#include <cstdint>

namespace zentor::value_bytes {

inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}
// An unsigned integer of `size` bytes, 0 to 8.
inline uint64_t LoadUnsigned(const uint8_t* p, uint32_t size) {
  uint64_t value = 0;
  for (uint32_t i = size; i > 0; --i) value = (value << 8) | p[i - 1];
  return value;
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
// The low `size` bytes of v, 0 to 8.
inline void StoreUnsigned(uint8_t* p, uint64_t v, uint32_t size) {
  for (uint32_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace zentor::value_bytes
