#include "command/ll1_table.h"

#include "core/dv_error.h"

namespace zentor {

LL1Table::LL1Table(const CommandGrammar& grammar)
    : m_grammar(&grammar),
      m_nullable(kNonterminalCount, false),
      m_first(kNonterminalCount),
      m_follow(kNonterminalCount),
      m_choice(static_cast<size_t>(kNonterminalCount) * 256, -1) {
  ComputeFirstSets();
  ComputeFollowSets();
  ComputePredictSets();
}

const LL1Table& LL1Table::Get() {
  static const LL1Table table = [] {
    LL1Table built(CommandGrammar::Get());
    if (!built.Conflicts().empty()) ZENTOR_INTERNAL_ERROR();
    return built;
  }();
  return table;
}

TokenSet LL1Table::FirstOfSequence(uint32_t begin, uint32_t end, bool* nullable) const {
  TokenSet first;
  for (uint32_t i = begin; i < end; ++i) {
    const uint16_t symbol = m_grammar->SymbolAt(i);
    if (IsActionSymbol(symbol)) continue;  // actions derive nothing
    if (IsTerminalSymbol(symbol)) {
      first |= m_grammar->TerminalTokens(symbol);
      *nullable = false;
      return first;
    }
    const uint16_t n = symbol - kFirstNonterminal;
    first |= m_first[n];
    if (!m_nullable[n]) {
      *nullable = false;
      return first;
    }
  }
  *nullable = true;
  return first;
}

// FIRST and nullability grow together until nothing changes.
void LL1Table::ComputeFirstSets() {
  bool changed = true;
  while (changed) {
    changed = false;
    for (uint32_t p = 0; p < m_grammar->ProductionCount(); ++p) {
      const GrammarProduction& production = m_grammar->Production(p);
      const uint16_t n = production.nonterminal - kFirstNonterminal;
      bool nullable = false;
      const TokenSet first =
          FirstOfSequence(production.firstSymbol, production.firstSymbol + production.length, &nullable);
      if ((first & ~m_first[n]).any()) {
        m_first[n] |= first;
        changed = true;
      }
      if (nullable && !m_nullable[n]) {
        m_nullable[n] = true;
        changed = true;
      }
    }
  }
}

// FOLLOW(B) takes FIRST of what follows B in every right-hand side, and FOLLOW of the
// left-hand side when that rest can derive nothing. The start symbol is followed by
// nothing: a command ends with the parser's stop action, not with an end marker.
void LL1Table::ComputeFollowSets() {
  bool changed = true;
  while (changed) {
    changed = false;
    for (uint32_t p = 0; p < m_grammar->ProductionCount(); ++p) {
      const GrammarProduction& production = m_grammar->Production(p);
      const uint16_t left = production.nonterminal - kFirstNonterminal;
      const uint32_t end = production.firstSymbol + production.length;
      for (uint32_t i = production.firstSymbol; i < end; ++i) {
        const uint16_t symbol = m_grammar->SymbolAt(i);
        if (!IsNonterminalSymbol(symbol)) continue;
        const uint16_t n = symbol - kFirstNonterminal;
        bool restNullable = false;
        TokenSet add = FirstOfSequence(i + 1, end, &restNullable);
        if (restNullable) add |= m_follow[left];
        if ((add & ~m_follow[n]).any()) {
          m_follow[n] |= add;
          changed = true;
        }
      }
    }
  }
}

void LL1Table::ComputePredictSets() {
  m_predict.resize(m_grammar->ProductionCount());
  for (uint32_t p = 0; p < m_grammar->ProductionCount(); ++p) {
    const GrammarProduction& production = m_grammar->Production(p);
    const uint16_t n = production.nonterminal - kFirstNonterminal;
    bool nullable = false;
    m_predict[p] = FirstOfSequence(production.firstSymbol, production.firstSymbol + production.length, &nullable);
    if (nullable) m_predict[p] |= m_follow[n];
  }
  for (uint16_t n = 0; n < kNonterminalCount; ++n) {
    const uint32_t first = m_grammar->FirstProductionOf(n);
    const uint32_t count = m_grammar->AlternativeCountOf(n);
    for (uint32_t a = first; a < first + count; ++a) {
      for (uint32_t b = a + 1; b < first + count; ++b) {
        const TokenSet shared = m_predict[a] & m_predict[b];
        if (shared.any()) m_conflicts.push_back(LL1Conflict{n, a, b, shared});
      }
      // First match in table order wins, as the table is read.
      for (uint32_t token = 0; token < 256; ++token) {
        int16_t& choice = m_choice[static_cast<size_t>(n) * 256 + token];
        if (choice < 0 && m_predict[a].test(token)) choice = static_cast<int16_t>(a);
      }
    }
  }
}

std::string LL1Table::DescribeConflicts() const {
  std::string text;
  for (const LL1Conflict& conflict : m_conflicts) {
    text += "NT" + std::to_string(conflict.nonterminal) + ": alternatives " +
            std::to_string(conflict.firstProduction) + " and " + std::to_string(conflict.secondProduction) +
            " share";
    for (uint32_t token = 0; token < 256; ++token) {
      if (!conflict.sharedTokens.test(token)) continue;
      text += " " + (token < kFirstNonterminal ? m_grammar->SymbolName(static_cast<uint16_t>(token))
                                                : "T" + std::to_string(token));
    }
    text += "\n";
  }
  return text;
}

std::vector<bool> LL1Table::ReachableNonterminals() const {
  std::vector<bool> reached(kNonterminalCount, false);
  std::vector<uint16_t> pending{static_cast<uint16_t>(m_grammar->StartSymbol() - kFirstNonterminal)};
  reached[pending.front()] = true;
  while (!pending.empty()) {
    const uint16_t n = pending.back();
    pending.pop_back();
    const uint32_t first = m_grammar->FirstProductionOf(n);
    for (uint32_t p = first; p < first + m_grammar->AlternativeCountOf(n); ++p) {
      for (const uint16_t symbol : m_grammar->RightHandSide(p)) {
        if (!IsNonterminalSymbol(symbol)) continue;
        const uint16_t m = symbol - kFirstNonterminal;
        if (!reached[m]) {
          reached[m] = true;
          pending.push_back(m);
        }
      }
    }
  }
  return reached;
}

}  // namespace zentor
