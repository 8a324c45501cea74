#pragma once
// The debugger's own IEEE arithmetic. Target reals (single, double and 80-bit
// extended, as they lie in target memory and registers) are unpacked into one wide
// working form, computed on with integer operations only, packed back with IEEE
// rounding and converted to and from decimal text exactly. The host's floating-point
// unit never touches a target value, so both builds (64-bit Linux with SSE, 32-bit
// Windows with the x87) give the same bits. The real temporaries of the expression
// evaluator and the register view are the users.

#include <cstddef>
#include <cstdint>

namespace zentor {

// The working form: sign, unbiased exponent and a 64-bit mantissa held as four 16-bit
// words (most significant first, one per u32), the integer bit explicit at bit 15 of
// the first word. Finite non-zero values are normalised (that bit set); zero has
// exponent 0 and all words 0 (the sign is kept); infinities and NaNs have the marker
// exponent kFloatSpecialExponent, an infinity with the first word 0x8000 and the rest 0,
// a NaN with any other bit set (quiet when bit 14 of the first word is set).
struct FloatUnpacked {
  uint32_t m_sign = 0;
  int32_t m_exponent = 0;
  uint32_t m_words[4] = {0, 0, 0, 0};

  // The four words as one 64-bit mantissa (only the low 16 bits of each word count).
  uint64_t Mantissa() const;
  void SetMantissa(uint64_t mantissa);

  bool IsZero() const;
  bool IsInfinity() const;
  bool IsNaN() const;
  bool IsSignalingNaN() const;
};

inline constexpr int32_t kFloatSpecialExponent = 16385;  // infinity and NaN marker
inline constexpr int32_t kFloatMaxExponent = 16383;
inline constexpr int32_t kFloatMinExponent = -16383;
// The mantissa of the NaN an invalid operation produces (first word 0xE000).
inline constexpr uint64_t kDefaultNaNMantissa = 0xE000000000000000ull;

enum FloatRoundingMode : uint32_t {
  kRoundToNearest = 0,
  kRoundDownward = 1,
  kRoundUpward = 2,
  kRoundTowardZero = 3,
};

// Sticky status flags: set by the operations, cleared at the start of every
// text-to-value conversion (and by ClearFloatStatusFlags).
enum FloatStatusFlag : uint32_t {
  kFloatInvalid = 0x01,
  kFloatNaNProduced = 0x02,
  kFloatUnderflow = 0x04,
  kFloatOverflow = 0x08,
  kFloatInexact = 0x10,
  kFloatDivisionByZero = 0x20,
};

// Results of FloatCompare.
enum FloatOrder : int {
  kFloatLess = 0,
  kFloatGreater = 1,
  kFloatEqual = 2,
  kFloatUnordered = 3,
};

// The number of significant decimal digits D both text conversions use: 19 at
// start-up; the real formatter sets it to 7 or 15 while it formats a 4- or 8-byte
// value. Values outside 1..19 are taken as the nearest of the two (19 digits is what
// the 28-character text has room for).
extern uint32_t SignificantDigits;

// Package settings. A rounding mode outside 0..3 stores 0; a precision outside 1..64
// bits leaves the precision unchanged. The defaults are round to nearest and 64 bits.
void SetFloatRoundingMode(uint32_t mode);
uint32_t FloatRoundingMode();
void SetFloatPrecision(uint32_t bits);
uint32_t FloatPrecision();
uint32_t FloatStatusFlags();
void ClearFloatStatusFlags();

// The stored formats a value can be rounded into.
enum class FloatFormat : uint8_t {
  Single,    // 4 bytes, 24-bit significand
  Double,    // 8 bytes, 53-bit significand
  Extended,  // 10 bytes, 64-bit significand with explicit integer bit
  Working,   // the working form: working precision, extended exponent range
};

// Unpacking reads the little-endian stored bytes (4, 8 or 10 of them).
FloatUnpacked UnpackSingle(const uint8_t* bytes);
FloatUnpacked UnpackDouble(const uint8_t* bytes);
FloatUnpacked UnpackExtended(const uint8_t* bytes);
FloatUnpacked UnpackInteger(int32_t value);

// Packing rounds in the current rounding mode and writes 4, 8 or 10 bytes.
void PackSingle(const FloatUnpacked& value, uint8_t* bytes);
void PackDouble(const FloatUnpacked& value, uint8_t* bytes);
void PackExtended(const FloatUnpacked& value, uint8_t* bytes);
// Rounds to an integer in the current rounding mode. Magnitudes that do not fit 32
// bits (and infinities and NaNs) saturate: 2147483647 for positive values and
// -2147483648 for negative ones; they flag invalid.
int32_t PackInteger(const FloatUnpacked& value);

// Arithmetic on the working form, rounded to the working precision and the extended
// exponent range in the current rounding mode.
FloatUnpacked FloatAdd(const FloatUnpacked& a, const FloatUnpacked& b);
FloatUnpacked FloatSubtract(const FloatUnpacked& a, const FloatUnpacked& b);
FloatUnpacked FloatMultiply(const FloatUnpacked& a, const FloatUnpacked& b);
FloatUnpacked FloatDivide(const FloatUnpacked& a, const FloatUnpacked& b);
// Flips the sign (also of zeros, infinities and NaNs); exact, no flags.
FloatUnpacked FloatNegate(const FloatUnpacked& a);
// kFloatLess, kFloatGreater, kFloatEqual or kFloatUnordered (a NaN is involved).
int FloatCompare(const FloatUnpacked& a, const FloatUnpacked& b);
void MakeZero(FloatUnpacked& value);

// Rounds the working form into a format's precision and range (the result packs into
// that format exactly).
FloatUnpacked RoundToFormat(const FloatUnpacked& value, FloatFormat format);

// Text to value. Accepts white space, an optional sign, digits with at most one point,
// an optional exponent (then the text must end) or, without one, white space and
// anything after it; or the special forms INF, NAN and NAN(hex digits). At most D
// significant digits count. Returns 1 with the value, or 0 with +0 when the text is
// not a number. The decimal value is converted exactly and rounded once, into the
// working form or straight into a stored format's precision and range.
int TextToValue(const char* text, FloatUnpacked& value);
int TextToValue(const char* text, FloatUnpacked& value, FloatFormat format);

// Room for the longest text of ValueToText and its NUL.
inline constexpr std::size_t kFloatTextCapacity = 29;

// Value to text: a sign, then "INF", "NAN", "NAN(" 16 hex digits ")", or D significant
// digits as d.ddd, "E", the exponent's sign and five exponent digits. Writes at most
// capacity - 1 characters and a NUL (nothing when capacity is 0); returns the length
// written.
std::size_t ValueToText(const FloatUnpacked& value, char* buffer, std::size_t capacity);

}  // namespace zentor
