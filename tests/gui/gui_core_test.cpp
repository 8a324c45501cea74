// The GUI shell's portable core: the target's run-state events as the GUI takes them,
// "restore" over the settings store, the command runner's capture and the router of
// the engine's notices with its bounded texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command/action_table.h"
#include "command/command_scanner.h"
#include "command/postfix_executor.h"
#include "console/output_writer.h"
#include "core/core_test_support.h"
#include "core/hi_service.h"
#include "core/stop_report.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "engine/breakpoint_table.h"
#include "engine/settings_store.h"
#include "gui/color_settings.h"
#include "gui/command_runner.h"
#include "gui/dialog_description_file.h"
#include "gui/named_forms.h"
#include "gui/notice_router.h"
#include "gui/target_to_gui.h"
#include "harness/session/console_session.h"

namespace zentor {
namespace {

using testing_support::ChangeWatch;
using testing_support::CoreTestEnvironment;

constexpr uint32_t kCurrent = 0x31;
constexpr uint32_t kOther = 0x32;

class RecordingFrame : public FrameControls {
 public:
  void EnableRunControlCommands(bool on) override { m_calls.push_back(on ? "enable" : "grey"); }
  std::vector<std::string> m_calls;
};

class TargetEventTest : public CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    AddViewpoint(kCurrent);
    AddViewpoint(kOther);
    ViewpointManager::SelectViewpoint(0);
    m_frameBefore = InstallFrameControls(&m_frame);
    SetConsoleMode(false);
    BreakpointTable::Instance().Reset();
  }
  void TearDown() override {
    BreakpointTable::Instance().Reset();
    SetConsoleMode(m_wasConsole);
    InstallFrameControls(m_frameBefore);
    ClearLastStopText();
    CoreTestEnvironment::TearDown();
  }

  // A breakpoint of the table hit at the stop's address.
  static void AddBreakpoint(uint32_t kind, uint32_t identity, uint32_t onlyFor, const StopRecord& stop) {
    BreakpointRecord record;
    record.m_inUse = 1;
    record.m_identity = identity;
    record.m_kind = kind;
    record.m_access = kSoftwareAccess;
    record.m_enabled = 1;
    record.m_viewpointOnly = onlyFor != 0 ? 1 : 0;
    record.m_viewpoint = onlyFor;
    record.m_address = AddressDescriptor(stop.m_location);
    BreakpointTable::Instance().VectorOfKind(kind).append(record);
  }

  RecordingFrame m_frame;
  FrameControls* m_frameBefore = nullptr;
  bool m_wasConsole = IsConsoleMode();
};

StopRecord Stop(uint32_t reason, uint32_t breakpoint = 0) {
  StopRecord stop;
  stop.m_reason = reason;
  stop.m_breakpointNumber = breakpoint;
  stop.m_location.m_nullMark = 0;
  stop.m_location.m_addressClass = kAddressClassMemory;
  stop.m_location.m_addressKind = kAddressKindMemoryOffset;
  stop.m_location.m_offset = 0x1000;
  return stop;
}

TEST_F(TargetEventTest, RunStateFrameAndViewsFollowTheEvents) {
  struct Case {
    const char* name;
    uint32_t viewpoint;
    uint32_t kind;
    StopRecord stop;
    uint32_t breakKind;     // a breakpoint hit of this kind (3: none)
    uint32_t breakOnlyFor;  // the viewpoint the breakpoint is for only (0: all)
    uint32_t answer;
    int32_t runStateAfter;
    std::vector<std::string> frameCalls;
    bool executionMarked;
    bool prompted;
    const char* shown;  // in the output
  };
  const Case cases[] = {
      {"a stop of the current viewpoint", kCurrent, 0, Stop(4), 3, 0, 0, 0, {"enable"}, true, true,
       "Break due to Halt"},
      {"a stop whose report is suppressed runs on", kCurrent, 0, Stop(6, 9), kBreakKind, kOther, 1, 1, {}, false,
       false, ""},
      {"another viewpoint runs", kOther, 1, StopRecord(), 3, 0, 0, 1, {}, false, false, ""},
      {"the current viewpoint runs", kCurrent, 1, StopRecord(), 3, 0, 0, 1, {"grey"}, false, true, ""},
      {"the program's exit leaves the execution views", kCurrent, 0, Stop(2), 3, 0, 0, 0, {"enable"}, false, true,
       "Program Exit"},
      {"a report that fails stops the viewpoint", kCurrent, 0, Stop(6, 9), kConditionalBreakKind, 0, 0, 0,
       {"enable"}, true, false, "INTERNAL ERROR"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ViewpointHandle handle(c.viewpoint);
    ViewpointManager::SetRunState(handle, c.kind == 1 ? 0 : 1);
    ViewpointManager::SetEventText(handle, RWCString("before"));
    BreakpointTable::Instance().Reset();
    if (c.breakKind != 3) AddBreakpoint(c.breakKind, 9, c.breakOnlyFor, c.stop);
    m_frame.m_calls.clear();
    TakeOutput();
    ChangeWatch execution(kRecordExecutionState);
    ChangeWatch status(kRecordStatusLine);
    const char* text = c.kind == 1 ? "RUNNING" : "Stopped";
    EXPECT_EQ(GuiNotifyTargetEvent(c.viewpoint, c.kind, text, c.kind == 1 ? nullptr : &c.stop), c.answer);
    const std::string output = TakeOutput();
    EXPECT_EQ(ViewpointManager::RunStateOf(handle), c.runStateAfter);
    EXPECT_EQ(m_frame.m_calls, c.frameCalls);
    EXPECT_EQ(execution.Changed(), c.executionMarked);
    EXPECT_EQ(output.find('>') != std::string::npos || output.find('?') != std::string::npos, c.prompted) << output;
    EXPECT_NE(output.find(c.shown), std::string::npos) << output;
    if (c.answer == 0) {
      EXPECT_STREQ(ViewpointManager::EventTextOf(handle).data(), c.shown == std::string("INTERNAL ERROR") ? "before" : text);
      EXPECT_EQ(status.Changed(), c.shown != std::string("INTERNAL ERROR"));
    } else {
      EXPECT_STREQ(ViewpointManager::EventTextOf(handle).data(), "before") << "nothing changed";
    }
  }
}

// Browsing to where a viewpoint stopped pushes it for the work and pops it on every way
// out; what fails is reported, nothing escapes, and the stack is as it was, also when
// the target refuses the viewpoint or the way back.
TEST_F(TargetEventTest, BrowsingToAStopLeavesTheViewpointStackAsItWas) {
  for (const uint32_t refusedValue : {kOther, kCurrent}) {
    SCOPED_TRACE(refusedValue == kOther ? "the viewpoint refused" : "the way back refused");
    TakeOutput();
    m_windows.m_boxes.clear();
    {
      testing_support::RefusedViewpointSelect refused(refusedValue);
      EXPECT_NO_THROW(GuiBrowseToStopLocation(kOther));
      EXPECT_GE(refused.m_refusals, 1);
    }
    EXPECT_EQ(ViewpointStackDepth(), 0u);
    EXPECT_EQ(GetCurrentViewpointValue(), kCurrent);
    const std::string output = TakeOutput();
    EXPECT_TRUE(output.find("251") != std::string::npos || !m_windows.m_boxes.empty()) << output;
  }
}

// ---- restore ---------------------------------------------------------------------------------

std::vector<DialogEntryInfo>& Loaded() {
  static std::vector<DialogEntryInfo> loaded;
  return loaded;
}
int32_t g_loaderAnswer = 0;

int32_t RecordLoad(int32_t, uint32_t code, const DialogEntryInfo& entry) {
  EXPECT_EQ(code, kFormLoadRequest);
  Loaded().push_back(entry);
  return g_loaderAnswer;
}

uint32_t Restore(const char* name) {
  SetTokenText(CurrentToken(), name);
  try {
    RestoreNamedForms();
  } catch (const DVError& error) {
    return error.Number();
  }
  return 0;
}

TEST(NamedFormsTest, RestoreHandsEachRecordToItsLoader) {
  testing_support::ScratchDirectory directory("restore");
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  ASSERT_EQ(store.Open(directory.File("forms.ddb").c_str()), 0);
  const uint8_t data[12] = {1, 2, 3};
  ASSERT_EQ(store.AddRecord(5, RWCString("mine"), RWCString("memory at 0x1000"), sizeof data, data), 0);
  ASSERT_EQ(store.AddRecord(1, RWCString("breaks"), RWCString("only breakpoints"), sizeof data, data), 0);
  ASSERT_TRUE(DialogFormLoadHandlerTable::SetHandler(5, &RecordLoad));
  EXPECT_FALSE(DialogFormLoadHandlerTable::SetHandler(1, &RecordLoad)) << "no loader for breakpoints";
  struct Case {
    const char* name;
    int32_t loaderAnswer;
    uint32_t raised;
    std::size_t loads;
  };
  const Case cases[] = {
      {"mine", 0, 0, 1},
      {"mine", 116, 116, 1},
      {"breaks", 0, 0, 0},
      {"nosuch", 0, kMsgNotAFormName, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.loaderAnswer));
    Loaded().clear();
    g_loaderAnswer = c.loaderAnswer;
    EXPECT_EQ(Restore(c.name), c.raised);
    ASSERT_EQ(Loaded().size(), c.loads);
    if (c.loads == 1) {
      EXPECT_EQ(Loaded()[0].m_id, 5u);
      EXPECT_STREQ(Loaded()[0].m_name, "mine");
      EXPECT_STREQ(Loaded()[0].m_description, "memory at 0x1000");
      EXPECT_EQ(Loaded()[0].m_dataLength, sizeof data);
    }
  }
  DialogFormLoadHandlerTable::Clear();
  store.Reset();
}

// ---- the command runner ------------------------------------------------------------------

std::string& Printed() {
  static std::string printed;
  return printed;
}
void PrintScripted() { OutputWriter::WriteString(Printed().c_str()); }

class CommandRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetConsoleModules(true);
    CommandScanner::InitKeywords();
    ValueStack::Create();
    ValueStack::Reset();
    InitPostfixExecutor();
    ResetPostfixExecutor();
    ActionTable::Bind(183, &PrintScripted, "PrintScripted");
  }
  void TearDown() override {
    ActionTable::ResetToDefaults();
    testing_support::ResetConsoleModules(true);
  }
};

TEST_F(CommandRunnerTest, CapturesAtMost510CharactersOnceTheGuiIsReady) {
  char buffer[CommandRunner::kCaptureLimit + 1];
  DVErrorCode result(99, 3);
  Printed() = "never";
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(CommandRunner::Run(&result, 0, "help", buffer), &result);
  EXPECT_EQ(result.Number(), kMsgToolNotInitialized);
  EXPECT_EQ(result.Severity(), kSeverityWarning);
  EXPECT_EQ(buffer[0], '#') << "nothing ran";
  SignalGuiReady();

  std::string long600;
  for (int i = 0; i < 600; ++i) long600 += static_cast<char>('a' + i % 26);
  struct Case {
    const char* name;
    std::string printed;
    int32_t firstLineOnly;
    std::string captured;
  };
  const Case cases[] = {
      {"600 characters keep 510", long600, 0, long600.substr(0, 510)},
      {"line ends become blanks", "one\ntwo\n", 0, "one two "},
      {"the first line only", "one\ntwo\n", 1, "one"},
      {"the first line of 600 characters", long600 + "\nrest", 1, long600.substr(0, 510)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Printed() = c.printed;
    std::memset(buffer, '#', sizeof buffer);
    CommandRunner::Run(&result, c.firstLineOnly, "help", buffer);
    EXPECT_TRUE(result.IsOkay()) << result.Number();
    EXPECT_EQ(std::string(buffer), c.captured);
    EXPECT_FALSE(OutputWriter::IsHookInstalled());
  }
  CommandRunner::Run(&result, 0, "base = ", buffer);
  EXPECT_EQ(result.Number(), 102u) << "a command that fails gives its status";
}

// ---- the notice router ---------------------------------------------------------------------

struct SeenNotice {
  uint32_t kind;
  uint32_t code;
  std::string text;
};
std::vector<SeenNotice>& Seen() {
  static std::vector<SeenNotice> seen;
  return seen;
}
void SeeNotice(uint32_t kind, uint32_t, uint32_t code, const void* value) {
  const bool textNotice = code == kNoticeSetMacroName || code == kNoticeSetBatchName ||
                          code == kNoticeGetMacroName || code == kNoticeGetBatchName;
  Seen().push_back({kind, code, textNotice && value != nullptr ? std::string(static_cast<const char*>(value)) : ""});
}
// The invocation dialog hands out a whole 256-byte name without its NUL.
void HandOutFullName(uint32_t kind, uint32_t argument, uint32_t code, const void* value) {
  SeeNotice(kind, argument, code, value);
  if (code == kNoticeGetBatchName) std::memset(const_cast<void*>(value), 'b', kNoticeTextSize);
}

TEST(NoticeRouterTest, NoticesReachTheirTargetsWithBoundedTexts) {
  const NoticeTarget targets[] = {NoticeTarget::kLayout,          NoticeTarget::kBlackWhite,
                                  NoticeTarget::kViewpointWindow, NoticeTarget::kBreakpointList,
                                  NoticeTarget::kCommandWindow};
  for (NoticeTarget target : targets) SetNoticeHandler(target, &SeeNotice);
  SetNoticeHandler(NoticeTarget::kInvocation, &HandOutFullName);
  const std::string long300(300, 'm');
  char out[kNoticeTextSize + 8];
  std::memset(out, '#', sizeof out);
  out[sizeof out - 1] = '\0';
  struct Case {
    const char* name;
    uint32_t kind;
    uint32_t code;
    const void* value;
    bool reached;
    std::string seenText;
  };
  const Case cases[] = {
      {"layout", 0, kNoticeApplyLayout, nullptr, true, ""},
      {"a macro name is cut to 255", 0, kNoticeSetMacroName, long300.c_str(), true, long300.substr(0, 255)},
      {"no batch name empties it", 0, kNoticeSetBatchName, nullptr, true, ""},
      {"a batch name handed out ends inside the buffer", 0, kNoticeGetBatchName, out, true,
       std::string(255, '#')},
      {"black and white", 0, kNoticeBlackWhite, nullptr, true, ""},
      {"the Breakpoints list", 8, 250, nullptr, true, ""},
      {"the Command window", 10, 0x1f5, nullptr, true, ""},
      {"the exit notice reaches nobody", 0, 733, nullptr, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Seen().clear();
    EXPECT_EQ(RouteGuiNotice(c.kind, 0, c.code, c.value), 0);
    ASSERT_EQ(Seen().size(), c.reached ? 1u : 0u);
    if (!c.reached) continue;
    EXPECT_EQ(Seen()[0].code, c.code);
    EXPECT_EQ(Seen()[0].text, c.seenText);
  }
  EXPECT_EQ(std::string(out), std::string(255, 'b')) << "255 characters and the NUL";
  EXPECT_EQ(out[kNoticeTextSize], '#') << "nothing written past the buffer";
  for (NoticeTarget target : targets) SetNoticeHandler(target, nullptr);
  SetNoticeHandler(NoticeTarget::kInvocation, nullptr);
}

// The settings' own handlers: the start-up's scheme notice and a macro name set by the
// engine reach the colour model and the invocation settings.
TEST(NoticeRouterTest, SettingsHandlersTakeTheSchemeAndTheNames) {
  RegisterSettingsNoticeHandlers();
  const uint32_t blackAndWhite = 20;
  const uint32_t colour = 10;
  RouteGuiNotice(0, 0, kNoticeBlackWhite, &blackAndWhite);
  EXPECT_EQ(ColorSettings::Scheme(), kColorSchemeBlackAndWhite);
  RouteGuiNotice(0, 0, kNoticeBlackWhite, &colour);
  EXPECT_EQ(ColorSettings::Scheme(), kColorSchemeColour);
  RouteGuiNotice(0, 0, kNoticeSetMacroName, "startup.mac");
  char name[kNoticeTextSize] = {};
  RouteGuiNotice(0, 0, kNoticeGetMacroName, name);
  EXPECT_STREQ(name, "startup.mac");
  SetNoticeHandler(NoticeTarget::kInvocation, nullptr);
  SetNoticeHandler(NoticeTarget::kBlackWhite, nullptr);
}

}  // namespace
}  // namespace zentor
