#pragma once
// The LL(1) parse table of a grammar: which alternative of a nonterminal to take for
// a look-ahead token. It is computed from the productions (FIRST and FOLLOW sets,
// action symbols deriving nothing) rather than written by hand, so the table can
// never drift from the grammar; the command parser asks it for every nonterminal it
// expands. The command grammar's table is built once at first use and checks itself:
// two alternatives of one nonterminal that share a look-ahead token are a fault of
// the grammar, reported as an internal error before any command is parsed.

#include <cstdint>
#include <string>
#include <vector>

#include "command/command_grammar.h"

namespace zentor {

// Two alternatives of one nonterminal whose predict sets share tokens.
struct LL1Conflict {
  uint16_t nonterminal;  // n of NTn
  uint32_t firstProduction;
  uint32_t secondProduction;
  TokenSet sharedTokens;
};

class LL1Table {
 public:
  // The command grammar's table; an LL(1) conflict in it raises the
  // internal-consistency error.
  static const LL1Table& Get();

  // The table of any grammar (conflicts are recorded, not raised). The grammar must
  // outlive the table.
  explicit LL1Table(const CommandGrammar& grammar);

  const CommandGrammar& Grammar() const { return *m_grammar; }

  // n of NTn.
  bool Nullable(uint16_t n) const { return m_nullable.at(n); }
  const TokenSet& First(uint16_t n) const { return m_first.at(n); }
  const TokenSet& Follow(uint16_t n) const { return m_follow.at(n); }
  // FIRST of the right-hand side, plus FOLLOW of the nonterminal when the
  // right-hand side can derive nothing.
  const TokenSet& Predict(uint32_t production) const { return m_predict.at(production); }

  // The alternative of nonterminal n to take on the token: the first in table order
  // whose predict set holds it; -1 when none does.
  int32_t Choose(uint16_t n, uint8_t token) const {
    return m_choice[static_cast<size_t>(n) * 256 + token];
  }

  const std::vector<LL1Conflict>& Conflicts() const { return m_conflicts; }
  // One line per conflict ("NT12: 40/41 share IDENTIFIER ..."), empty when none.
  std::string DescribeConflicts() const;

  // Nonterminals reachable from the start symbol (indexed by n).
  std::vector<bool> ReachableNonterminals() const;

 private:
  void ComputeFirstSets();
  void ComputeFollowSets();
  void ComputePredictSets();
  // FIRST of symbols [begin, end) of the symbol array; *nullable set when all of
  // them can derive nothing.
  TokenSet FirstOfSequence(uint32_t begin, uint32_t end, bool* nullable) const;

  const CommandGrammar* m_grammar;
  std::vector<bool> m_nullable;
  std::vector<TokenSet> m_first;
  std::vector<TokenSet> m_follow;
  std::vector<TokenSet> m_predict;
  std::vector<int16_t> m_choice;
  std::vector<LL1Conflict> m_conflicts;
};

}  // namespace zentor
