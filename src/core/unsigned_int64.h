#pragma once
// UnsignedInt64 is the unsigned 64-bit value of the debugger: target addresses,
// offsets, lengths, sizes, counts and the integers of the command language. It is
// built from two 32-bit words with explicit carries, partial products and shift steps,
// so it behaves the same on every host; everything wraps modulo 2^64 and nothing
// reports overflow. Division and remainder that need more than one 32-bit division
// go through BigNumber. OrdinalValue is the thin derived class the rest of the system
// stores and passes around.

#include <cstdint>

namespace zentor {

class RWCString;
class SignedInt64;

// The form in which 64-bit values are handed to and taken from records of other
// subsystems (symbol tables, the target interface): the low word first.
struct RawWordPair {
  uint32_t m_low;
  uint32_t m_high;
};

class UnsignedInt64 {
 public:
  // Zero. (Values that are assigned right away still start from a defined state, so
  // a forgotten assignment never reads stack garbage.)
  constexpr UnsignedInt64() = default;
  constexpr UnsignedInt64(uint32_t value) : m_low(value) {}  // NOLINT: a u32 widens implicitly
  constexpr explicit UnsignedInt64(const RawWordPair& raw) : m_low(raw.m_low), m_high(raw.m_high) {}
  // The same 64 bits: -1 becomes 2^64 - 1.
  explicit UnsignedInt64(const SignedInt64& value);
  // The number text rule of SignedInt64 (sign, base prefix, digits), its 64 bits
  // taken unchanged: "-1" gives 2^64 - 1 and digits beyond 64 bits wrap.
  explicit UnsignedInt64(const RWCString& text);

  // Both words at once (used by constants and tests).
  static constexpr UnsignedInt64 FromWords(uint32_t low, uint32_t high) {
    return UnsignedInt64(RawWordPair{low, high});
  }

  constexpr RawWordPair ToRaw() const { return RawWordPair{m_low, m_high}; }
  constexpr uint32_t Low() const { return m_low; }
  constexpr uint32_t High() const { return m_high; }

  UnsignedInt64& operator=(uint32_t value) {
    m_low = value;
    m_high = 0;
    return *this;
  }

  UnsignedInt64& operator+=(const UnsignedInt64& b);
  UnsignedInt64& operator+=(uint32_t b);
  UnsignedInt64& operator-=(const UnsignedInt64& b);
  UnsignedInt64& operator-=(uint32_t b);
  UnsignedInt64& operator*=(const UnsignedInt64& b);
  UnsignedInt64& operator*=(uint32_t b);
  // A zero divisor raises the internal-consistency error of the big-number division,
  // on the 32-bit shortcut as well.
  UnsignedInt64& operator/=(const UnsignedInt64& b);
  UnsignedInt64& operator/=(uint32_t b);
  UnsignedInt64& operator%=(const UnsignedInt64& b);
  UnsignedInt64& operator%=(uint32_t b);
  UnsignedInt64& operator&=(const UnsignedInt64& b);
  UnsignedInt64& operator&=(uint32_t b);
  UnsignedInt64& operator|=(const UnsignedInt64& b);
  UnsignedInt64& operator|=(uint32_t b);
  UnsignedInt64& operator^=(const UnsignedInt64& b);
  UnsignedInt64& operator^=(uint32_t b);
  // Counts of 64 or more give 0. A 64-bit count is compared whole: 2^32 + 1 gives 0.
  UnsignedInt64& operator<<=(uint32_t count);
  UnsignedInt64& operator<<=(const UnsignedInt64& count);
  UnsignedInt64& operator>>=(uint32_t count);
  UnsignedInt64& operator>>=(const UnsignedInt64& count);

  UnsignedInt64& operator++();
  UnsignedInt64 operator++(int);
  UnsignedInt64& operator--();
  UnsignedInt64 operator--(int);

  UnsignedInt64 operator+(const UnsignedInt64& b) const { return UnsignedInt64(*this) += b; }
  UnsignedInt64 operator+(uint32_t b) const { return UnsignedInt64(*this) += b; }
  UnsignedInt64 operator-(const UnsignedInt64& b) const { return UnsignedInt64(*this) -= b; }
  UnsignedInt64 operator-(uint32_t b) const { return UnsignedInt64(*this) -= b; }
  UnsignedInt64 operator*(const UnsignedInt64& b) const { return UnsignedInt64(*this) *= b; }
  UnsignedInt64 operator*(uint32_t b) const { return UnsignedInt64(*this) *= b; }
  UnsignedInt64 operator/(const UnsignedInt64& b) const { return UnsignedInt64(*this) /= b; }
  UnsignedInt64 operator/(uint32_t b) const { return UnsignedInt64(*this) /= b; }
  UnsignedInt64 operator%(const UnsignedInt64& b) const { return UnsignedInt64(*this) %= b; }
  UnsignedInt64 operator%(uint32_t b) const { return UnsignedInt64(*this) %= b; }
  UnsignedInt64 operator&(const UnsignedInt64& b) const { return UnsignedInt64(*this) &= b; }
  UnsignedInt64 operator&(uint32_t b) const { return UnsignedInt64(*this) &= b; }
  UnsignedInt64 operator|(const UnsignedInt64& b) const { return UnsignedInt64(*this) |= b; }
  UnsignedInt64 operator|(uint32_t b) const { return UnsignedInt64(*this) |= b; }
  UnsignedInt64 operator^(const UnsignedInt64& b) const { return UnsignedInt64(*this) ^= b; }
  UnsignedInt64 operator^(uint32_t b) const { return UnsignedInt64(*this) ^= b; }
  UnsignedInt64 operator<<(uint32_t count) const { return UnsignedInt64(*this) <<= count; }
  UnsignedInt64 operator<<(const UnsignedInt64& count) const { return UnsignedInt64(*this) <<= count; }
  UnsignedInt64 operator>>(uint32_t count) const { return UnsignedInt64(*this) >>= count; }
  UnsignedInt64 operator>>(const UnsignedInt64& count) const { return UnsignedInt64(*this) >>= count; }
  UnsignedInt64 operator~() const { return FromWords(~m_low, ~m_high); }

  bool operator==(const UnsignedInt64& b) const { return m_low == b.m_low && m_high == b.m_high; }
  bool operator==(uint32_t b) const { return m_high == 0 && m_low == b; }
  bool operator<(const UnsignedInt64& b) const {
    return m_high != b.m_high ? m_high < b.m_high : m_low < b.m_low;
  }
  bool operator<(uint32_t b) const { return m_high == 0 && m_low < b; }
  bool operator>(const UnsignedInt64& b) const { return b < *this; }
  bool operator>(uint32_t b) const { return m_high != 0 || m_low > b; }

  // Carry out of the 32-bit addition a + b, found with 31-bit additions only.
  static uint32_t CarryOut(uint32_t a, uint32_t b);
  // The exact 64-bit product of two words, from 16-bit partial products.
  static UnsignedInt64 Multiply32(uint32_t a, uint32_t b);
  // One 16-bit step of a shift (the long shifts take at most one of these).
  void ShiftLeft16();
  void ShiftRight16();

 private:
  uint32_t m_low = 0;
  uint32_t m_high = 0;
};

inline bool operator!=(const UnsignedInt64& a, const UnsignedInt64& b) { return !(a == b); }
inline bool operator!=(const UnsignedInt64& a, uint32_t b) { return !(a == b); }
inline bool operator<=(const UnsignedInt64& a, const UnsignedInt64& b) { return !(a > b); }
inline bool operator<=(const UnsignedInt64& a, uint32_t b) { return !(a > b); }
inline bool operator>=(const UnsignedInt64& a, const UnsignedInt64& b) { return !(a < b); }
inline bool operator>=(const UnsignedInt64& a, uint32_t b) { return !(a < b); }

// The value the rest of the system stores for offsets, lengths, sizes and counts. It
// adds only constructors and assignments; the two-operand operators of the base return
// an UnsignedInt64, which converts back implicitly.
class OrdinalValue : public UnsignedInt64 {
 public:
  // All 64 bits set (2^64 - 1): the largest possible distance.
  static const OrdinalValue AllOnes;
  static const OrdinalValue One;

  constexpr OrdinalValue() = default;
  constexpr OrdinalValue(uint32_t value) : UnsignedInt64(value) {}  // NOLINT: widening
  constexpr OrdinalValue(const UnsignedInt64& value) : UnsignedInt64(value) {}  // NOLINT
  constexpr explicit OrdinalValue(const RawWordPair& raw) : UnsignedInt64(raw) {}
  // The 64 bits of the signed value unchanged (-1 becomes 2^64 - 1).
  explicit OrdinalValue(const SignedInt64& value) : UnsignedInt64(value) {}

  OrdinalValue& operator=(const OrdinalValue& other) = default;
  OrdinalValue& operator=(const UnsignedInt64& value) {
    UnsignedInt64::operator=(value);
    return *this;
  }
  OrdinalValue& operator=(uint32_t value) {
    UnsignedInt64::operator=(value);
    return *this;
  }
  OrdinalValue& operator=(const RawWordPair& raw) {
    UnsignedInt64::operator=(UnsignedInt64(raw));
    return *this;
  }
  OrdinalValue& operator=(const SignedInt64& value) {
    UnsignedInt64::operator=(UnsignedInt64(value));
    return *this;
  }
};

inline constexpr OrdinalValue OrdinalValue::AllOnes{RawWordPair{0xFFFFFFFFu, 0xFFFFFFFFu}};
inline constexpr OrdinalValue OrdinalValue::One{1u};

// A u32 on the left of `<` against an OrdinalValue: the OrdinalValue `>` the u32.
inline bool operator<(uint32_t a, const OrdinalValue& b) { return b > a; }

}  // namespace zentor
