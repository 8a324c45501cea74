// The message loop's four pumps over a queue of the test's own messages and the
// recording layer: what each lets through to which window, the timers' polling, the
// accelerators and modeless dialogs, the activity flags and the user break.
#include "gui/message_loop.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/busy_pump.h"
#include "core/dv_error.h"
#include "gui/window_table.h"
#include "gui/gui_window_layer.h"
#include "harness/fake_message_queue.h"
#include "harness/recording_layer_system.h"

namespace zentor {
namespace {

using testing_support::FakeMessageQueue;
using testing_support::RecordingLayerSystem;

constexpr uint32_t kVkF5 = 0x74;
constexpr uint32_t kVkUp = 0x26;

struct LoopFixture {
  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  FakeMessageQueue queue{system};
  NativeWindow frame = system.AddWindow("frame", 0, LayerRect{0, 0, 200, 700});
  NativeWindow client = system.AddWindow("client", frame);
  NativeWindow source = system.AddWindow("source");
  NativeWindow titled = system.AddWindow("titled");
  int32_t frameId = layer.Register(frame, kLayerFrame, 0);
  int32_t clientId = layer.Register(client, kLayerChildWindow, 0);

  LoopFixture() {
    system.At(source).text = "Source  [Processor 0]";
    system.At(titled).text = "Command";
    InstallGuiWindowLayer(&layer);
    InstallMessageQueue(&queue);
    ResetMessageLoop();
    SetBusyTypingWindow(client);
    SetPumpingEnabled(1);
  }
  ~LoopFixture() {
    InstallMessageQueue(nullptr);
    InstallGuiWindowLayer(nullptr);
    ResetMessageLoop();
    SetPumpingEnabled(1);
  }
};

int g_activityNotices = 0;
int32_t g_timerCalls = 0;
int32_t CountTimer(uint32_t, uint32_t) { return ++g_timerCalls; }

TEST(MessageLoopTest, OneRoundPollsTheTimersAndRoutesOneMessage) {
  LoopFixture f;
  g_timerCalls = 0;
  g_activityNotices = 0;
  SetUserActivityHook([] { ++g_activityNotices; });
  ASSERT_EQ(f.layer.SetTimer(10, CountTimer), 1);
  f.layer.SuspendTimers();
  f.system.TakeLog();

  f.queue.Post(f.client, msg::kKeyDown, kVkF5);
  f.queue.acceleratorTakes = [](const LayerMessage& m) { return m.message == msg::kKeyDown && m.wParam == kVkF5; };
  LoadAcceleratorTable("VRK_NORMAL");
  EXPECT_EQ(RunMessageLoop(f.frame), 0);
  EXPECT_EQ(g_timerCalls, 1) << "the timers run before the wait";
  EXPECT_EQ(f.system.TakeLog(), "SetTimer 1 10\nKillTimer 1\n") << "restarted, then off while handling";
  EXPECT_EQ(f.queue.TakeLog(), "accelerator VRK_NORMAL client WM_KEYDOWN 116\n");
  EXPECT_EQ(TestActivityFlags(kActivityKey), 1);
  EXPECT_EQ(TestActivityFlags(kActivityMouse), 0);
  EXPECT_EQ(g_activityNotices, 1);

  // A button going up is no activity; a message the accelerators leave is translated
  // and dispatched.
  ClearActivityFlags();
  f.queue.Post(f.client, msg::kLeftButtonUp);
  f.queue.Post(f.client, msg::kKeyDown, 'A');
  EXPECT_EQ(RunMessageLoop(f.frame), 0);
  EXPECT_EQ(TestActivityFlags(kActivityKey | kActivityMouse), 0);
  EXPECT_EQ(RunMessageLoop(f.frame), 0);
  EXPECT_EQ(f.queue.TakeLog(), "dispatch client WM_LBUTTONUP 0\ntranslate client WM_KEYDOWN 65\ndispatch client WM_KEYDOWN 65\n");
  EXPECT_EQ(g_activityNotices, 2);

  // A modeless dialog takes its messages before the accelerators.
  const NativeWindow dialog = f.system.AddWindow("finder");
  f.layer.Register(dialog, kLayerModelessDialog, 0);
  f.queue.dialogTakes = [&](NativeWindow d, const LayerMessage&) { return d == dialog; };
  f.queue.Post(f.client, msg::kKeyDown, kVkF5);
  EXPECT_EQ(RunMessageLoop(f.frame), 0);
  EXPECT_EQ(f.queue.TakeLog(), "");

  f.queue.PostQuit(0);
  f.queue.dialogTakes = nullptr;
  EXPECT_EQ(RunMessageLoop(f.frame), -1);
  SetUserActivityHook(nullptr);
}

TEST(MessageLoopTest, PumpsDoNothingWhilePumpingIsOff) {
  LoopFixture f;
  f.queue.Post(f.client, msg::kPaint);
  f.queue.Post(f.client, msg::kSetCursor);
  SetPumpingEnabled(0);
  EXPECT_EQ(RunMessageLoop(f.frame), 0);
  PumpWhileBusy(f.frame);
  PumpMessagesOfType(msg::kSetCursor);
  DiscardMessagesOfType(msg::kPaint);
  EXPECT_EQ(f.queue.PendingCount(), 2u);
  SetPumpingEnabled(1);
  PumpMessagesOfType(msg::kSetCursor);
  DiscardMessagesOfType(msg::kPaint);
  EXPECT_EQ(f.queue.PendingCount(), 0u);
  EXPECT_EQ(f.queue.TakeLog(), "dispatch client WM_SETCURSOR 0\n");
}

TEST(MessageLoopTest, ABusyPumpLetsThroughOnlyWhatCannotStartACommand) {
  LoopFixture f;
  struct Case {
    const char* name;
    NativeWindow LoopFixture::*window;
    uint32_t message;
    uintptr_t wParam;
    bool handled;
  };
  const Case cases[] = {
      {"a paint", &LoopFixture::source, msg::kPaint, 0, true},
      {"a character for the client area (no title, found by its handle)", &LoopFixture::client, msg::kChar, 'a', true},
      {"a character for a window titled Command", &LoopFixture::titled, msg::kChar, 'b', true},
      {"a character for a Source window", &LoopFixture::source, msg::kChar, 'c', false},
      {"a letter's key down", &LoopFixture::client, msg::kKeyDown, 'D', true},
      {"F5 (translated)", &LoopFixture::client, msg::kKeyDown, kVkF5, false},
      {"Up (translated)", &LoopFixture::source, msg::kKeyDown, kVkUp, false},
      {"a click into a window", &LoopFixture::source, msg::kLeftButtonDown, 0, false},
      {"a command to a window", &LoopFixture::client, msg::kCommand, 1240, false},
      {"scrolling", &LoopFixture::source, msg::kVScroll, 1, false},
      {"closing", &LoopFixture::source, msg::kClose, 0, false},
      {"a caption drag of a window", &LoopFixture::source, msg::kNcLeftButtonDown, hit::kCaption, true},
      {"a window's close box", &LoopFixture::source, msg::kNcLeftButtonDown, 20, false},
      {"the frame's caption", &LoopFixture::frame, msg::kNcLeftButtonDown, hit::kCaption, true},
      {"the frame's minimise button", &LoopFixture::frame, msg::kNcLeftButtonDown, hit::kMinimizeButton, true},
      {"the frame's menu bar", &LoopFixture::frame, msg::kNcLeftButtonDown, 5, false},
      {"a double click on the frame's caption", &LoopFixture::frame, msg::kNcLeftButtonDoubleClick, 2, false},
      {"the frame's timer", &LoopFixture::frame, msg::kTimer, 1, false},
      {"any other message to the frame", &LoopFixture::frame, msg::kCommand, 1080, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.queue.Post(f.*c.window, c.message, c.wParam);
    PumpWhileBusy(f.frame);
    EXPECT_EQ(f.queue.PendingCount(), 0u);
    const std::string log = f.queue.TakeLog();
    EXPECT_EQ(log.find("dispatch") != std::string::npos, c.handled) << log;
  }
  // A click is activity even when dropped, a key is not.
  ClearActivityFlags();
  f.queue.Post(f.source, msg::kLeftButtonDown);
  f.queue.Post(f.client, msg::kKeyDown, 'E');
  PumpWhileBusy(f.frame);
  EXPECT_EQ(TestActivityFlags(kActivityMouse), 1);
  EXPECT_EQ(TestActivityFlags(kActivityKey), 0);

  // The quit message is left for the main loop.
  f.queue.PostQuit(0);
  PumpWhileBusy(f.frame);
  EXPECT_TRUE(f.queue.HasPending(msg::kQuit));
}

TEST(MessageLoopTest, ABusyModalDialogGetsItsCursorBack) {
  LoopFixture f;
  const NativeWindow dialog = f.system.AddWindow("dialog", f.frame, LayerRect{10, 10, 60, 60});
  const int32_t dialogId = f.layer.Register(dialog, kLayerModalDialog, 0);
  f.layer.PushCursor(kCursorWait, 0);
  f.system.cursor = LayerPoint{20, 20};
  f.system.TakeLog();
  PumpWhileBusy(f.frame);
  EXPECT_EQ(f.system.TakeLog(), "") << "the dialog is not the active window";
  f.queue.activeWindow = f.layer.Handle(dialogId);
  PumpWhileBusy(f.frame);
  EXPECT_NE(f.system.TakeLog().find("SetCursor"), std::string::npos);
}

TEST(MessageLoopTest, CtrlCBreaksAndDropsWhatWasTypedAheadButNotTheQuitOrTheTimers) {
  LoopFixture f;
  f.queue.Post(f.client, msg::kChar, 'x');
  f.queue.Post(f.source, msg::kKeyDown, kVkUp);
  f.queue.Post(f.client, msg::kKeyDown, 'C');
  f.queue.Post(f.client, msg::kChar, 'y');
  f.queue.Post(f.source, msg::kPaint);
  f.queue.Post(f.client, msg::kCommand, 1240);
  f.queue.Post(f.frame, msg::kTimer, 1);
  f.queue.Post(f.source, msg::kLeftButtonDown);
  f.queue.Post(f.client, 0x1400);  // above 1024: kept
  f.queue.PostQuit(0);
  f.queue.HoldKey(vk::kControl, true);
  ClearActivityFlags();
  EXPECT_EQ(CheckUserBreak(f.frame), 1);
  EXPECT_FALSE(IsCheckingUserBreak());
  EXPECT_EQ(f.queue.TakeLog(), "dispatch client WM_CHAR 'x'\ncontrol released\n")
      << "the character before the break reaches the Command window, Ctrl+Up for a Source window is dropped";
  EXPECT_FALSE(f.queue.IsKeyDown(vk::kControl));
  EXPECT_EQ(TestActivityFlags(kActivityKey), 1);
  EXPECT_FALSE(f.queue.HasPending(msg::kChar));
  EXPECT_FALSE(f.queue.HasPending(msg::kCommand));
  EXPECT_FALSE(f.queue.HasPending(msg::kLeftButtonDown));
  EXPECT_TRUE(f.queue.HasPending(msg::kPaint));
  EXPECT_TRUE(f.queue.HasPending(msg::kTimer));
  EXPECT_TRUE(f.queue.HasPending(0x1400));
  EXPECT_TRUE(f.queue.HasPending(msg::kQuit));
}

TEST(MessageLoopTest, WithoutABreakTheCheckTypesAndPumps) {
  LoopFixture f;
  struct Case {
    const char* name;
    NativeWindow LoopFixture::*window;
    uint32_t wParam;
    bool control;
    int32_t answer;
  };
  const Case cases[] = {
      {"C without Ctrl", &LoopFixture::client, 'C', false, 0},
      {"Ctrl+C", &LoopFixture::client, 'C', true, 1},
      {"Ctrl+Break", &LoopFixture::source, vk::kCancel, false, 1},
      {"Ctrl+D", &LoopFixture::client, 'D', true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.queue.HoldKey(vk::kControl, c.control);
    f.queue.Post(f.*c.window, msg::kKeyDown, c.wParam);
    EXPECT_EQ(CheckUserBreak(f.frame), c.answer);
    f.queue.TakeLog();
  }
  f.queue.HoldKey(vk::kControl, false);
  f.queue.Post(f.frame, msg::kKeyDown, kVkF5);
  f.queue.Post(f.frame, msg::kChar, 'f');
  f.queue.Post(f.source, msg::kChar, 'z');
  f.queue.Post(f.source, msg::kPaint);
  EXPECT_EQ(CheckUserBreak(f.frame), 0);
  EXPECT_EQ(f.queue.TakeLog(),
            "translate frame WM_KEYDOWN 116\ndispatch frame WM_KEYDOWN 116\ndispatch frame WM_CHAR 'f'\n"
            "dispatch source WM_PAINT 0\n")
      << "a key and a character for the frame (its client area's) are handled, a character for a Source window "
         "dropped, then one busy round";
}

// A window procedure keeps what the command loop must see (a fatal error, a foreign
// exception); the loop raises it once the message is handled, and only once.
TEST(MessageLoopTest, AnErrorKeptByAWindowProcedureIsRaisedAfterItsMessage) {
  LoopFixture f;
  int handled = 0;
  f.queue.onDispatch = [&](const LayerMessage& m) {
    ++handled;
    try {
      if (m.message == msg::kCommand) throw DVError(1, kSeverityFatal, kDisplayByFocus);
      throw std::runtime_error("not a DVError");
    } catch (...) {
      HandleWindowProcedureException();
    }
  };
  f.queue.Post(f.client, msg::kCommand, 1);
  f.queue.Post(f.client, msg::kPaint);
  EXPECT_THROW(RunMessageLoop(f.frame), DVError);
  EXPECT_EQ(handled, 1);
  EXPECT_THROW(PumpWhileBusy(f.frame), std::runtime_error);
  EXPECT_EQ(handled, 2);
  EXPECT_NO_THROW(RaisePendingWindowError()) << "nothing is kept twice";
}

}  // namespace
}  // namespace zentor
