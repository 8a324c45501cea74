#pragma once
// Random integer C expressions with their values worked out independently of the
// interpreter: literals of every width, the integer variables of a loaded program,
// every operator, assignments (the conversion of a value to the kind of the variable
// it lands in) and increments. Debug variables take no part: inside a C expression a
// word is a name of the program, a debug variable only as the expression's first
// token. The values follow the
// interpreter's integer model: operands of up to 32 bits work in 32-bit two's
// complement (unsigned unless one operand is signed) and narrow back to the wider
// operand's width, 64-bit operands add, subtract, compare and combine bits but do not
// multiply, divide or shift, comparisons and logical operators give a one-byte
// boolean, shifts are logical by the low five bits, and a 32-bit division by zero
// gives 0 with a warning.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command/grammar_object.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/value_stack.h"

namespace zentor::testing_support {

// A 16-byte integer image (the widest working kind), two's complement; the 32-bit
// Windows compiler has no 128-bit type.
struct Bits {
  uint64_t lo = 0, hi = 0;
  constexpr Bits() = default;
  constexpr Bits(uint64_t low) : lo(low) {}  // NOLINT: integers widen as they do in C
  constexpr Bits(uint64_t low, uint64_t high) : lo(low), hi(high) {}
  friend constexpr Bits operator&(Bits a, Bits b) { return {a.lo & b.lo, a.hi & b.hi}; }
  friend constexpr Bits operator|(Bits a, Bits b) { return {a.lo | b.lo, a.hi | b.hi}; }
  friend constexpr Bits operator^(Bits a, Bits b) { return {a.lo ^ b.lo, a.hi ^ b.hi}; }
  constexpr Bits operator~() const { return {~lo, ~hi}; }
  friend constexpr Bits operator+(Bits a, Bits b) {
    const uint64_t lo = a.lo + b.lo;
    return {lo, a.hi + b.hi + (lo < a.lo ? 1 : 0)};
  }
  friend constexpr Bits operator-(Bits a, Bits b) { return a + (~b + Bits{1}); }
  friend constexpr Bits operator<<(Bits a, uint32_t n) {
    if (n == 0) return a;
    if (n >= 64) return {0, a.lo << (n - 64)};
    return {a.lo << n, (a.hi << n) | (a.lo >> (64 - n))};
  }
  friend constexpr Bits operator>>(Bits a, uint32_t n) {
    if (n == 0) return a;
    if (n >= 64) return {a.hi >> (n - 64), 0};
    return {(a.lo >> n) | (a.hi << (64 - n)), a.hi >> n};
  }
  friend constexpr bool operator==(Bits a, Bits b) { return a.lo == b.lo && a.hi == b.hi; }
  explicit constexpr operator uint32_t() const { return static_cast<uint32_t>(lo); }
};

struct IntegerValue {
  uint16_t kind = kKindInt4;
  Bits bits = 0;  // sign-extended for the signed kinds
  bool operator==(const IntegerValue&) const = default;
};

// What an expression ends in: a value, or the number of the error it raises.
struct IntegerOutcome {
  std::optional<IntegerValue> value;
  uint32_t error = 0;
};

inline uint32_t SizeOfKind(uint16_t kind) {
  switch (kind) {
    case kKindBool1: case kKindOrd1: case kKindInt1: return 1;
    case kKindOrd2: case kKindInt2: return 2;
    case kKindOrd4: case kKindInt4: return 4;
    case kKindOrd8: case kKindInt8: return 8;
    default: return 16;
  }
}
inline bool IsSignedKind(uint16_t kind) { return kind >= kKindInt1 && kind <= kKindInt8; }

inline IntegerValue Normalized(uint16_t kind, Bits bits) {
  const uint32_t width = SizeOfKind(kind) * 8;
  if (width < 128) {
    const Bits mask = (Bits{1} << width) - Bits{1};
    bits = bits & mask;
    if (IsSignedKind(kind) && ((bits >> (width - 1)) & Bits{1}) != Bits{0}) bits = bits | ~mask;
  }
  return {kind, bits};
}

// The interpreter's value of kind `kind` from its little-endian bytes.
inline IntegerValue FromBytes(uint16_t kind, const uint8_t* bytes) {
  Bits bits = 0;
  for (uint32_t i = SizeOfKind(kind); i-- > 0;) bits = (bits << 8) | Bits{bytes[i]};
  return Normalized(kind, bits);
}

inline IntegerValue Converted(const IntegerValue& value, uint16_t kind) {
  if (kind == kKindBool1) return {kKindBool1, value.bits != Bits{0} ? Bits{1} : Bits{0}};
  return Normalized(kind, value.bits);
}

struct IntegerError {
  uint32_t number;
};

class IntegerOracle {
 public:
  // Working and result kinds of an operand pair.
  static std::pair<uint16_t, uint16_t> Promote(uint16_t a, uint16_t b) {
    if (a == kKindBool1 || b == kKindBool1) return {kKindBool1, kKindBool1};
    const bool isSigned = IsSignedKind(a) || IsSignedKind(b);
    if (SizeOfKind(a) == 8 || SizeOfKind(b) == 8) {
      // The one pair that the interpreter's table sends to the 16-byte ordinal.
      if ((a == kKindOrd8 && b == kKindInt1) || (a == kKindInt1 && b == kKindOrd8)) return {kKindOrd16, kKindOrd16};
      return isSigned ? std::pair{kKindInt8, kKindInt8} : std::pair{kKindOrd8, kKindOrd8};
    }
    static constexpr uint16_t kUnsignedOfSize[] = {0, kKindOrd1, kKindOrd2, 0, kKindOrd4};
    static constexpr uint16_t kSignedOfSize[] = {0, kKindInt1, kKindInt2, 0, kKindInt4};
    const uint32_t size = std::max(SizeOfKind(a), SizeOfKind(b));
    return {isSigned ? kKindInt4 : kKindOrd4, isSigned ? kSignedOfSize[size] : kUnsignedOfSize[size]};
  }

  static IntegerValue Boolean(bool truth) { return {kKindBool1, truth ? Bits{1} : Bits{0}}; }

  // op: the operator's C text.
  static IntegerValue Binary(const std::string& op, const IntegerValue& left, const IntegerValue& right) {
    const auto [working, result] = Promote(left.kind, right.kind);
    const IntegerValue a = Converted(left, working);
    const IntegerValue b = Converted(right, working);
    if (op == "&&") return Boolean(a.bits != 0 && b.bits != 0);
    if (op == "||") return Boolean(a.bits != 0 || b.bits != 0);
    if (op == "==") return Boolean(a.bits == b.bits);
    if (op == "!=") return Boolean(a.bits != b.bits);
    const bool ordering = op == "<" || op == "<=" || op == ">" || op == ">=";
    const bool bitwise = op == "&" || op == "|" || op == "^";
    if (bitwise) {
      const Bits bits = op == "&" ? (a.bits & b.bits) : op == "|" ? (a.bits | b.bits) : (a.bits ^ b.bits);
      return Converted(Normalized(working, bits), result);
    }
    if (working == kKindBool1) {
      if (ordering) return Compare(op, a.bits.lo, b.bits.lo);
      throw IntegerError{137};
    }
    if (working == kKindOrd16) throw IntegerError{133};
    const bool wide = working == kKindOrd8 || working == kKindInt8;
    if (ordering) {
      // 64-bit values compare as signed, whichever their kind.
      if (wide || working == kKindInt4) return Compare(op, SignedOf(a), SignedOf(b));
      return Compare(op, a.bits.lo, b.bits.lo);
    }
    if (op == "+") return Converted(Normalized(working, a.bits + b.bits), result);
    if (op == "-") return Converted(Normalized(working, a.bits - b.bits), result);
    if (wide) throw IntegerError{working == kKindInt8 ? 132u : 133u};
    const uint32_t x = static_cast<uint32_t>(a.bits);
    const uint32_t y = static_cast<uint32_t>(b.bits);
    uint32_t r = 0;
    if (op == "*") {
      r = x * y;
    } else if (op == "/" || op == "%") {
      if (y == 0) {
        r = 0;
      } else if (working == kKindInt4) {
        const int64_t sx = static_cast<int32_t>(x), sy = static_cast<int32_t>(y);
        r = static_cast<uint32_t>(op == "/" ? sx / sy : sx % sy);
      } else {
        r = op == "/" ? x / y : x % y;
      }
    } else if (op == "<<") {
      r = x << (y & 31);
    } else if (op == ">>") {
      r = x >> (y & 31);
    }
    return Converted(Normalized(working, r), result);
  }

  static IntegerValue Unary(char op, const IntegerValue& operand) {
    if (op == '!') return Boolean(operand.bits == 0);
    const auto [working, result] = Promote(operand.kind, operand.kind);
    const IntegerValue a = Converted(operand, working);
    if (working == kKindBool1) throw IntegerError{137};
    if (op == '-') {
      if (working == kKindOrd16) throw IntegerError{133};
      const bool wide = SizeOfKind(working) == 8;
      return Normalized(wide ? kKindInt8 : kKindInt4, Bits{0} - a.bits);
    }
    return Converted(Normalized(working, ~a.bits), result);  // '~'
  }

 private:
  // Ordering happens in at most 64 bits, where the image is sign-extended already.
  static int64_t SignedOf(const IntegerValue& value) { return static_cast<int64_t>(value.bits.lo); }
  template <typename T>
  static IntegerValue Compare(const std::string& op, T a, T b) {
    if (op == "<") return Boolean(a < b);
    if (op == "<=") return Boolean(a <= b);
    if (op == ">") return Boolean(a > b);
    return Boolean(a >= b);
  }
};

// An integer expression: generated as a tree, printed with C's precedence (and some
// parentheses it does not need), evaluated in the interpreter's order: operands left
// to right, both operands of "&&" and "||", one branch of "?:".
class IntegerExpressionGenerator {
 public:
  struct Variable {
    std::string name;
    IntegerValue value;
  };

  IntegerExpressionGenerator(uint32_t seed, std::vector<Variable> variables)
      : m_random(seed), m_variables(std::move(variables)) {}

  const std::vector<Variable>& Variables() const { return m_variables; }

  // A new expression; `Expected` then gives its outcome and updates the variables.
  std::string Next(int depth) {
    m_root = Make(depth);
    return Text(*m_root, 0);
  }
  IntegerOutcome Expected() {
    try {
      return {Evaluate(*m_root), 0};
    } catch (const IntegerError& error) {
      return {std::nullopt, error.number};
    }
  }

 private:
  enum class Form { kLiteral, kVariable, kUnary, kBinary, kConditional, kAssign, kPrefix, kPostfix, kComma };
  struct Node {
    Form form;
    std::string op;  // operator text, or the literal's text
    IntegerValue literal;
    size_t variable = 0;
    std::unique_ptr<Node> left, right, third;
    bool parenthesised = false;
  };

  uint32_t Pick(uint32_t count) { return std::uniform_int_distribution<uint32_t>(0, count - 1)(m_random); }

  std::unique_ptr<Node> Make(int depth) {
    auto node = std::make_unique<Node>();
    node->parenthesised = Pick(8) == 0;
    uint32_t choice = depth <= 0 ? Pick(2) : Pick(20);
    // Without variables their forms become literals and binary operators.
    if (m_variables.empty() && (choice == 1 || choice >= 15)) choice = choice == 1 ? 0 : 2;
    if (choice == 0) {
      MakeLiteral(*node);
    } else if (choice == 1) {
      node->form = Form::kVariable;
      node->variable = Pick(static_cast<uint32_t>(m_variables.size()));
    } else if (choice <= 10) {
      static const char* const kBinary[] = {"+", "-", "*", "/", "%", "<<", ">>", "<", "<=", ">", ">=",
                                            "==", "!=", "&", "^", "|", "&&", "||"};
      node->form = Form::kBinary;
      node->op = kBinary[Pick(std::size(kBinary))];
      node->left = Make(depth - 1);
      node->right = Make(depth - 1);
    } else if (choice <= 13) {
      static const char* const kUnary[] = {"-", "+", "!", "~"};
      node->form = Form::kUnary;
      node->op = kUnary[Pick(std::size(kUnary))];
      node->right = Make(depth - 1);
    } else if (choice == 14) {
      node->form = Form::kConditional;
      node->left = Make(depth - 1);
      node->right = Make(depth - 1);
      node->third = Make(depth - 1);
    } else if (choice <= 16) {
      static const char* const kAssign[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "^=", "|=", "<<=", ">>="};
      node->form = Form::kAssign;
      node->op = kAssign[Pick(std::size(kAssign))];
      node->variable = Pick(static_cast<uint32_t>(m_variables.size()));
      node->right = Make(depth - 1);
    } else if (choice <= 18) {
      node->form = Pick(2) == 0 ? Form::kPrefix : Form::kPostfix;
      node->op = Pick(2) == 0 ? "++" : "--";
      node->variable = Pick(static_cast<uint32_t>(m_variables.size()));
    } else {
      node->form = Form::kComma;
      node->left = Make(depth - 1);
      node->right = Make(depth - 1);
    }
    return node;
  }

  void MakeLiteral(Node& node) {
    node.form = Form::kLiteral;
    static constexpr uint64_t kEdges[] = {0, 1, 2, 7, 31, 32, 127, 128, 255, 256, 32767, 32768, 65535, 65536,
                                          2147483647ull, 2147483648ull, 4294967295ull, 4294967296ull,
                                          9223372036854775807ull, 18446744073709551615ull};
    uint64_t value = Pick(3) == 0 ? kEdges[Pick(std::size(kEdges))] : Pick(Pick(2) == 0 ? 40 : 100000);
    if (Pick(3) == 0) {
      char text[24];
      std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
      node.op = text;
      node.literal = Normalized(value > 0xFFFFFFFFull ? kKindOrd8 : kKindOrd4, value);
    } else {
      value &= 0x7FFFFFFFFFFFFFFFull;  // decimal literals above the int8 range are refused
      node.op = std::to_string(value);
      node.literal = Normalized(value > 0x7FFFFFFFull ? kKindInt8 : kKindInt4, value);
    }
  }

  // The level of an operator of the form (unparenthesised).
  static int Precedence(Form form, const std::string& op) {
    switch (form) {
      case Form::kLiteral: case Form::kVariable: case Form::kPostfix: return 16;
      case Form::kUnary: case Form::kPrefix: return 14;
      case Form::kConditional: return 3;
      case Form::kAssign: return 2;
      case Form::kComma: return 1;
      case Form::kBinary: break;
    }
    static const std::map<std::string, int> kLevels = {
        {"*", 13}, {"/", 13}, {"%", 13}, {"+", 12}, {"-", 12}, {"<<", 11}, {">>", 11}, {"<", 10}, {"<=", 10},
        {">", 10}, {">=", 10}, {"==", 9}, {"!=", 9}, {"&", 8}, {"^", 7}, {"|", 6}, {"&&", 5}, {"||", 4}};
    return kLevels.at(op);
  }

  // The node's text, in parentheses when a context of level `level` needs them.
  std::string Text(const Node& node, int level) {
    std::string text;
    const std::string name = m_variables.empty() ? "" : m_variables[node.variable].name;
    switch (node.form) {
      case Form::kLiteral: text = node.op; break;
      case Form::kVariable: text = name; break;
      case Form::kPostfix: text = name + node.op; break;
      case Form::kPrefix: text = node.op + name; break;
      case Form::kUnary: {
        std::string operand = Text(*node.right, 14);
        if (operand[0] == '-' || operand[0] == '+') operand = "(" + operand + ")";
        text = node.op + operand;
        break;
      }
      case Form::kBinary: {
        const int own = Precedence(Form::kBinary, node.op);
        text = Text(*node.left, own) + " " + node.op + " " + Text(*node.right, own + 1);
        break;
      }
      case Form::kConditional:
        text = Text(*node.left, 4) + " ? " + Text(*node.right, 3) + " : " + Text(*node.third, 3);
        break;
      case Form::kAssign: text = name + " " + node.op + " " + Text(*node.right, 2); break;
      case Form::kComma: text = Text(*node.left, 1) + ", " + Text(*node.right, 2); break;
    }
    const bool needed = (node.form == Form::kBinary || node.form == Form::kUnary || node.form == Form::kPrefix ||
                         node.form == Form::kConditional || node.form == Form::kAssign || node.form == Form::kComma) &&
                        Precedence(node.form, node.op) < level;
    return node.parenthesised || needed ? "(" + text + ")" : text;
  }

  IntegerValue Evaluate(const Node& node) {
    IntegerValue unused;
    IntegerValue& variable = m_variables.empty() ? unused : m_variables[node.variable].value;
    switch (node.form) {
      case Form::kLiteral: return node.literal;
      case Form::kVariable: return variable;
      case Form::kUnary:
        if (node.op == "+") return IntegerOracle::Binary("+", {kKindInt4, 0}, Evaluate(*node.right));
        return IntegerOracle::Unary(node.op[0], Evaluate(*node.right));
      case Form::kBinary: {
        const IntegerValue left = Evaluate(*node.left);
        return IntegerOracle::Binary(node.op, left, Evaluate(*node.right));
      }
      case Form::kConditional:
        return Evaluate(*node.left).bits != 0 ? Evaluate(*node.right) : Evaluate(*node.third);
      case Form::kAssign: {
        // A compound assignment fetches its variable before the right operand runs.
        const IntegerValue before = variable;
        IntegerValue result = Evaluate(*node.right);
        if (node.op != "=") result = IntegerOracle::Binary(node.op.substr(0, node.op.size() - 1), before, result);
        m_variables[node.variable].value = Converted(result, m_variables[node.variable].value.kind);
        return result;
      }
      case Form::kPrefix:
      case Form::kPostfix: {
        const IntegerValue before = variable;
        const IntegerValue after = IntegerOracle::Binary(node.op == "++" ? "+" : "-", before, {kKindOrd1, 1});
        variable = Converted(after, before.kind);
        return node.form == Form::kPrefix ? after : before;
      }
      case Form::kComma:
        Evaluate(*node.left);
        return Evaluate(*node.right);
    }
    return {};
  }

  std::mt19937 m_random;
  std::vector<Variable> m_variables;
  std::unique_ptr<Node> m_root;
};

// Runs `count` expressions of the generator through the interpreter and compares each
// outcome, and every variable after it, with the generator's.
inline void ExpectIntegerExpressionsAgree(IntegerExpressionGenerator& generator, uint32_t seed, int count) {
  int values = 0;
  for (int i = 0; i < count; ++i) {
    const std::string text = generator.Next(1 + i % 4);
    SCOPED_TRACE("seed " + std::to_string(seed) + " integer case " + std::to_string(i) + ": " + text);
    const IntegerOutcome expected = generator.Expected();
    uint16_t kind = 0;
    uint8_t value[ValueStack::kMaxItemSize] = {};
    DVError error;
    const DVErrorCode status = ExecuteTextInto(text.c_str(), kProductionExpression, &kind, value, &error);
    if (expected.value) {
      ++values;
      ASSERT_TRUE(status.IsOkay()) << "error " << error.Number() << " " << error.Text().data();
      const IntegerValue got = FromBytes(kind, value);
      EXPECT_EQ(got.kind, expected.value->kind);
      EXPECT_TRUE(got == *expected.value) << "got " << static_cast<int64_t>(got.bits.lo) << " expected "
                                          << static_cast<int64_t>(expected.value->bits.lo);
    } else {
      EXPECT_FALSE(status.IsOkay());
      EXPECT_EQ(error.Number(), expected.error);
    }
    for (const IntegerExpressionGenerator::Variable& variable : generator.Variables()) {
      ExecuteText(variable.name.c_str(), kProductionExpression, &kind, value);
      ASSERT_TRUE(FromBytes(kind, value) == variable.value) << variable.name << " holds "
                                                            << static_cast<int64_t>(FromBytes(kind, value).bits.lo);
    }
    EXPECT_EQ(ValueStack::Depth(), 0u);
  }
  // Both outcomes must be common, or the comparison proves little.
  EXPECT_GT(values, count / 2);
  EXPECT_LT(values, count - count / 20);
}

}  // namespace zentor::testing_support
