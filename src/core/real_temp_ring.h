#pragma once
// The working store of real-number arithmetic in expressions. Operands are unpacked
// from their 4-, 8- or 10-byte IEEE forms (or from integers) into the working form of
// the software floating-point package, pushed on a ring of 16 temporaries, combined
// there and popped back into the wanted size. With TextToReal and RealToText this is
// the whole interface between the value model and the floating-point package; the
// operator executor and the value conversions are its users.

#include <cstddef>
#include <cstdint>

#include "core/soft_float.h"

namespace zentor {

// The ring (one per program). Push writes slot (index AND 15) and then increments the
// index; pop decrements it and reads that slot. There is no overflow or underflow
// check: a 17th push overwrites the oldest slot, and the index wraps.
//
// Value arguments point at the stored little-endian bytes of the value (2 or 4 bytes
// for integers, 4, 8 or 10 for reals); no alignment is needed.
class RealTempRing {
 public:
  static constexpr uint32_t kSlotCount = 16;

  // Condition words of CompareTop2 (the less and equal indications; both together with
  // bit 2 mean unordered).
  static constexpr uint32_t kConditionGreater = 0;
  static constexpr uint32_t kConditionLess = 1;
  static constexpr uint32_t kConditionEqual = 8;
  static constexpr uint32_t kConditionUnordered = 13;

  static void Push(const FloatUnpacked& value);
  static FloatUnpacked Pop();

  static void PushInt16(const void* value);
  static void PushInt32(const void* value);
  static void PushReal4(const void* value);
  static void PushReal8(const void* value);
  static void PushReal10(const void* value);
  static void PushReal10Pair(const void* first, const void* second);
  // Pushes +0; returns 0.
  static int PushZero();

  // Pop, round to a 32-bit integer in the package's rounding mode (saturating), store
  // 16 or 32 bits.
  static void PopInt16(void* value);
  static void PopInt32(void* value);
  // Pop and pack (rounding in the package's mode).
  static void PopReal4(void* value);
  static void PopReal8(void* value);
  static void PopReal10(void* value);

  // Pop b, pop a, push a+b or a*b.
  static void Add();
  static void Multiply();
  // Pop b (the top), pop a, push a-b or a/b.
  static void Subtract();
  static void Divide();
  // Multiplies the top by the integer -1.
  static void NegateTop();
  // Pops the top t, then the next n, and compares t with n: kConditionLess when t < n,
  // kConditionGreater when t > n, kConditionEqual, or kConditionUnordered (a NaN).
  static uint32_t CompareTop2();

  // The entry for real formats the ring does not handle: raises message 135
  // "Invalid real operation.".
  [[noreturn]] static void RaiseInvalid();

  // The index word (tests look at the wrap-around).
  static uint32_t Index();

 private:
  static FloatUnpacked s_slots[kSlotCount];
  static uint32_t s_index;
};

// The size kinds of a conversion request.
inline constexpr uint8_t kRealSizeKind4 = 1;   // any kind other than 2 and 3 means 4 bytes
inline constexpr uint8_t kRealSizeKind8 = 2;
inline constexpr uint8_t kRealSizeKind10 = 3;

// Room RealToText needs for the longest text and its NUL.
inline constexpr std::size_t kRealTextCapacity = kFloatTextCapacity;

// A request of the two real text conversions, built by the output formatter and the
// scanner.
struct RealConversionRequest {
  void* m_value = nullptr;       // the IEEE value (read by RealToText, written by TextToReal)
  uint8_t m_sizeKind = 0;        // kRealSizeKind8, kRealSizeKind10, anything else 4 bytes
  uint8_t m_textLength = 0;      // out (RealToText): length of the produced text
  char* m_text = nullptr;        // input text of TextToReal; output buffer of RealToText
  std::size_t m_textCapacity = kRealTextCapacity;  // size of the output buffer with its NUL
  uint16_t m_exponent = 0;       // out (RealToText): the unpacked binary exponent (low 16 bits)
  char m_firstCharacter = 0;     // out (RealToText): first character of the text
};

// Parses the NUL-terminated text into the value's format (8-byte double for size kind
// 2, 10-byte extended for 3, 4-byte single otherwise), rounding once, straight into
// that format. A text that is not a number stores +0. Returns 1 for a number, else 0.
int TextToReal(RealConversionRequest& request);

// Formats the value with 7 (4-byte), 15 (8-byte) or 19 (10-byte) significant digits,
// then trims the exponent: a zero exponent part ("E+00000") is removed, otherwise the
// leading zeros of its five digits. Fills in the length, the binary exponent and the
// first character. The text never goes past m_textCapacity (NUL included).
void RealToText(RealConversionRequest& request);

}  // namespace zentor
