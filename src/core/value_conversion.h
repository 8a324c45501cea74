#pragma once
// Conversion of one value between two value kinds (the DVPType codes and the value
// stack's item kinds). Every typed pop of the value stack, every operand of the
// operator executor, register reads and writes and the command handlers go through
// ConvertValue. The conversion is chosen by the conversion classes of the two kinds
// (integer, real, text, boolean, address): integers pass through a 16-byte
// intermediate, reals through the software IEEE package, addresses through the target
// interface.
//
// Values are byte images as the value stack holds them: integers little-endian in
// their size, "nstring" NUL-terminated, "lstring" a length byte and the characters,
// locations and ranges as their images (typed_location.h, address_range.h), a target
// address type as its 32-bit offset.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kInvalidRealOperation = 135;
inline constexpr uint32_t kInvalidTypeConversion = 140;
// Size of the buffers values are converted in; string destinations need this much.
inline constexpr uint32_t kValueBufferSize = 1024;

enum ConversionClass : uint32_t {
  kConversionInteger = 0,
  kConversionReal = 1,
  kConversionText = 2,
  kConversionBoolean = 3,
  kConversionAddress = 4,
};

// Converts the value at `source` of `sourceKind` into `destination` as
// `destinationKind`; the two may be the same buffer. Failures are thrown as DVError
// (140 no conversion, 135 packed decimal, 205 a string too long for "lstring", 2003
// an address of another class); a failed conversion leaves the destination as it was.
// Integers convert to reals at their full width and signedness; reals convert to
// integers rounded in the package's rounding mode and saturated at the destination
// type's range (a NaN saturates by its sign).
void ConvertValue(const void* source, uint16_t sourceKind, void* destination, uint16_t destinationKind);

// Class 0..4 of a kind, or message 140 for a kind without one.
uint32_t GetConversionClass(uint32_t kind);
// A copy of a value of one kind (nothing when source and destination coincide).
void CopySameKind(uint16_t kind, const void* source, void* destination);
// The integer (or "char", "bool1") value sign- or zero-extended into 16 bytes.
void WidenToOrd16(uint16_t kind, const void* source, uint8_t* wide);
// The low bytes of the 16-byte intermediate in the kind's size.
void NarrowFromOrd16(uint16_t kind, void* destination, const uint8_t* wide);
// A real or integer value as an 80-bit extended real (135 for packed decimal).
void LoadAsReal10(uint16_t kind, const void* source, uint8_t* real10);
// An 80-bit extended real stored as a real or integer kind (135 for packed decimal).
void StoreFromReal10(uint16_t kind, void* destination, const uint8_t* real10);
bool IsAllZero(const uint8_t* bytes, uint32_t count);

}  // namespace zentor
