#include "support/rw_pstream.h"

#include <climits>
#include <istream>
#include <ostream>
#include <string>

namespace zentor {

namespace {

constexpr char kEscape = '\\';

bool WrittenAsItself(unsigned char value) { return value > 0x20 && value < 0x7F && value != kEscape; }

bool IsOctalDigit(int c) { return c >= '0' && c <= '7'; }

}  // namespace

// ---- RWpostream ----

bool RWpostream::good() const { return m_out.good(); }
bool RWpostream::eof() const { return m_out.eof(); }
bool RWpostream::fail() const { return m_out.fail(); }
bool RWpostream::bad() const { return m_out.bad(); }
void RWpostream::setFail() { m_out.setstate(std::ios::failbit); }
void RWpostream::clear() { m_out.clear(); }

void RWpostream::PutCharacter(unsigned char value) {
  if (WrittenAsItself(value)) {
    m_out.put(static_cast<char>(value));
  } else {
    m_out.put(kEscape);
    m_out.put(static_cast<char>('0' + ((value >> 6) & 7)));
    m_out.put(static_cast<char>('0' + ((value >> 3) & 7)));
    m_out.put(static_cast<char>('0' + (value & 7)));
  }
  m_out.put(' ');
}

void RWpostream::PutSigned(long long value) {
  m_out << value;
  m_out.put(' ');
}

void RWpostream::PutUnsigned(unsigned long long value) {
  m_out << value;
  m_out.put(' ');
}

RWvostream& RWpostream::operator<<(char value) {
  PutCharacter(static_cast<unsigned char>(value));
  return *this;
}
RWvostream& RWpostream::operator<<(signed char value) {
  PutCharacter(static_cast<unsigned char>(value));
  return *this;
}
RWvostream& RWpostream::operator<<(unsigned char value) {
  PutCharacter(value);
  return *this;
}
RWvostream& RWpostream::operator<<(short value) {
  PutSigned(value);
  return *this;
}
RWvostream& RWpostream::operator<<(unsigned short value) {
  PutUnsigned(value);
  return *this;
}
RWvostream& RWpostream::operator<<(int value) {
  PutSigned(value);
  return *this;
}
RWvostream& RWpostream::operator<<(unsigned int value) {
  PutUnsigned(value);
  return *this;
}
RWvostream& RWpostream::operator<<(long value) {
  PutSigned(value);
  return *this;
}
RWvostream& RWpostream::operator<<(unsigned long value) {
  PutUnsigned(value);
  return *this;
}
RWvostream& RWpostream::flush() {
  m_out.flush();
  return *this;
}

// ---- RWpistream ----

bool RWpistream::good() const { return m_in.good(); }
bool RWpistream::eof() const { return m_in.eof(); }
bool RWpistream::fail() const { return m_in.fail(); }
bool RWpistream::bad() const { return m_in.bad(); }
void RWpistream::setFail() { m_in.setstate(std::ios::failbit); }
void RWpistream::clear() { m_in.clear(); }

bool RWpistream::SkipSpace() {
  if (!m_in.good()) {
    m_in.setstate(std::ios::failbit);
    return false;
  }
  for (;;) {
    int c = m_in.peek();
    if (c == std::char_traits<char>::eof()) {
      m_in.setstate(std::ios::eofbit | std::ios::failbit);
      return false;
    }
    if (c != ' ' && c != '\n' && c != '\t' && c != '\r' && c != '\f' && c != '\v') return true;
    m_in.get();
  }
}

bool RWpistream::GetCharacter(unsigned char& value) {
  if (!SkipSpace()) return false;
  int c = m_in.get();
  if (c != kEscape) {
    value = static_cast<unsigned char>(c);
    return true;
  }
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    int digit = m_in.peek();
    if (!IsOctalDigit(digit)) {
      m_in.setstate(std::ios::failbit);
      return false;
    }
    m_in.get();
    code = code * 8 + (digit - '0');
  }
  if (code > UCHAR_MAX) {
    m_in.setstate(std::ios::failbit);
    return false;
  }
  value = static_cast<unsigned char>(code);
  return true;
}

bool RWpistream::GetUnsigned(unsigned long long maximum, unsigned long long& value) {
  if (!SkipSpace()) return false;
  unsigned long long result = 0;
  int digits = 0;
  for (;;) {
    int c = m_in.peek();
    if (c < '0' || c > '9') break;
    m_in.get();
    unsigned digit = static_cast<unsigned>(c - '0');
    if (result > (maximum - digit) / 10) {
      m_in.setstate(std::ios::failbit);
      return false;
    }
    result = result * 10 + digit;
    ++digits;
  }
  if (digits == 0) {
    m_in.setstate(std::ios::failbit);
    return false;
  }
  value = result;
  return true;
}

bool RWpistream::GetSigned(long long minimum, long long maximum, long long& value) {
  if (!SkipSpace()) return false;
  bool negative = m_in.peek() == '-';
  if (negative) m_in.get();
  // The magnitude of the most negative value is one more than the largest value.
  unsigned long long limit = negative ? static_cast<unsigned long long>(-(minimum + 1)) + 1
                                      : static_cast<unsigned long long>(maximum);
  unsigned long long magnitude = 0;
  int c = m_in.peek();
  if (c < '0' || c > '9') {
    m_in.setstate(std::ios::failbit);
    return false;
  }
  if (!GetUnsigned(limit, magnitude)) return false;
  if (!negative) {
    value = static_cast<long long>(magnitude);
  } else if (magnitude == 0) {
    value = 0;
  } else {
    value = -static_cast<long long>(magnitude - 1) - 1;
  }
  return true;
}

RWvistream& RWpistream::operator>>(char& value) {
  unsigned char c = 0;
  if (GetCharacter(c)) value = static_cast<char>(c);
  return *this;
}
RWvistream& RWpistream::operator>>(signed char& value) {
  unsigned char c = 0;
  if (GetCharacter(c)) value = static_cast<signed char>(c);
  return *this;
}
RWvistream& RWpistream::operator>>(unsigned char& value) {
  unsigned char c = 0;
  if (GetCharacter(c)) value = c;
  return *this;
}
RWvistream& RWpistream::operator>>(short& value) {
  long long v = 0;
  if (GetSigned(SHRT_MIN, SHRT_MAX, v)) value = static_cast<short>(v);
  return *this;
}
RWvistream& RWpistream::operator>>(unsigned short& value) {
  unsigned long long v = 0;
  if (GetUnsigned(USHRT_MAX, v)) value = static_cast<unsigned short>(v);
  return *this;
}
RWvistream& RWpistream::operator>>(int& value) {
  long long v = 0;
  if (GetSigned(INT_MIN, INT_MAX, v)) value = static_cast<int>(v);
  return *this;
}
RWvistream& RWpistream::operator>>(unsigned int& value) {
  unsigned long long v = 0;
  if (GetUnsigned(UINT_MAX, v)) value = static_cast<unsigned int>(v);
  return *this;
}
RWvistream& RWpistream::operator>>(long& value) {
  long long v = 0;
  if (GetSigned(LONG_MIN, LONG_MAX, v)) value = static_cast<long>(v);
  return *this;
}
RWvistream& RWpistream::operator>>(unsigned long& value) {
  unsigned long long v = 0;
  if (GetUnsigned(ULONG_MAX, v)) value = static_cast<unsigned long>(v);
  return *this;
}

}  // namespace zentor
