#pragma once
// Shift steps on a 64-bit value kept as two 32-bit words, the low word first. SignedInt64
// and UnsignedInt64 both hold their bits this way and shift them through these steps, so
// the two agree bit for bit. A count of 64 or more clears the value.

#include <cstdint>

namespace zentor::int64_words {

// One 16-bit step each way; a long shift takes at most one of them.
inline void ShiftLeft16(uint32_t& low, uint32_t& high) {
  high = (high << 16) | (low >> 16);
  low <<= 16;
}

inline void ShiftRight16(uint32_t& low, uint32_t& high) {
  low = (low >> 16) | (high << 16);
  high >>= 16;
}

inline void ShiftLeft(uint32_t& low, uint32_t& high, uint32_t count) {
  if (count >= 64) {
    low = 0;
    high = 0;
    return;
  }
  if (count >= 32) {
    high = low << (count - 32);
    low = 0;
    return;
  }
  if (count >= 16) {
    ShiftLeft16(low, high);
    count -= 16;
  }
  for (; count != 0; --count) {
    high = (high << 1) | (low >> 31);
    low <<= 1;
  }
}

// The vacated top bits read zero.
inline void ShiftRight(uint32_t& low, uint32_t& high, uint32_t count) {
  if (count >= 64) {
    low = 0;
    high = 0;
    return;
  }
  if (count >= 32) {
    low = high >> (count - 32);
    high = 0;
    return;
  }
  if (count >= 16) {
    ShiftRight16(low, high);
    count -= 16;
  }
  for (; count != 0; --count) {
    low = (low >> 1) | (high << 31);
    high >>= 1;
  }
}

}  // namespace zentor::int64_words
