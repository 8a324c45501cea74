#include "symbols/search_path.h"
#include "command/search_path_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "symbols/symbol_context.h"
#include "symbols/symbol_context_test_support.h"
#include "command/action_table.h"
#include "core/token_record.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

using testing_support::ChangeWatch;
using testing_support::ErrorNumberOf;
using testing_support::SymbolContextEnvironment;
using testing_support::Text;

std::vector<std::string> EntriesOf(const SearchPath& path) {
  std::vector<std::string> entries;
  for (uint32_t i = 0; i < path.Count(); ++i) entries.push_back(Text(path.Entry(i)));
  return entries;
}

class SearchPathTest : public SymbolContextEnvironment {};

TEST_F(SearchPathTest, AddRemoveAndAssignKeepOneEntryPerText) {
  enum class Op { Add, Remove, Assign };
  struct Step {
    Op m_op;
    const char* m_text;
  };
  struct Case {
    const char* m_name;
    std::vector<Step> m_steps;
    std::vector<std::string> m_expected;
  };
  const Case cases[] = {
      {"added in order", {{Op::Add, "a b"}, {Op::Add, "c"}}, {"a", "b", "c"}},
      {"present directory dropped", {{Op::Add, "a b"}, {Op::Add, "b a c"}}, {"a", "b", "c"}},
      {"one text naming a directory twice", {{Op::Add, "x y x"}}, {"x", "y"}},
      {"blanks, tabs and newlines separate", {{Op::Add, "  a\tb\n\nc  "}}, {"a", "b", "c"}},
      {"case makes different entries", {{Op::Add, "Src src SRC"}}, {"Src", "src", "SRC"}},
      {"texts kept as written", {{Op::Add, "c:/Src\\ ..\\x"}}, {"c:/Src\\", "..\\x"}},
      {"remove present", {{Op::Add, "a b c"}, {Op::Remove, "b"}}, {"a", "c"}},
      {"remove missing ignored", {{Op::Add, "a"}, {Op::Remove, "z A"}}, {"a"}},
      {"remove several", {{Op::Add, "a b c d"}, {Op::Remove, "d a"}}, {"b", "c"}},
      {"remove then add appends", {{Op::Add, "a b"}, {Op::Remove, "a"}, {Op::Add, "a"}}, {"b", "a"}},
      {"assign replaces", {{Op::Add, "a b"}, {Op::Assign, "c a"}}, {"c", "a"}},
      {"assign drops duplicates", {{Op::Assign, "q q r"}}, {"q", "r"}},
      {"assign empty", {{Op::Add, "a"}, {Op::Assign, ""}}, {}},
      {"add blanks only", {{Op::Add, " \t "}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SearchPath path;
    for (const Step& step : c.m_steps) {
      if (step.m_op == Op::Add) path.Add(step.m_text);
      if (step.m_op == Op::Remove) path.Remove(step.m_text);
      if (step.m_op == Op::Assign) path = RWCString(step.m_text);
    }
    EXPECT_EQ(EntriesOf(path), c.m_expected);
    std::string joined;
    for (const std::string& entry : c.m_expected) joined += (joined.empty() ? "" : " ") + entry;
    EXPECT_EQ(Text(path.AsText()), joined);
    EXPECT_EQ(Text(path.Entry(path.Count())), "");
    EXPECT_EQ(Text(path.Entry(0xFFFFFFFFu)), "");
  }
}

// Random adds, removes and assignments against a std::vector model of the rule.
TEST_F(SearchPathTest, RandomOperationsMatchAnOrderedSetModel) {
  const uint32_t seed = 77031;
  std::mt19937 random(seed);
  const char* const words[] = {"a", "A", "b", "src", "Src", "c:\\x", "..", "."};
  SearchPath path;
  std::vector<std::string> model;
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> tokens;
    const int count = static_cast<int>(random() % 4);
    std::string text;
    for (int i = 0; i < count; ++i) {
      tokens.push_back(words[random() % 8]);
      text += (random() % 2 ? " " : "\t") + tokens.back();
    }
    const unsigned op = random() % 5;
    if (op < 2) {
      path.Add(text.c_str());
      for (const std::string& token : tokens) {
        if (std::find(model.begin(), model.end(), token) == model.end()) model.push_back(token);
      }
    } else if (op < 4) {
      path.Remove(text.c_str());
      for (const std::string& token : tokens) {
        auto found = std::find(model.begin(), model.end(), token);
        if (found != model.end()) model.erase(found);
      }
    } else {
      path = RWCString(text.c_str());
      model.clear();
      for (const std::string& token : tokens) {
        if (std::find(model.begin(), model.end(), token) == model.end()) model.push_back(token);
      }
    }
    ASSERT_EQ(EntriesOf(path), model) << "seed " << seed << " round " << round;
  }
}

TEST_F(SearchPathTest, CopiesAreDeepAndSelfAssignmentKeepsEntries) {
  SearchPath original(RWCString("one two"));
  SearchPath copy(original);
  SearchPath assigned;
  assigned = original;
  original.Add("three");
  original.Remove("one");
  EXPECT_EQ(EntriesOf(copy), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(EntriesOf(assigned), (std::vector<std::string>{"one", "two"}));
  SearchPath& alias = assigned;
  assigned = alias;
  EXPECT_EQ(EntriesOf(assigned), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(EntriesOf(original), (std::vector<std::string>{"two", "three"}));
}

TEST_F(SearchPathTest, OverlongDirectoryIsRefusedAndNothingChanges) {
  const std::string longest(SearchPath::kMaxDirectoryLength, 'd');
  const std::string tooLong = longest + "d";
  struct Case {
    const char* m_name;
    void (*m_change)(SearchPath&, const std::string&);
  };
  const Case cases[] = {
      {"add", [](SearchPath& path, const std::string& text) { path.Add(text.c_str()); }},
      {"assign", [](SearchPath& path, const std::string& text) { path = RWCString(text.c_str()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SearchPath path(RWCString("keep"));
    EXPECT_EQ(ErrorNumberOf([&] { c.m_change(path, "new " + tooLong); }), kMsgInvalidSourcePathEntry);
    EXPECT_EQ(EntriesOf(path), (std::vector<std::string>{"keep"}));
    c.m_change(path, longest);
    EXPECT_EQ(path.Entry(path.Count() - 1).length(), SearchPath::kMaxDirectoryLength);
  }
  EXPECT_EQ(ErrorNumberOf([&] { SearchPath made(RWCString(tooLong.c_str())); }), kMsgInvalidSourcePathEntry);
}

// The command operations on the viewpoint's path (selector 0) and the global path (1),
// with the keywords standing for the paths as they were before the command.
TEST_F(SearchPathTest, CommandsExpandTheKeywordsWithThePathsBeforeTheChange) {
  enum class Command { Add, Remove, Set };
  struct Case {
    const char* m_name;
    const char* m_viewpointBefore;
    const char* m_globalBefore;
    Command m_command;
    uint32_t m_selector;
    const char* m_text;
    std::vector<std::string> m_viewpointAfter;
    std::vector<std::string> m_globalAfter;
  };
  const Case cases[] = {
      {"add to the viewpoint's path", "a", "g", Command::Add, 0, "b", {"a", "b"}, {"g"}},
      {"add to the global path", "a", "g", Command::Add, 1, "h", {"a"}, {"g", "h"}},
      {"SPATH added to itself changes nothing", "a b", "g", Command::Add, 0, "SPATH", {"a", "b"}, {"g"}},
      {"set to GLOBALPATH copies it", "a", "g h", Command::Set, 0, "GLOBALPATH", {"g", "h"}, {"g", "h"}},
      {"keywords in any case", "a", "g", Command::Set, 1, "gLoBaLpAtH sPaTh", {"a"}, {"g", "a"}},
      {"expansion sees the old path", "a", "g", Command::Set, 1, "x GLOBALPATH y", {"a"}, {"x", "g", "y"}},
      {"words that only begin with a keyword", "a", "g", Command::Add, 0, "SPATHX GLOBALPATHS",
       {"a", "SPATHX", "GLOBALPATHS"}, {"g"}},
      {"remove through a keyword", "a b", "b c", Command::Remove, 0, "GLOBALPATH", {"a"}, {"b", "c"}},
      {"remove a missing directory", "a", "g", Command::Remove, 1, "zz", {"a"}, {"g"}},
      {"set to an empty text", "a", "g", Command::Set, 0, "", {}, {"g"}},
      {"empty keyword expands to nothing", "", "g", Command::Add, 1, "SPATH", {}, {"g"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    SearchPath& viewpoint = GetCurrentSymbolContext()->SourcePathList();
    viewpoint = RWCString(c.m_viewpointBefore);
    *GetGlobalSearchPath() = RWCString(c.m_globalBefore);
    ChangeWatch watch(kRecordSearchPaths);
    if (c.m_command == Command::Add) AddToSearchPath(c.m_text, c.m_selector);
    if (c.m_command == Command::Remove) RemoveFromSearchPath(c.m_text, c.m_selector);
    if (c.m_command == Command::Set) SetSearchPath(c.m_text, c.m_selector);
    EXPECT_EQ(EntriesOf(viewpoint), c.m_viewpointAfter);
    EXPECT_EQ(EntriesOf(*GetGlobalSearchPath()), c.m_globalAfter);
    EXPECT_TRUE(watch.Changed()) << "search-path watchers are told";
  }
}

TEST_F(SearchPathTest, CommandsWorkOnTheCurrentViewpointsOwnPath) {
  GetDefaultSymbolContext()->SourcePathList() = RWCString("d1 d2");
  SymbolContext& own = MakeViewpointWithContext(0x21);
  // A new viewpoint starts with the default directories.
  EXPECT_EQ(EntriesOf(own.SourcePathList()), (std::vector<std::string>{"d1", "d2"}));
  AddToSearchPath("mine", kViewpointSearchPath);
  EXPECT_EQ(EntriesOf(own.SourcePathList()), (std::vector<std::string>{"d1", "d2", "mine"}));
  EXPECT_EQ(EntriesOf(GetDefaultSymbolContext()->SourcePathList()), (std::vector<std::string>{"d1", "d2"}));
  PopViewpoint();
  AddToSearchPath("fallback", kViewpointSearchPath);
  EXPECT_EQ(EntriesOf(GetDefaultSymbolContext()->SourcePathList()),
            (std::vector<std::string>{"d1", "d2", "fallback"}));
  EXPECT_EQ(EntriesOf(own.SourcePathList()), (std::vector<std::string>{"d1", "d2", "mine"}));
}

TEST_F(SearchPathTest, ShowWritesOneDirectoryPerLine) {
  struct Case {
    const char* m_name;
    uint32_t m_selector;
    const char* m_viewpoint;
    const char* m_global;
    const char* m_expected;
  };
  const Case cases[] = {
      {"viewpoint's path", 0, "c:\\src d:\\lib\\", "g", "c:\\src\r\nd:\\lib\\\r\n"},
      {"global path", 1, "a", "\\\\server\\src .", "\\\\server\\src\r\n.\r\n"},
      {"empty path prints nothing", 1, "a", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    GetCurrentSymbolContext()->SourcePathList() = RWCString(c.m_viewpoint);
    *GetGlobalSearchPath() = RWCString(c.m_global);
    TakeOutput();
    ShowSearchPath(c.m_selector);
    EXPECT_EQ(TakeOutput(), c.m_expected);
  }
}

TEST_F(SearchPathTest, UnknownSelectorIsAnInternalError) {
  *GetGlobalSearchPath() = RWCString("g");
  ChangeWatch watch(kRecordSearchPaths);
  EXPECT_EQ(ErrorNumberOf([] { AddToSearchPath("x", 2); }), 1u);
  EXPECT_EQ(ErrorNumberOf([] { RemoveFromSearchPath("g", 7); }), 1u);
  EXPECT_EQ(ErrorNumberOf([] { SetSearchPath("", 0xFFFFFFFFu); }), 1u);
  EXPECT_EQ(ErrorNumberOf([] { ShowSearchPath(2); }), 1u);
  EXPECT_FALSE(watch.Changed()) << "a refused command tells nobody";
  EXPECT_EQ(EntriesOf(*GetGlobalSearchPath()), (std::vector<std::string>{"g"}));
}

// The loaded program's modules forget their source views after every change.
int g_forgetCalls = 0;
class CountingLoaderState : public LoaderStateBase {
 public:
  void ForgetModuleViewPositions() override { ++g_forgetCalls; }
};

TEST_F(SearchPathTest, ChangesMakeTheModulesForgetTheirSourceViews) {
  SetLoaderStateFactory([]() -> std::unique_ptr<LoaderStateBase> { return std::make_unique<CountingLoaderState>(); });
  MakeViewpointWithContext(0x31);
  g_forgetCalls = 0;
  AddToSearchPath("a", kViewpointSearchPath);
  RemoveFromSearchPath("a", kGlobalSearchPath);
  SetSearchPath("b", kGlobalSearchPath);
  ShowSearchPath(kGlobalSearchPath);
  EXPECT_EQ(g_forgetCalls, 3);
}

// The command actions take the selector from the value stack and the directories from
// the current token, as the grammar leaves them.
TEST_F(SearchPathTest, BoundActionsTakeSelectorAndTokenText) {
  BindSearchPathActions();
  auto run = [](uint16_t slot, uint16_t selector, const char* text) {
    ValueStack::Push(kKindOrd2, &selector);
    SetTokenText(CurrentToken(), text);
    ActionTable::Run(slot);
  };
  struct Case {
    const char* m_name;
    uint16_t m_slot;
    uint16_t m_selector;
    const char* m_text;
    const char* m_viewpointAfter;
    const char* m_globalAfter;
  };
  const Case cases[] = {
      {"spath += ", kSlotAddToSearchPath, 0, "c:\\one two", "c:\\one two", ""},
      {"globalpath = ", kSlotSetSearchPath, 1, "g SPATH", "c:\\one two", "g c:\\one two"},
      {"spath -= ", kSlotRemoveFromSearchPath, 0, "two", "c:\\one", "g c:\\one two"},
      {"globalpath -= ", kSlotRemoveFromSearchPath, 1, "g", "c:\\one", "c:\\one two"},
      {"spath = ", kSlotSetSearchPath, 0, "GLOBALPATH x", "c:\\one two x", "c:\\one two"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.m_name);
    run(c.m_slot, c.m_selector, c.m_text);
    EXPECT_EQ(Text(GetCurrentSymbolContext()->SourcePathList().AsText()), c.m_viewpointAfter);
    EXPECT_EQ(Text(GetGlobalSearchPath()->AsText()), c.m_globalAfter);
    EXPECT_EQ(ValueStack::TopKind(), kKindEmpty) << "the selector is consumed";
  }

  TakeOutput();
  uint16_t selector = kGlobalSearchPath;
  ValueStack::Push(kKindOrd2, &selector);
  ActionTable::Run(kSlotShowSearchPath);
  EXPECT_EQ(TakeOutput(), "c:\\one\r\ntwo\r\n");

  selector = 2;
  ValueStack::Push(kKindOrd2, &selector);
  EXPECT_EQ(ErrorNumberOf([] { ActionTable::Run(kSlotShowSearchPath); }), 1u);

  // setmod's slot drops the location it is given and changes nothing.
  uint8_t location[ValueStack::kMaxItemSize] = {};
  ValueStack::PushSized(kKindPointerLocation, 4, location);
  ActionTable::Run(kSlotSearchPathNoOp);
  EXPECT_EQ(ValueStack::TopKind(), kKindEmpty);
  EXPECT_EQ(Text(GetGlobalSearchPath()->AsText()), "c:\\one two");
  ActionTable::ResetToDefaults();
}

}  // namespace
}  // namespace zentor
