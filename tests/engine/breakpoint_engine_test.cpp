// The breakpoint table, the stop report and execution control against the recording
// target: which requests each operation makes, which slots it uses, what a stop
// writes, and what stays as it was when something is refused.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "command/action_table.h"
#include "command/grammar_object.h"
#include "core/core_test_support.h"
#include "core/current_viewpoint.h"
#include "core/frame_list.h"
#include "core/memory_file.h"
#include "core/program_load.h"
#include "core/stop_report.h"
#include "core/text_pane.h"
#include "core/value_stack.h"
#include "core/value_test_support.h"
#include "core/viewpoint_manager.h"
#include "engine/break_report.h"
#include "engine/breakpoint_sets.h"
#include "engine/breakpoint_table.h"
#include "engine/dialog_records.h"
#include "engine/engine_services.h"
#include "engine/execution_control.h"
#include "engine/settings_store.h"
#include "engine/watch_table.h"
#include "engine/watch_view.h"
#include "engine/target_memory_access.h"
#include "console/file_channel.h"
#include "platform/file_system.h"
#include "gui/dialog_description_file.h"
#include "harness/session/console_session.h"
#include "recording_target.h"
#include "symbols/symbol_context.h"

namespace zentor {
namespace {

using testing_support::ErrorThrownBy;
using testing_support::LocationAt;
using testing_support::MemoryAt;
using testing_support::RecordingTarget;

constexpr uint32_t kViewpoint = 7;
constexpr uint32_t kOtherViewpoint = 8;

class BreakpointEngineTest : public testing_support::CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    InstallEngineTarget(&m_target);
    InstallTargetMemoryAccess();
    ASSERT_EQ(m_store.Open(m_storeDirectory.File("sets.ddb").c_str()), 0);
    InstallSettingsStore(&m_store);
    m_context = SymbolContext::CreateForViewpoint();
    m_otherContext = SymbolContext::CreateForViewpoint();
    AddViewpoint(kViewpoint);
    AddViewpoint(kOtherViewpoint, "P1");
    PushViewpoint(ViewpointHandle(kOtherViewpoint));
    SetCurrentSymbolContext_Checked(m_otherContext.get());
    PopViewpoint();
    PushViewpoint(ViewpointHandle(kViewpoint));
    SetCurrentSymbolContext_Checked(m_context.get());
    // Both threads of the server see the one program.
    ViewpointManager::CopySymbolContextToOthers(ViewpointHandle(kViewpoint));
    BreakpointTable::Instance().Reset();
    GoControl::Reset();
    InitBreakReport();
  }
  void TearDown() override {
    BreakpointTable::Instance().Reset();
    ResetViewpointStack();
    m_context.reset();
    m_otherContext.reset();
    InstallSettingsStore(nullptr);
    m_store.Reset();
    InstallEngineTarget(nullptr);
    ValueStack::Reset();
    CoreTestEnvironment::TearDown();
  }

  static BreakpointTable& Table() { return BreakpointTable::Instance(); }

  // A software breakpoint of a kind at an address, for this viewpoint only.
  int32_t SetAt(int32_t slot, uint32_t kind, uint32_t address, const GrammarObject& expression = GrammarObject()) {
    return Table().Set(slot, kind, kEngineTypeSoftware, kSoftwareAccess, LocationAt(address, kKindOrd1, 1),
                       expression, 1, 1);
  }

  // An expression object holding `text` (its code is empty; only its text is read).
  static GrammarObject TextOnly(const char* text) {
    MemoryFileHandle code = kNullMemoryFile;
    CreateMemoryFile(-1, 1, &code);
    GrammarObject object(code, text);
    DestroyMemoryFile(code);
    return object;
  }

  std::vector<std::string> Requests() { return m_target.TakeLog(); }

  RecordingTarget m_target;
  testing_support::ScratchDirectory m_storeDirectory{"breakpoint-sets"};
  DialogDescriptionFile m_store;
  std::unique_ptr<SymbolContext> m_context;
  std::unique_ptr<SymbolContext> m_otherContext;
};

TEST_F(BreakpointEngineTest, SlotsAreReusedAppendedAndBounded) {
  for (int i = 0; i < 4; ++i) EXPECT_EQ(SetAt(-1, kBreakKind, 0x1000 + 0x10 * i), i);
  Table().Delete(2, kBreakKind);
  Requests();
  // The free slot 2 is taken before anything is appended.
  EXPECT_EQ(SetAt(-1, kBreakKind, 0x2000), 2);
  EXPECT_EQ(Requests(), std::vector<std::string>({"bp set 0x2000 t0 a7 l1"}));

  // Slot 5 of an empty kind appends five free records first; iteration skips them.
  EXPECT_EQ(SetAt(5, kPasspointKind, 0x3000), 5);
  EXPECT_EQ(Table().VectorOfKind(kPasspointKind).entries(), 6u);
  int32_t slots[kBreakpointSlotLimit];
  EXPECT_EQ(Table().SlotsOfKind(kPasspointKind, slots), 1u);
  EXPECT_EQ(ErrorThrownBy([] { Table().Get(4, kPasspointKind); }).Number(), kMsgInvalidIndex);

  // 57 is the last slot; 58 is refused before the target hears of it.
  EXPECT_EQ(SetAt(57, kConditionalBreakKind, 0x4000, TextOnly("if (a)")), 57);
  Requests();
  EXPECT_EQ(ErrorThrownBy([this] { SetAt(58, kBreakKind, 0x5000); }).Number(), kMsgInvalidIndex);
  EXPECT_TRUE(Requests().empty());

  // A conditional break set again at the same place only takes the new expression.
  EXPECT_EQ(SetAt(57, kConditionalBreakKind, 0x4000, TextOnly("if (b)")), 57);
  EXPECT_TRUE(Requests().empty());
  EXPECT_EQ(std::string(Table().Get(57, kConditionalBreakKind).ConditionText().data()), "b");
  // A plain break set again is lifted and set anew.
  SetAt(0, kBreakKind, 0x1000);
  EXPECT_EQ(Requests(), std::vector<std::string>({"bp clear #0", "bp set 0x1000 t0 a7 l1"}));

  EXPECT_EQ(Table().FindByIdentity(999).m_inUse, 0u);
  EXPECT_EQ(Table().CountForCurrentViewpoint(), 6u);
  Table().ClearAll();
  EXPECT_EQ(Requests(), std::vector<std::string>({"bp clear all"}));
  EXPECT_EQ(Table().CountForCurrentViewpoint(), 0u);
  // Nothing left: nothing is sent.
  Table().ClearAll();
  EXPECT_TRUE(Requests().empty());
}

// The table's vectors hold whole records: growing copies every member, and a record
// is found by its identity alone.
TEST_F(BreakpointEngineTest, BreakpointVectorsGrowBy64AndFindByIdentity) {
  BreakpointVector vector(29);
  for (uint32_t i = 0; i < 30; ++i) {
    BreakpointRecord record;
    record.m_inUse = 1;
    record.m_identity = i;
    record.m_text = RWCString(std::to_string(i).c_str());
    record.m_address = MemoryAt(0x1000 + i);
    vector.insert(record);
  }
  EXPECT_EQ(vector.capacity(), 93u);
  for (uint32_t i = 0; i < 30; ++i) {
    EXPECT_EQ(std::string(vector[i].m_text.data()), std::to_string(i));
    EXPECT_EQ(vector[i].m_address.Offset(), 0x1000 + i);
  }
  BreakpointRecord probe;
  probe.m_identity = 7;
  probe.m_kind = kPasspointKind;
  EXPECT_EQ(vector.index(probe), 7u);
  vector.resize(vector.entries());
  EXPECT_EQ(vector.capacity(), 93u);
}

// A reset leaves the table as a fresh one: every vector empty at its starting
// capacity, every slot a default record, whether a kind was grown, freed or untouched.
TEST_F(BreakpointEngineTest, ResetLeavesTheTableAsAFreshOne) {
  for (int i = 0; i < 3; ++i) SetAt(-1, kBreakKind, 0x1000 + 0x10 * i);
  Table().Delete(1, kBreakKind);
  SetAt(57, kConditionalBreakKind, 0x4000, TextOnly("if (a)"));
  SetAt(3, kPasspointKind, 0x3000, TextOnly("pass (x)"));
  BreakpointRecord walked;
  Table().Next(&walked);  // a walk under way: its cursors go too
  Table().Reset();
  BreakpointTable fresh;
  for (uint32_t kind = 0; kind < kBreakpointKindCount; ++kind) {
    SCOPED_TRACE(kind);
    const BreakpointVector& reset = Table().VectorOfKind(kind);
    const BreakpointVector& expected = fresh.VectorOfKind(kind);
    ASSERT_EQ(reset.capacity(), expected.capacity());
    EXPECT_EQ(reset.entries(), 0u);
    for (uint32_t i = 0; i < reset.capacity(); ++i) {
      const BreakpointRecord& slot = reset.data()[i];
      EXPECT_EQ(slot.m_inUse + slot.m_identity + slot.m_enabled, 0u);
      EXPECT_TRUE(slot.m_text.isNull());
      EXPECT_TRUE(slot.m_expression.Text().isNull());
      EXPECT_EQ(slot.m_slot, -1);
    }
  }
  BreakpointRecord first;
  EXPECT_EQ(Table().Next(&first), 0u);
  EXPECT_EQ(SetAt(-1, kBreakKind, 0x2000), 0);
}

// A start leaves every watch slot as a slot no session used: defined, disabled and
// deleted ones alike.
TEST_F(BreakpointEngineTest, StartLeavesEveryWatchSlotUnused) {
  InitWatchTable();
  const auto seen = [](uint32_t slot) {
    return std::to_string(WatchTable::StateOf(slot)) + " " + std::to_string(WatchTable::ViewpointOf(slot)) + " '" +
           WatchTable::ShownText(slot).data() + "'";
  };
  const std::string unused = seen(kWatchSlotCount - 1);
  for (int session = 0; session < 2; ++session) {
    for (const auto& [text, enabled] : {std::pair("2 + 3", 1u), std::pair("7", 0u), std::pair("9", 1u)}) {
      RWCString scope;
      WatchTable::DefineFromText(-1, &scope, RWCString(text), enabled);
    }
    WatchTable::Delete(2);
    InitWatchTable();
    for (uint32_t slot = 0; slot < kWatchSlotCount; ++slot) EXPECT_EQ(seen(slot), unused) << "slot " << slot;
  }
}

TEST_F(BreakpointEngineTest, ViewpointOnlyFlagDecidesWhatOtherViewpointsSee) {
  Table().Set(-1, kBreakKind, kEngineTypeSoftware, kSoftwareAccess, LocationAt(0x1000, kKindOrd1, 1),
              GrammarObject(), 1, 0);
  Table().Set(-1, kBreakKind, kEngineTypeSoftware, kSoftwareAccess, LocationAt(0x2000, kKindOrd1, 1),
              GrammarObject(), 1, 1);
  PushViewpoint(ViewpointHandle(kOtherViewpoint));
  BreakpointRecord record;
  Table().ResetCursors();
  EXPECT_EQ(Table().NextAtAddress(MemoryAt(0x1000), &record), 1u);
  Table().ResetCursors();
  EXPECT_EQ(Table().NextAtAddress(MemoryAt(0x2000), &record), 0u);
  // Slot operations of all kinds skip the other viewpoint's records.
  Table().ClearAll();
  EXPECT_EQ(Table().SlotsOfKind(kBreakKind, std::vector<int32_t>(58).data()), 2u);
  PopViewpoint();
}

// The replacement the target refuses leaves the old breakpoint set and its record as
// it was; the first refusal is what the user sees.
TEST_F(BreakpointEngineTest, RefusedReplacementPutsTheOldBreakpointBack) {
  SetAt(0, kBreakKind, 0x1000);
  Requests();
  m_target.m_breakpointRefusals = {0, kMsgAddressAlreadyDefined, 0};
  EXPECT_EQ(ErrorThrownBy([this] { SetAt(0, kBreakKind, 0x2000); }).Number(), kMsgAddressAlreadyDefined);
  EXPECT_EQ(Requests(),
            std::vector<std::string>({"bp clear #0", "bp set 0x2000 t0 a7 l1", "bp set 0x1000 t0 a7 l1"}));
  const BreakpointRecord kept = Table().Get(0, kBreakKind);
  EXPECT_EQ(kept.m_inUse, 1u);
  EXPECT_EQ(kept.m_address.Offset(), 0x1000u);
  EXPECT_EQ(kept.m_identity, 1u) << "the identity of the breakpoint set again";
}

// Putting the old breakpoint back needs its viewpoint selected; when the target
// refuses that, the old one stays cleared, the failure raised is still the one of the
// breakpoint asked for, and the viewpoint stack is as it was.
TEST_F(BreakpointEngineTest, RefusedReplacementWhoseViewpointCannotBeSelectedRaisesTheFirstFailure) {
  SetAt(0, kBreakKind, 0x1000);
  Requests();
  m_target.m_breakpointRefusals = {0, kMsgAddressAlreadyDefined, 0};
  {
    testing_support::RefusedViewpointSelect refused(kViewpoint);
    EXPECT_EQ(ErrorThrownBy([this] { SetAt(0, kBreakKind, 0x2000); }).Number(), kMsgAddressAlreadyDefined);
    EXPECT_GE(refused.m_refusals, 1);
  }
  EXPECT_EQ(Requests(), std::vector<std::string>({"bp clear #0", "bp set 0x2000 t0 a7 l1"}));
  EXPECT_EQ(ErrorThrownBy([this] { Table().Get(0, kBreakKind); }).Number(), kMsgInvalidIndex) << "slot 0 is free";
  EXPECT_EQ(ViewpointStackDepth(), 1u);
  EXPECT_EQ(CurrentViewpoint().Value(), kViewpoint);
}

TEST_F(BreakpointEngineTest, ListingLinesNameKindTypeAndState) {
  SetAt(-1, kBreakKind, 0x1000);
  Table().Set(-1, kConditionalBreakKind, kEngineTypeDebugRegister, kEngineAccessWrite,
              LocationAt(0x2000, kKindOrd4, 4), TextOnly("if (x > 1)"), 1, 1);
  Table().Disable(0, kConditionalBreakKind);
  TakeOutput();
  Table().List(-1, kConditionalBreakKind, "--- Conditional Breaks ---\n");
  const std::string text = MemoryAt(0x2000).SymbolicText().data();
  EXPECT_EQ(TakeOutput(), "--- Conditional Breaks ---\ncb[0]=" + text + "  x > 1 wr <disabled>\r\n");
  Table().List(-1, kPasspointKind, "--- Passpoints ---\n");
  EXPECT_EQ(TakeOutput(), "") << "no header without records";
}

struct StopCase {
  const char* name;
  uint32_t reason;
  uint32_t viewpoint;
  uint32_t breakpoint;  // identity of the hit
  uint32_t stopAt;
  const char* text;
  const char* label;
  std::string line;  // with "@" for the stop address's text
  uint32_t result;
  const char* lastStop;
};

TEST_F(BreakpointEngineTest, EveryStopReasonWritesItsLine) {
  SetAt(-1, kBreakKind, 0x1000);      // identity 0
  SetAt(-1, kPasspointKind, 0x1100);  // identity 1
  Table().Set(-1, kBreakKind, kEngineTypeDebugRegister, kEngineAccessWrite, LocationAt(0x3000, kKindOrd4, 4),
              GrammarObject(), 1, 1);  // identity 2
  Table().Set(-1, kBreakKind, kEngineTypeSoftware, kSoftwareAccess, LocationAt(0x1200, kKindOrd1, 1),
              GrammarObject(), 1, 1);  // identity 3
  Table().Set(-1, kConditionalBreakKind, kEngineTypeSoftware, kSoftwareAccess, LocationAt(0x1300, kKindOrd1, 1),
              GrammarObject("if (1 == 2)", kProductionCondition), 1, 1);  // identity 4
  Table().Set(-1, kConditionalBreakKind, kEngineTypeSoftware, kSoftwareAccess, LocationAt(0x1400, kKindOrd1, 1),
              GrammarObject("if (2 > 1)", kProductionCondition), 1, 1);  // identity 5
  const std::string watchText = MemoryAt(0x3000).SymbolicText().data();
  const StopCase cases[] = {
      {"temporary break", 1, kViewpoint, 0, 0x1234, nullptr, nullptr, "[ Break at @ ]\n", 1, ""},
      {"exit", 2, kViewpoint, 0, 0x1234, nullptr, nullptr, "[ Program Exit ]\n", 1, "Exit"},
      {"exit with text", 2, kViewpoint, 0, 0x1234, "3", "code", "[ Program Exit(3) ]\n", 1, "Exit(code)"},
      {"reset", 3, kViewpoint, 0, 0x1234, nullptr, nullptr, "[ Break due to Reset at @ ]\n", 1, "Reset"},
      {"halt", 4, kViewpoint, 0, 0x1234, nullptr, nullptr, "[ Break due to Halt at @ ]\n", 1, "Halt"},
      {"silent", 5, kViewpoint, 0, 0x1234, nullptr, nullptr, "", 1, ""},
      {"exception", 7, kViewpoint, 0, 0x1234, "Exception: Divide by zero", "EXCEPT",
       "[ Exception: Divide by zero ]\n", 1, "EXCEPT"},
      {"system request", 8, kViewpoint, 0, 0x1234, nullptr, nullptr, "[ System Interrupt Request ]\n", 1, "SysReq"},
      {"unknown reason", 11, kViewpoint, 0, 0x1234, nullptr, nullptr, "[ Unknown Break Encountered ]\n", 1,
       "Unknown"},
      {"break", 6, kViewpoint, 0, 0x1000, nullptr, nullptr, "[ Break at @ ]\n", 1, "br[0]"},
      {"break of another viewpoint's stop", 6, kOtherViewpoint, 3, 0x1200, nullptr, nullptr, "", 0, "br[2]"},
      {"a code break elsewhere", 6, kViewpoint, 0, 0x1004, nullptr, nullptr, "[ Unknown Break Encountered ]\n", 1,
       "Unknown"},
      {"no such breakpoint", 6, kViewpoint, 77, 0x1000, nullptr, nullptr, "[ Unknown Break Encountered ]\n", 1,
       "Unknown"},
      {"write watch", 6, kViewpoint, 2, 0x1234, nullptr, nullptr,
       "[ Break at @ due to Write at " + watchText + " length 4 ]\n", 1, "br[1]"},
      {"passpoint without action", 6, kViewpoint, 1, 0x1100, nullptr, nullptr, "[ Passpoint at @ ] \r\n", 0,
       "pp[0]"},
      {"condition false", 6, kViewpoint, 4, 0x1300, nullptr, nullptr, "", 0, "cb[0]"},
      {"condition true", 6, kViewpoint, 5, 0x1400, nullptr, nullptr, "[ Conditional Break at @ ]\n", 1, "cb[1]"},
  };
  for (const StopCase& test : cases) {
    SCOPED_TRACE(test.name);
    StopRecord record;
    record.m_viewpoint = test.viewpoint;
    record.m_reason = test.reason;
    record.m_location = MemoryAt(test.stopAt).Record();
    record.m_text = test.text;
    record.m_classText = test.label;
    record.m_breakpointNumber = test.breakpoint;
    TakeOutput();
    EXPECT_EQ(ReportStop(record), test.result);
    std::string expected = test.line;
    const std::size_t at = expected.find('@');
    if (at != std::string::npos) expected.replace(at, 1, MemoryAt(test.stopAt).SymbolicText().data());
    EXPECT_EQ(TakeOutput(), expected);
    EXPECT_EQ(std::string(CopyLastStopText().data()), test.lastStop);
    EXPECT_EQ(GetCurrentViewpointValue(), kViewpoint) << "the report's viewpoint is popped";
  }
  // A stop of another viewpoint names it first.
  StopRecord other;
  other.m_viewpoint = kOtherViewpoint;
  other.m_reason = 4;
  other.m_location = MemoryAt(0x10).Record();
  ReportStop(other);
  EXPECT_EQ(TakeOutput().rfind("[[P1] Break due to Halt at ", 0), 0u);
  // A target that refuses the way back: the report is written all the same, the
  // refusal reported, the viewpoint stack as it was.
  {
    testing_support::RefusedViewpointSelect refused(kViewpoint);
    EXPECT_EQ(ReportStop(other), 1u);
    EXPECT_EQ(refused.m_refusals, 1);
  }
  const std::string reported = TakeOutput();
  EXPECT_EQ(reported.rfind("[[P1] Break due to Halt at ", 0), 0u) << reported;
  EXPECT_EQ(ViewpointStackDepth(), 1u);
  EXPECT_EQ(GetCurrentViewpointValue(), kViewpoint);
}

TEST_F(BreakpointEngineTest, StepsAndTemporaryBreaksKeepTheirLimits) {
  EXPECT_EQ(ErrorThrownBy([] { StepControl::Step(kStepInstruction, kCallerInto, 0, 1); }).Number(),
            kMsgIllegalStepSize);
  EXPECT_EQ(ErrorThrownBy([] { StepControl::Step(kStepInstruction, kCallerInto, 0x80000000u, 1); }).Number(),
            kMsgIllegalStepSize);
  EXPECT_TRUE(Requests().empty());

  for (uint32_t i = 0; i < 10; ++i) GoControl::AddTemporaryBreak(MemoryAt(0x1000 + i));
  EXPECT_EQ(ErrorThrownBy([] { GoControl::AddTemporaryBreak(MemoryAt(0x2000)); }).Number(),
            kMsgTemporaryBreaksExceeded);
  EXPECT_EQ(GoControl::Count(), 10u);
  GoControl::Go(kGoUntilTemporaryBreak);
  const std::vector<std::string> log = Requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].substr(0, 13), "go 1 0x1000 0");
  EXPECT_NE(log[0].find("0x1009"), std::string::npos);

  // A go the target refuses (it runs already) has forgotten the call stack.
  FrameList& frames = *GetCurrentFrameList();
  frames.Append(MemoryAt(0x1000), AddressDescriptor());
  m_target.m_executeRefusal = kMsgToolExecuting;
  EXPECT_EQ(ErrorThrownBy([] { GoControl::Go(kGoPlain); }).Number(), kMsgToolExecuting);
  EXPECT_EQ(frames.Count(), 0u);

  ResetViewpointStack();
  SetBaseViewpoint(ViewpointHandle::None());
  Requests();
  EXPECT_EQ(ErrorThrownBy([] { StepControl::Step(kStepSourceLine, kCallerOver, 1, 1); }).Number(),
            kMsgNoUserProgramLoaded);
  EXPECT_TRUE(Requests().empty());
}

// The go returns as the target runs, and the viewpoint runs (the running prompt). The
// target says so even for a go it refuses: a refused thread that does not run leaves
// the viewpoint stopped, while one that runs already keeps it running.
TEST_F(BreakpointEngineTest, AGoLeavesTheViewpointRunningOnlyWhenTheThreadRuns) {
  struct Case {
    const char* name;
    bool runsBefore;
    uint32_t refusal;
    bool runsAfter;
  };
  const Case cases[] = {
      {"accepted", false, 0, true},
      {"refused", false, 2001, false},
      {"running already", true, kMsgToolExecuting, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    m_target.m_busy = test.runsBefore;
    m_target.m_executeRefusal = test.refusal;
    ViewpointManager::SetRunState(ViewpointHandle(kViewpoint), test.runsBefore ? ViewpointManager::kRunStateRunning : 0);
    if (test.refusal == 0) {
      GoControl::Go(kGoPlain);
    } else {
      EXPECT_EQ(ErrorThrownBy([] { GoControl::Go(kGoPlain); }).Number(), test.refusal);
    }
    EXPECT_EQ(ViewpointManager::RunStateOf(ViewpointHandle(kViewpoint)) == ViewpointManager::kRunStateRunning,
              test.runsAfter);
  }
  ViewpointManager::SetRunState(ViewpointHandle(kViewpoint), 0);
}

// Three instruction steps asked for, a breakpoint hit on the second: no report line,
// the repetition ends, and the stop's place is where the program stands.
TEST_F(BreakpointEngineTest, StepCutShortByABreakpointWritesNoReport) {
  m_target.Map(0x401000, {0x90, 0x90, 0x90, 0xC3});
  m_target.m_pc = 0x401000;
  RecordingTarget::StepAnswer first;
  first.pc = 0x401001;
  RecordingTarget::StepAnswer hit;
  hit.pc = 0x401002;
  hit.reason = kBreakReasonBreakpoint;
  m_target.m_stepAnswers = {first, hit};
  StepControl::SetRepeatFlag(true);
  StepControl::Step(kStepInstruction, kCallerInto, 3, 1);
  EXPECT_EQ(Requests(), std::vector<std::string>({"step 3 x3", "step 3 x2"}));
  EXPECT_EQ(TakeOutput(), "");
  EXPECT_FALSE(StepControl::RepeatFlag());

  // A completed instruction step shows the instruction reached.
  RecordingTarget::StepAnswer done;
  done.pc = 0x401003;
  m_target.m_stepAnswers = {done};
  StepControl::Step(kStepInstruction, kCallerOver, 1, 1);
  EXPECT_NE(TakeOutput().find("0x00401003  c3"), std::string::npos);
  EXPECT_EQ(std::string(CopyLastStopText().data()), "StepOver");
}

// Saved sets through the dialog requests: save, clear, restore gives the same
// breakpoints from slot 0 up; another program's set is 334; a damaged record is 114,
// and in both cases the table is as it was.
TEST_F(BreakpointEngineTest, SavedSetsComeBackRenumberedAndDamagedOnesChangeNothing) {
  SetLoadedProgramFileName(RWCString("DEMO.SYM"));
  SetAt(5, kBreakKind, 0x1000);
  Table().Set(-1, kBreakKind, kEngineTypeDebugRegister, kEngineAccessWrite, LocationAt(0x2000, kKindOrd4, 4),
              GrammarObject(), 0, 1);
  DVError status;
  NamedSetRequest save;
  save.m_name = "first";
  save.m_description = "two breaks";
  HandleBreakpointRequest(&status, 0, 0xD0, &save);
  ASSERT_TRUE(status.IsOkay()) << status.Number();
  BreakpointDialogRequest clear;
  HandleBreakpointRequest(&status, 0, 0xCF, &clear);
  EXPECT_EQ(Table().CountForCurrentViewpoint(), 0u);

  NamedSetRequest restore;
  restore.m_name = "first";
  restore.m_dataLength = 4096;
  HandleBreakpointRequest(&status, 0, 0xD1, &restore);
  ASSERT_TRUE(status.IsOkay()) << status.Number();
  // Saved in slot order (the watch took the free slot 0), restored from slot 0 up.
  const BreakpointRecord watch = Table().Get(0, kBreakKind);
  const BreakpointRecord code = Table().Get(1, kBreakKind);
  EXPECT_EQ(code.m_address.Offset(), 0x1000u);
  EXPECT_EQ(watch.m_address.Offset(), 0x2000u);
  EXPECT_EQ(watch.m_type, kEngineTypeDebugRegister);
  EXPECT_EQ(watch.m_access, kEngineAccessWrite);
  EXPECT_EQ(watch.m_enabled, 0u);

  // The same set read for another program.
  SetLoadedProgramFileName(RWCString("HELLO.SYM"));
  HandleBreakpointRequest(&status, 0, 0xD1, &restore);
  EXPECT_EQ(status.Number(), kMsgUnknownModule);
  EXPECT_EQ(Table().CountForCurrentViewpoint(), 2u);
  // A set named "DEFAULT" is for any program.
  NamedSetRequest fallback;
  fallback.m_name = "DEFAULT";
  HandleBreakpointRequest(&status, 0, 0xD0, &fallback);
  fallback.m_dataLength = 4096;
  Table().Delete(0, kBreakKind);
  HandleBreakpointRequest(&status, 0, 0xD1, &fallback);
  EXPECT_TRUE(status.IsOkay()) << status.Number();
  EXPECT_EQ(Table().CountForCurrentViewpoint(), 2u) << "both breakpoints of the set, the deleted one again";
  EXPECT_EQ(Table().Get(0, kBreakKind).m_address.Offset(), 0x2000u);
  EXPECT_EQ(Table().Get(1, kBreakKind).m_address.Offset(), 0x1000u);
  SetLoadedProgramFileName(RWCString("demo.sym"));

  uint32_t length = 4096;
  std::vector<uint8_t> bytes(length);
  RWCString description;
  ASSERT_EQ(m_store.ReadRecord(kBreakpointSetRecord, RWCString("first"), &description, &length, bytes.data()), 0);
  const std::string good(reinterpret_cast<const char*>(bytes.data()), length);
  // The fields: 0 the program, then eight per breakpoint (name, viewpoint, location,
  // condition, enabled, type, access, flag), then "EOF\n".
  std::vector<std::string> fields;
  for (std::size_t start = 0;;) {
    const std::size_t end = good.find('\0', start);
    fields.push_back(good.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  ASSERT_EQ(fields.size(), 18u);
  auto changed = [&fields](std::size_t index, const std::string& value) {
    std::vector<std::string> copy = fields;
    copy[index] = value;
    std::string text;
    for (std::size_t i = 0; i < copy.size(); ++i) text += copy[i] + (i + 1 < copy.size() ? std::string(1, '\0') : "");
    return text;
  };
  struct Damage {
    const char* name;
    std::string data;
  };
  const Damage damages[] = {
      {"truncated", good.substr(0, good.size() / 2)},
      {"no end mark", good.substr(0, good.size() - 4)},
      {"unknown prefix", changed(1, "xx[0]")},
      {"unknown type", changed(6, "9")},
      {"unknown access", changed(7, "7")},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    m_store.RemoveRecord(kBreakpointSetRecord, RWCString("bad"));
    m_store.AddRecord(kBreakpointSetRecord, RWCString("bad"), RWCString(), static_cast<uint32_t>(damage.data.size()),
                      reinterpret_cast<const uint8_t*>(damage.data.data()));
    Requests();
    NamedSetRequest bad;
    bad.m_name = "bad";
    bad.m_dataLength = 4096;
    HandleBreakpointRequest(&status, 0, 0xD1, &bad);
    EXPECT_EQ(status.Number(), kMsgSettingsFileError);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(Table().CountForCurrentViewpoint(), 2u);
  }
}

}  // namespace
}  // namespace zentor

namespace zentor {
namespace {

// Sets saved by the dialogs' requests outlive the program: the exit closes (and so
// compacts) the program's store, and the next run opens it and restores them.
TEST_F(BreakpointEngineTest, SavedSetsComeBackAfterTheExitClosedTheStore) {
  testing_support::ScratchDirectory directory("persistence");
  const std::string path = directory.File("zentor.ddb");
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  store.Reset();
  ASSERT_EQ(store.Open(path.c_str()), 0);
  InstallDialogDescriptionFile();
  SetLoadedProgramFileName(RWCString("DEMO.SYM"));
  InitWatchTable();
  SetAt(-1, kBreakKind, 0x1000);
  SetAt(-1, kPasspointKind, 0x2000);
  for (const auto& [text, enabled] : {std::pair("2 + 3", 1u), std::pair("7", 0u)}) {
    RWCString scope;
    WatchTable::DefineFromText(-1, &scope, RWCString(text), enabled);
  }
  TextPane pane;
  WatchViewManager watches(&pane);
  DVError status;
  NamedSetRequest save;
  save.m_description = "kept";
  for (const char* name : {"gone", "mine"}) {
    save.m_name = name;
    HandleBreakpointRequest(&status, 0, 0xD0, &save);
    ASSERT_TRUE(status.IsOkay()) << status.Number();
    ASSERT_EQ(watches.HandleRequest(status, 0xD0, reinterpret_cast<intptr_t>(&save)), 0);
  }
  save.m_name = "gone";
  HandleBreakpointRequest(&status, 0, 0xD2, &save);
  ASSERT_EQ(watches.HandleRequest(status, 0xD2, reinterpret_cast<intptr_t>(&save.m_name)), 0);
  const int64_t saved = platform::FileSize(path);

  SetExitServices(ExitServices{nullptr, nullptr, &CloseDialogDescriptionFileAtExit, nullptr, nullptr});
  SetProgramExitHandler(&testing_support::ThrowProgramExited);
  EXPECT_THROW(ExitDebugger(), testing_support::ProgramExited);
  SetProgramExitHandler(nullptr);
  SetExitServices(ExitServices{});
  EXPECT_EQ(store.CurrentFileName(), "");
  EXPECT_LT(platform::FileSize(path), saved) << "the removed sets were compacted away";

  Table().ClearAll();
  InitWatchTable();
  ASSERT_EQ(store.Open(path.c_str()), 0);
  NamedSetList breakpointSets;
  HandleBreakpointRequest(&status, 0, 0xD3, &breakpointSets);
  NamedSetList watchSets;
  watches.HandleRequest(status, 0xD3, reinterpret_cast<intptr_t>(&watchSets));
  for (const NamedSetList* list : {&breakpointSets, &watchSets}) {
    ASSERT_EQ(list->m_count, 1u);
    EXPECT_EQ(std::string(list->m_entries[0].m_name.data()), "mine");
    EXPECT_EQ(std::string(list->m_entries[0].m_description.data()), "kept");
  }
  NamedSetRequest restore;
  restore.m_name = "mine";
  restore.m_dataLength = breakpointSets.m_entries[0].m_length;
  HandleBreakpointRequest(&status, 0, 0xD1, &restore);
  EXPECT_TRUE(status.IsOkay()) << status.Number();
  restore.m_dataLength = watchSets.m_entries[0].m_length;
  EXPECT_EQ(watches.HandleRequest(status, 0xD1, reinterpret_cast<intptr_t>(&restore)), 0);
  EXPECT_EQ(Table().Get(0, kBreakKind).m_address.Offset(), 0x1000u);
  EXPECT_EQ(Table().Get(0, kPasspointKind).m_address.Offset(), 0x2000u);
  EXPECT_EQ(std::string(WatchTable::ShownText(0).data()), "2 + 3");
  EXPECT_EQ(WatchTable::StateOf(1), kWatchDisabled);
  store.Reset();
  InitWatchTable();
}

}  // namespace
}  // namespace zentor
