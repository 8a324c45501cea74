// The command grammar and its LL(1) table: the table is computed from the grammar,
// so these tests check the computation against an independent one, check that the
// grammar has no conflict and reaches every production, and check that a conflict
// in a grammar is found.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/command_grammar.h"
#include "command/ll1_table.h"
#include "command/token_table.h"

namespace zentor {
namespace {

// FIRST, nullable and FOLLOW computed a second way: nullability and FIRST by
// depth-first search per nonterminal over the grammar's productions, repeated until
// stable, and FOLLOW by scanning every occurrence — written without the table's
// helpers so that a fault in them shows as a difference.
struct ReferenceSets {
  std::vector<bool> nullable = std::vector<bool>(kNonterminalCount, false);
  std::vector<std::set<int>> first = std::vector<std::set<int>>(kNonterminalCount);
  std::vector<std::set<int>> follow = std::vector<std::set<int>>(kNonterminalCount);
};

std::set<int> TokensOf(const CommandGrammar& grammar, uint16_t terminal) {
  std::set<int> tokens;
  for (int t = 0; t < 256; ++t) {
    if (grammar.TerminalMatches(terminal, static_cast<uint8_t>(t))) tokens.insert(t);
  }
  return tokens;
}

ReferenceSets ComputeReference(const CommandGrammar& grammar) {
  ReferenceSets sets;
  // Nullable: a production all of whose symbols are actions or nullable nonterminals.
  for (bool changed = true; changed;) {
    changed = false;
    for (uint32_t p = 0; p < grammar.ProductionCount(); ++p) {
      const int n = grammar.Production(p).nonterminal - kFirstNonterminal;
      if (sets.nullable[n]) continue;
      bool all = true;
      for (const uint16_t s : grammar.RightHandSide(p)) {
        if (IsActionSymbol(s)) continue;
        if (IsTerminalSymbol(s) || !sets.nullable[s - kFirstNonterminal]) {
          all = false;
          break;
        }
      }
      if (all) sets.nullable[n] = changed = true;
    }
  }
  // FIRST of one symbol string, given the FIRST sets so far.
  auto firstOf = [&](std::span<const uint16_t> symbols, bool* nullable) {
    std::set<int> result;
    for (const uint16_t s : symbols) {
      if (IsActionSymbol(s)) continue;
      if (IsTerminalSymbol(s)) {
        const std::set<int> tokens = TokensOf(grammar, s);
        result.insert(tokens.begin(), tokens.end());
        *nullable = false;
        return result;
      }
      const auto& f = sets.first[s - kFirstNonterminal];
      result.insert(f.begin(), f.end());
      if (!sets.nullable[s - kFirstNonterminal]) {
        *nullable = false;
        return result;
      }
    }
    *nullable = true;
    return result;
  };
  for (bool changed = true; changed;) {
    changed = false;
    for (uint32_t p = 0; p < grammar.ProductionCount(); ++p) {
      const int n = grammar.Production(p).nonterminal - kFirstNonterminal;
      bool nullable = false;
      for (const int t : firstOf(grammar.RightHandSide(p), &nullable)) changed |= sets.first[n].insert(t).second;
    }
  }
  for (bool changed = true; changed;) {
    changed = false;
    for (uint32_t p = 0; p < grammar.ProductionCount(); ++p) {
      const int left = grammar.Production(p).nonterminal - kFirstNonterminal;
      const auto rhs = grammar.RightHandSide(p);
      for (size_t i = 0; i < rhs.size(); ++i) {
        if (!IsNonterminalSymbol(rhs[i])) continue;
        bool restNullable = false;
        std::set<int> add = firstOf(rhs.subspan(i + 1), &restNullable);
        if (restNullable) add.insert(sets.follow[left].begin(), sets.follow[left].end());
        for (const int t : add) changed |= sets.follow[rhs[i] - kFirstNonterminal].insert(t).second;
      }
    }
  }
  return sets;
}

std::set<int> AsSet(const TokenSet& tokens) {
  std::set<int> result;
  for (int t = 0; t < 256; ++t) {
    if (tokens.test(t)) result.insert(t);
  }
  return result;
}

TEST(CommandGrammar, ReadsAllAlternativesInTableOrder) {
  const CommandGrammar& grammar = CommandGrammar::Get();
  ASSERT_EQ(grammar.ProductionCount(), 361u);
  // Alternatives of a nonterminal are consecutive and the left-hand sides ascend.
  uint16_t previous = 0;
  for (uint32_t p = 0; p < grammar.ProductionCount(); ++p) {
    const uint16_t n = grammar.Production(p).nonterminal - kFirstNonterminal;
    SCOPED_TRACE(grammar.ProductionText(p));
    ASSERT_GE(n, previous);
    previous = n;
    ASSERT_GE(p, grammar.FirstProductionOf(n));
    ASSERT_LT(p, grammar.FirstProductionOf(n) + grammar.AlternativeCountOf(n));
  }
  struct Case {
    uint32_t production;
    const char* text;
  };
  // The ends of the table and alternatives whose position other tables rely on.
  const Case cases[] = {
      {0, "NT0 : NT121"},
      {4, "NT0 : (empty)"},
      {5, "NT1 : \"printf\" NT2 NT3"},
      {360, "NT143 : A212 NT141 NT140 END_OF_LINE A211 A210 A209 A210 A208"},
      {grammar.FirstProductionOf(99) + 10, "NT99 : A210 A19 A210 A9 \"*\"/\"/\"/\"%\" \"endexpr\" A210 A91"},
      {grammar.FirstProductionOf(84), "NT84 : IDENTIFIER A202 A79 NT37"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(grammar.ProductionText(c.production), c.text);
  }
}

TEST(CommandGrammar, TerminalWordsHaveTheScannersTokenCodes) {
  // Words of the built-in table must carry the scanner's codes; the others are the
  // target's command words, which the target interface adds with these codes.
  std::map<std::string, uint8_t> scanner;
  for (const TokenTableRow& row : TokenTable()) scanner.emplace(row.text, row.token);
  const std::map<std::string, uint8_t> target = {
      {"unload", 62},  {"loadsym", 53}, {"nlms", 49},   {"waitingthreads", 47}, {"screens", 45}, {"runqueue", 39},
      {"stack", 59},   {"threads", 30}, {"clearsym", 28}, {"regs", 61},         {"fregs", 61},   {"sw", 10},
      {"hw", 8},       {"acc", 7},      {"wr", 6}};
  for (const GrammarTerminalWord& word : GrammarTerminalWords()) {
    SCOPED_TRACE(word.text);
    const auto it = scanner.find(word.text);
    if (it != scanner.end()) {
      EXPECT_EQ(word.token, it->second);
    } else {
      ASSERT_TRUE(target.count(word.text)) << "a word that neither the scanner nor the target has";
      EXPECT_EQ(word.token, target.at(word.text));
    }
  }
  // Variable tokens are no keyword's code.
  for (const TokenTableRow& row : TokenTable()) {
    SCOPED_TRACE(row.text);
    EXPECT_FALSE(IsVariableToken(row.token));
  }
}

TEST(LL1Table, CommandGrammarHasNoConflictAndReachesEveryProduction) {
  const LL1Table& table = LL1Table::Get();
  EXPECT_TRUE(table.Conflicts().empty()) << table.DescribeConflicts();
  const CommandGrammar& grammar = table.Grammar();
  const std::vector<bool> reached = table.ReachableNonterminals();
  for (uint16_t n = 0; n < kNonterminalCount; ++n) {
    SCOPED_TRACE("NT" + std::to_string(n));
    EXPECT_EQ(reached[n], grammar.AlternativeCountOf(n) > 0);
  }
  // Each alternative is taken on some token and is the one chosen on all of its own.
  for (uint32_t p = 0; p < grammar.ProductionCount(); ++p) {
    SCOPED_TRACE(grammar.ProductionText(p));
    const uint16_t n = grammar.Production(p).nonterminal - kFirstNonterminal;
    EXPECT_TRUE(table.Predict(p).any());
    for (int t = 0; t < 256; ++t) {
      if (table.Predict(p).test(t)) {
        EXPECT_EQ(table.Choose(n, static_cast<uint8_t>(t)), static_cast<int32_t>(p));
      }
    }
  }
  // A bad token starts nothing.
  for (uint16_t n = 0; n < kNonterminalCount; ++n) {
    EXPECT_EQ(table.Choose(n, 253), -1);
    EXPECT_EQ(table.Choose(n, 255), -1);
  }
}

TEST(LL1Table, SetsAgreeWithAnIndependentComputation) {
  const LL1Table& table = LL1Table::Get();
  const CommandGrammar& grammar = table.Grammar();
  const ReferenceSets reference = ComputeReference(grammar);
  for (uint16_t n = 0; n < kNonterminalCount; ++n) {
    if (grammar.AlternativeCountOf(n) == 0) continue;
    SCOPED_TRACE("NT" + std::to_string(n));
    EXPECT_EQ(table.Nullable(n), reference.nullable[n]);
    EXPECT_EQ(AsSet(table.First(n)), reference.first[n]);
    EXPECT_EQ(AsSet(table.Follow(n)), reference.follow[n]);
  }
}

TEST(LL1Table, FindsConflictsAndComputesSetsOfSmallGrammars) {
  struct Case {
    const char* name;
    const char* text;
    std::vector<std::pair<uint32_t, uint32_t>> conflicts;
    std::set<int> followOfNt1;
  };
  const Case cases[] = {
      {"two alternatives start with the same word",
       "NT0 : \"go\" NT1 END_OF_LINE\nNT1 : \"halt\"\n | \"halt\" \"wait\"\n",
       {{1, 2}},
       {4}},
      {"words sharing a token code collide",
       "NT0 : NT1 END_OF_LINE\nNT1 : \"step\" A1\n | \"istep\"\n",
       {{1, 2}},
       {4}},
      {"an empty alternative collides with what follows",
       "NT0 : NT1 \"halt\"\nNT1 : A5\n | \"halt\"\n",
       {{1, 2}},
       {52}},
      {"actions are transparent to FIRST",
       "NT0 : NT1 \"go\"\nNT1 : A210 A193 \"halt\"\n | A3 A4\n",
       {},
       {56}},
      {"follow passes through a nullable tail",
       "NT0 : NT2 \"wait\"\nNT2 : NT1 NT3\nNT3 : (empty)\n | \"go\"\nNT1 : \"halt\"\n",
       {},
       {54, 56}},
      {"VARIABLE stands for all variable tokens",
       "NT0 : NT1 END_OF_LINE\nNT1 : VARIABLE\n | \"halt\"\n",
       {},
       {4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const CommandGrammar grammar = CommandGrammar::FromText(c.text, 0, &error);
    ASSERT_EQ(error, "");
    const LL1Table table(grammar);
    std::vector<std::pair<uint32_t, uint32_t>> found;
    for (const LL1Conflict& conflict : table.Conflicts()) {
      found.emplace_back(conflict.firstProduction, conflict.secondProduction);
    }
    EXPECT_EQ(found, c.conflicts) << table.DescribeConflicts();
    EXPECT_EQ(AsSet(table.Follow(1)), c.followOfNt1);
    const ReferenceSets reference = ComputeReference(grammar);
    for (uint16_t n = 0; n < 4; ++n) {
      if (grammar.AlternativeCountOf(n) == 0) continue;
      EXPECT_EQ(AsSet(table.First(n)), reference.first[n]);
      EXPECT_EQ(AsSet(table.Follow(n)), reference.follow[n]);
    }
  }
  // The VARIABLE alternative is chosen on every variable token and nothing else.
  std::string error;
  const CommandGrammar grammar = CommandGrammar::FromText("NT0 : NT1\nNT1 : VARIABLE\n | \"halt\"\n", 0, &error);
  const LL1Table table(grammar);
  for (int t = 0; t < 256; ++t) {
    const int32_t expected = IsVariableToken(static_cast<uint8_t>(t)) ? 1 : (t == 52 ? 2 : -1);
    EXPECT_EQ(table.Choose(1, static_cast<uint8_t>(t)), expected) << "token " << t;
  }
}

TEST(CommandGrammar, RejectsMalformedTables) {
  struct Case {
    const char* name;
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"unknown word", "NT0 : \"frobnicate\"\n", "unknown word"},
      {"joined words of two tokens", "NT0 : \"go\"/\"halt\"\n", "different tokens"},
      {"alternative first", "| \"go\"\n", "before any nonterminal"},
      {"split alternatives", "NT0 : NT1\nNT1 : \"go\"\nNT0 : \"halt\"\n", "not consecutive"},
      {"undefined nonterminal", "NT0 : NT7\n", "NT7 has no alternatives"},
      {"action beyond the table", "NT0 : A213\n", "unknown symbol"},
      {"nonterminal beyond the table", "NT0 : NT144\n", "unknown symbol"},
      {"missing right-hand side", "NT0 :\n", "empty right-hand side"},
      {"unterminated quote", "NT0 : \"go\n", "malformed"},
      {"no start", "NT1 : \"go\"\n", "start nonterminal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    const CommandGrammar grammar = CommandGrammar::FromText(c.text, 0, &error);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(grammar.ProductionCount(), 0u);
  }
}

}  // namespace
}  // namespace zentor
