#pragma once
// RWBitVec: a resizable vector of bits, a value class (copying copies the bits). The
// symbol tables use it as a set of flags indexed by item number. Bit i is bit (i & 7)
// of byte (i >> 3); the bits of the last byte above the length are unused and every
// comparison, count and hash masks them off.

#include <cstdint>
#include <memory>

#include "support/rw_defs.h"

namespace zentor {

// Byte-run helpers of the vector operations: combine n bytes of src into dst.
void RWBitRunOr(uint8_t* dst, const uint8_t* src, uint32_t n);
void RWBitRunXor(uint8_t* dst, const uint8_t* src, uint32_t n);
void RWBitRunAnd(uint8_t* dst, const uint8_t* src, uint32_t n);
// Index of the first set (clear) bit among the first nBits bits, RW_NPOS when none.
uint32_t RWBitRunFirstSet(const uint8_t* bytes, uint32_t nBits);
uint32_t RWBitRunFirstClear(const uint8_t* bytes, uint32_t nBits);

class RWBitVec {
 public:
  RWBitVec() : m_n(0) {}
  explicit RWBitVec(uint32_t n);
  RWBitVec(uint32_t n, bool value);
  // Copies (n + 7) / 8 bytes from the caller's buffer.
  RWBitVec(const uint8_t* bytes, uint32_t n);
  RWBitVec(const RWBitVec& other);
  RWBitVec(RWBitVec&& other) noexcept;
  ~RWBitVec();

  RWBitVec& operator=(const RWBitVec& other);
  RWBitVec& operator=(RWBitVec&& other) noexcept;
  // Every byte 0xFF or 0.
  RWBitVec& operator=(bool value);

  // Unchecked bit access: i must be below length().
  void setBit(uint32_t i) { m_bytes[i >> 3] = static_cast<uint8_t>(m_bytes[i >> 3] | (1u << (i & 7))); }
  void clearBit(uint32_t i) { m_bytes[i >> 3] = static_cast<uint8_t>(m_bytes[i >> 3] & ~(1u << (i & 7))); }
  bool testBit(uint32_t i) const { return ((m_bytes[i >> 3] >> (i & 7)) & 1) != 0; }
  // Checked read: an index outside 0 .. length()-1 raises the [INDEX] bounds error.
  bool operator[](uint32_t i) const;
  // Checked write with the same bounds error.
  void assignBit(uint32_t i, bool value);

  bool operator==(const RWBitVec& other) const;
  bool operator!=(const RWBitVec& other) const { return !(*this == other); }
  // True when every used bit equals value.
  bool operator==(bool value) const;
  bool operator!=(bool value) const { return !(*this == value); }

  // In-place forms of the binary operators; unequal lengths raise [NEVECL].
  RWBitVec& operator&=(const RWBitVec& other);
  RWBitVec& operator|=(const RWBitVec& other);
  RWBitVec& operator^=(const RWBitVec& other);

  void resize(uint32_t n);
  uint32_t sum() const;
  uint32_t hash() const;
  uint32_t length() const { return m_n; }
  const uint8_t* data() const { return m_bytes.get(); }
  uint8_t* data() { return m_bytes.get(); }
  uint32_t firstTrue() const { return RWBitRunFirstSet(m_bytes.get(), m_n); }
  uint32_t firstFalse() const { return RWBitRunFirstClear(m_bytes.get(), m_n); }

 private:
  static uint32_t ByteCount(uint32_t n) { return static_cast<uint32_t>((uint64_t{n} + 7) >> 3); }
  uint8_t lastByteMask() const { return static_cast<uint8_t>((1u << (m_n & 7)) - 1); }
  bool checkSameLength(const RWBitVec& other) const;

  std::unique_ptr<uint8_t[]> m_bytes;
  uint32_t m_n;
};

// Binary operators: a copy of a combined byte by byte with b. Unequal lengths raise
// [NEVECL] with a's and b's lengths; should the handler return, the result is a copy
// of a.
RWBitVec operator&(const RWBitVec& a, const RWBitVec& b);
RWBitVec operator|(const RWBitVec& a, const RWBitVec& b);
RWBitVec operator^(const RWBitVec& a, const RWBitVec& b);
// Every byte complemented (unused bits become set but stay masked in comparisons).
RWBitVec operator!(const RWBitVec& a);

}  // namespace zentor
