#pragma once
// Integers of every size are shown through one value type, DisplayInteger, written to
// an output stream. The radix comes from the stream's own base flags when the caller
// has set them (std::hex, std::dec), otherwise from the display base that the
// number-base command sets. Binary and hexadecimal texts show every digit of the
// value's size (leading zeros kept); decimal texts drop leading zeros. With
// std::showbase the texts carry the prefixes "0y" (binary), "0n" (decimal) and "0x"
// (hexadecimal), the ones the integer parser reads back.
//
// A standard stream starts with its decimal flag set: clear the base field (or write
// DisplayDefaultBase) to have integers follow the display base.

#include <cstdint>
#include <ostream>

#include "core/signed_int64.h"
#include "core/unsigned_int64.h"

namespace zentor {

class DisplayInteger {
 public:
  // The value (sign-extended from a signed source, zero-extended from an unsigned
  // one), whether the source was signed, and its size in bytes.
  DisplayInteger(const SignedInt64& value, uint32_t isSigned, uint32_t size)
      : m_value(value), m_signed(isSigned), m_size(size) {}
  // A target address offset, unsigned, in the size of an address offset.
  static DisplayInteger DisplayInteger_FromAddress(uint32_t offset);

  // Writes the text in radix 2, 10 or 16 with the stream's show-base, width, fill and
  // upper-case settings.
  void Write(std::ostream& stream, uint32_t radix) const;

  const SignedInt64& Value() const { return m_value; }
  uint32_t IsSigned() const { return m_signed; }
  uint32_t Size() const { return m_size; }

 private:
  SignedInt64 m_value;
  uint32_t m_signed;
  uint32_t m_size;
};

DisplayInteger MakeDisplayInteger_Int8(int8_t value);
DisplayInteger MakeDisplayInteger_UInt8(uint8_t value);
DisplayInteger MakeDisplayInteger_Int16(int16_t value);
DisplayInteger MakeDisplayInteger_UInt16(uint16_t value);
DisplayInteger MakeDisplayInteger_Int32(int32_t value);
DisplayInteger MakeDisplayInteger_UInt32(uint32_t value);
DisplayInteger MakeDisplayInteger_Int64(const SignedInt64& value);
DisplayInteger MakeDisplayInteger_UInt64(const UnsignedInt64& value);

// Stream manipulators shared by all streams: after DisplayBinary every integer written
// to a stream without base flags is binary until DisplayDefaultBase (or a write with
// an explicit base flag).
std::ostream& DisplayBinary(std::ostream& stream);
std::ostream& DisplayDefaultBase(std::ostream& stream);

std::ostream& operator<<(std::ostream& stream, const DisplayInteger& value);

}  // namespace zentor
