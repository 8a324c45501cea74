#include "core/real_temp_ring.h"

#include <cstring>

#include "core/dv_error.h"
#include "core/value_bytes.h"

namespace zentor {

namespace {

constexpr uint32_t kInvalidRealOperation = 135;  // "Invalid real operation."

const uint8_t* Bytes(const void* value) { return static_cast<const uint8_t*>(value); }
uint8_t* Bytes(void* value) { return static_cast<uint8_t*>(value); }

// The formatter's significant digits for a size kind.
uint32_t DigitsForSizeKind(uint8_t sizeKind) {
  switch (sizeKind) {
    case kRealSizeKind8: return 15;
    case kRealSizeKind10: return 19;
    default: return 7;
  }
}

}  // namespace

FloatUnpacked RealTempRing::s_slots[RealTempRing::kSlotCount];
uint32_t RealTempRing::s_index = 0;

void RealTempRing::Push(const FloatUnpacked& value) {
  s_slots[s_index & (kSlotCount - 1)] = value;
  ++s_index;
}

FloatUnpacked RealTempRing::Pop() {
  --s_index;
  return s_slots[s_index & (kSlotCount - 1)];
}

void RealTempRing::PushInt16(const void* value) {
  const uint16_t bits = value_bytes::LoadU16(Bytes(value));
  Push(UnpackInteger(static_cast<int16_t>(bits)));
}

void RealTempRing::PushInt32(const void* value) {
  const uint32_t bits = value_bytes::LoadU32(Bytes(value));
  Push(UnpackInteger(static_cast<int32_t>(bits)));
}

void RealTempRing::PushReal4(const void* value) { Push(UnpackSingle(Bytes(value))); }
void RealTempRing::PushReal8(const void* value) { Push(UnpackDouble(Bytes(value))); }
void RealTempRing::PushReal10(const void* value) { Push(UnpackExtended(Bytes(value))); }

void RealTempRing::PushReal10Pair(const void* first, const void* second) {
  PushReal10(first);
  PushReal10(second);
}

int RealTempRing::PushZero() {
  FloatUnpacked zero;
  MakeZero(zero);
  Push(zero);
  return 0;
}

void RealTempRing::PopInt16(void* value) {
  const uint32_t bits = static_cast<uint32_t>(PackInteger(Pop()));
  value_bytes::StoreU16(Bytes(value), static_cast<uint16_t>(bits));
}

void RealTempRing::PopInt32(void* value) {
  const uint32_t bits = static_cast<uint32_t>(PackInteger(Pop()));
  value_bytes::StoreU32(Bytes(value), bits);
}

void RealTempRing::PopReal4(void* value) { PackSingle(Pop(), Bytes(value)); }
void RealTempRing::PopReal8(void* value) { PackDouble(Pop(), Bytes(value)); }
void RealTempRing::PopReal10(void* value) { PackExtended(Pop(), Bytes(value)); }

void RealTempRing::Add() {
  const FloatUnpacked b = Pop();
  const FloatUnpacked a = Pop();
  Push(FloatAdd(a, b));
}

void RealTempRing::Multiply() {
  const FloatUnpacked b = Pop();
  const FloatUnpacked a = Pop();
  Push(FloatMultiply(a, b));
}

void RealTempRing::Subtract() {
  const FloatUnpacked b = Pop();
  const FloatUnpacked a = Pop();
  Push(FloatSubtract(a, b));
}

void RealTempRing::Divide() {
  const FloatUnpacked b = Pop();
  const FloatUnpacked a = Pop();
  Push(FloatDivide(a, b));
}

void RealTempRing::NegateTop() {
  const uint8_t minusOne[2] = {0xFF, 0xFF};
  PushInt16(minusOne);
  Multiply();
}

uint32_t RealTempRing::CompareTop2() {
  const FloatUnpacked top = Pop();
  const FloatUnpacked next = Pop();
  switch (FloatCompare(top, next)) {
    case kFloatLess: return kConditionLess;
    case kFloatGreater: return kConditionGreater;
    case kFloatEqual: return kConditionEqual;
    default: return kConditionUnordered;
  }
}

void RealTempRing::RaiseInvalid() { throw DVError(kInvalidRealOperation, kSeverityError, kDisplayByFocus); }

uint32_t RealTempRing::Index() { return s_index; }

int TextToReal(RealConversionRequest& request) {
  FloatFormat format = FloatFormat::Single;
  if (request.m_sizeKind == kRealSizeKind8) {
    format = FloatFormat::Double;
  } else if (request.m_sizeKind == kRealSizeKind10) {
    format = FloatFormat::Extended;
  }
  FloatUnpacked value;
  const int ok = TextToValue(request.m_text, value, format);
  if (request.m_value == nullptr) {
    return ok;
  }
  uint8_t* out = Bytes(request.m_value);
  switch (format) {
    case FloatFormat::Double: PackDouble(value, out); break;
    case FloatFormat::Extended: PackExtended(value, out); break;
    default: PackSingle(value, out); break;
  }
  return ok;
}

// 1. Unpack by the size kind and format with that kind's significant digits.
// 2. Trim the exponent part: "E+00000" goes, otherwise its leading zeros go.
// 3. Fill in length, binary exponent and first character; restore the 19 digits.
void RealToText(RealConversionRequest& request) {
  FloatUnpacked value;
  if (request.m_value != nullptr) {
    const uint8_t* in = Bytes(request.m_value);
    switch (request.m_sizeKind) {
      case kRealSizeKind8: value = UnpackDouble(in); break;
      case kRealSizeKind10: value = UnpackExtended(in); break;
      default: value = UnpackSingle(in); break;
    }
  }
  SignificantDigits = DigitsForSizeKind(request.m_sizeKind);
  char text[kRealTextCapacity];
  std::size_t length = ValueToText(value, text, sizeof(text));
  SignificantDigits = 19;

  // The exponent part is "E", a sign and exactly five digits at the end.
  if (length >= 7 && text[length - 7] == 'E' && (text[length - 6] == '+' || text[length - 6] == '-')) {
    const std::size_t digitsStart = length - 5;
    std::size_t firstNonZero = digitsStart;
    while (firstNonZero < length && text[firstNonZero] == '0') {
      ++firstNonZero;
    }
    if (firstNonZero == length) {
      length -= 7;
    } else {
      std::memmove(text + digitsStart, text + firstNonZero, length - firstNonZero);
      length -= firstNonZero - digitsStart;
    }
    text[length] = '\0';
  }

  request.m_exponent = static_cast<uint16_t>(static_cast<uint32_t>(value.m_exponent));
  request.m_firstCharacter = text[0];
  if (request.m_text == nullptr || request.m_textCapacity == 0) {
    request.m_textLength = 0;
    return;
  }
  const std::size_t written = length < request.m_textCapacity ? length : request.m_textCapacity - 1;
  std::memcpy(request.m_text, text, written);
  request.m_text[written] = '\0';
  request.m_textLength = static_cast<uint8_t>(written);
}

}  // namespace zentor
