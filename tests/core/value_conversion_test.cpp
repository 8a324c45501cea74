#include "core/value_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/value_bytes.h"
#include "core/value_test_support.h"
#include "target/tmi_address.h"

namespace zentor {
namespace {

using namespace value_bytes;
using testing_support::ErrorNumberOf;
using testing_support::LocationAt;
using testing_support::MemoryAt;
using testing_support::RegisterAt;
using testing_support::ValueTestEnvironment;

class ValueConversionTest : public ValueTestEnvironment {};

struct Buffer {
  uint8_t bytes[kValueBufferSize] = {};
};

template <typename T>
Buffer BytesOf(T value) {
  Buffer buffer;
  std::memcpy(buffer.bytes, &value, sizeof value);
  return buffer;
}

template <typename T>
T ValueOf(const Buffer& buffer) {
  T value;
  std::memcpy(&value, buffer.bytes, sizeof value);
  return value;
}

Buffer Convert(const Buffer& source, uint16_t from, uint16_t to) {
  Buffer out;
  ConvertValue(source.bytes, from, out.bytes, to);
  return out;
}

// Native integer conversions are the reference for the kinds of 1 to 8 bytes.
template <typename From, typename To>
void CheckIntegerPair(std::mt19937_64& random, uint16_t fromKind, uint16_t toKind) {
  for (int i = 0; i < 200; ++i) {
    const From value = static_cast<From>(random());
    const To expected = static_cast<To>(value);
    EXPECT_EQ(ValueOf<To>(Convert(BytesOf(value), fromKind, toKind)), expected)
        << "from kind " << fromKind << " to " << toKind << " value " << +value;
  }
}

template <typename From>
void CheckFromKind(std::mt19937_64& random, uint16_t fromKind) {
  CheckIntegerPair<From, uint8_t>(random, fromKind, kKindOrd1);
  CheckIntegerPair<From, uint16_t>(random, fromKind, kKindOrd2);
  CheckIntegerPair<From, uint32_t>(random, fromKind, kKindOrd4);
  CheckIntegerPair<From, uint64_t>(random, fromKind, kKindOrd8);
  CheckIntegerPair<From, uint64_t>(random, fromKind, kKindOrdinal);
  CheckIntegerPair<From, int8_t>(random, fromKind, kKindInt1);
  CheckIntegerPair<From, int16_t>(random, fromKind, kKindInt2);
  CheckIntegerPair<From, int32_t>(random, fromKind, kKindInt4);
  CheckIntegerPair<From, int64_t>(random, fromKind, kKindInt8);
}

TEST_F(ValueConversionTest, IntegersExtendAndTruncateLikeNativeIntegers) {
  const uint64_t seed = 0x5EED0001;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  CheckFromKind<uint8_t>(random, kKindOrd1);
  CheckFromKind<uint16_t>(random, kKindOrd2);
  CheckFromKind<uint32_t>(random, kKindOrd4);
  CheckFromKind<uint64_t>(random, kKindOrd8);
  CheckFromKind<uint64_t>(random, kKindOrdinal);
  CheckFromKind<int8_t>(random, kKindInt1);
  CheckFromKind<int16_t>(random, kKindInt2);
  CheckFromKind<int32_t>(random, kKindInt4);
  CheckFromKind<int64_t>(random, kKindInt8);
  CheckFromKind<uint32_t>(random, kKindCode1);  // read as "ord4"
}

TEST_F(ValueConversionTest, WideIntegersUseTheWholeIntermediate) {
  // "int1" -1 fills all 16 bytes of an "ord16"; "ord16" narrows by truncation.
  Buffer wide = Convert(BytesOf<int8_t>(-1), kKindInt1, kKindOrd16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wide.bytes[i], 0xFF);
  Buffer ord12 = Convert(BytesOf<int16_t>(-2), kKindInt2, kKindOrd12);
  EXPECT_EQ(ord12.bytes[0], 0xFE);
  EXPECT_EQ(ord12.bytes[11], 0xFF);
  EXPECT_EQ(ord12.bytes[12], 0x00) << "nothing beyond the kind's size";
  Buffer source;
  for (int i = 0; i < 16; ++i) source.bytes[i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(ValueOf<uint32_t>(Convert(source, kKindOrd16, kKindOrd4)), 0x04030201u);
  EXPECT_EQ(ValueOf<uint64_t>(Convert(source, kKindOrd10, kKindOrd8)), 0x0807060504030201u);
  EXPECT_EQ(ValueOf<uint8_t>(Convert(BytesOf<uint8_t>(255), kKindOrd1, kKindInt8)), 255);
  EXPECT_EQ(ValueOf<int64_t>(Convert(BytesOf<uint8_t>(255), kKindOrd1, kKindInt8)), 255);
}

// The reference: the host converts a 64-bit integer to an 80-bit real exactly and
// rounds that once into the smaller format.
template <typename T>
void CheckIntegerToReal(std::mt19937_64& random, uint16_t kind, int shiftLimit) {
  for (int i = 0; i < 400; ++i) {
    const int shift = static_cast<int>(random() % static_cast<uint64_t>(shiftLimit));
    const T value = static_cast<T>(random() >> shift);
    const long double exact = static_cast<long double>(value);
    const volatile double asDouble = static_cast<double>(exact);
    const volatile float asFloat = static_cast<float>(exact);
    EXPECT_EQ(ValueOf<double>(Convert(BytesOf(value), kind, kKindReal8)), asDouble) << "kind " << kind << " " << +value;
    EXPECT_EQ(ValueOf<float>(Convert(BytesOf(value), kind, kKindReal4)), asFloat) << "kind " << kind << " " << +value;
  }
}

TEST_F(ValueConversionTest, IntegersBecomeRealsAtTheirFullWidthAndSign) {
  const uint64_t seed = 0x5EED0002;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  CheckIntegerToReal<int64_t>(random, kKindInt8, 64);
  CheckIntegerToReal<uint64_t>(random, kKindOrd8, 64);
  CheckIntegerToReal<uint64_t>(random, kKindOrdinal, 64);
  CheckIntegerToReal<int32_t>(random, kKindInt4, 32);
  CheckIntegerToReal<uint32_t>(random, kKindOrd4, 32);
  CheckIntegerToReal<int16_t>(random, kKindInt2, 16);
  CheckIntegerToReal<int8_t>(random, kKindInt1, 8);

  struct Case {
    const char* name;
    uint64_t low;
    uint64_t high;
    uint16_t kind;
    double expected;
  };
  const Case cases[] = {
      {"ord8 2^32 + 1 keeps its high word", (uint64_t{1} << 32) + 1, 0, kKindOrd8, 4294967297.0},
      {"ord4 0xFFFFFFFF is not -1", 0xFFFFFFFFu, 0, kKindOrd4, 4294967295.0},
      {"ord16 2^64", 0, 1, kKindOrd16, 18446744073709551616.0},
      // 2^64 + 2^11 + 1 lies just above the halfway point between two doubles: rounding
      // to 64 bits first and then to 53 would land on 2^64.
      {"ord16 just above a tie", (uint64_t{1} << 11) + 1, 1, kKindOrd16, 18446744073709555712.0},
      {"ord16 on a tie rounds to even", uint64_t{1} << 11, 1, kKindOrd16, 18446744073709551616.0},
      {"ord16 largest", ~uint64_t{0}, ~uint64_t{0}, kKindOrd16, 340282366920938463463374607431768211456.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer source;
    StoreU64(source.bytes, c.low);
    StoreU64(source.bytes + 8, c.high);
    EXPECT_EQ(ValueOf<double>(Convert(source, c.kind, kKindReal8)), c.expected);
  }
}

// The reference: round half to even, then clamp into the destination's range; a NaN
// goes to the end of the range its sign points at.
template <typename T>
T ReferenceRealToInteger(double value) {
  const long double low = static_cast<long double>(std::numeric_limits<T>::min());
  const long double high = static_cast<long double>(std::numeric_limits<T>::max());
  if (std::isnan(value)) return std::signbit(value) ? std::numeric_limits<T>::min() : std::numeric_limits<T>::max();
  const long double rounded = std::nearbyint(static_cast<long double>(value));
  if (rounded <= low) return std::numeric_limits<T>::min();
  if (rounded >= high) return std::numeric_limits<T>::max();
  return static_cast<T>(rounded);
}

template <typename T>
void CheckRealToInteger(const std::vector<double>& values, uint16_t kind) {
  for (double value : values) {
    EXPECT_EQ(ValueOf<T>(Convert(BytesOf(value), kKindReal8, kind)), ReferenceRealToInteger<T>(value))
        << "kind " << kind << " value " << value;
  }
}

TEST_F(ValueConversionTest, RealsBecomeIntegersRoundedAndSaturatedAtTheirOwnRange) {
  const uint64_t seed = 0x5EED0003;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  std::vector<double> values = {0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 0.49999999999999994, 1e300, -1e300,
                                255.5, 256.0, -128.5, -129.0, 2147483647.5, -2147483648.5, 4294967295.4,
                                9223372036854775807.0, -9223372036854775808.0, 18446744073709551615.0,
                                std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::denorm_min(), -0.0};
  for (int i = 0; i < 500; ++i) {
    const double magnitude = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 80) - 60);
    values.push_back((random() & 1) != 0 ? -magnitude : magnitude);
  }
  CheckRealToInteger<int8_t>(values, kKindInt1);
  CheckRealToInteger<uint8_t>(values, kKindOrd1);
  CheckRealToInteger<int16_t>(values, kKindInt2);
  CheckRealToInteger<uint16_t>(values, kKindOrd2);
  CheckRealToInteger<int32_t>(values, kKindInt4);
  CheckRealToInteger<uint32_t>(values, kKindOrd4);
  CheckRealToInteger<int64_t>(values, kKindInt8);
  CheckRealToInteger<uint64_t>(values, kKindOrd8);
  CheckRealToInteger<uint64_t>(values, kKindOrdinal);
  // "ord16" holds values beyond 2^64.
  const Buffer big = Convert(BytesOf(0x1p100), kKindReal8, kKindOrd16);
  EXPECT_EQ(LoadU64(big.bytes), 0u);
  EXPECT_EQ(LoadU64(big.bytes + 8), uint64_t{1} << 36);
  const Buffer huge = Convert(BytesOf(1e300), kKindReal8, kKindOrd16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(huge.bytes[i], 0xFF);
}

TEST_F(ValueConversionTest, RealsConvertBetweenSizesLikeTheHost) {
  const uint64_t seed = 0x5EED0004;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 random(seed);
  for (int i = 0; i < 1000; ++i) {
    const uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isnan(value)) continue;
    const volatile float narrowed = static_cast<float>(value);
    EXPECT_EQ(ValueOf<float>(Convert(BytesOf(value), kKindReal8, kKindReal4)), narrowed) << value;
    const Buffer extended = Convert(BytesOf(value), kKindReal8, kKindReal10);
    EXPECT_EQ(ValueOf<uint64_t>(Convert(extended, kKindReal10, kKindReal8)), bits) << "exact round trip";
    const float single = static_cast<float>(value);
    EXPECT_EQ(ValueOf<double>(Convert(BytesOf(single), kKindReal4, kKindReal8)), static_cast<double>(single));
  }
}

TEST_F(ValueConversionTest, TextBooleanAndRefusedConversions) {
  struct Case {
    const char* name;
    Buffer source;
    uint16_t from;
    uint16_t to;
    uint32_t error;
    std::vector<uint8_t> expected;
  };
  Buffer nan = BytesOf(std::numeric_limits<double>::quiet_NaN());
  Buffer abc;
  std::memcpy(abc.bytes, "abc", 4);
  Buffer lastByte;
  lastByte.bytes[15] = 1;
  Buffer empty;
  Buffer xyz;
  std::memcpy(xyz.bytes, "\003xyz", 4);
  const Case cases[] = {
      {"char to int4", BytesOf<uint8_t>('A'), kKindChar, kKindInt4, 0, {65, 0, 0, 0}},
      {"high char stays unsigned", BytesOf<uint8_t>(0xE9), kKindChar, kKindInt2, 0, {0xE9, 0}},
      {"nstring to int4", abc, kKindNString, kKindInt4, kInvalidTypeConversion, {}},
      {"ord4 0 to bool1", BytesOf<uint32_t>(0), kKindOrd4, kKindBool1, 0, {0}},
      {"ord4 to bool4", BytesOf<uint32_t>(0x100), kKindOrd4, kKindBool4, 0, {1, 0, 0, 0}},
      {"ord16 last byte", lastByte, kKindOrd16, kKindBool1, 0, {1}},
      {"real8 0.0", BytesOf(0.0), kKindReal8, kKindBool1, 0, {0}},
      {"real8 -0.0", BytesOf(-0.0), kKindReal8, kKindBool1, 0, {0}},
      {"real8 NaN", nan, kKindReal8, kKindBool1, 0, {1}},
      {"bool8 high byte", BytesOf<uint64_t>(uint64_t{1} << 56), kKindBool8, kKindInt2, 0, {1, 0}},
      {"bool2 to bool1", BytesOf<uint16_t>(0x200), kKindBool2, kKindBool1, 0, {1}},
      {"bool1 to char", BytesOf<uint8_t>(1), kKindBool1, kKindChar, kInvalidTypeConversion, {}},
      {"real4 to char", BytesOf(1.0f), kKindReal4, kKindChar, kInvalidTypeConversion, {}},
      {"ord4 to char", BytesOf<uint32_t>(0x141), kKindOrd4, kKindChar, 0, {0x41}},
      {"ord4 to nstring", BytesOf<uint32_t>(65), kKindOrd4, kKindNString, kInvalidTypeConversion, {}},
      {"inactive symbol to ord4", empty, kKindInactiveSymbol, kKindOrd4, 0, {0, 0, 0, 0}},
      {"packed to real8", empty, kKindPacked, kKindReal8, kInvalidRealOperation, {}},
      {"ord4 to packed", empty, kKindOrd4, kKindPacked, kInvalidRealOperation, {}},
      {"packed to bool1", empty, kKindPacked, kKindBool1, kInvalidRealOperation, {}},
      {"nstring to char", abc, kKindNString, kKindChar, 0, {'a'}},
      {"empty lstring to char", empty, kKindLString, kKindChar, 0, {0}},
      {"offset type reads as lstring", xyz, kKindOffset, kKindNString, 0, {'x', 'y', 'z', 0}},
      {"lstring to nstring", xyz, kKindLString, kKindNString, 0, {'x', 'y', 'z', 0}},
      {"lstring to lstring", xyz, kKindLString, kKindLString, 0, {3, 'x', 'y', 'z', 0xCC}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer out;
    std::memset(out.bytes, 0xCC, sizeof out.bytes);
    EXPECT_EQ(ErrorNumberOf([&] { ConvertValue(c.source.bytes, c.from, out.bytes, c.to); }), c.error);
    if (c.error != 0) {
      EXPECT_EQ(out.bytes[0], 0xCC) << "nothing written";
    }
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(out.bytes[i], c.expected[i]) << "byte " << i;
  }
  // Kinds without a conversion class refuse even a conversion to themselves.
  for (uint16_t kind : {uint16_t{0}, uint16_t{25}, uint16_t{26}, uint16_t{29}, uint16_t{30}, uint16_t{31},
                        uint16_t{32}, uint16_t{33}, uint16_t{42}, uint16_t{43}, uint16_t{44}, kKindAddressRange}) {
    SCOPED_TRACE(kind);
    Buffer out;
    EXPECT_EQ(ErrorNumberOf([&] { ConvertValue(out.bytes, kKindOrd4, out.bytes, kind); }), kInvalidTypeConversion);
  }
}

TEST_F(ValueConversionTest, StringsChangeFormInTheSameBuffer) {
  uint8_t buffer[kValueBufferSize] = {};
  std::memcpy(buffer, "abc", 4);
  ConvertValue(buffer, kKindNString, buffer, kKindLString);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer + 1), 3), "abc");
  ConvertValue(buffer, kKindLString, buffer, kKindNString);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "abc");

  std::memset(buffer, 'x', 254);
  buffer[254] = 0;
  ConvertValue(buffer, kKindNString, buffer, kKindLString);
  EXPECT_EQ(buffer[0], 254);
  std::memset(buffer, 'y', 255);
  buffer[255] = 0;
  EXPECT_EQ(ErrorNumberOf([&] { ConvertValue(buffer, kKindNString, buffer, kKindLString); }), kStringTooLong);
  // An nstring without its NUL in the buffer is cut at the buffer's end.
  std::memset(buffer, 'z', sizeof buffer);
  uint8_t copy[kValueBufferSize];
  ConvertValue(buffer, kKindNString, copy, kKindNString);
  EXPECT_EQ(copy[kValueBufferSize - 1], 0);
  EXPECT_EQ(std::strlen(reinterpret_cast<char*>(copy)), kValueBufferSize - 1);
}

TEST_F(ValueConversionTest, AddressesThroughTheTarget) {
  Buffer out = Convert(BytesOf<uint32_t>(0x1234), kKindOrd4, kKindTypedLocation);
  const TypedLocation location = TypedLocation::ReadImage(out.bytes);
  EXPECT_EQ(location.AddressRef().Offset(), 0x1234u);
  EXPECT_EQ(location.Type().Code(), kKindOrd1);
  EXPECT_EQ(ValueOf<uint32_t>(Convert(BytesOf<int8_t>(-1), kKindInt1, kKindFirstTarget)), 0xFFFFFFFFu);
  EXPECT_EQ(ErrorNumberOf([] { Convert(BytesOf<uint32_t>(1), kKindOrd4, kKindLastTargetAddress); }),
            kInvalidTypeConversion);
  EXPECT_EQ(ValueOf<uint32_t>(Convert(out, kKindTypedLocation, kKindFirstTarget)), 0x1234u);
  const Buffer back = Convert(BytesOf<uint32_t>(0x88), kKindFirstTarget, kKindTypedLocation);
  EXPECT_EQ(TypedLocation::ReadImage(back.bytes).AddressRef().Offset(), 0x88u);
  Buffer reg;
  TypedLocation(RegisterAt(16)).WriteImage(reg.bytes);
  EXPECT_EQ(ErrorNumberOf([&] { Convert(reg, kKindTypedLocation, kKindFirstTarget); }), kInvalidAddressOperation);
  EXPECT_EQ(ErrorNumberOf([&] { Convert(out, kKindTypedLocation, kKindOrd4); }), kInvalidTypeConversion);
  // A symbol value converts through its leading location.
  Buffer symbol;
  LocationAt(0x77, kKindInt4, 4).WriteImage(symbol.bytes);
  EXPECT_EQ(ValueOf<uint32_t>(Convert(symbol, kKindSymbolValue, kKindFirstTarget)), 0x77u);
}

TEST_F(ValueConversionTest, ReferencesAreReadFromTargetMemory) {
  m_memory.Map(0x2000, {0x34, 0x12, 'h', 'i', 0, 3, 'a', 'b', 'c'});
  m_memory.MapU32(0x3000, 0x2002);
  struct Case {
    const char* name;
    PointerLocation reference;
    uint16_t to;
    uint32_t error;
    std::vector<uint8_t> expected;
  };
  const auto none = DVPTypeInfo();
  const Case cases[] = {
      {"int2 value", PointerLocation(LocationAt(0x2000, kKindInt2, 2), none, OrdinalValue(0u)), kKindInt4, 0,
       {0x34, 0x12, 0, 0}},
      {"nstring value", PointerLocation(LocationAt(0x2002, kKindNString, 1), none, OrdinalValue(0u)),
       kKindNString, 0, {'h', 'i', 0}},
      {"lstring value", PointerLocation(LocationAt(0x2005, kKindLString, 1), none, OrdinalValue(0u)),
       kKindNString, 0, {'a', 'b', 'c', 0}},
      {"pointer is followed",
       PointerLocation(LocationAt(0x3000, kKindFirstTarget, 4), DVPTypeInfo::FromCode(kKindChar), OrdinalValue(1u)),
       kKindFirstTarget, 0, {0x02, 0x20, 0, 0}},
      {"no element size reads one value", PointerLocation(LocationAt(0x2000, kKindInt2, 0), none, OrdinalValue(0u)),
       kKindInt4, 0, {0x34, 0x12, 0, 0}},
      {"unreadable", PointerLocation(LocationAt(0x9000, kKindInt4, 4), none, OrdinalValue(0u)), kKindInt4,
       kMemoryReadFailed, {}},
      {"location item type", PointerLocation(LocationAt(0x2000, kKindTypedLocation, 48), none, OrdinalValue(0u)),
       kKindInt4, 1, {}},
      {"no type", PointerLocation(LocationAt(0x2000, kKindNone, 1), none, OrdinalValue(0u)), kKindInt4,
       kInvalidTypeConversion, {}},
      {"too large for the buffer", PointerLocation(LocationAt(0x2000, kKindInt4, 4096), none, OrdinalValue(0u)),
       kKindInt4, kOperandSizeTooLarge, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Buffer source;
    c.reference.WriteImage(source.bytes);
    Buffer out;
    EXPECT_EQ(ErrorNumberOf([&] { ConvertValue(source.bytes, kKindPointerLocation, out.bytes, c.to); }), c.error);
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(out.bytes[i], c.expected[i]) << "byte " << i;
  }
}

}  // namespace
}  // namespace zentor
