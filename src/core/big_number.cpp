#include "core/big_number.h"

#include <utility>

#include "core/dv_error.h"

namespace zentor {

namespace {

// The source and line the zero-divisor error names: the message tells the user which
// check fired, so it is the same on every division path.
constexpr const char* kDivisionSource = "DV/bignum";
constexpr int kDivisionLine = 274;

using Digits = std::vector<uint16_t>;

// The operands and results of the last completed division.
struct DivisionCache {
  bool m_filled = false;
  BigNumber m_dividend;
  BigNumber m_divisor;
  BigNumber m_quotient;
  BigNumber m_remainder;
};

DivisionCache& TheDivisionCache() {
  static DivisionCache cache;
  return cache;
}

// A magnitude (unsigned digit string) as a non-negative number.
BigNumber FromMagnitude(Digits digits) {
  if (!digits.empty() && (digits[0] & 0x8000u) != 0) {
    digits.insert(digits.begin(), 0);
  }
  return BigNumber(std::move(digits));
}

// Short division of an unsigned digit string by one digit; returns the remainder.
uint32_t ShortDivide(const Digits& dividend, uint32_t divisor, Digits& quotient) {
  quotient.assign(dividend.size(), 0);
  uint32_t remainder = 0;
  for (size_t i = 0; i < dividend.size(); ++i) {
    const uint32_t current = (remainder << 16) | dividend[i];
    const uint32_t digit = current / divisor;
    quotient[i] = static_cast<uint16_t>(digit);
    remainder = current - digit * divisor;
  }
  return remainder;
}

void StripLeadingZeros(Digits& digits) {
  size_t first = 0;
  while (first + 1 < digits.size() && digits[first] == 0) {
    ++first;
  }
  digits.erase(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(first));
}

// Long division of unsigned digit strings a >= b, b at least two digits after the
// leading zeros are stripped or a single digit (then d = 1 and V[1] reads as 0).
void LongDivide(Digits a, Digits b, Digits& quotient, Digits& remainder) {
  StripLeadingZeros(a);
  StripLeadingZeros(b);
  const size_t m = a.size();
  const size_t n = b.size();
  // The caller guarantees a >= b, so m >= n.
  const uint32_t d = 65536u / (static_cast<uint32_t>(b[0]) + 1u);

  // U = A * d with one extra leading digit, V = B * d; V[0] then has bit 15 set.
  Digits u(m + 1, 0);
  uint32_t carry = 0;
  for (size_t i = m; i-- > 0;) {
    const uint32_t product = static_cast<uint32_t>(a[i]) * d + carry;
    u[i + 1] = static_cast<uint16_t>(product);
    carry = product >> 16;
  }
  u[0] = static_cast<uint16_t>(carry);
  Digits v(n, 0);
  carry = 0;
  for (size_t i = n; i-- > 0;) {
    const uint32_t product = static_cast<uint32_t>(b[i]) * d + carry;
    v[i] = static_cast<uint16_t>(product);
    carry = product >> 16;
  }

  auto uAt = [&](size_t i) -> uint32_t { return i < u.size() ? u[i] : 0u; };
  const uint32_t v0 = v[0];
  const uint32_t v1 = n > 1 ? v[1] : 0u;

  quotient.assign(m - n + 1, 0);
  Digits t(n + 1, 0);
  for (size_t j = 0; j <= m - n; ++j) {
    const uint32_t top = (uAt(j) << 16) | uAt(j + 1);
    uint32_t qhat = uAt(j) == v0 ? 0xFFFFu : top / v0;
    // Two corrections at most make qhat exact or one too large.
    for (;;) {
      const uint32_t r = top - qhat * v0;
      if (r >= 65536u || qhat * v1 <= ((r << 16) | uAt(j + 2))) {
        break;
      }
      --qhat;
    }
    // T = V * qhat, subtracted from U[j] .. U[j+n].
    carry = 0;
    for (size_t i = n; i-- > 0;) {
      const uint32_t product = static_cast<uint32_t>(v[i]) * qhat + carry;
      t[i + 1] = static_cast<uint16_t>(product);
      carry = product >> 16;
    }
    t[0] = static_cast<uint16_t>(carry);
    uint32_t borrow = 0;
    for (size_t i = n + 1; i-- > 0;) {
      const int32_t difference =
          static_cast<int32_t>(u[j + i]) - static_cast<int32_t>(t[i]) - static_cast<int32_t>(borrow);
      borrow = difference < 0 ? 1u : 0u;
      u[j + i] = static_cast<uint16_t>(difference);
    }
    if (borrow != 0) {
      // qhat was one too large: add V back.
      carry = 0;
      for (size_t i = n; i-- > 0;) {
        const uint32_t sum = static_cast<uint32_t>(u[j + 1 + i]) + v[i] + carry;
        u[j + 1 + i] = static_cast<uint16_t>(sum);
        carry = sum >> 16;
      }
      u[j] = static_cast<uint16_t>(u[j] + carry);
      --qhat;
    }
    quotient[j] = static_cast<uint16_t>(qhat);
  }

  const Digits scaled(u.begin() + static_cast<std::ptrdiff_t>(m - n + 1), u.end());
  if (d == 1) {
    remainder = scaled;
  } else {
    ShortDivide(scaled, d, remainder);
  }
}

}  // namespace

void RaiseDivisionByZero() { RaiseInternalError(kDivisionSource, kDivisionLine); }

BigNumber::BigNumber() : m_digits(std::make_shared<const Digits>(Digits{0})) {}

BigNumber::BigNumber(int32_t value) {
  const uint32_t bits = static_cast<uint32_t>(value);
  Digits digits{static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits)};
  Normalise(digits);
  m_digits = std::make_shared<const Digits>(std::move(digits));
}

BigNumber::BigNumber(uint32_t value) {
  Digits digits{0, static_cast<uint16_t>(value >> 16), static_cast<uint16_t>(value)};
  Normalise(digits);
  m_digits = std::make_shared<const Digits>(std::move(digits));
}

BigNumber::BigNumber(const SignedInt64& value) {
  Digits digits{static_cast<uint16_t>(value.High() >> 16), static_cast<uint16_t>(value.High()),
                static_cast<uint16_t>(value.Low() >> 16), static_cast<uint16_t>(value.Low())};
  Normalise(digits);
  m_digits = std::make_shared<const Digits>(std::move(digits));
}

BigNumber::BigNumber(const UnsignedInt64& value) {
  Digits digits{0, static_cast<uint16_t>(value.High() >> 16), static_cast<uint16_t>(value.High()),
                static_cast<uint16_t>(value.Low() >> 16), static_cast<uint16_t>(value.Low())};
  Normalise(digits);
  m_digits = std::make_shared<const Digits>(std::move(digits));
}

BigNumber::BigNumber(std::vector<uint16_t> digits) {
  if (digits.empty()) {
    digits.push_back(0);
  }
  Normalise(digits);
  m_digits = std::make_shared<const Digits>(std::move(digits));
}

bool BigNumber::operator==(const BigNumber& other) const {
  return m_digits == other.m_digits || *m_digits == *other.m_digits;
}

bool BigNumber::IsNegative() const { return ((*m_digits)[0] & 0x8000u) != 0; }

BigNumber BigNumber::Negate() const {
  const Digits& source = *m_digits;
  // A negative number needs one more digit for its magnitude (-32768 -> 0x0000 0x8000).
  const size_t extra = IsNegative() ? 1 : 0;
  Digits result(source.size() + extra, 0);
  uint32_t carry = 1;
  for (size_t i = source.size(); i-- > 0;) {
    const uint32_t sum = static_cast<uint32_t>(static_cast<uint16_t>(~source[i])) + carry;
    result[i + extra] = static_cast<uint16_t>(sum);
    carry = sum >> 16;
  }
  return BigNumber(std::move(result));
}

BigNumber BigNumber::Copy() const { return BigNumber(Digits(*m_digits)); }

uint16_t BigNumber::DigitAt(uint32_t index) const {
  if (index >= m_digits->size()) {
    ZENTOR_INTERNAL_ERROR();
  }
  return (*m_digits)[index];
}

int BigNumber::CompareDigits(const uint16_t* a, const uint16_t* b, uint32_t count) {
  if (a == b) {
    return 0;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) {
      return a[i] > b[i] ? 1 : -1;
    }
  }
  return 0;
}

void BigNumber::Normalise(std::vector<uint16_t>& digits) {
  size_t first = 0;
  while (digits.size() - first > 1) {
    const uint16_t lead = digits[first];
    const bool nextNegative = (digits[first + 1] & 0x8000u) != 0;
    if ((lead == 0x0000 && !nextNegative) || (lead == 0xFFFF && nextNegative)) {
      ++first;
    } else {
      break;
    }
  }
  if (first != 0) {
    digits.erase(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(first));
  }
}

// 1. The same operands as the last completed division return its results.
// 2. The operands become magnitudes; the signs are applied at the end.
// 3. A one-digit divisor takes a short division (a zero digit raises).
// 4. A divisor with more digits, or as many and a greater value, gives quotient 0.
// 5. Otherwise long division with a normalising factor and two-digit estimates.
// 6. The quotient takes the sign of a * b, the remainder that of a; both are cached.
void BigNumber::Divide(const BigNumber& dividend, const BigNumber& divisor, BigNumber& quotient,
                       BigNumber& remainder) {
  DivisionCache& cache = TheDivisionCache();
  if (cache.m_filled && dividend == cache.m_dividend && divisor == cache.m_divisor) {
    quotient = cache.m_quotient;
    remainder = cache.m_remainder;
    return;
  }

  const bool negativeA = dividend.IsNegative();
  const bool negativeB = divisor.IsNegative();
  const BigNumber magnitudeA = negativeA ? dividend.Negate() : dividend.Copy();
  const BigNumber magnitudeB = negativeB ? divisor.Negate() : divisor.Copy();
  const Digits& a = *magnitudeA.m_digits;
  const Digits& b = *magnitudeB.m_digits;

  BigNumber q;
  BigNumber r;
  if (b.size() == 1) {
    if (b[0] == 0) {
      RaiseDivisionByZero();
    }
    Digits digits;
    const uint32_t rest = ShortDivide(a, b[0], digits);
    q = BigNumber(std::move(digits));
    r = BigNumber(rest);
  } else if (b.size() > a.size()) {
    r = magnitudeA;
  } else {
    const int order = b.size() == a.size()
                          ? CompareDigits(a.data(), b.data(), static_cast<uint32_t>(a.size()))
                          : 1;
    if (order < 0) {
      r = magnitudeA;
    } else if (order == 0) {
      q = BigNumber(static_cast<int32_t>(1));
    } else {
      Digits quotientDigits;
      Digits remainderDigits;
      LongDivide(a, b, quotientDigits, remainderDigits);
      q = FromMagnitude(std::move(quotientDigits));
      r = FromMagnitude(std::move(remainderDigits));
    }
  }
  if (negativeA != negativeB) {
    q = q.Negate();
  }
  if (negativeA) {
    r = r.Negate();
  }

  cache.m_dividend = dividend;
  cache.m_divisor = divisor;
  cache.m_quotient = q;
  cache.m_remainder = r;
  cache.m_filled = true;
  quotient = q;
  remainder = r;
}

BigNumber BigNumber::operator/(const BigNumber& divisor) const {
  BigNumber quotient;
  BigNumber remainder;
  Divide(*this, divisor, quotient, remainder);
  return quotient;
}

BigNumber BigNumber::operator%(const BigNumber& divisor) const {
  BigNumber quotient;
  BigNumber remainder;
  Divide(*this, divisor, quotient, remainder);
  return remainder;
}

UnsignedInt64 BigNumber::FillLow64(UnsignedInt64 start) const {
  const Digits& digits = *m_digits;
  const size_t first = digits.size() > 4 ? digits.size() - 4 : 0;
  UnsignedInt64 value = start;
  for (size_t i = first; i < digits.size(); ++i) {
    value <<= 16u;
    value |= static_cast<uint32_t>(digits[i]);
  }
  return value;
}

UnsignedInt64 BigNumber::ToUnsigned() const { return FillLow64(UnsignedInt64()); }

SignedInt64 BigNumber::ToSigned() const {
  return SignedInt64(FillLow64(IsNegative() ? UnsignedInt64(OrdinalValue::AllOnes) : UnsignedInt64()));
}

}  // namespace zentor
