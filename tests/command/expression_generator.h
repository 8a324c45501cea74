#pragma once
// A seeded generator of C expressions over the grammar of the expression parser, and
// byte-level damage of a text, for the tests that feed the parser and the
// interpreter expressions nobody wrote by hand.

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zentor::testing_support {

class ExpressionGenerator {
 public:
  // `names` are the names the expressions use (a few words that are no names in an
  // expression are mixed in by the generator).
  ExpressionGenerator(uint32_t seed, std::vector<std::string> names = {"a", "b", "x", "p", "count"})
      : m_random(seed), m_names(std::move(names)) {}

  std::string Expression(int depth) {
    if (depth <= 0) return Primary();
    switch (Pick(12)) {
      case 0: return Expression(depth - 1) + " " + Pick(kBinary) + " " + Expression(depth - 1);
      case 1: return Pick(kUnary) + Expression(depth - 1);
      case 2: return "(" + Expression(depth - 1) + ")";
      case 3: return Expression(depth - 1) + " ? " + Expression(depth - 1) + " : " + Expression(depth - 1);
      case 4: return Name() + " " + Pick(kAssign) + " " + Expression(depth - 1);
      case 5: return Name() + "[" + Expression(depth - 1) + "]";
      case 6: return Name() + (Pick(2) == 0 ? "." : "->") + Name();
      case 7: return "(" + Pick(kTypes) + ")" + Expression(depth - 1);
      case 8: return Pick(2) == 0 ? Name() + "++" : "--" + Name();
      case 9: return "sizeof(" + Name() + ")";
      case 10: return Expression(depth - 1) + ", " + Expression(depth - 1);
      default: return Primary();
    }
  }

  std::string Mutate(std::string text) {
    const int edits = 1 + static_cast<int>(Pick(4));
    for (int i = 0; i < edits && !text.empty(); ++i) {
      const size_t at = Pick(static_cast<uint32_t>(text.size()));
      switch (Pick(3)) {
        case 0: text.erase(at, 1); break;
        case 1: text.insert(at, 1, kNoise[Pick(sizeof kNoise - 1)]); break;
        default: text[at] = kNoise[Pick(sizeof kNoise - 1)]; break;
      }
    }
    return text;
  }

 private:
  static constexpr const char* kBinary[] = {"+", "-", "*", "/", "%", "<<", ">>", "<", "<=", ">", ">=",
                                            "==", "!=", "&", "^", "|", "&&", "||"};
  static constexpr const char* kUnary[] = {"-", "+", "!", "~", "*", "&", "++", "--"};
  static constexpr const char* kAssign[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "^=", "|=", "<<=", ">>="};
  static constexpr const char* kTypes[] = {"struct S *", "union U", "struct T **", "struct S &"};
  static constexpr char kNoise[] = "()[]{}*&+-!~.,;:?#$@\"'\\ 0x9azZ_<>=|^%\t";

  uint32_t Pick(uint32_t count) { return std::uniform_int_distribution<uint32_t>(0, count - 1)(m_random); }
  template <size_t N>
  std::string Pick(const char* const (&words)[N]) {
    return words[Pick(static_cast<uint32_t>(N))];
  }
  std::string Name() {
    const uint32_t pick = Pick(static_cast<uint32_t>(m_names.size() + 4));
    return pick < m_names.size() ? m_names[pick] : kOddWords[pick - m_names.size()];
  }
  std::string Primary() {
    switch (Pick(6)) {
      case 0: return std::to_string(Pick(100000));
      case 1: return "0x" + std::to_string(Pick(999));
      case 2: return "'c'";
      case 3: return "\"s\"";
      case 4: return "1.25";
      default: return Name();
    }
  }
  static constexpr const char* kOddWords[] = {"struct", "sizeof", "int4", "step"};

  std::mt19937 m_random;
  std::vector<std::string> m_names;
};

}  // namespace zentor::testing_support
