// The routine registry, the action table's bindings and the clean-up stack.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/search_path_commands.h"
#include "command/symbol_lookup_commands.h"
#include "console/cleanup_stack.h"
#include "core/dv_error.h"
#include "core/message_table.h"

namespace zentor {
namespace {

std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;
  return calls;
}

std::string CallText() {
  std::string text;
  for (const std::string& call : Calls()) text += (text.empty() ? "" : " ") + call;
  return text;
}

// Each routine records the name it runs under, so one function serves several names.
void RecordRunningName() { Calls().push_back(RoutineRegistry::Name(RoutineRegistry::Running())); }
void RaiseError() {
  Calls().push_back(RoutineRegistry::Name(RoutineRegistry::Running()));
  throw DVError(35, kSeverityError);
}
void PushWhileRunning() {
  Calls().push_back("pusher");
  CleanupStack::Push(&RecordRunningName, "pushed-late");
}
void DropWhileRunning() {
  Calls().push_back("dropper");
  CleanupStack::Drop();
}
void Prelude() { Calls().push_back("prelude"); }

TEST(RoutineRegistry, IdsAreStablePerRoutineAndName) {
  const RoutineId a = RoutineRegistry::Register(&RecordRunningName, "registry-a");
  const RoutineId b = RoutineRegistry::Register(&RecordRunningName, "registry-b");
  EXPECT_NE(a, b);
  EXPECT_EQ(RoutineRegistry::Register(&RecordRunningName, "registry-a"), a);
  EXPECT_EQ(RoutineRegistry::FindByName("registry-b"), b);
  EXPECT_STREQ(RoutineRegistry::Name(a), "registry-a");
  EXPECT_EQ(RoutineRegistry::Routine(b), &RecordRunningName);
  EXPECT_FALSE(RoutineRegistry::IsValid(RoutineRegistry::Count()));
  EXPECT_STREQ(RoutineRegistry::Name(kNoRoutineId), "<no routine>");
  EXPECT_EQ(RoutineRegistry::Routine(kNoRoutineId), nullptr);

  Calls().clear();
  RoutineRegistry::Invoke(b);
  RoutineRegistry::Invoke(a);
  EXPECT_EQ(CallText(), "registry-b registry-a");
  EXPECT_EQ(RoutineRegistry::Running(), kNoRoutineId);
}

TEST(RoutineRegistry, BadIdsAreBadCodeAndRunningIdIsRestored) {
  for (const RoutineId id : {RoutineRegistry::Count(), RoutineRegistry::Count() + 1000, kNoRoutineId}) {
    SCOPED_TRACE(id);
    try {
      RoutineRegistry::Invoke(id);
      ADD_FAILURE() << "invoked";
    } catch (const DVError& error) {
      EXPECT_EQ(error.Number(), kMsgBadPostfixCode);
      EXPECT_EQ(error.Severity(), kSeverityInternal);
    }
  }
  const RoutineId raising = RoutineRegistry::Register(&RaiseError, "raising");
  EXPECT_THROW(RoutineRegistry::Invoke(raising), DVError);
  EXPECT_EQ(RoutineRegistry::Running(), kNoRoutineId);
}

TEST(ActionTable, SlotsStartBoundOrUnbound) {
  ActionTable::ResetToDefaults();
  for (uint16_t slot = 0; slot < ActionTable::kSlotCount; ++slot) {
    SCOPED_TRACE(slot);
    EXPECT_TRUE(RoutineRegistry::IsValid(ActionTable::RoutineIdOf(slot)));
    EXPECT_STRNE(ActionTable::DefaultRoutineName(slot), "");
    EXPECT_STRNE(ActionTable::ServedBy(slot), "");
  }
  struct Case {
    uint16_t slot;
    bool available;
    const char* servedBy;
  };
  const Case cases[] = {
      {33, true, "Binary operators"},          {95, true, "The if statement"},
      {208, true, "The command parser"},       {187, false, "The halt command"},
      {84, false, "The go command"},           {15, true, "Symbol lookup"},
      {191, true, "Value display"},            {123, false, "The step commands"},
      {168, false, "The calls command"},       {185, false, "The wait command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    EXPECT_EQ(ActionTable::IsAvailable(c.slot), c.available);
    EXPECT_STREQ(ActionTable::ServedBy(c.slot), c.servedBy);
    if (c.available) continue;
    try {
      ActionTable::Run(c.slot);
      ADD_FAILURE() << "ran";
    } catch (const DVError& error) {
      EXPECT_EQ(error.Number(), kMsgInternalAnomaly);
      EXPECT_EQ(error.Severity(), kSeverityInternal);
    }
  }
  // The marker slots do nothing when they run.
  for (const uint16_t slot : {67, 70, 141, 202, 210, 211, 212}) {
    SCOPED_TRACE(slot);
    EXPECT_NO_THROW(ActionTable::Run(slot));
  }
  EXPECT_THROW(ActionTable::RoutineIdOf(ActionTable::kSlotCount), DVError);
}

TEST(ActionTable, BindUnbindAndReset) {
  ActionTable::ResetToDefaults();
  ActionTable::Bind(187, &RecordRunningName, "HaltForTest");
  EXPECT_TRUE(ActionTable::IsAvailable(187));
  EXPECT_STREQ(ActionTable::RoutineNameOf(187), "HaltForTest");
  Calls().clear();
  ActionTable::Run(187);
  EXPECT_EQ(CallText(), "HaltForTest");

  // Bound again as it is, the slot keeps its id; under another name or to another
  // routine, it takes the registry's id of the new pair.
  const RoutineId halt = ActionTable::RoutineIdOf(187);
  ActionTable::Bind(187, &RecordRunningName, std::string("HaltForTest").c_str());
  EXPECT_EQ(ActionTable::RoutineIdOf(187), halt);
  ActionTable::Bind(187, &RecordRunningName, "HaltForTest2");
  EXPECT_EQ(ActionTable::RoutineIdOf(187), RoutineRegistry::Register(&RecordRunningName, "HaltForTest2"));
  ActionTable::Bind(187, &Prelude, "HaltForTest2");
  EXPECT_EQ(ActionTable::RoutineIdOf(187), RoutineRegistry::Register(&Prelude, "HaltForTest2"));
  ActionTable::Bind(187, &RecordRunningName, "HaltForTest");
  EXPECT_EQ(ActionTable::RoutineIdOf(187), halt);

  ActionTable::Unbind(187);
  EXPECT_FALSE(ActionTable::IsAvailable(187));
  EXPECT_THROW(ActionTable::Run(187), DVError);

  ActionTable::Bind(33, &RecordRunningName, "OperatorForTest");
  ActionTable::Bind(84, &RecordRunningName, "GoForTest");
  ActionTable::ResetToDefaults();
  EXPECT_STREQ(ActionTable::RoutineNameOf(33), "OperatorExecutor");
  EXPECT_FALSE(ActionTable::IsAvailable(84));
}

TEST(CleanupStack, RunsNewestFirstAndOnlyWhatIsStillPushed) {
  const RoutineId a = RoutineRegistry::Register(&RecordRunningName, "undo-a");
  const RoutineId b = RoutineRegistry::Register(&RecordRunningName, "undo-b");
  const RoutineId c = RoutineRegistry::Register(&RecordRunningName, "undo-c");
  const RoutineId failing = RoutineRegistry::Register(&RaiseError, "undo-failing");
  const RoutineId pusher = RoutineRegistry::Register(&PushWhileRunning, "pusher");
  const RoutineId dropper = RoutineRegistry::Register(&DropWhileRunning, "dropper");
  struct Step {
    char op;  // 'p' push, 'd' drop, 'c' clear
    RoutineId routine;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    const char* calls;
    uint32_t reported = 0;  // the error reported after the walk
  };
  const Case cases[] = {
      {"nothing pushed", {}, ""},
      {"two pushes run newest first", {{'p', a}, {'p', b}}, "undo-b undo-a"},
      {"drop forgets the newest", {{'p', a}, {'p', b}, {'d', 0}}, "undo-a"},
      {"drop on an empty stack does nothing", {{'d', 0}, {'d', 0}, {'p', c}}, "undo-c"},
      {"more drops than pushes", {{'p', a}, {'d', 0}, {'d', 0}, {'p', b}}, "undo-b"},
      {"clear runs nothing", {{'p', a}, {'c', 0}, {'p', b}}, "undo-b"},
      {"an error does not stop the older ones and is reported after them",
       {{'p', a}, {'p', failing}, {'p', c}},
       "undo-c undo-failing undo-a",
       35},
      {"pushes while running are not run", {{'p', a}, {'p', pusher}}, "pusher undo-a"},
      {"drops while running do not skip routines", {{'p', a}, {'p', b}, {'p', dropper}}, "dropper undo-b undo-a"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    CleanupStack::Clear();
    uint32_t expectedCount = 0;
    for (const Step& step : test.steps) {
      if (step.op == 'p') {
        CleanupStack::Push(step.routine);
        ++expectedCount;
      } else if (step.op == 'd') {
        CleanupStack::Drop();
        if (expectedCount > 0) --expectedCount;
      } else {
        CleanupStack::Clear();
        expectedCount = 0;
      }
    }
    EXPECT_EQ(CleanupStack::Count(), expectedCount);
    Calls().clear();
    LastError() = DVError(0, 0, kDisplayNone);
    CleanupStack::RunAll();
    EXPECT_EQ(CallText(), test.calls);
    EXPECT_EQ(LastError().Number(), test.reported);
    EXPECT_EQ(CleanupStack::Count(), 0u);
    Calls().clear();
    CleanupStack::RunAll();
    EXPECT_EQ(CallText(), "") << "a second walk finds nothing";
  }
}

TEST(CleanupStack, PreludeRunsFirstAndRoutinesPushByAddress) {
  CleanupStack::Clear();
  CleanupStack::SetRunAllPrelude(&Prelude);
  CleanupStack::Push(&RecordRunningName, "by-address");
  CleanupStack::Push(&RecordRunningName, "by-address");
  Calls().clear();
  CleanupStack::RunAll();
  EXPECT_EQ(CallText(), "prelude by-address by-address");
  CleanupStack::SetRunAllPrelude(nullptr);
  Calls().clear();
  CleanupStack::RunAll();
  EXPECT_EQ(CallText(), "");
}

// Every slot the command language and the symbol tables own holds its routine once
// their binders have run: none answers that it is not available.
TEST(ActionTableTest, NoSlotOfTheCommandLanguageOrTheSymbolTablesIsUnavailable) {
  BindSymbolLookupActions();
  BindSearchPathActions();
  const uint16_t owned[] = {
      9,   43,  52,  68,  76,  91,  92,  97,  100, 109, 110, 111, 117, 122, 134, 135, 136, 156, 161, 180, 193, 204,
      209, 94,  95,  96,  98,  99,  102, 103, 104, 112, 114, 195, 208, 113, 115, 24,  25,  26,  27,  28,  29,  30,
      31,  32,  34,  35,  44,  45,  46,  48,  50,  58,  59,  60,  64,  65,  101, 13,  17,  18,  128, 129, 130, 191,
      106, 107, 108, 143, 144, 149, 150, 152, 153, 154, 155, 157, 166, 176, 0,   1,   6,   11,  14,  15,  16,  49,
      51,  55,  61,  146, 162, 171, 173, 175, 75,  77,  81,  82,  85,  88,  90,  125, 126, 54,  132, 133, 158, 4,
      7,   116, 147, 165, 124, 127};
  for (const uint16_t slot : owned) {
    SCOPED_TRACE(slot);
    EXPECT_TRUE(ActionTable::IsAvailable(slot));
  }
  ActionTable::ResetToDefaults();
}

}  // namespace
}  // namespace zentor
