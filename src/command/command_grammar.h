#pragma once
// The command grammar: every command of the debugger and every stored expression
// text is a sentence of it. The productions are kept as text in one table
// (command_grammar.cpp) in the notation the grammar is written in, and turned into
// symbol codes once, at first use. The LL(1) table (ll1_table.h) is computed from
// it and the command parser (command_parser.h) walks it.
//
// Grammar symbols are 16-bit codes in three ranges: terminals 0..180 (the token
// codes of the scanner), nonterminals 181..324 (NTn is 181 + n; NT143 is the start
// symbol) and action symbols 325..537 (An is 325 + n, slot n of the ActionTable).

#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zentor {

inline constexpr uint16_t kFirstNonterminal = 181;
inline constexpr uint16_t kFirstAction = 325;
inline constexpr uint16_t kNonterminalCount = 144;
inline constexpr uint16_t kActionSlotCount = 213;
inline constexpr uint16_t kSymbolCodeLimit = kFirstAction + kActionSlotCount;
inline constexpr uint16_t kStartSymbol = kFirstNonterminal + 143;

constexpr bool IsTerminalSymbol(uint16_t symbol) { return symbol < kFirstNonterminal; }
constexpr bool IsNonterminalSymbol(uint16_t symbol) {
  return symbol >= kFirstNonterminal && symbol < kFirstAction;
}
constexpr bool IsActionSymbol(uint16_t symbol) {
  return symbol >= kFirstAction && symbol < kSymbolCodeLimit;
}
constexpr uint16_t NonterminalSymbol(uint16_t n) { return static_cast<uint16_t>(kFirstNonterminal + n); }
constexpr uint16_t ActionSymbol(uint16_t slot) { return static_cast<uint16_t>(kFirstAction + slot); }

// Token codes the grammar and the parser name.
namespace grammar_token {
inline constexpr uint8_t kHashNumber = 0;
inline constexpr uint8_t kColon = 2;
inline constexpr uint8_t kBackslash = 3;
inline constexpr uint8_t kEndOfLine = 4;
inline constexpr uint8_t kMultiplicative = 5;  // "*", "/", "%" (subcodes 2, 3, 4)
inline constexpr uint8_t kRegister = 18;
inline constexpr uint8_t kProcedureName = 84;
inline constexpr uint8_t kPathName = 94;
inline constexpr uint8_t kPathStar = 100;
inline constexpr uint8_t kPathAmpersand = 101;
inline constexpr uint8_t kIdentifier = 121;
inline constexpr uint8_t kReal = 167;
inline constexpr uint8_t kInteger = 170;
inline constexpr uint8_t kEndExpression = 164;
inline constexpr uint8_t kError = 253;
// Subcode of "*" among the multiplicative operators.
inline constexpr uint16_t kStarSubcode = 2;
}  // namespace grammar_token

// The 24 token codes of debug variables (the type tokens of the type words). The
// grammar's VARIABLE terminal matches any of them; its symbol code is the first.
inline constexpr uint8_t kVariableTokens[24] = {91,  93,  96,  98,  99,  102, 103, 105,
                                                119, 120, 122, 123, 125, 126, 127, 128,
                                                129, 131, 134, 135, 136, 137, 142, 144};
bool IsVariableToken(uint8_t token);

// A set of token codes (0..255).
using TokenSet = std::bitset<256>;

struct GrammarProduction {
  uint16_t nonterminal;  // symbol code of the left-hand side
  uint32_t firstSymbol;  // index of the right-hand side in the symbol array
  uint8_t length;        // number of right-hand-side symbols
};

class CommandGrammar {
 public:
  // The debugger's command grammar, built from its table at first use. A table that
  // does not read back (an unknown word, a malformed line) is an internal error.
  static const CommandGrammar& Get();

  // A grammar read from a text in the same notation (used to check the LL(1)
  // machinery on small grammars). `startNonterminal` is n of NTn. Lines:
  //   NTn : symbols...      first alternative of NTn
  //       | symbols...      further alternatives
  // Symbols: NTn, An, a quoted word ("go", or "a"/"b" for words sharing a token),
  // a token class name (IDENTIFIER, INTEGER, ...) or (empty). "//" starts a comment line.
  // On a malformed text `error` receives the reason and the grammar is empty.
  static CommandGrammar FromText(std::string_view text, uint16_t startNonterminal, std::string* error);

  uint32_t ProductionCount() const { return static_cast<uint32_t>(m_productions.size()); }
  const GrammarProduction& Production(uint32_t index) const { return m_productions.at(index); }
  std::span<const uint16_t> RightHandSide(uint32_t index) const;

  // Productions of nonterminal n (consecutive, in table order); count 0 for a
  // nonterminal the grammar leaves out.
  uint32_t FirstProductionOf(uint16_t n) const { return m_firstProduction.at(n); }
  uint32_t AlternativeCountOf(uint16_t n) const { return m_alternativeCount.at(n); }
  uint16_t StartSymbol() const { return m_startSymbol; }

  // The tokens a terminal symbol matches: its own code, or the 24 variable tokens
  // for the VARIABLE terminal.
  const TokenSet& TerminalTokens(uint16_t terminal) const { return m_terminalTokens.at(terminal); }
  bool TerminalMatches(uint16_t terminal, uint8_t token) const {
    return terminal < kFirstNonterminal && m_terminalTokens[terminal].test(token);
  }

  // One-symbol sequences in the symbol array that the parser points at: the start
  // symbol (the continuation under everything) and the "endexpr" terminal (what the
  // rest of a right-hand side becomes after an expression hand-over).
  uint32_t StartSequenceIndex() const { return m_startSequence; }
  uint32_t EndExpressionSequenceIndex() const { return m_endExpressionSequence; }
  uint16_t SymbolAt(uint32_t index) const { return m_symbols.at(index); }
  uint32_t SymbolArraySize() const { return static_cast<uint32_t>(m_symbols.size()); }

  // Readable names: NT12, A202, "printf", IDENTIFIER; and one production as
  // "NT2 : ...".
  std::string SymbolName(uint16_t symbol) const;
  std::string ProductionText(uint32_t index) const;

 private:
  CommandGrammar() = default;

  std::vector<GrammarProduction> m_productions;
  std::vector<uint16_t> m_symbols;
  std::vector<uint32_t> m_firstProduction = std::vector<uint32_t>(kNonterminalCount, 0);
  std::vector<uint32_t> m_alternativeCount = std::vector<uint32_t>(kNonterminalCount, 0);
  std::vector<TokenSet> m_terminalTokens = std::vector<TokenSet>(kFirstNonterminal);
  std::vector<std::string> m_terminalNames = std::vector<std::string>(kFirstNonterminal);
  uint16_t m_startSymbol = kStartSymbol;
  uint32_t m_startSequence = 0;
  uint32_t m_endExpressionSequence = 0;
};

// The words the grammar writes as terminals, with their token codes (the scanner's
// keyword table and the target's command words give the same codes).
struct GrammarTerminalWord {
  const char* text;
  uint8_t token;
};
std::span<const GrammarTerminalWord> GrammarTerminalWords();

}  // namespace zentor
