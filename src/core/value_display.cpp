#include "core/value_display.h"

#include <string>

#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/number_base.h"

namespace zentor {
namespace {

constexpr char kDigits[] = "0123456789abcdef";

// Shared by all streams: the next integers are binary; the display base decides.
uint32_t g_binaryPending = 0;
uint32_t g_useDisplayBase = 1;

// Digits kept for a size: 8 or 2 per byte, at most the 64 bits of the value.
uint32_t KeptDigits(uint32_t size, uint32_t perByte, uint32_t total) {
  const uint64_t wanted = static_cast<uint64_t>(size) * perByte;
  return wanted < total ? static_cast<uint32_t>(wanted) : total;
}

DisplayInteger Unsigned(uint32_t value, uint32_t size) {
  return DisplayInteger(SignedInt64::FromWords(value, 0), 0, size);
}

DisplayInteger Signed(int32_t value, uint32_t size) { return DisplayInteger(SignedInt64(value), 1, size); }

// 1. An explicit base flag on the stream wins and switches the shared flags off.
// 2. Binary is pending after DisplayBinary.
// 3. Otherwise the display base is put on the stream for this one write, and the
//    stream and the shared flags are put back afterwards.
void WriteChosen(std::ostream& stream, const DisplayInteger& value) {
  const std::ios_base::fmtflags base = stream.flags() & std::ios_base::basefield;
  if (base == std::ios_base::hex) {
    g_binaryPending = 0;
    g_useDisplayBase = 0;
    value.Write(stream, 16);
    return;
  }
  if (base == std::ios_base::dec) {
    g_binaryPending = 0;
    g_useDisplayBase = 0;
    value.Write(stream, 10);
    return;
  }
  if (g_binaryPending == 1) {
    value.Write(stream, 2);
    return;
  }
  if (g_useDisplayBase == 0) {
    stream.setf(std::ios_base::dec, std::ios_base::basefield);
    WriteChosen(stream, value);
    return;
  }
  switch (GetDisplayBase()) {
    case 2:
      stream.unsetf(std::ios_base::basefield);
      g_binaryPending = 1;
      break;
    case 10:
      stream.setf(std::ios_base::dec, std::ios_base::basefield);
      g_binaryPending = 0;
      break;
    case 16:
      stream.setf(std::ios_base::hex, std::ios_base::basefield);
      g_binaryPending = 0;
      break;
    default:
      ZENTOR_INTERNAL_ERROR();
  }
  g_useDisplayBase = 0;
  WriteChosen(stream, value);
  stream.unsetf(std::ios_base::basefield);
  g_binaryPending = 0;
  g_useDisplayBase = 1;
}

}  // namespace

DisplayInteger DisplayInteger::DisplayInteger_FromAddress(uint32_t offset) {
  return Unsigned(offset, DVPTypeInfo::FromCode(kKindAddressOffset).Size() & 0xFFFFu);
}

void DisplayInteger::Write(std::ostream& stream, uint32_t radix) const {
  const uint64_t bits = (static_cast<uint64_t>(m_value.High()) << 32) | m_value.Low();
  const bool showBase = (stream.flags() & std::ios_base::showbase) != 0;
  std::string text;
  if (radix == 2) {
    std::string digits(64, '0');
    uint64_t rest = bits;
    for (int i = 63; i >= 0; --i, rest >>= 1) digits[static_cast<size_t>(i)] = kDigits[rest & 1u];
    text = digits.substr(64 - KeptDigits(m_size, 8, 64));
    if (showBase) text.insert(0, "0y");
  } else if (radix == 16) {
    std::string digits(16, '0');
    uint64_t rest = bits;
    for (int i = 15; i >= 0; --i, rest >>= 4) digits[static_cast<size_t>(i)] = kDigits[rest & 0xFu];
    text = digits.substr(16 - KeptDigits(m_size, 2, 16));
    if (showBase) text.insert(0, "0x");
  } else {
    const bool negative = m_signed == 1 && m_value.IsNegative();
    uint64_t magnitude = negative ? ~bits + 1 : bits;  // the most negative value reads as 2^63
    std::string digits(20, '0');
    for (int i = 19; magnitude != 0 && i >= 0; --i, magnitude /= 10) {
      digits[static_cast<size_t>(i)] = kDigits[magnitude % 10];
    }
    const size_t first = digits.find_first_not_of('0');
    text = first == std::string::npos ? std::string("0") : digits.substr(first);
    if (showBase) text.insert(0, "0n");
    if (negative) text.insert(0, "-");
  }
  const std::streamsize width = stream.width();
  if (width > 0 && static_cast<size_t>(width) > text.size()) {
    text.insert(0, static_cast<size_t>(width) - text.size(), stream.fill());
  }
  stream.width(0);
  if ((stream.flags() & std::ios_base::uppercase) != 0) {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
  }
  stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

DisplayInteger MakeDisplayInteger_Int8(int8_t value) { return Signed(value, 1); }
DisplayInteger MakeDisplayInteger_UInt8(uint8_t value) { return Unsigned(value, 1); }
DisplayInteger MakeDisplayInteger_Int16(int16_t value) { return Signed(value, 2); }
DisplayInteger MakeDisplayInteger_UInt16(uint16_t value) { return Unsigned(value, 2); }
DisplayInteger MakeDisplayInteger_Int32(int32_t value) { return Signed(value, 4); }
DisplayInteger MakeDisplayInteger_UInt32(uint32_t value) { return Unsigned(value, 4); }
DisplayInteger MakeDisplayInteger_Int64(const SignedInt64& value) { return DisplayInteger(value, 1, 8); }
DisplayInteger MakeDisplayInteger_UInt64(const UnsignedInt64& value) {
  return DisplayInteger(SignedInt64(value), 0, 8);
}

std::ostream& DisplayBinary(std::ostream& stream) {
  stream.unsetf(std::ios_base::basefield);
  g_binaryPending = 1;
  g_useDisplayBase = 0;
  return stream;
}

std::ostream& DisplayDefaultBase(std::ostream& stream) {
  stream.unsetf(std::ios_base::basefield);
  g_binaryPending = 0;
  g_useDisplayBase = 1;
  return stream;
}

std::ostream& operator<<(std::ostream& stream, const DisplayInteger& value) {
  WriteChosen(stream, value);
  return stream;
}

}  // namespace zentor
