#include "core/unsigned_int64.h"

#include "core/big_number.h"
#include "core/int64_words.h"
#include "core/signed_int64.h"
#include "support/rw_cstring.h"

namespace zentor {

UnsignedInt64::UnsignedInt64(const SignedInt64& value) : m_low(value.Low()), m_high(value.High()) {}

UnsignedInt64::UnsignedInt64(const RWCString& text) : UnsignedInt64(SignedInt64::FromText(text)) {}

uint32_t UnsignedInt64::CarryOut(uint32_t a, uint32_t b) {
  const uint32_t topA = a >> 31;
  const uint32_t topB = b >> 31;
  // Equal top bits: both set always carry, both clear never do. Otherwise the carry
  // out of bit 30 decides whether the single top bit overflows.
  if (topA == topB) {
    return topA;
  }
  return ((a & 0x7FFFFFFFu) + (b & 0x7FFFFFFFu)) >> 31;
}

UnsignedInt64 UnsignedInt64::Multiply32(uint32_t a, uint32_t b) {
  if (a == 0 || b == 0) {
    return UnsignedInt64();
  }
  const uint32_t ah = a >> 16;
  const uint32_t al = a & 0xFFFFu;
  const uint32_t bh = b >> 16;
  const uint32_t bl = b & 0xFFFFu;
  // Every partial product of two 16-bit halves fits one word; adding them through
  // += of a u32 carries into the high word.
  UnsignedInt64 r(ah * bh);
  r.ShiftLeft16();
  r += ah * bl;
  r += al * bh;
  r.ShiftLeft16();
  r += al * bl;
  return r;
}

void UnsignedInt64::ShiftLeft16() { int64_words::ShiftLeft16(m_low, m_high); }

void UnsignedInt64::ShiftRight16() { int64_words::ShiftRight16(m_low, m_high); }

UnsignedInt64& UnsignedInt64::operator+=(const UnsignedInt64& b) {
  const uint32_t carry = CarryOut(m_low, b.m_low);
  m_low += b.m_low;
  m_high += carry + b.m_high;
  return *this;
}

UnsignedInt64& UnsignedInt64::operator+=(uint32_t b) { return *this += UnsignedInt64(b); }

UnsignedInt64& UnsignedInt64::operator-=(const UnsignedInt64& b) {
  const uint32_t borrow = m_low < b.m_low ? 1u : 0u;
  m_low -= b.m_low;
  m_high = m_high - borrow - b.m_high;
  return *this;
}

UnsignedInt64& UnsignedInt64::operator-=(uint32_t b) { return *this -= UnsignedInt64(b); }

UnsignedInt64& UnsignedInt64::operator*=(const UnsignedInt64& b) {
  const UnsignedInt64 p0 = Multiply32(m_low, b.m_low);
  const UnsignedInt64 p1 = Multiply32(m_low, b.m_high);
  const UnsignedInt64 p2 = Multiply32(m_high, b.m_low);
  // high * b.high lies entirely above bit 63.
  UnsignedInt64 cross = p2 + p1;
  cross <<= 32u;
  *this = cross + p0;
  return *this;
}

UnsignedInt64& UnsignedInt64::operator*=(uint32_t b) {
  UnsignedInt64 upper = Multiply32(m_high, b);
  upper <<= 32u;
  *this = Multiply32(m_low, b) + upper;
  return *this;
}

UnsignedInt64& UnsignedInt64::operator/=(const UnsignedInt64& b) {
  if (m_high == 0 && b.m_high == 0) {
    // The common case takes one 32-bit division; it must not trap on a zero divisor.
    if (b.m_low == 0) {
      RaiseDivisionByZero();
    }
    m_low /= b.m_low;
    return *this;
  }
  *this = (BigNumber(*this) / BigNumber(b)).ToUnsigned();
  return *this;
}

UnsignedInt64& UnsignedInt64::operator/=(uint32_t b) {
  if (m_high == 0) {
    if (b == 0) {
      RaiseDivisionByZero();
    }
    m_low /= b;
    return *this;
  }
  return *this /= UnsignedInt64(b);
}

UnsignedInt64& UnsignedInt64::operator%=(const UnsignedInt64& b) {
  *this = (BigNumber(*this) % BigNumber(b)).ToUnsigned();
  return *this;
}

UnsignedInt64& UnsignedInt64::operator%=(uint32_t b) { return *this %= UnsignedInt64(b); }

UnsignedInt64& UnsignedInt64::operator&=(const UnsignedInt64& b) {
  m_low &= b.m_low;
  m_high &= b.m_high;
  return *this;
}

UnsignedInt64& UnsignedInt64::operator&=(uint32_t b) { return *this &= UnsignedInt64(b); }

UnsignedInt64& UnsignedInt64::operator|=(const UnsignedInt64& b) {
  m_low |= b.m_low;
  m_high |= b.m_high;
  return *this;
}

UnsignedInt64& UnsignedInt64::operator|=(uint32_t b) { return *this |= UnsignedInt64(b); }

UnsignedInt64& UnsignedInt64::operator^=(const UnsignedInt64& b) {
  m_low ^= b.m_low;
  m_high ^= b.m_high;
  return *this;
}

UnsignedInt64& UnsignedInt64::operator^=(uint32_t b) { return *this ^= UnsignedInt64(b); }

UnsignedInt64& UnsignedInt64::operator<<=(uint32_t count) {
  int64_words::ShiftLeft(m_low, m_high, count);
  return *this;
}

UnsignedInt64& UnsignedInt64::operator<<=(const UnsignedInt64& count) {
  if (count.m_high != 0 || count.m_low >= 64) {
    return *this <<= 64u;
  }
  return *this <<= count.m_low;
}

UnsignedInt64& UnsignedInt64::operator>>=(uint32_t count) {
  int64_words::ShiftRight(m_low, m_high, count);
  return *this;
}

UnsignedInt64& UnsignedInt64::operator>>=(const UnsignedInt64& count) {
  if (count.m_high != 0 || count.m_low >= 64) {
    return *this >>= 64u;
  }
  return *this >>= count.m_low;
}

UnsignedInt64& UnsignedInt64::operator++() {
  ++m_low;
  if (m_low == 0) {
    ++m_high;
  }
  return *this;
}

UnsignedInt64 UnsignedInt64::operator++(int) {
  const UnsignedInt64 before = *this;
  ++*this;
  return before;
}

UnsignedInt64& UnsignedInt64::operator--() {
  if (m_low == 0) {
    --m_high;
  }
  --m_low;
  return *this;
}

UnsignedInt64 UnsignedInt64::operator--(int) {
  const UnsignedInt64 before = *this;
  --*this;
  return before;
}

}  // namespace zentor
