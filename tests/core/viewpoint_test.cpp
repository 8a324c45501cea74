#include "core/current_viewpoint.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/core_test_support.h"
#include "core/frame_list.h"
#include "core/token_record.h"
#include "symbols/search_path.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

using testing_support::ChangeWatch;
using testing_support::CoreTestEnvironment;
using testing_support::ErrorThrownBy;

class ViewpointTest : public CoreTestEnvironment {};

TEST_F(ViewpointTest, StackOperationsKeepCurrentAndTellTheTarget) {
  AddViewpoint(0xA);
  AddViewpoint(0xB);
  AddViewpoint(0xC);
  struct Step {
    const char* name;
    void (*action)();
    uint32_t current;
    uint32_t depth;
  };
  const Step steps[] = {
      {"push A", [] { PushViewpoint(ViewpointHandle(0xA)); }, 0xA, 1},
      {"push B", [] { PushViewpoint(ViewpointHandle(0xB)); }, 0xB, 2},
      {"push current again", [] { PushCurrentViewpoint(); }, 0xB, 3},
      {"pop", [] { PopViewpointAction(); }, 0xB, 2},
      {"pop to A", [] { PopViewpoint(); }, 0xA, 1},
      {"pop to base", [] { PopViewpoint(); }, ViewpointHandle::kNone, 0},
      {"pop on empty stays at base", [] { PopViewpoint(); }, ViewpointHandle::kNone, 0},
      {"push B", [] { PushViewpoint(ViewpointHandle(0xB)); }, 0xB, 1},
      {"push A", [] { PushViewpoint(ViewpointHandle(0xA)); }, 0xA, 2},
      {"base C empties the stack", [] { SetBaseViewpoint(ViewpointHandle(0xC)); }, 0xC, 0},
      {"push A over C", [] { PushViewpoint(ViewpointHandle(0xA)); }, 0xA, 1},
      {"reset to C", [] { ResetViewpointStack(); }, 0xC, 0},
      {"pop on empty gives C", [] { PopViewpoint(); }, 0xC, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.action();
    EXPECT_EQ(CurrentViewpoint().Value(), step.current);
    EXPECT_EQ(GetCurrentViewpointValue(), step.current);
    EXPECT_EQ(ViewpointStackDepth(), step.depth);
    EXPECT_EQ(TmiSelectedViewpoint(), step.current);
  }
  EXPECT_EQ(GetBaseViewpoint().Value(), 0xCu);
}

TEST_F(ViewpointTest, EqualityAsksTheTargetOnlyForTwoRealDifferentValues) {
  struct Case {
    const char* name;
    uint32_t a, b;
    bool equal;
    uint32_t targetAsked;
  };
  const Case cases[] = {
      {"none and none", ViewpointHandle::kNone, ViewpointHandle::kNone, true, 0},
      {"none and 5", ViewpointHandle::kNone, 5, false, 0},
      {"5 and none", 5, ViewpointHandle::kNone, false, 0},
      {"5 and 5", 5, 5, true, 0},
      {"5 and 7", 5, 7, false, 1},
      {"0 and 7", 0, 7, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t before = TmiSameViewpointCallCount();
    EXPECT_EQ(ViewpointHandle(c.a) == ViewpointHandle(c.b), c.equal);
    EXPECT_EQ(ViewpointHandle(c.a) != ViewpointHandle(c.b), !c.equal);
    EXPECT_EQ(TmiSameViewpointCallCount() - before, c.targetAsked * 2);
  }
  EXPECT_EQ(ViewpointHandle().Value(), 0u);
}

TEST_F(ViewpointTest, TextFormsThroughTheTarget) {
  AddViewpoint(0x1f3);
  struct Case {
    const char* name;
    const char* text;
    uint32_t value;
  };
  const Case fromText[] = {
      {"known", "0x1f3", 0x1f3},
      {"upper-case digits", "0x1F3", 0x1f3},
      {"unknown", "0x1f4", ViewpointHandle::kNone},
      {"empty", "", ViewpointHandle::kNone},
      {"no prefix", "1f3", ViewpointHandle::kNone},
      {"prefix only", "0x", ViewpointHandle::kNone},
      {"more than 32 bits does not wrap onto a known id", "0x1000001f3", ViewpointHandle::kNone},
      {"trailing text ends the number", "0x1f3]", 0x1f3},
  };
  for (const Case& c : fromText) {
    SCOPED_TRACE(c.name);
    ViewpointHandle handle(123);
    handle.SetFromText(c.text);
    EXPECT_EQ(handle.Value(), c.value);
  }

  char buffer[ViewpointHandle::kMaxTextLength + 1];
  std::memset(buffer, 'x', sizeof buffer);
  ViewpointHandle(0x1f3).GetText(buffer);
  EXPECT_STREQ(buffer, "0x1f3");
  ViewpointHandle(0x99).GetText(buffer);
  EXPECT_STREQ(buffer, "");
  RWCString text;
  ViewpointHandle(0x1f3).GetText(text);
  EXPECT_EQ(text, "0x1f3");
}

TEST_F(ViewpointTest, SelectByNameTakesAliasOrTextForm) {
  AddViewpoint(0x10, "main");
  AddViewpoint(0x20);
  AddViewpoint(0x30, "mainly");
  struct Case {
    const char* name;
    const char* text;
    uint32_t pushed;  // kNone: message 251
  };
  const Case cases[] = {
      {"alias", "main", 0x10},
      {"longer alias", "mainly", 0x30},
      {"text form of a handle", "0x20", 0x20},
      {"text form of a handle that has an alias", "0x10", 0x10},
      {"alias is case-sensitive", "MAIN", ViewpointHandle::kNone},
      {"prefix of an alias", "mai", ViewpointHandle::kNone},
      {"known to nobody", "0x99", ViewpointHandle::kNone},
      {"empty", "", ViewpointHandle::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetViewpointStack();
    if (c.pushed == ViewpointHandle::kNone) {
      DVError error = ErrorThrownBy([&] { SelectViewpointNamed(c.text); });
      EXPECT_EQ(error.Number(), 251u);
      EXPECT_EQ(error.Severity(), 3u);
      EXPECT_EQ(error.DisplayMode(), 2u);
      EXPECT_EQ(error.ArgumentCount(), 0u);
      EXPECT_EQ(ViewpointStackDepth(), 0u);
    } else {
      SelectViewpointNamed(c.text);
      EXPECT_EQ(ViewpointStackDepth(), 1u);
      EXPECT_EQ(GetCurrentViewpointValue(), c.pushed);
    }
  }
  // The command action reads the name from the current token.
  ResetViewpointStack();
  SetTokenText(CurrentToken(), "mainly");
  SelectViewpointByName();
  EXPECT_EQ(GetCurrentViewpointValue(), 0x30u);

  // A name longer than the token buffer is cut, not overrun.
  std::string longName(1000, 'q');
  EXPECT_EQ(ErrorThrownBy([&] { SelectViewpointNamed(longName.c_str()); }).Number(), 251u);
}

TEST_F(ViewpointTest, AnErrorKeepsTheViewpointItWasRaisedIn) {
  AddViewpoint(0x70, "thread7");
  DVError caught;
  try {
    PushViewpoint(ViewpointHandle(0x70));
    throw DVError(35, 3, 4);
  } catch (const DVError& error) {
    caught = error;
  }
  ResetViewpointStack();
  EXPECT_EQ(caught.Stamp().Value(), 0x70u);
  EXPECT_EQ(std::string(caught.Header().data()), "ERROR #35 in [thread7]");
}

TEST_F(ViewpointTest, SymbolContextAndFrameListOfTheCurrentViewpoint) {
  SymbolContext* fallback = GetDefaultSymbolContext();
  EXPECT_EQ(GetCurrentSymbolContextOrDefault(), fallback);
  EXPECT_EQ(GetCurrentSymbolContextOrDefault(), fallback);
  EXPECT_EQ(GetGlobalSearchPath(), GetGlobalSearchPath());
  EXPECT_EQ(&GetSharedEmptyString(), &GetSharedEmptyString());
  EXPECT_EQ(GetSharedEmptyString(), "");

  // No viewpoint current: storing a context is an internal error, frames too.
  SymbolContext own;
  EXPECT_EQ(ErrorThrownBy([&] { SetCurrentSymbolContext_Checked(&own); }).Number(), 1u);
  EXPECT_EQ(ErrorThrownBy([] { GetCurrentFrameList(); }).Number(), 1u);

  AddViewpoint(0x5);
  PushViewpoint(ViewpointHandle(0x5));
  EXPECT_EQ(GetCurrentSymbolContextOrDefault(), fallback);
  SetCurrentSymbolContext_Checked(&own);
  EXPECT_EQ(GetCurrentSymbolContextOrDefault(), &own);
  // Every viewpoint has its own call stack until another is set.
  FrameList* ownFrames = GetCurrentFrameList();
  ASSERT_NE(ownFrames, nullptr);
  EXPECT_EQ(ownFrames->Count(), 0u);
  auto* frames = reinterpret_cast<FrameList*>(&own);
  ViewpointManager::SetFrameList(ViewpointHandle(0x5), frames);
  EXPECT_EQ(GetCurrentFrameList(), frames);
  ViewpointManager::SetFrameList(ViewpointHandle(0x5), nullptr);
  EXPECT_EQ(GetCurrentFrameList(), ownFrames);
  PopViewpoint();
  EXPECT_EQ(GetCurrentSymbolContextOrDefault(), fallback);
}

TEST_F(ViewpointTest, DisplayNamesAreBracketedAndBounded) {
  int32_t index = AddViewpoint(0xabc, "alias8ch");
  AddViewpoint(0xdef);
  EXPECT_FALSE(ViewpointManager::SetAlias(index, "ninechars"));
  EXPECT_FALSE(ViewpointManager::SetAlias(99, "x"));
  struct Case {
    const char* name;
    uint32_t value;
    bool aliasWanted;
    uint32_t size;
    const char* expected;
  };
  const Case cases[] = {
      {"alias", 0xabc, true, 80, "[alias8ch]"},
      {"alias not wanted", 0xabc, false, 80, "[0xabc]"},
      {"no alias", 0xdef, true, 80, "[0xdef]"},
      {"unknown to the target", 0x123, true, 80, "[]"},
      {"cut to the buffer", 0xabc, true, 6, "[ali]"},
      {"room for brackets only", 0xabc, true, 3, "[]"},
      {"too small for brackets", 0xabc, true, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char buffer[81];
    std::memset(buffer, '#', sizeof buffer);
    FormatViewpointName(c.value, buffer, c.size, c.aliasWanted);
    EXPECT_STREQ(buffer, c.expected);
    EXPECT_EQ(buffer[c.size], '#');
    if (c.size == 80) {
      EXPECT_EQ(std::string(ViewpointManager::DisplayNameOf(c.value, c.aliasWanted).data()), c.expected);
    }
  }
  EXPECT_EQ(ViewpointManager::HandleAt(-1).Value(), ViewpointHandle::kNone);
  EXPECT_EQ(ViewpointManager::HandleAt(2).Value(), ViewpointHandle::kNone);
  EXPECT_EQ(ViewpointManager::HandleAt(1).Value(), 0xdefu);
}

// The target proposes the alias of each new viewpoint; one in use gets the next number
// of the session's counter, cut so that alias and number fit 8 characters.
TEST_F(ViewpointTest, ProposedAliasesInUseAreNumbered) {
  ChangeWatch list(kRecordViewpointList);
  struct Case {
    uint32_t value;
    const char* proposed;
    const char* alias;
  };
  const Case cases[] = {
      {0x1, "SERVER", "SERVER"},     {0x2, "SERVER", "SERVER1"},  {0x3, "SERVER", "SERVER2"},
      {0x4, "LONGNAME", "LONGNAME"}, {0x5, "LONGNAME", "LONGNAM3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alias);
    TmiAddKnownViewpoint(c.value);
    const int32_t index = ViewpointManager::AddViewpoint(ViewpointHandle(c.value), c.proposed);
    EXPECT_EQ(std::string(ViewpointManager::AliasOf(index).data()), c.alias);
    EXPECT_EQ(ViewpointManager::AliasNumberOf(index), index);
    EXPECT_TRUE(list.Changed());
  }
  EXPECT_EQ(ViewpointManager::CurrentIndex(), 0) << "the first one added became current";
  EXPECT_EQ(GetBaseViewpoint().Value(), 0x1u);

  DVError status(0, 0, kDisplayByFocus);
  EXPECT_EQ(ViewpointManager::SetAlias(RWCString("SERVER2"), 0, status), 250u);
  EXPECT_EQ(status.Number(), 250u);
  EXPECT_EQ(std::string(ViewpointManager::AliasOf(0).data()), "SERVER") << "the alias in use is refused";
  ChangeWatch aliases(kRecordViewpointAlias);
  EXPECT_EQ(ViewpointManager::SetAlias(RWCString(), 1, status), 0u);
  EXPECT_TRUE(aliases.Changed());
  EXPECT_EQ(ViewpointManager::AliasNumberOf(1), -1);
  EXPECT_EQ(ViewpointManager::AliasNumberOf(2), 1) << "the aliased ones are numbered again";
  EXPECT_EQ(ViewpointManager::AliasedCount(), 4u);
}

// The viewpoint current after a removal is applied at the next command read: the
// record that takes the removed one's place, the new last one, or the one current.
TEST_F(ViewpointTest, RemovingViewpointsChoosesTheNextCurrentOne) {
  for (uint32_t value : {0xA, 0xB, 0xC, 0xD}) AddViewpoint(value);
  ChangeWatch current(kRecordCurrentViewpoint);
  struct Step {
    const char* name;
    int32_t select;     // index made current first, -1 none
    uint32_t removed;
    uint32_t after;     // current after the next command read
  };
  const Step steps[] = {
      {"the current one in the middle", 1, 0xB, 0xC},    // A C D
      {"the current last one", 2, 0xD, 0xC},             // A C
      {"one before the current one", 1, 0xA, 0xC},       // C
      {"an unknown one", 0, 0xE, 0xC},
      {"the only one", 0, 0xC, ViewpointHandle::kNone},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    ViewpointManager::SelectViewpoint(step.select);
    ViewpointManager::RemoveViewpoint(ViewpointHandle(step.removed));
    if (step.removed != 0xE) {
      EXPECT_EQ(ViewpointManager::CurrentIndex(), -1) << "nothing is current until the next read";
      EXPECT_EQ(GetCurrentViewpointValue(), ViewpointHandle::kNone);
    }
    EXPECT_TRUE(current.Changed());
    ViewpointManager::SetSelectionLock(true);
    ViewpointManager::ApplyPendingSelection();
    EXPECT_EQ(GetCurrentViewpointValue(), step.removed == 0xE ? step.after : ViewpointHandle::kNone)
        << "the lock keeps the selection pending";
    ViewpointManager::SetSelectionLock(false);
    ViewpointManager::ApplyPendingSelection();
    EXPECT_EQ(GetCurrentViewpointValue(), step.after);
    EXPECT_EQ(ViewpointManager::HandleAt(ViewpointManager::CurrentIndex()).Value(), step.after);
  }
  EXPECT_EQ(ViewpointManager::Count(), 0u);
  EXPECT_EQ(ViewpointManager::SelectedIndex(false), -1);
}

TEST_F(ViewpointTest, ViewpointSpecsTakeAnOpeningBracketAndAtMost66Characters) {
  const std::string long66(66, 'l');
  TmiAddKnownViewpoint(0x66);
  ViewpointManager::AddViewpoint(ViewpointHandle(0x66), long66.c_str());
  AddViewpoint(0xab, "abc");
  struct Case {
    const char* name;
    std::string text;
    uint32_t value;
  };
  const Case cases[] = {
      {"alias", "abc", 0xab},
      {"alias after a bracket", "[abc", 0xab},
      {"text form after a bracket", "[0x66", 0x66},
      {"66 characters", long66, 0x66},
      {"a bracket and 66 characters", "[" + long66, 0x66},
      {"67 characters", long66 + "l", ViewpointHandle::kNone},
      {"unknown", "[abd", ViewpointHandle::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ViewpointManager::ParseViewpointSpec(c.text.c_str()).Value(), c.value);
  }
  EXPECT_EQ(ViewpointManager::FindIndexByHandle(ViewpointHandle(0xab)), 1);
  EXPECT_EQ(ViewpointManager::FindIndexByHandle(ViewpointHandle(0xac)), -1);
}

}  // namespace
}  // namespace zentor
