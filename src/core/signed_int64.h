#pragma once
// SignedInt64 is the signed 64-bit value of the debugger: signed integers shown by the
// value display, signed values computed by the symbol tables and the signed side of
// the big-number conversions. It has the layout of UnsignedInt64 (two 32-bit words,
// two's complement, low word first) but is a class of its own; most operations work
// on the UnsignedInt64 bits, division and remainder always go through BigNumber.
// Everything wraps modulo 2^64; nothing reports overflow. It also owns the system's
// rule for reading a number text with a sign and a base prefix.

#include <cstdint>

#include "core/unsigned_int64.h"

namespace zentor {

class RWCString;

class SignedInt64 {
 public:
  constexpr SignedInt64() = default;
  // Sign-extended.
  constexpr SignedInt64(int32_t value)  // NOLINT: an int32 widens implicitly
      : m_low(static_cast<uint32_t>(value)), m_high(value < 0 ? 0xFFFFFFFFu : 0u) {}
  // The same 64 bits.
  constexpr explicit SignedInt64(const UnsignedInt64& value)
      : m_low(value.Low()), m_high(value.High()) {}
  constexpr explicit SignedInt64(const RawWordPair& raw) : m_low(raw.m_low), m_high(raw.m_high) {}
  // The number text rule (see FromText).
  explicit SignedInt64(const RWCString& text);

  static constexpr SignedInt64 FromWords(uint32_t low, uint32_t high) {
    return SignedInt64(RawWordPair{low, high});
  }

  // The number text rule: an optional sign ('+' or '-'); a base prefix '0' followed by
  // 'N' (10), 'X' (16) or 'Y' (2), or a '0' followed by anything else (base 8, that
  // character read as the first digit); base 10 without '0'; then digits of the base,
  // letters in either case, up to the first character that is not one. It never fails:
  // an empty text, or one starting with anything else, gives 0, and what follows the
  // digits is ignored. The value wraps modulo 2^64.
  static SignedInt64 FromText(const char* text);
  static SignedInt64 FromText(const RWCString& text);
  // The value of an (upper-case) character as a digit of base, or -1.
  static int32_t DigitValue(char ch, uint32_t base);

  constexpr RawWordPair ToRaw() const { return RawWordPair{m_low, m_high}; }
  constexpr uint32_t Low() const { return m_low; }
  constexpr uint32_t High() const { return m_high; }
  constexpr bool IsNegative() const { return (m_high & 0x80000000u) != 0; }
  constexpr UnsignedInt64 Bits() const { return UnsignedInt64::FromWords(m_low, m_high); }

  SignedInt64& operator=(int32_t value) { return *this = SignedInt64(value); }

  SignedInt64& operator+=(const SignedInt64& b);
  SignedInt64& operator+=(int32_t b) { return *this += SignedInt64(b); }
  SignedInt64& operator-=(const SignedInt64& b);
  SignedInt64& operator-=(int32_t b) { return *this -= SignedInt64(b); }
  SignedInt64& operator*=(const SignedInt64& b);
  SignedInt64& operator*=(int32_t b) { return *this *= SignedInt64(b); }
  // Truncated toward zero. The most negative value / -1 wraps to itself; a zero
  // divisor raises the internal-consistency error of the big-number division.
  SignedInt64& operator/=(const SignedInt64& b);
  SignedInt64& operator/=(int32_t b) { return *this /= SignedInt64(b); }
  // Carries the dividend's sign; the most negative value % -1 is 0.
  SignedInt64& operator%=(const SignedInt64& b);
  SignedInt64& operator%=(int32_t b) { return *this %= SignedInt64(b); }
  SignedInt64& operator&=(const SignedInt64& b);
  SignedInt64& operator&=(int32_t b) { return *this &= SignedInt64(b); }
  SignedInt64& operator|=(const SignedInt64& b);
  SignedInt64& operator|=(int32_t b) { return *this |= SignedInt64(b); }
  SignedInt64& operator^=(const SignedInt64& b);
  SignedInt64& operator^=(int32_t b) { return *this ^= SignedInt64(b); }
  // A count below 0 or of 64 and more gives 0 (also for negative values on the right
  // shift, which is arithmetic otherwise). A 64-bit count uses its low word read as a
  // signed 32-bit number.
  SignedInt64& operator<<=(int32_t count);
  SignedInt64& operator<<=(const SignedInt64& count);
  SignedInt64& operator>>=(int32_t count);
  SignedInt64& operator>>=(const SignedInt64& count);

  SignedInt64& operator++();
  SignedInt64 operator++(int);
  SignedInt64& operator--();
  SignedInt64 operator--(int);

  // Two's complement; the most negative value negates to itself.
  SignedInt64 operator-() const;

  SignedInt64 operator+(const SignedInt64& b) const { return SignedInt64(*this) += b; }
  SignedInt64 operator+(int32_t b) const { return SignedInt64(*this) += b; }
  SignedInt64 operator-(const SignedInt64& b) const { return SignedInt64(*this) -= b; }
  SignedInt64 operator-(int32_t b) const { return SignedInt64(*this) -= b; }
  SignedInt64 operator*(const SignedInt64& b) const { return SignedInt64(*this) *= b; }
  SignedInt64 operator*(int32_t b) const { return SignedInt64(*this) *= b; }
  SignedInt64 operator/(const SignedInt64& b) const { return SignedInt64(*this) /= b; }
  SignedInt64 operator/(int32_t b) const { return SignedInt64(*this) /= b; }
  SignedInt64 operator%(const SignedInt64& b) const { return SignedInt64(*this) %= b; }
  SignedInt64 operator%(int32_t b) const { return SignedInt64(*this) %= b; }
  SignedInt64 operator&(const SignedInt64& b) const { return SignedInt64(*this) &= b; }
  SignedInt64 operator&(int32_t b) const { return SignedInt64(*this) &= b; }
  SignedInt64 operator|(const SignedInt64& b) const { return SignedInt64(*this) |= b; }
  SignedInt64 operator|(int32_t b) const { return SignedInt64(*this) |= b; }
  SignedInt64 operator^(const SignedInt64& b) const { return SignedInt64(*this) ^= b; }
  SignedInt64 operator^(int32_t b) const { return SignedInt64(*this) ^= b; }
  SignedInt64 operator<<(int32_t count) const { return SignedInt64(*this) <<= count; }
  SignedInt64 operator<<(const SignedInt64& count) const { return SignedInt64(*this) <<= count; }
  SignedInt64 operator>>(int32_t count) const { return SignedInt64(*this) >>= count; }
  SignedInt64 operator>>(const SignedInt64& count) const { return SignedInt64(*this) >>= count; }

  bool operator==(const SignedInt64& b) const { return m_low == b.m_low && m_high == b.m_high; }
  bool operator==(int32_t b) const { return *this == SignedInt64(b); }
  // A negative value is less than a non-negative one; among values of one sign the
  // unsigned order of the bit patterns is the numeric order.
  bool operator<(const SignedInt64& b) const;
  bool operator<(int32_t b) const { return *this < SignedInt64(b); }
  bool operator>(const SignedInt64& b) const { return !(*this == b) && !(*this < b); }
  bool operator>(int32_t b) const { return *this > SignedInt64(b); }

 private:
  uint32_t m_low = 0;
  uint32_t m_high = 0;
};

inline bool operator!=(const SignedInt64& a, const SignedInt64& b) { return !(a == b); }
inline bool operator!=(const SignedInt64& a, int32_t b) { return !(a == b); }
inline bool operator<=(const SignedInt64& a, const SignedInt64& b) { return !(a > b); }
inline bool operator<=(const SignedInt64& a, int32_t b) { return !(a > b); }
inline bool operator>=(const SignedInt64& a, const SignedInt64& b) { return !(a < b); }
inline bool operator>=(const SignedInt64& a, int32_t b) { return !(a < b); }

}  // namespace zentor
