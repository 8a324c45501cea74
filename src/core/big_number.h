#pragma once
// BigNumber is a signed integer of any length in 16-bit digits, two's complement, most
// significant digit first. The debugger uses it for one job: the division and remainder
// of 64-bit values that do not fit a 32-bit division. 16-bit digits keep every digit
// product and every two-digit dividend inside one 32-bit word. The division is long
// division on magnitudes with the signs applied afterwards, and it remembers the last
// division, so asking for the quotient and then the remainder of the same operands
// costs one division. Digit arrays are immutable and shared between copies.

#include <cstdint>
#include <memory>
#include <vector>

#include "core/signed_int64.h"
#include "core/unsigned_int64.h"

namespace zentor {

// Raises the internal-consistency error of a zero divisor. Every integer division path
// (the big-number division and the 32-bit shortcuts in front of it) raises this one.
[[noreturn]] void RaiseDivisionByZero();

class BigNumber {
 public:
  // Zero (one digit 0).
  BigNumber();
  // Two digits of the two's complement value, normalised.
  explicit BigNumber(int32_t value);
  // Non-negative: three digits, the first 0, when bit 31 is set; normalised.
  explicit BigNumber(uint32_t value);
  // Four digits, bits 63-48 first, normalised.
  explicit BigNumber(const SignedInt64& value);
  // Non-negative: five digits, the first 0; normalised.
  explicit BigNumber(const UnsignedInt64& value);
  // Takes the digits (most significant first) and normalises them; an empty array is 0.
  explicit BigNumber(std::vector<uint16_t> digits);

  BigNumber(const BigNumber& other) = default;
  BigNumber& operator=(const BigNumber& other) = default;
  ~BigNumber() = default;

  // Same count and same digits (the normal form makes this value equality).
  bool operator==(const BigNumber& other) const;
  bool IsNegative() const;
  BigNumber Negate() const;
  // A number with its own copy of the digits.
  BigNumber Copy() const;

  // The long division: a = q * b + r, q truncated toward zero, r with the sign of a.
  // A zero divisor raises RaiseDivisionByZero() and changes nothing.
  static void Divide(const BigNumber& dividend, const BigNumber& divisor, BigNumber& quotient,
                     BigNumber& remainder);

  BigNumber operator/(const BigNumber& divisor) const;
  BigNumber operator%(const BigNumber& divisor) const;
  BigNumber& operator/=(const BigNumber& divisor) { return *this = *this / divisor; }
  BigNumber& operator%=(const BigNumber& divisor) { return *this = *this % divisor; }

  // The low 64 bits (missing high bits are 0).
  UnsignedInt64 ToUnsigned() const;
  // The low 64 bits, missing high bits taking the sign.
  SignedInt64 ToSigned() const;

  uint32_t DigitCount() const { return static_cast<uint32_t>(m_digits->size()); }
  // Digit i from the most significant (0); an index past the end raises the
  // internal-consistency error.
  uint16_t DigitAt(uint32_t index) const;

  // Compares two digit arrays of the same length as unsigned numbers: 0 equal, 1 when
  // the first differing digit of a is greater, else -1.
  static int CompareDigits(const uint16_t* a, const uint16_t* b, uint32_t count);
  // Drops redundant sign digits (0x0000 before a digit with bit 15 clear, 0xFFFF
  // before one with bit 15 set); the value never changes and one digit always stays.
  static void Normalise(std::vector<uint16_t>& digits);

 private:
  using Digits = std::vector<uint16_t>;

  explicit BigNumber(std::shared_ptr<const Digits> digits) : m_digits(std::move(digits)) {}
  // Starts from start and shifts in the last (at most four) digits.
  UnsignedInt64 FillLow64(UnsignedInt64 start) const;

  std::shared_ptr<const Digits> m_digits;
};

}  // namespace zentor
