#include "core/signed_int64.h"

#include "core/big_number.h"
#include "core/int64_words.h"
#include "support/rw_cstring.h"

namespace zentor {

namespace {

char UpperCase(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }

// The number text rule over a counted text; reads never pass `length`.
SignedInt64 ParseNumberText(const char* text, uint32_t length) {
  uint32_t pos = 0;
  auto charAt = [&](uint32_t i) -> char { return i < length ? UpperCase(text[i]) : '!'; };

  bool negative = false;
  if (charAt(pos) == '+' || charAt(pos) == '-') {
    negative = charAt(pos) == '-';
    ++pos;
  }
  uint32_t base = 10;
  if (charAt(pos) == '0') {
    ++pos;
    switch (charAt(pos)) {
      case 'N': base = 10; ++pos; break;
      case 'X': base = 16; ++pos; break;
      case 'Y': base = 2; ++pos; break;
      default: base = 8; break;  // that character is read as the first digit
    }
  }
  SignedInt64 value;
  for (;; ++pos) {
    const int32_t digit = SignedInt64::DigitValue(charAt(pos), base);
    if (digit < 0) {
      break;
    }
    value *= static_cast<int32_t>(base);
    value += digit;
  }
  return negative ? -value : value;
}

}  // namespace

SignedInt64::SignedInt64(const RWCString& text) : SignedInt64(FromText(text)) {}

SignedInt64 SignedInt64::FromText(const char* text) {
  if (text == nullptr) {
    return SignedInt64();
  }
  uint32_t length = 0;
  while (text[length] != '\0') {
    ++length;
  }
  return ParseNumberText(text, length);
}

SignedInt64 SignedInt64::FromText(const RWCString& text) {
  return ParseNumberText(text.data(), text.length());
}

int32_t SignedInt64::DigitValue(char ch, uint32_t base) {
  if (ch == '0' || ch == '1') {
    return ch - '0';
  }
  if (ch >= '2' && ch <= '7') {
    return base > 2 ? ch - '0' : -1;
  }
  if (ch == '8' || ch == '9') {
    return base > 8 ? ch - '0' : -1;
  }
  if (ch >= 'A' && ch <= 'F') {
    return base > 10 ? ch - 'A' + 10 : -1;
  }
  return -1;
}

SignedInt64& SignedInt64::operator+=(const SignedInt64& b) {
  *this = SignedInt64(Bits() + b.Bits());
  return *this;
}

SignedInt64& SignedInt64::operator-=(const SignedInt64& b) {
  // a + (NOT b) + 1.
  UnsignedInt64 sum = Bits() + ~b.Bits();
  ++sum;
  *this = SignedInt64(sum);
  return *this;
}

SignedInt64& SignedInt64::operator*=(const SignedInt64& b) {
  const bool negativeA = IsNegative();
  const bool negativeB = b.IsNegative();
  // The most negative value negates to itself and then reads as 2^63, which is still
  // its magnitude modulo 2^64.
  const UnsignedInt64 magnitudeA = negativeA ? (-*this).Bits() : Bits();
  const UnsignedInt64 magnitudeB = negativeB ? (-b).Bits() : b.Bits();
  const SignedInt64 product(magnitudeA * magnitudeB);
  *this = negativeA != negativeB ? -product : product;
  return *this;
}

SignedInt64& SignedInt64::operator/=(const SignedInt64& b) {
  *this = (BigNumber(*this) / BigNumber(b)).ToSigned();
  return *this;
}

SignedInt64& SignedInt64::operator%=(const SignedInt64& b) {
  *this = (BigNumber(*this) % BigNumber(b)).ToSigned();
  return *this;
}

SignedInt64& SignedInt64::operator&=(const SignedInt64& b) {
  m_low &= b.m_low;
  m_high &= b.m_high;
  return *this;
}

SignedInt64& SignedInt64::operator|=(const SignedInt64& b) {
  m_low |= b.m_low;
  m_high |= b.m_high;
  return *this;
}

SignedInt64& SignedInt64::operator^=(const SignedInt64& b) {
  m_low ^= b.m_low;
  m_high ^= b.m_high;
  return *this;
}

SignedInt64& SignedInt64::operator<<=(int32_t count) {
  // A negative count reads as 2^31 or more and clears the value.
  int64_words::ShiftLeft(m_low, m_high, static_cast<uint32_t>(count));
  return *this;
}

SignedInt64& SignedInt64::operator<<=(const SignedInt64& count) {
  return *this <<= static_cast<int32_t>(count.m_low);
}

SignedInt64& SignedInt64::operator>>=(int32_t count) {
  // A negative count reads as 2^31 or more and clears the value, whatever the sign.
  const uint32_t steps = static_cast<uint32_t>(count);
  if (!IsNegative() || steps >= 64) {
    // With no sign bit to copy in, the arithmetic shift is the logical one.
    int64_words::ShiftRight(m_low, m_high, steps);
    return *this;
  }
  for (uint32_t step = 0; step != steps; ++step) {
    m_low = (m_low >> 1) | (m_high << 31);
    m_high = (m_high >> 1) | 0x80000000u;
  }
  return *this;
}

SignedInt64& SignedInt64::operator>>=(const SignedInt64& count) {
  return *this >>= static_cast<int32_t>(count.m_low);
}

SignedInt64& SignedInt64::operator++() {
  UnsignedInt64 bits = Bits();
  ++bits;
  *this = SignedInt64(bits);
  return *this;
}

SignedInt64 SignedInt64::operator++(int) {
  const SignedInt64 before = *this;
  ++*this;
  return before;
}

SignedInt64& SignedInt64::operator--() {
  UnsignedInt64 bits = Bits();
  --bits;
  *this = SignedInt64(bits);
  return *this;
}

SignedInt64 SignedInt64::operator--(int) {
  const SignedInt64 before = *this;
  --*this;
  return before;
}

SignedInt64 SignedInt64::operator-() const {
  UnsignedInt64 bits = ~Bits();
  ++bits;
  return SignedInt64(bits);
}

bool SignedInt64::operator<(const SignedInt64& b) const {
  if (*this == b) {
    return false;
  }
  if (IsNegative() != b.IsNegative()) {
    return IsNegative();
  }
  return Bits() < b.Bits();
}

}  // namespace zentor
