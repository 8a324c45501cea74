// The frame over the recording layer: its controls' places and layer ids, the windows
// of each kind it makes, the GUI service entry's requests, the run-control state with
// its accelerator tables, the exit question and the target's timers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/program_shell.h"
#include "console/console_bridge.h"
#include "console/file_channel.h"
#include "core/busy_pump.h"
#include "core/current_viewpoint.h"
#include "core/hi_service.h"
#include "core/key_queue.h"
#include "core/view_kind.h"
#include "core/viewpoint_manager.h"
#include "core/dv_error.h"
#include "gui/context_help.h"
#include "gui/frame_children.h"
#include "gui/frame_commands.h"
#include "gui/frame_window.h"
#include "gui/general_window.h"
#include "gui/gui_window_layer.h"
#include "gui/message_loop.h"
#include "gui/notice_router.h"
#include "gui/pane_services.h"
#include "gui/run_control_state.h"
#include "gui/shell_services.h"
#include "gui/target_to_gui.h"
#include "gui/win_super.h"
#include "gui/window_factory.h"
#include "gui/window_table.h"
#include "harness/fake_message_queue.h"
#include "harness/recording_layer_system.h"
#include "harness/recording_shell_system.h"
#include "harness/session/console_session.h"
#include "harness/window_procedures.h"
#include "windows/command_window.h"
#include "settings_record_test_support.h"
#include "harness/shell_test_support.h"

namespace zentor {
namespace {

using testing_support::FakeMessageQueue;
using testing_support::RecordingLayerSystem;
using testing_support::RecordingShellSystem;

constexpr uint32_t kServer = 7;

bool Contains(const std::string& log, const std::string& line) { return log.find(line + "\n") != std::string::npos; }

class FrameWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Dialog base units 8 x 16: a horizontal unit is 2 pixels, a vertical one 2.
    system.At(frameHandle).client = LayerRect{0, 0, 150, 712};
    system.AddMenuBar(frameHandle, {"&File", "&View", "&Browse", "&Go", "&Debug", "&Configure", "&Help"});
    InstallGuiWindowLayer(&layer);
    InstallMessageQueue(&queue);
    ResetMessageLoop();
    InstallLayerPaneWindowPort();
    InstallGuiViewpointWindows();
    ViewpointManager::AddViewpoint(ViewpointHandle(kServer), "SERVER");
    SetBaseViewpoint(ViewpointHandle(kServer));
    frame = layer.Register(frameHandle, kLayerFrame, 0);
    FrameWindow::SetFrame(frame);
    SetConsoleMode(false);
  }
  void TearDown() override {
    testing_support::ResetShellAfterTest();
    KeyQueue::Clear();
  }
  // The frame's controls, the start-up request (General and Command windows) and the
  // frame's services, with the logs emptied.
  void StartFrame() {
    ASSERT_TRUE(CreateFrameControls(frame));
    InstallShellServices();
    queue.Post(frameHandle, msg::kPaint);
    ASSERT_EQ(HandleShellRequest(kGuiStartUp), 0);
    system.TakeLog();
    shell.TakeLog();
    queue.TakeLog();
  }
  int32_t CountOf(int32_t kind) { return CountWindowsOfKind(kind, kServer); }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  RecordingShellSystem shell{system};
  FakeMessageQueue queue{system};
  SettingsStoreFake store;
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{50, 50, 245, 770});
  int32_t frame = kNoLayerId;
};

TEST_F(FrameWindowTest, TheFrameHasItsStripButtonsAndClientAreaInTheirPlacesAndIds) {
  ASSERT_TRUE(CreateFrameControls(frame));
  EXPECT_EQ(shell.TakeLog(),
            "CreateWindow static strip in frame 0,0 712x32 id 1912\n"
            "ClearClassCursor control101\nClearClassCursor control102\nClearClassCursor control103\n"
            "ClearClassCursor control104\nClearClassCursor control105\nClearClassCursor control106\n"
            "ClearClassCursor control109\n"
            "CreateWindow ClipRect client-area in frame 0,32 712x102 id 1913\n");
  const std::string log = system.TakeLog();
  // One dialog unit down, 14 high; side by side at the widths of 25 and 35 units.
  const char* const buttons[] = {
      "CreateControl control101 type 6 in frame (2,0,28,50) \"Regs\" visible",
      "CreateControl control102 type 6 in frame (2,50,28,50) \"Asm\" visible",
      "CreateControl control103 type 6 in frame (2,100,28,70) \"StepInto\" visible",
      "CreateControl control104 type 6 in frame (2,170,28,70) \"StepOver\" visible",
      "CreateControl control105 type 6 in frame (2,240,28,70) \"StepOut\" visible",
      "CreateControl control106 type 6 in frame (2,310,28,50) \"Go\" visible",
      "CreateControl control109 type 6 in frame (2,360,28,50) \"Home\" visible",
  };
  for (const char* line : buttons) EXPECT_TRUE(Contains(log, line)) << line << "\n" << log;
  // The frame 0, the buttons 1 to 7, the client area 8.
  EXPECT_EQ(FrameWindow::ButtonId(kButtonRegisters), 1);
  EXPECT_EQ(FrameWindow::ButtonId(kButtonHome), 7);
  EXPECT_EQ(FrameWindow::ClientAreaId(), 8);
  EXPECT_EQ(layer.GetWindowType(8), static_cast<int32_t>(kLayerChildWindow));

  // A resize moves the strip and the client area; maximising lays the maximised
  // windows out again, and so does the restore after it, once.
  system.At(frameHandle).client = LayerRect{0, 0, 300, 1000};
  ResizeFrameControls(frame, sizing::kRestored);
  const std::string resized = system.TakeLog();
  EXPECT_TRUE(Contains(resized, "PlaceChild static 0,0 1000x32")) << resized;
  EXPECT_TRUE(Contains(resized, "PlaceChild ClipRect 0,32 1000x252")) << resized;
  EXPECT_FALSE(FrameWindow::IsMaximized());
  ResizeFrameControls(frame, sizing::kMaximized);
  EXPECT_TRUE(FrameWindow::IsMaximized());
  ResizeFrameControls(frame, sizing::kRestored);
  EXPECT_FALSE(FrameWindow::IsMaximized());
}

TEST_F(FrameWindowTest, StartUpMakesTheGeneralAndCommandWindowsAndRequest65ASourceWindowOnce) {
  ASSERT_TRUE(CreateFrameControls(frame));
  InstallShellServices();
  queue.Post(frameHandle, msg::kPaint);
  EXPECT_EQ(HandleShellRequest(kGuiStartUp), 0);
  EXPECT_EQ(GuiStateWord(), 11u);
  EXPECT_EQ(GeneralWindowLayerId(), 9);
  EXPECT_EQ(layer.TopCursorKind(), kCursorArrow) << "the busy cursor of the start-up is gone";
  WinSuper* command = WindowTable::FindByKindAndViewpoint(kViewCommand, ViewpointHandle(kServer));
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->LayerWindowId(), FrameWindow::ClientAreaId()) << "the Command window is the client area";
  EXPECT_EQ(layer.GetFocusWindow(), FrameWindow::ClientAreaId()) << "typed keys reach the Command window";
  EXPECT_EQ(layer.GetActiveWindow(), FrameWindow::ClientAreaId());
  EXPECT_EQ(queue.TakeLog(), "dispatch frame WM_PAINT 0\n") << "one round of the loop";

  // The Command window follows the current viewpoint.
  ViewpointManager::AddViewpoint(ViewpointHandle(kServer + 1), "OTHER");
  ViewpointManager::SelectViewpoint(1);
  EXPECT_EQ(command->GetViewpoint().Value(), kServer + 1);
  ViewpointManager::SelectViewpoint(0);

  system.focus = FrameWindow::ClientAreaHandle();
  EXPECT_EQ(HandleShellRequest(kGuiIsCommandWindowFocused), 1);
  system.focus = frameHandle;
  EXPECT_EQ(HandleShellRequest(kGuiIsCommandWindowFocused), 1) << "the frame's focus is its client area's";
  system.focus = 0;
  EXPECT_EQ(HandleShellRequest(kGuiIsCommandWindowFocused), 0);

  EXPECT_EQ(CountOf(kViewSource), 0);
  HandleShellRequest(kGuiShowSourceAndCommand);
  EXPECT_EQ(CountOf(kViewSource), 1);
  HandleShellRequest(kGuiShowSourceAndCommand);
  EXPECT_EQ(CountOf(kViewSource), 1) << "a Source window open: only the Command window is activated";
  EXPECT_EQ(layer.GetActiveWindow(), FrameWindow::ClientAreaId());

  // Busy and arrow cursors stack; 64 empties the stack.
  HandleShellRequest(kGuiBusyCursor);
  HandleShellRequest(kGuiBusyCursor);
  HandleShellRequest(kGuiPopCursor);
  EXPECT_EQ(layer.TopCursorKind(), kCursorWait);
  HandleShellRequest(kGuiArrowCursor);
  EXPECT_EQ(layer.TopCursorKind(), kCursorArrow);
  HandleShellRequest(kGuiResetCursors);
  HandleShellRequest(kGuiPopCursor);
  EXPECT_EQ(layer.TopCursorKind(), kCursorArrow);
}

TEST_F(FrameWindowTest, WindowsOfEachKindAreMadeWhereTheirKindSays) {
  StartFrame();
  struct Case {
    const char* name;
    int32_t kind;
    const char* made;  // the shell's log
  };
  const Case cases[] = {
      {"Registers: placed by the system, 544 x 312", kViewRegisters,
       "CreateWindow REG top-level in none -2147483648,0 544x312 id 0\nSystemMenu REG\n"},
      {"Source: below the frame, as wide", kViewSource,
       "CreateWindow SOURCE top-level in none 50,245 720x325 id 0\nSystemMenu SOURCE\n"},
      {"a second Source window cascades", kViewSource,
       "CreateWindow SOURCE top-level in none 74,284 720x325 id 0\nSystemMenu SOURCE2\n"},
      {"Modules: placed by the system, 480 x 312", kViewModules,
       "CreateWindow MODULES top-level in none -2147483648,0 480x312 id 0\nSystemMenu MODULES\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WinSuper* window = CreateChildWindow(frame, c.kind);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Kind(), c.kind);
    EXPECT_EQ(shell.TakeLog(), c.made);
  }
  const std::string log = system.TakeLog();
  EXPECT_TRUE(Contains(log, "ShowWindow REG normal")) << log;
  EXPECT_TRUE(Contains(log, "SetWindowText REG \"Registers  [SERVER]\"")) << log;

  // The View menu activates the window it has instead of making another.
  ShowWindowOfKind(frame, kViewRegisters);
  EXPECT_EQ(CountOf(kViewRegisters), 1);
  ShowWindowOfKind(frame, kViewWatch);
  EXPECT_EQ(CountOf(kViewWatch), 1);

  // Hidden: nothing is made, and View > Locals through the frame makes one that shows.
  shell.TakeLog();
  EXPECT_EQ(CreateChildWindow(frame, kViewLocals, kShowHidden), nullptr);
  EXPECT_EQ(shell.TakeLog(), "");
  EXPECT_EQ(CountOf(kViewLocals), 0);
  testing_support::SendCommand(frameHandle, 1110);
  EXPECT_EQ(CountOf(kViewLocals), 1);
  EXPECT_TRUE(Contains(system.TakeLog(), "ShowWindow LOCALS normal"));
  DestroyWindowObject(WindowTable::FindByKindAndViewpoint(kViewLocals, ViewpointHandle(kServer))->LayerWindowId());

  EXPECT_EQ(CreateChildWindow(frame, 2), nullptr) << "a kind without windows";
  shell.refusedClass = "LOCALS";
  system.TakeLog();
  EXPECT_EQ(CreateChildWindow(frame, kViewLocals), nullptr);
  EXPECT_TRUE(Contains(system.TakeLog(), "MessageBox frame \"\" \"Error creating window\" exclamation ok"));
  SetBaseViewpoint(ViewpointHandle::None());
  EXPECT_EQ(CreateChildWindow(frame, kViewInspect), nullptr);
  EXPECT_EQ(system.TakeLog(), "MessageBeep\n") << "no viewpoint: a beep";
}

TEST_F(FrameWindowTest, RunControlCommandsGreyWhileTheTargetRunsAndTheAcceleratorsFollow) {
  StartFrame();
  const uint32_t greyed[] = {1240, 1220, 1250, 1260, 1270, 1280, 1290, 1300, 1310,
                             1320, 1330, 1380, 1381, 1382, 1383, 1390, 1475, 1476};
  for (bool enable : {false, true}) {
    SCOPED_TRACE(enable ? "stopped" : "running");
    TheFrameControls().EnableRunControlCommands(enable);
    const std::string log = system.TakeLog();
    for (uint32_t command : greyed) {
      EXPECT_TRUE(Contains(log, "EnableMenuItem bar " + std::to_string(command) + (enable ? " enabled" : " grayed")))
          << command;
    }
    for (uint32_t button : {kButtonGo, kButtonAsm, kButtonStepInto, kButtonStepOver, kButtonStepOut, kButtonHome}) {
      EXPECT_EQ(system.At(layer.Handle(FrameWindow::ButtonId(button))).enabled, enable) << button;
    }
    EXPECT_TRUE(system.At(layer.Handle(FrameWindow::ButtonId(kButtonRegisters))).enabled) << "Regs stays";
    EXPECT_EQ(log.find("EnableMenuItem bar 1080"), std::string::npos) << "F2's command stays";
    EXPECT_EQ(AcceleratorTableInUse(), enable ? 2u : 1u);
  }
  // The table in use decides which keys the main loop turns into commands.
  queue.acceleratorTakes = [](const LayerMessage& m) { return m.message == msg::kKeyDown; };
  queue.Post(FrameWindow::ClientAreaHandle(), msg::kKeyDown, 0x74);
  RunMessageLoop(frameHandle);
  EXPECT_EQ(queue.TakeLog(), "accelerator VRK_NORMAL ClipRect WM_KEYDOWN 116\n");
  TheFrameControls().EnableRunControlCommands(false);
  queue.Post(FrameWindow::ClientAreaHandle(), msg::kKeyDown, 0x74);
  RunMessageLoop(frameHandle);
  EXPECT_EQ(queue.TakeLog(), "accelerator VRK_EMULATING ClipRect WM_KEYDOWN 116\n");
}

TEST_F(FrameWindowTest, CustomButtonsFollowTheFixedOnesUpToEight) {
  StartFrame();
  EXPECT_EQ(CreateCustomButtonControl(nullptr), 111) << "the next command, nothing made";
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(CreateCustomButtonControl(("B" + std::to_string(i)).c_str()), 111 + i);
  const std::string log = system.TakeLog();
  EXPECT_TRUE(Contains(log, "CreateControl control111 type 6 in frame (2,410,28,60) \"B0\" visible")) << log;
  EXPECT_TRUE(Contains(log, "CreateControl control118 type 6 in frame (2,830,28,60) \"B7\" visible")) << log;
  EXPECT_EQ(CreateCustomButtonControl("B8"), -1);
  EXPECT_EQ(FrameWindow::ButtonId(118), 8 + 8 + 1) << "after the client area and the General window";
  DestroyCustomButtonControls();
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 0);
  const std::string destroyed = system.TakeLog();
  EXPECT_LT(destroyed.find("DestroyWindow control118"), destroyed.find("DestroyWindow control111"));
  EXPECT_EQ(FrameWindow::ButtonId(118), kNoLayerId);
}

// The start-up empties the custom buttons' slots: buttons made before it are gone
// with their controls, and the next button takes command 111 again.
TEST_F(FrameWindowTest, StartUpEmptiesTheCustomButtonSlots) {
  ASSERT_TRUE(CreateFrameControls(frame));
  InstallShellServices();
  ASSERT_EQ(CreateCustomButtonControl("B0"), 111);
  ASSERT_EQ(CreateCustomButtonControl("B1"), 112);
  system.TakeLog();
  queue.Post(frameHandle, msg::kPaint);
  ASSERT_EQ(HandleShellRequest(kGuiStartUp), 0);
  EXPECT_EQ(FrameWindow::CustomButtonCount(), 0);
  const std::string log = system.TakeLog();
  EXPECT_TRUE(Contains(log, "DestroyWindow control111")) << log;
  EXPECT_TRUE(Contains(log, "DestroyWindow control112")) << log;
  EXPECT_EQ(CreateCustomButtonControl(nullptr), 111);
}

// The application losing the activation (WM_ACTIVATEAPP with 0 to the frame) draws the
// active child window's caption inactive and leaves nothing highlighted, so that a
// click on that window when the application comes back draws its caption active again.
// With a modal dialog open the captions stay as they are; gaining the activation
// changes nothing by itself.
TEST_F(FrameWindowTest, LosingTheActivationDrawsTheActiveWindowsCaptionInactive) {
  StartFrame();
  WinSuper* source = CreateChildWindow(frame, kViewSource);
  ASSERT_NE(source, nullptr);
  const NativeWindow sourceHandle = layer.Handle(source->LayerWindowId());
  ASSERT_EQ(layer.GetActiveWindow(), source->LayerWindowId());
  system.TakeLog();

  testing_support::SendToProcedure(frameHandle, msg::kActivateApp, 0);
  EXPECT_EQ(system.TakeLog(), "Caption SOURCE inactive\n");
  testing_support::SendToProcedure(frameHandle, msg::kActivateApp, 1);
  EXPECT_EQ(system.TakeLog(), "");
  testing_support::SendToProcedure(sourceHandle, msg::kMouseActivate);
  EXPECT_TRUE(Contains(system.TakeLog(), "Caption SOURCE active"));
  EXPECT_EQ(layer.GetActiveWindow(), source->LayerWindowId());

  const int32_t dialog = layer.Register(system.AddWindow("dialog", frameHandle), kLayerModalDialog, 0);
  system.TakeLog();
  testing_support::SendToProcedure(frameHandle, msg::kActivateApp, 0);
  EXPECT_EQ(system.TakeLog().find("Caption"), std::string::npos);
  layer.Destroy(dialog);
}

TEST_F(FrameWindowTest, TheExitQuestionNamesTheTargetAndTheTargetTimersRunFromTheLoop) {
  StartFrame();
  LoadTargetDescriptionAtStart();
  layer.SetUserData(frame, reinterpret_cast<uintptr_t>(GetTargetName()));
  system.nextReply = MessageBoxReply::Cancel;
  EXPECT_EQ(ConfirmExit(frame), 1);
  EXPECT_TRUE(Contains(system.TakeLog(),
                       "MessageBox frame \"Zentor\" \"Are you sure you want to exit Zentor ?\" exclamation ok-cancel"));
  system.nextReply = MessageBoxReply::Ok;
  EXPECT_EQ(ConfirmExit(frame), 0);
  EXPECT_EQ(ConfirmExit(40), 0) << "no frame, no question";

  // A target's timer runs in the first round and then again only once its interval
  // has passed since it returned, however many rounds come in between.
  static int ticks = 0;
  ticks = 0;
  const int32_t id = TheFrameControls().SetTimer(60000, [] { ++ticks; });
  ASSERT_EQ(id, 1);
  queue.Post(frameHandle, msg::kTimer, 1);
  queue.Post(FrameWindow::ClientAreaHandle(), msg::kKeyDown, 'A');
  RunMessageLoop(frameHandle);
  EXPECT_EQ(ticks, 1);
  RunMessageLoop(frameHandle);
  EXPECT_EQ(ticks, 1);
  TheFrameControls().KillTimer(id);
  queue.Post(frameHandle, msg::kTimer, 1);
  RunMessageLoop(frameHandle);
  EXPECT_EQ(ticks, 1);
  EXPECT_TRUE(layer.TimerIds().empty());
}

TEST_F(FrameWindowTest, MenuCommandsShowWindowsAskForHelpAndLeaveTheRestToTheSystem) {
  StartFrame();
  SetHelpFile("C:\\zentor\\zentor.hlp");
  struct Case {
    uint32_t command;
    int32_t kind;
  };
  const Case views[] = {{1070, kViewSource}, {1110, kViewLocals}, {1140, kViewCallstack}, {1080, kViewRegisters},
                        {1100, kViewMemory}, {1120, kViewModules}, {1130, kViewInspect},  {1090, kViewWatch},
                        {101, kViewRegisters}};
  for (const Case& c : views) {
    SCOPED_TRACE(std::to_string(c.command));
    EXPECT_TRUE(HandleFrameCommand(frame, c.command, 0));
    EXPECT_EQ(CountOf(c.kind), 1) << "made once, then activated";
  }
  system.TakeLog();
  EXPECT_TRUE(HandleFrameCommand(frame, kCommandHelpSearch, 0));
  EXPECT_TRUE(HandleFrameCommand(frame, kCommandHelpUsing, 0));
  EXPECT_TRUE(HandleFrameCommand(frame, kCommandHelpContents, 0));
  const std::string help = system.TakeLog();
  EXPECT_NE(help.find("WinHelp frame \"C:\\zentor\\zentor.hlp\" 261 "), std::string::npos) << help;
  EXPECT_NE(help.find("WinHelp frame \"C:\\zentor\\zentor.hlp\" 4 0"), std::string::npos) << help;
  EXPECT_NE(help.find("WinHelp frame \"C:\\zentor\\zentor.hlp\" 3 0"), std::string::npos) << "contents without F1";
  // F1 held: the topic of the focused window's kind.
  system.focus = layer.Handle(WindowTable::FindByKindAndViewpoint(kViewRegisters, ViewpointHandle(kServer))->LayerWindowId());
  queue.HoldKey(vk::kF1, true);
  HandleFrameCommand(frame, kCommandHelpContents, 0);
  EXPECT_NE(system.TakeLog().find("\" 1 31010"), std::string::npos);
  EXPECT_EQ(ShowHelpContext(frame, kAboutHelpContext), 0) << "About has no topic";

  EXPECT_FALSE(HandleFrameCommand(frame, 2222, 0)) << "unknown: the system's";
  EXPECT_TRUE(HandleFrameCommand(frame, 2222, 1)) << "a notification of an unknown control: nothing";
  static uint32_t handled = 0;
  layer.AddMenuHandler(2222, [](int32_t, uint32_t command) { handled = command; });
  EXPECT_TRUE(HandleFrameCommand(frame, 2222, 0));
  EXPECT_EQ(handled, 2222u);

  EXPECT_FALSE(HandleFrameCommand(frame, kCommandTestError, 0)) << "not a command outside the GUI tests";
  EnableFrameTestCommands(true);
  EXPECT_THROW(HandleFrameCommand(frame, kCommandTestError, 0), DVError);
  EnableFrameTestCommands(false);
}

// The console input's wait for a key under the program's shell: what the key queue
// has at hand (keys the busy pump handed over, output, a new width of the Command
// window) is looked at without waiting for a message; keys typed ahead come out one
// after the other; with nothing at hand the wait waits (here: for a queue that has
// nothing, which ends the session).
TEST_F(FrameWindowTest, TheInputWaitReadsWhatIsAtHandWithoutWaiting) {
  // The program's Command window, whatever an earlier test left installed.
  const WindowObjectCreator previousCreator = GetWindowObjectCreator(kViewCommand);
  const NoticeHandler previousNotices = SetNoticeHandler(NoticeTarget::kCommandWindow, nullptr);
  CommandWindow::Reset();
  InstallCommandWindow();
  StartFrame();
  ProgramShell program;
  InstallGuiShell(&program);
  testing_support::RouteDispatchToProcedures(queue);
  SetProgramExitHandler(&testing_support::ThrowProgramExited);
  const NativeWindow command = FrameWindow::ClientAreaHandle();
  struct Look {
    uint8_t key;
    bool waited;
  };
  auto look = [&] {
    queue.TakeLog();
    Look seen{0, false};
    try {
      seen.key = PollConsoleKey();
    } catch (const testing_support::ProgramExited&) {
      seen.waited = true;
    }
    seen.waited = seen.waited || queue.TakeLog().find("wait with nothing pending") != std::string::npos;
    return seen;
  };
  KeyQueue::Clear();
  EXPECT_TRUE(look().waited) << "nothing at hand";

  struct Case {
    const char* name;
    std::function<void()> before;
    const char* keys;  // what the looks without a wait take
  };
  const Case cases[] = {
      {"keys typed while busy",
       [&] {
         for (char ch : std::string("go")) queue.Post(command, msg::kChar, static_cast<uint8_t>(ch));
         ASSERT_EQ(HandleShellRequest(kGuiPumpWhileBusy), 0);
       },
       "go"},
      {"output written", [] { WriteConsoleText("done\r\n", 6); }, ""},
      {"the Command window sized again",
       [&] {
         system.At(command).client = LayerRect{0, 0, 80, 600};
         testing_support::SendToProcedure(command, msg::kSize, 0, testing_support::PointParameter(80, 600));
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.before();
    for (const char* key = c.keys; *key != '\0'; ++key) {
      const Look seen = look();
      EXPECT_FALSE(seen.waited);
      EXPECT_EQ(seen.key, static_cast<uint8_t>(*key));
    }
    if (*c.keys == '\0') {
      const Look seen = look();
      EXPECT_FALSE(seen.waited) << "one look without a wait";
      EXPECT_EQ(seen.key, 0);
    }
    EXPECT_TRUE(look().waited) << "then the wait waits";
  }
  SetProgramExitHandler(nullptr);
  InstallGuiShell(nullptr);
  WindowTable::DestroyAll();
  SetWindowObjectCreator(kViewCommand, previousCreator);
  SetNoticeHandler(NoticeTarget::kCommandWindow, previousNotices);
  CommandWindow::Reset();
}

TEST_F(FrameWindowTest, ShutDownClosesTheWindowsAndEndsTheProgram) {
  StartFrame();
  SetProgramExitHandler([] { throw testing_support::ProgramExited{}; });
  EXPECT_THROW(HandleShellRequest(kGuiShutDown), testing_support::ProgramExited);
  SetProgramExitHandler(nullptr);
  const std::string log = system.TakeLog();
  EXPECT_TRUE(Contains(log, "WM_CLOSE ClipRect")) << log;
  EXPECT_TRUE(Contains(log, "WM_CLOSE GENERAL")) << log;
  EXPECT_LT(log.find("DestroyWindow frame"), log.find("PostQuitMessage")) << log;
  EXPECT_EQ(shell.TakeLog(), "UnregisterWindowClasses\n");
}

TEST_F(FrameWindowTest, TheHelpFileSitsBesideTheProgram) {
  EXPECT_EQ(BuildHelpFilePath("C:\\zentor\\zentor.exe"), "C:\\zentor\\zentor.hlp");
  EXPECT_EQ(BuildHelpFilePath("C:\\z.d\\zentor"), "C:\\z.d\\zentor.hlp");
  const std::string fits = "C:\\" + std::string(252, 'd') + ".exe";  // 259 characters
  EXPECT_EQ(BuildHelpFilePath(fits), fits.substr(0, 256) + "hlp");
  const std::string deep = "C:\\" + std::string(253, 'd') + ".exe";
  EXPECT_EQ(BuildHelpFilePath(deep), deep + "?");
}

}  // namespace
}  // namespace zentor

namespace zentor {
namespace {

// Context help over the frame and its windows: F1 on the focused window, Shift+F1's
// help mode and what each click or menu choice in it shows, F1 in the frame's menus,
// and "&Last Error" before any error.
TEST_F(FrameWindowTest, HelpReachesTheEngineWithTheContextOfWhatWasChosen) {
  StartFrame();
  SetHelpFile("zentor.hlp");
  ASSERT_TRUE(HandleFrameCommand(frame, 1070, 0));
  const int32_t source = WindowTable::FindByKindAndViewpoint(kViewSource, ViewpointHandle(kServer))->LayerWindowId();
  system.focus = layer.Handle(source);
  auto lastHelp = [&] {
    const std::string log = system.TakeLog();
    const size_t at = log.rfind("WinHelp ");
    return at == std::string::npos ? std::string() : log.substr(at, log.find('\n', at) - at);
  };
  queue.HoldKey(vk::kF1, true);
  HandleFrameCommand(frame, kCommandHelpContents, 0);
  queue.HoldKey(vk::kF1, false);
  EXPECT_EQ(lastHelp(), "WinHelp frame \"zentor.hlp\" 1 31000") << "F1 in the Source window";

  // Shift+F1 twice: the mode on with the help cursor, then off with the cursor before.
  const uint32_t cursorBefore = layer.TopCursorKind();
  EXPECT_TRUE(HelpModeKey(vk::kF1, true));
  EXPECT_TRUE(layer.IsHelpMode());
  EXPECT_EQ(layer.TopCursorKind(), kCursorHelp);
  EXPECT_TRUE(HelpModeKey(vk::kF1, true));
  EXPECT_FALSE(layer.IsHelpMode());
  EXPECT_EQ(layer.TopCursorKind(), cursorBefore);
  EXPECT_FALSE(HelpModeKey(vk::kF1, false)) << "F1 alone is the accelerator's";
  EXPECT_FALSE(HelpModeKey(vk::kEscape, false)) << "Escape outside the mode is the window's";

  // Each way out of the mode shows one topic and ends it, the cursor restored.
  struct Case {
    const char* name;
    std::function<bool()> act;  // false: left to the system
    const char* help;           // the request, "" for none
    const char* box;            // the message box, "" for none
  };
  const Case cases[] = {
      {"the minimise button", [&] { return HelpModeNonClientClick(frame, hit::kMinimizeButton); },
       "WinHelp frame \"zentor.hlp\" 1 32010", ""},
      {"a sizing border", [&] { return HelpModeNonClientClick(source, 17); }, "WinHelp SOURCE \"zentor.hlp\" 1 32040", ""},
      {"the Breakpoints menu item", [&] { HelpModeFrameCommand(frame, 1380); return true; },
       "WinHelp frame \"zentor.hlp\" 1 30210", ""},
      {"a button of the bar", [&] { HelpModeFrameCommand(frame, 106); return true; },
       "WinHelp frame \"zentor.hlp\" 1 30020", ""},
      {"a command without topic", [&] { HelpModeFrameCommand(frame, 2222); return true; }, "",
       "\"Help topic does not exist.\""},
      {"About", [&] { HelpModeFrameCommand(frame, kCommandAbout); return true; }, "", ""},
      {"the Source window's popup item 2", [&] { return HelpModePopupCommand(source, 2); },
       "WinHelp SOURCE \"zentor.hlp\" 1 30290", ""},
      {"a click in the Source window", [&] { HelpModeClientClick(source, false); return true; },
       "WinHelp SOURCE \"zentor.hlp\" 1 31000", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    system.TakeLog();
    HelpModeKey(vk::kF1, true);
    EXPECT_TRUE(c.act());
    EXPECT_FALSE(layer.IsHelpMode());
    EXPECT_EQ(layer.TopCursorKind(), cursorBefore);
    const std::string log = system.TakeLog();
    const size_t at = log.find("WinHelp ");
    EXPECT_EQ(at == std::string::npos ? "" : log.substr(at, log.find('\n', at) - at), c.help);
    if (*c.box != '\0') {
      EXPECT_NE(log.find(c.box), std::string::npos) << log;
    }
  }
  // The menu bar and a popup item without topic go to the system; the mode stays.
  HelpModeKey(vk::kF1, true);
  EXPECT_FALSE(HelpModeNonClientClick(frame, 5));
  EXPECT_TRUE(layer.IsHelpMode());
  EXPECT_FALSE(HelpModePopupCommand(source, 12));
  // A click where the focused window has no topic.
  system.focus = frameHandle;
  HelpModeKey(vk::kF1, true);
  HelpModeClientClick(source, false);
  EXPECT_NE(system.TakeLog().find("\"Help Example\" \"1400Help not available for Help Menu item\""), std::string::npos);
  EXPECT_TRUE(HelpModeKey(vk::kF1, true));
  EXPECT_TRUE(HelpModeKey(vk::kEscape, false));
  EXPECT_FALSE(layer.IsHelpMode());

  // F1 in an open frame menu: the highlighted command's topic, nothing on a title, a
  // popup or after the menu closed.
  struct MenuCase {
    uint32_t item;
    uint32_t flags;
    bool closing;
    bool title;
    const char* help;
  };
  const MenuCase menus[] = {{1240, 0, false, false, "WinHelp frame \"zentor.hlp\" 1 30020"},
                            {3203, 0, false, false, "WinHelp frame \"zentor.hlp\" 1 31480"},
                            {1, kMenuFlagPopup, false, true, ""},
                            {1197, kMenuFlagPopup, false, false, ""},
                            {0xF020, kMenuFlagSystem, false, false, ""},
                            {0, 0xFFFF, true, false, ""},
                            {kCommandAbout, 0, false, false, ""}};
  for (const MenuCase& m : menus) {
    SCOPED_TRACE(m.item);
    system.TakeLog();
    NoteFrameMenuSelect(m.item, m.flags, m.closing, m.title);
    FrameHelpHookMessage(frame, kHelpHookMenu);
    EXPECT_EQ(lastHelp(), m.help);
  }

  LastError() = DVError(0, 0, kDisplayByFocus);
  HandleFrameCommand(frame, kCommandHelpLastError, 0);
  const std::string box = system.TakeLog();
  EXPECT_NE(box.find("\"No errors have occured.  Last error not available.\""), std::string::npos) << box;
  EXPECT_EQ(box.find("WinHelp"), std::string::npos);
}

}  // namespace
}  // namespace zentor
