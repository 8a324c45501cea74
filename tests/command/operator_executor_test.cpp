#include "core/operator_executor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "value_script.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"

namespace zentor {
namespace {

using testing_support::RunValueScript;
using testing_support::ValueTestEnvironment;

class OperatorExecutorTest : public ValueTestEnvironment {
 protected:
  void SetUp() override {
    ValueTestEnvironment::SetUp();
    // A target image for references: an int2 at 0x2000, a pointer to it at 0x3000.
    m_memory.Map(0x2000, {0x34, 0x12, 0xFF, 0x7F});
    m_memory.MapU32(0x3000, 0x2000);
  }
};

struct ScriptCase {
  const char* name;
  const char* script;
  const char* expected;
};

void RunCases(const ScriptCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(std::string(cases[i].name) + ": " + cases[i].script);
    EXPECT_EQ(RunValueScript(cases[i].script), cases[i].expected);
  }
}

TEST_F(OperatorExecutorTest, IntegerArithmeticWorksInTheWorkingKindAndGivesTheResultKind) {
  const ScriptCase cases[] = {
      {"ord1 sum truncated to ord1", "ord1:200 ord1:100 +", "ord1 44"},
      {"int4 shift right is logical", "int4:-8 int4:1 >>", "int4 2147483644"},
      {"shift count uses 5 bits", "ord4:1 ord4:33 <<", "ord4 2"},
      {"ord4 divide by zero warns", "ord4:7 ord4:0 /", "warning 143, ord4 0"},
      {"ord4 remainder by zero warns", "ord4:7 ord4:0 %", "warning 143, ord4 0"},
      {"int4 divide by zero warns", "int4:-7 int4:0 /", "warning 143, int4 0"},
      {"most negative int4 / -1 wraps", "int4:-2147483648 int4:-1 /", "int4 -2147483648"},
      {"most negative int4 % -1 is 0", "int4:-2147483648 int4:-1 %", "int4 0"},
      {"signed division truncates", "int4:-7 int4:2 /", "int4 -3"},
      {"signed remainder takes the dividend's sign", "int4:-7 int4:2 %", "int4 -1"},
      {"unsigned division", "ord4:0xFFFFFFF9 ord4:2 /", "ord4 2147483644"},
      {"ord4 with int1 works signed", "ord4:5 int1:-6 +", "int4 -1"},
      {"ord2 with int1 gives int2", "ord2:5 int1:-6 +", "int2 -1"},
      {"ord1 with int1 gives int1", "ord1:5 int1:-6 +", "int1 -1"},
      {"ord8 with int2 gives int8", "ord8:5 int2:-1 +", "int8 4"},
      {"ord8 sum wraps", "ord8:0xFFFFFFFFFFFFFFFF ord8:2 +", "ord8 1"},
      {"int8 difference", "int8:-5 int8:7 -", "int8 -12"},
      {"ord8 multiply refused", "ord8:2 ord8:3 *", "error 133"},
      {"int8 divide refused", "int8:2 int8:3 /", "error 132"},
      {"ord8 with int1 works in ord16", "ord8:5 int1:-1 +", "error 133"},
      {"ord16 arithmetic refused", "ord16:0x1 ord16:0x2 +", "error 133"},
      {"ord16 exclusive or", "ord16:0xff00000000000000000000000000000f ord16:0x1 ^",
       "ord16 0xff00000000000000000000000000000e"},
      {"ord10 works in ord16", "ord10:0x1 ord10:0x3 |", "ord16 0x00000000000000000000000000000003"},
      {"code 1 reads as ord4", "code1:5 code1:6 +", "ord4 11"},
      {"char with char works in int4, gives int1", "char:A char:B +", "int1 -125"},
      {"bitwise and", "ord4:0xF0F0 ord4:0xFF00 &", "ord4 61440"},
      {"logical or", "ord4:0 ord4:5 ||", "bool1 1"},
      {"logical and", "ord4:0 ord4:5 &&", "bool1 0"},
      {"ord8 logical and", "ord8:0x100000000 ord8:1 &&", "bool1 1"},
  };
  RunCases(cases, std::size(cases));
}

TEST_F(OperatorExecutorTest, ComparisonsGiveBooleans) {
  const ScriptCase cases[] = {
      {"ord8 top bit compares as signed", "ord8:0x8000000000000000 ord1:1 <", "bool1 1"},
      {"int8 less", "int8:-2 int8:-1 <", "bool1 1"},
      {"int8 greater or equal", "int8:-1 int8:-1 >=", "bool1 1"},
      {"ord8 not equal", "ord8:0x100000000 ord8:0 !=", "bool1 1"},
      {"ord4 compares unsigned", "ord4:0xFFFFFFFF ord4:1 >", "bool1 1"},
      {"int4 compares signed", "int4:-1 int4:1 <", "bool1 1"},
      {"ord16 equality", "ord16:0x10000000000000000 ord16:0x10000000000000000 ==", "bool1 1"},
      {"ord16 ordering refused", "ord16:0x1 ord16:0x2 <", "error 133"},
      {"reals", "real8:1.5 real4:2 <=", "bool1 1"},
      {"real equal", "real8:2 int4:2 ==", "bool1 1"},
      {"real with NaN", "real8:1.0 real8:nan <", "error 134"},
      {"NaN not equal is refused too", "real8:nan real8:nan !=", "error 134"},
      {"infinity compares", "real8:inf real8:1e308 >", "bool1 1"},
      {"strings", "lstr:abc lstr:abd <", "bool1 1"},
      {"prefix comes first", "lstr:ab lstr:abc <", "bool1 1"},
      {"bytes are unsigned", "nstr:\xE9 nstr:a >", "bool1 1"},
      {"string equality", "nstr:abc lstr:abc ==", "bool1 1"},
      {"booleans", "bool1:1 bool1:0 >", "bool1 1"},
      {"location with an integer", "loc:int4:0x1000 ord4:0x1000 ==", "bool1 1"},
      {"integer with a location", "ord4:0xfff loc:int4:0x1000 <", "bool1 1"},
      {"symbol with a location", "sym:int4:0x1000 loc:int4:0x1000 ==", "bool1 1"},
      {"two symbols are not compared", "sym:int4:0x10 sym:int4:0x10 ==", "error 140"},
      {"addresses of different kinds", "loc:int4:0x1000 reg:16 ==", "error 150"},
      {"ordinals", "len:1 len:2 <", "bool1 1"},
  };
  RunCases(cases, std::size(cases));
}

TEST_F(OperatorExecutorTest, RealsStringsAndAddresses) {
  const ScriptCase cases[] = {
      {"real4 with real8 gives real8", "real4:1.5 real8:2.25 +", "real8 +3.75000000000000"},
      {"int4 with real4 gives real4", "int4:3 real4:0.5 *", "real4 +1.500000"},
      {"int8 keeps its full width", "int8:9007199254740993 real10:0 +", "real10 +9.007199254740993000E+15"},
      {"real division by zero", "real8:1 real8:0 /", "real8 +INF"},
      {"real subtraction", "real8:1 real8:0.5 -", "real8 +5.00000000000000E-1"},
      {"real remainder refused", "real8:1 real8:0.5 %", "error 135"},
      {"real shift refused", "real8:1 ord1:1 <<", "error 135"},
      {"packed decimal refused", "packed ord1:1 +", "error 135"},
      {"concatenation", "lstr:abc lstr:def +", "lstring \"abcdef\""},
      {"concatenation of nstrings", "nstr:abc lstr:def +", "nstring \"abcdef\""},
      {"char with a string gives the first char", "char:A nstr:bc +", "char 'A'"},
      {"string product refused", "lstr:abc lstr:def *", "error 139"},
      {"string with an integer refused", "lstr:abc ord1:2 *", "error 140"},
      {"concatenation up to 1023 characters", "nstr:x*600 nstr:y*423 +", "nstring [1023]"},
      {"concatenation of 1024 characters", "nstr:x*600 nstr:y*424 +", "error 205"},
      {"lstring result longer than 254", "lstr:x*200 lstr:y*60 +", "error 205"},
      {"location plus elements", "loc:int4:0x1000 ord1:3 +", "loc 0x0000100c int4"},
      {"elements plus location", "ord1:3 loc:int4:0x1000 +", "loc 0x0000100c int4"},
      {"elements minus location", "ord1:3 loc:int4:0x1000 -", "error 138"},
      {"location minus elements", "loc:int4:0x1000 int4:2 -", "loc 0x00000ff8 int4"},
      {"offset type moves by bytes", "loc:offset:0x1000 ord1:3 +", "loc 0x00001003 offset"},
      {"location plus ordinal", "loc:int4:0x1000 len:2 +", "loc 0x00001008 int4"},
      {"symbol plus elements", "sym:int2:0x1000 ord1:1 +", "loc 0x00001002 int2"},
      {"distance in elements", "loc:int4:0x100c loc:int4:0x1000 -", "len 3"},
      {"distance of different types", "loc:int4:0x1000 loc:int2:0x1000 -", "error 138"},
      {"negative distance", "loc:int4:0x1000 loc:int4:0x100c -", "error 138"},
      {"location sum refused", "loc:int4:0x1000 loc:int4:0x1000 +", "error 138"},
      {"location product refused", "loc:int4:0x1000 ord1:2 *", "error 138"},
      {"register address moved", "reg:16 ord1:1 +", "error 1"},
      {"ordinal quotient", "len:10 len:3 /", "len 3"},
      {"ordinal remainder", "len:10 len:3 %", "len 1"},
      {"ordinal divide by zero", "len:10 len:0 /", "error 1"},
      {"ordinal logical or refused", "len:1 len:2 ||", "error 138"},
      {"ordinal shift refused", "len:1 len:2 >>", "error 138"},
      {"ordinal with ord12 refused", "ord12:0x1 len:1 +", "error 140"},
      {"inactive symbol counts as ord1 0", "code1:5 inactive +", "ord1 5"},
      {"two inactive symbols", "inactive inactive +", "ord1 0"},
      {"boolean with inactive symbol", "bool1:1 inactive +", "ord1 1"},
      {"ordinal with inactive symbol refused", "len:1 inactive +", "error 140"},
      {"null operand", "null ord1:1 +", "error 136"},
      {"marker operand", "ord1:1 marker +", "error 136"},
      {"boolean arithmetic", "bool1:1 bool1:1 +", "error 137"},
      {"boolean or", "bool1:1 bool1:0 |", "bool1 1"},
      {"bool4 with int4 gives bool4", "bool4:0 int4:0 ||", "bool1 0"},
  };
  RunCases(cases, std::size(cases));
}

TEST_F(OperatorExecutorTest, OperatorCodesOutsideTheTable) {
  const ScriptCase cases[] = {
      {"reserved code", "ord4:1 ord4:2 op14", "error 1"},
      {"unknown code", "ord4:1 ord4:2 op15", "error 142"},
      {"code above the table", "ord4:1 ord4:2 op20", "error 142"},
      {"unknown unary", "int4:5 u9", "error 142"},
  };
  RunCases(cases, std::size(cases));
}

TEST_F(OperatorExecutorTest, UnaryAndIncrementOperators) {
  const ScriptCase cases[] = {
      {"minus of ord1 gives int4", "ord1:5 u-", "int4 -5"},
      {"minus of ord8 gives int8", "ord8:5 u-", "int8 -5"},
      {"plus keeps the kind", "int2:-3 u+", "int2 -3"},
      {"complement", "int4:5 ~", "int4 -6"},
      {"complement of ord8", "ord8:0 ~", "ord8 18446744073709551615"},
      {"not of zero", "ord8:0 !", "bool1 1"},
      {"not of a boolean", "bool1:1 !", "bool1 0"},
      {"not of ord16", "ord16:0x0 !", "bool1 1"},
      {"complement of ord16", "ord16:0x0 ~", "ord16 0xffffffffffffffffffffffffffffffff"},
      {"minus of ord16 refused", "ord16:0x1 u-", "error 133"},
      {"minus of a real", "real8:2.5 u-", "real8 -2.50000000000000"},
      {"not of a real refused", "real8:2.5 !", "error 135"},
      {"string refused", "lstr:a u-", "error 139"},
      {"location refused", "loc:int4:0x10 u-", "error 138"},
      {"boolean complement refused", "bool1:1 ~", "error 137"},
      {"increment", "int4:5 ++", "int4 6"},
      {"increment wraps in its kind", "ord1:255 ++", "ord1 0"},
      {"decrement of a real", "real8:1.5 --", "real8 +5.00000000000000E-1"},
      {"char increment wraps", "char#255 ++", "char #0"},
      {"char decrement wraps", "char#0 --", "char #255"},
      {"location increment moves one element", "loc:int4:0x1000 ++", "loc 0x00001004 int4"},
  };
  RunCases(cases, std::size(cases));
}

TEST_F(OperatorExecutorTest, ReferencesReadTargetMemoryAndAddressesAreBuiltFromParts) {
  const ScriptCase cases[] = {
      {"referenced int2", "ref:int2:0x2000 int4:1 +", "int4 4661"},
      {"referenced value on the right", "int4:1 ref:int2:0x2002 +", "int4 32768"},
      {"pointer is followed", "ptr:int2:0x3000 ord1:1 +", "loc 0x00002002 int2"},
      {"unreadable reference", "ref:int4:0x9000 int4:1 +", "error 2007"},
      {"reference to a location item", "ref:loc:0x2000 int4:1 +", "error 140"},
      {"reference to no type", "ref:null:0x2000 int4:1 +", "error 136"},
      {"unreadable pointer", "ref:pointer:0x9000 int4:1 +", "error 2007"},
      {"one part", "ord4:0x1000 ord2:7 marker build", "loc 0x00001000 ord1"},
      {"one referenced part", "ref:int2:0x2000 ord2:0 marker build", "loc 0x00001234 ord1"},
      {"two parts", "ord4:1 ord4:2 null build", "error 2003"},
      {"three parts", "ord4:1 ord4:2 ord4:3 build", "error 2003"},
      {"integer top to location", "ord4:0x44 as:loc", "loc 0x00000044 ord1"},
      {"real to integer conversion rounds", "real8:2.5 as:int4", "int4 2"},
      {"real to ord1 saturates", "real8:300 as:ord1", "ord1 255"},
  };
  RunCases(cases, std::size(cases));
}

// Differential: 32-bit operators against native integer arithmetic, with the zero
// divisor and the most negative quotient as the rules say.
TEST_F(OperatorExecutorTest, ThirtyTwoBitOperatorsMatchNativeArithmetic) {
  const uint32_t seed = 0xC0FFEE;
  std::mt19937 random(seed);
  const uint16_t codes[] = {kOpAdd, kOpSubtract, kOpMultiply, kOpDivide, kOpRemainder, kOpLess, kOpGreaterEqual,
                            kOpExclusiveOr, kOpInclusiveOr, kOpAnd, kOpShiftRight, kOpShiftLeft};
  using namespace value_bytes;
  for (int i = 0; i < 3000; ++i) {
    const bool isSigned = (i & 1) != 0;
    const uint16_t kind = isSigned ? kKindInt4 : kKindOrd4;
    uint32_t a = random() >> (random() % 32);
    uint32_t b = random() >> (random() % 32);
    if (i % 97 == 0) b = 0;
    if (i % 89 == 0) {
      a = 0x80000000u;
      b = 0xFFFFFFFFu;
    }
    const uint16_t code = codes[random() % std::size(codes)];
    SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(i) + " code " + std::to_string(code) +
                 " a " + std::to_string(a) + " b " + std::to_string(b));
    const auto sa = static_cast<int32_t>(a);
    const auto sb = static_cast<int32_t>(b);
    uint32_t expected = 0;
    switch (code) {
      case kOpAdd: expected = a + b; break;
      case kOpSubtract: expected = a - b; break;
      case kOpMultiply: expected = a * b; break;
      case kOpDivide:
        expected = b == 0 ? 0 : (!isSigned ? a / b : (sb == -1 ? 0u - a : static_cast<uint32_t>(sa / sb)));
        break;
      case kOpRemainder:
        expected = b == 0 ? 0 : (!isSigned ? a % b : (sb == -1 ? 0u : static_cast<uint32_t>(sa % sb)));
        break;
      case kOpLess: expected = isSigned ? sa < sb : a < b; break;
      case kOpGreaterEqual: expected = isSigned ? sa >= sb : a >= b; break;
      case kOpExclusiveOr: expected = a ^ b; break;
      case kOpInclusiveOr: expected = a | b; break;
      case kOpAnd: expected = a & b; break;
      case kOpShiftRight: expected = a >> (b & 31); break;
      default: expected = a << (b & 31); break;
    }
    ValueStack::Reset();
    uint8_t bytes[4];
    StoreU32(bytes, a);
    ValueStack::Push(kind, bytes);
    uint8_t codeBytes[2];
    StoreU16(codeBytes, code);
    ValueStack::Push(kKindOrd2, codeBytes);
    StoreU32(bytes, b);
    ValueStack::Push(kind, bytes);
    OperatorExecutor();
    const bool relational = code == kOpLess || code == kOpGreaterEqual;
    ASSERT_EQ(ValueStack::TopKind(), relational ? kKindBool1 : kind);
    uint8_t result[ValueStack::kMaxItemSize];
    ValueStack::Pop(result);
    EXPECT_EQ(relational ? result[0] : LoadU32(result), expected);
    EXPECT_EQ(ValueStack::TopKind(), kKindEmpty);
  }
}

// Differential: 64-bit sums, differences, comparisons against native arithmetic, and
// real arithmetic on doubles against the host's extended IEEE arithmetic.
TEST_F(OperatorExecutorTest, WideAndRealOperatorsMatchTheHost) {
  const uint32_t seed = 0xBEEF;
  std::mt19937_64 random(seed);
  using namespace value_bytes;
  auto run = [](uint16_t kind, const void* a, uint16_t code, const void* b, uint8_t* result) {
    ValueStack::Reset();
    ValueStack::Push(kind, a);
    uint8_t codeBytes[2];
    StoreU16(codeBytes, code);
    ValueStack::Push(kKindOrd2, codeBytes);
    ValueStack::Push(kind, b);
    OperatorExecutor();
    const uint16_t top = ValueStack::TopKind();
    ValueStack::Pop(result);
    return top;
  };
  for (int i = 0; i < 2000; ++i) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " case " + std::to_string(i));
    const uint64_t a = random() >> (random() % 64);
    const uint64_t b = random() >> (random() % 64);
    uint8_t result[ValueStack::kMaxItemSize];
    EXPECT_EQ(run(kKindInt8, &a, kOpAdd, &b, result), kKindInt8);
    EXPECT_EQ(LoadU64(result), a + b);
    run(kKindOrd8, &a, kOpSubtract, &b, result);
    EXPECT_EQ(LoadU64(result), a - b);
    run(kKindInt8, &a, kOpLess, &b, result);
    EXPECT_EQ(result[0], static_cast<int64_t>(a) < static_cast<int64_t>(b) ? 1 : 0);
    run(kKindOrd8, &a, kOpGreater, &b, result);
    EXPECT_EQ(result[0], static_cast<int64_t>(a) > static_cast<int64_t>(b) ? 1 : 0);
    run(kKindOrdinal, &a, kOpLess, &b, result);
    EXPECT_EQ(result[0], a < b ? 1 : 0) << "ordinals compare unsigned";

    double x;
    double y;
    const uint64_t xb = random();
    const uint64_t yb = random();
    std::memcpy(&x, &xb, sizeof x);
    std::memcpy(&y, &yb, sizeof y);
    if (x != x || y != y) continue;
    // The operators work in the 80-bit form and round the result once more into the
    // 8-byte form, as the host's extended arithmetic does.
    const long double lx = x;
    const long double ly = y;
    const volatile long double extendedSum = lx + ly;
    const volatile long double extendedProduct = lx * ly;
    const volatile long double extendedQuotient = lx / ly;
    const volatile double sum = static_cast<double>(extendedSum);
    const volatile double product = static_cast<double>(extendedProduct);
    const volatile double quotient = static_cast<double>(extendedQuotient);
    double got;
    run(kKindReal8, &x, kOpAdd, &y, result);
    std::memcpy(&got, result, sizeof got);
    EXPECT_EQ(got, sum) << x << " + " << y;
    run(kKindReal8, &x, kOpMultiply, &y, result);
    std::memcpy(&got, result, sizeof got);
    EXPECT_EQ(got, product) << x << " * " << y;
    run(kKindReal8, &x, kOpDivide, &y, result);
    std::memcpy(&got, result, sizeof got);
    EXPECT_EQ(got, quotient) << x << " / " << y;
    run(kKindReal8, &x, kOpLess, &y, result);
    EXPECT_EQ(result[0], x < y ? 1 : 0);
  }
}

}  // namespace
}  // namespace zentor
