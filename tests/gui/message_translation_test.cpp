// The translation of window messages into window events over the recording layer:
// keys with their modifiers, the keys that act at once (F4, F6, Ctrl+F6, Ctrl+F4 and
// the Command window it must never close), characters for the active window only,
// scroll codes with the bar's 32-bit range and thumb, mouse positions, sizes, focus
// and activation.
#include "gui/message_translation.h"

#include <gtest/gtest.h>

#include <string>

#include "core/busy_pump.h"
#include "gui/frame_window.h"
#include "gui/gui_window_layer.h"
#include "gui/message_loop.h"
#include "harness/fake_message_queue.h"
#include "harness/recording_layer_system.h"
#include "harness/recording_shell_system.h"

namespace zentor {
namespace {

using testing_support::FakeMessageQueue;
using testing_support::RecordingLayerSystem;
using testing_support::RecordingShellSystem;

constexpr uint32_t kVkF4 = 0x73;
constexpr uint32_t kVkF5 = 0x74;
constexpr uint32_t kVkF6 = 0x75;
constexpr uint32_t kVkUp = 0x26;

class MessageTranslationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.At(frameHandle).client = LayerRect{0, 0, 150, 712};
    InstallGuiWindowLayer(&layer);
    InstallMessageQueue(&queue);
    frame = layer.Register(frameHandle, kLayerFrame, 0);
    FrameWindow::SetFrame(frame);
    ASSERT_TRUE(CreateFrameControls(frame));
    client = FrameWindow::ClientAreaId();
    source = layer.Register(sourceHandle, kLayerChildWindow, 0);
    watch = layer.Register(watchHandle, kLayerChildWindow, 0);
    system.TakeLog();
  }
  void TearDown() override {
    InstallMessageQueue(nullptr);
    InstallGuiWindowLayer(nullptr);
    FrameWindow::Reset();
    SetPumpingEnabled(1);
  }
  int32_t Translate(NativeWindow window, uint32_t message, uintptr_t p1, intptr_t p2 = 0) {
    return TranslateLayerMessage(window, message, p1, p2, &event);
  }
  void Hold(bool shift, bool control) {
    queue.HoldKey(vk::kShift, shift);
    queue.HoldKey(vk::kControl, control);
  }

  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  RecordingShellSystem shell{system};
  FakeMessageQueue queue{system};
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{50, 50, 245, 770});
  NativeWindow sourceHandle = system.AddWindow("source", 0, LayerRect{245, 50, 570, 770});
  NativeWindow watchHandle = system.AddWindow("watch", 0, LayerRect{100, 100, 412, 580});
  int32_t frame = kNoLayerId;
  int32_t client = kNoLayerId;
  int32_t source = kNoLayerId;
  int32_t watch = kNoLayerId;
  WindowEvent event;
};

TEST_F(MessageTranslationTest, KeysBecomeInternalCodesWithTheirModifiers) {
  struct Case {
    const char* name;
    uint32_t message;
    uintptr_t key;
    bool shift, control;
    int32_t result;
    int32_t code;  // -1: no event
  };
  const Case cases[] = {
      {"Alt+A opens the popup menu", msg::kSysChar, 'a', false, false, 1, 1089},
      {"Alt+Shift+A too", msg::kSysChar, 'A', true, false, 1, 1089},
      {"Alt+B goes to the menus", msg::kSysChar, 'b', false, false, -1, -1},
      {"Shift+Tab", msg::kChar, vk::kTab, true, false, 1, 315},
      {"Tab", msg::kChar, vk::kTab, false, false, 1, 9},
      {"a letter", msg::kChar, 'q', false, false, 1, 'q'},
      {"F5", msg::kKeyDown, kVkF5, false, false, 1, 335},
      {"Ctrl+Up", msg::kKeyDown, kVkUp, false, true, 1, 371},
      {"Shift+Up has no translation", msg::kKeyDown, kVkUp, true, false, -1, -1},
      {"a letter's key down follows as a character", msg::kKeyDown, 'Q', false, false, -1, -1},
      {"F1 is help", msg::kKeyDown, vk::kF1, false, false, -1, -1},
      {"Ctrl+Break's key down leaves it to its character", msg::kKeyDown, vk::kCancel, false, true, -1, -1},
      {"Ctrl+C's character", msg::kChar, 3, false, true, 1, 3},
      {"Ctrl+F4 on the Command window is an ordinary key", msg::kKeyDown, kVkF4, false, true, 1, 3000},
      {"F10 as a system key", msg::kSysKeyDown, 0x79, false, false, 1, 340},
  };
  layer.ActivateWindow(client);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Hold(c.shift, c.control);
    EXPECT_EQ(Translate(FrameWindow::ClientAreaHandle(), c.message, c.key), c.result);
    if (c.code < 0) {
      EXPECT_EQ(event.type, kEventNone);
      continue;
    }
    EXPECT_EQ(event.type, kEventKey);
    EXPECT_EQ(event.KeyCode(), c.code);
    EXPECT_EQ(event.words[1], c.shift ? 1 : 0);
    EXPECT_EQ(event.words[2], c.control ? 1 : 0);
  }
  EXPECT_EQ(system.TakeLog().find("WM_CLOSE"), std::string::npos) << "the client area is never closed";
}

TEST_F(MessageTranslationTest, CharactersGoToTheActiveWindowTheFrameStandingForItsClientArea) {
  layer.ActivateWindow(client);
  EXPECT_EQ(Translate(frameHandle, msg::kChar, 'x'), 1);
  EXPECT_EQ(event.type, kEventKey) << "a character that came to the frame is the client area's";
  EXPECT_EQ(Translate(sourceHandle, msg::kChar, 'x'), 1);
  EXPECT_EQ(event.type, kEventNone) << "not the active window";
  layer.ActivateWindow(frame);
  EXPECT_EQ(Translate(FrameWindow::ClientAreaHandle(), msg::kChar, 'y'), 1);
  EXPECT_EQ(event.type, kEventKey) << "the frame active: its client area takes the characters";

  // Enter while the active window is minimised restores it and makes no key.
  layer.ActivateWindow(source);
  system.At(sourceHandle).iconic = true;
  system.TakeLog();
  EXPECT_EQ(Translate(sourceHandle, msg::kChar, vk::kReturn), 1);
  EXPECT_EQ(event.type, kEventNone);
  EXPECT_NE(system.TakeLog().find("ShowWindow source normal"), std::string::npos);
}

TEST_F(MessageTranslationTest, WindowKeysActAtOnce) {
  layer.ActivateWindow(source);
  system.TakeLog();
  Hold(false, true);
  EXPECT_EQ(Translate(sourceHandle, msg::kKeyDown, kVkF4), 1);
  EXPECT_EQ(event.type, kEventNone);
  EXPECT_EQ(system.TakeLog(), "WM_CLOSE source\n") << "Ctrl+F4 closes a Source window";

  EXPECT_EQ(Translate(sourceHandle, msg::kKeyDown, kVkF6), -1);
  EXPECT_EQ(layer.GetActiveWindow(), watch) << "Ctrl+F6: the next child window";
  Hold(false, false);
  EXPECT_EQ(Translate(watchHandle, msg::kKeyDown, kVkF6), -1);
  EXPECT_EQ(layer.GetActiveWindow(), client) << "F6 as well, past the end of the table";
  EXPECT_EQ(Translate(watchHandle, msg::kSysCommand, kNextWindowSystemCommand), -1);
  EXPECT_EQ(layer.GetActiveWindow(), source) << "the system menu's Next Window";

  system.TakeLog();
  EXPECT_EQ(Translate(sourceHandle, msg::kKeyDown, kVkF4), 1);
  EXPECT_EQ(event.type, kEventNone);
  EXPECT_NE(system.TakeLog().find("ShowWindow source maximized"), std::string::npos) << "F4 zooms";
  EXPECT_EQ(Translate(sourceHandle, msg::kKeyDown, kVkF4), 1);
  EXPECT_NE(system.TakeLog().find("ShowWindow source normal"), std::string::npos) << "and back";

  layer.ActivateWindow(frame);
  Hold(false, true);
  system.TakeLog();
  EXPECT_EQ(Translate(frameHandle, msg::kKeyDown, kVkF4), 1);
  EXPECT_EQ(event.KeyCode(), 3000) << "nor is the frame closed by Ctrl+F4";
  EXPECT_EQ(system.TakeLog().find("WM_CLOSE"), std::string::npos);
}

TEST_F(MessageTranslationTest, ScrollingCarriesTheBarsRangeAndThumbIn32Bits) {
  system.At(sourceHandle).scroll[kScrollBarVertical] = LayerScrollInfo{0, 250000, 70000, 131072};
  system.At(sourceHandle).scroll[kScrollBarHorizontal] = LayerScrollInfo{0, 127, 5, 9};
  struct Case {
    const char* name;
    uint32_t message;
    uint32_t code;
    int32_t type, eventCode, position;
  };
  const Case cases[] = {
      {"SB_TOP: the top of the range", msg::kVScroll, sb::kTop, kEventVScroll, 5, 0},
      {"SB_BOTTOM: the bottom of the range", msg::kVScroll, sb::kBottom, kEventVScroll, 5, 250000},
      {"a dragged thumb past 16 bits", msg::kVScroll, sb::kThumbTrack, kEventVScroll, 4, 131072},
      {"a released thumb", msg::kVScroll, sb::kThumbPosition, kEventVScroll, 5, 131072},
      {"a line down", msg::kVScroll, sb::kLineDown, kEventVScroll, 1, 70000},
      {"the end of scrolling", msg::kVScroll, sb::kEndScroll, kEventVScroll, 6, 70000},
      {"a page right", msg::kHScroll, sb::kPageDown, kEventHScroll, 3, 5},
      {"an unknown code", msg::kHScroll, 9, kEventNone, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The message's own 16-bit thumb says nothing.
    EXPECT_EQ(Translate(sourceHandle, c.message, c.code | (0x1234u << 16)), 1);
    EXPECT_EQ(event.type, c.type);
    if (c.type == kEventNone) continue;
    EXPECT_EQ(event.ScrollCode(), c.eventCode);
    EXPECT_EQ(event.ScrollPosition(), c.position);
  }
}

TEST_F(MessageTranslationTest, MouseSizeCommandAndCloseMessagesMakeTheirEvents) {
  Hold(true, false);
  const intptr_t at = static_cast<intptr_t>((300u << 16) | 0xFFFDu);  // x -3, y 300
  EXPECT_EQ(Translate(sourceHandle, msg::kRightButtonDown, 0, at), 1);
  EXPECT_EQ(event.type, kEventMouseDown);
  EXPECT_EQ(event.words[0], 300);
  EXPECT_EQ(event.words[1], -3);
  EXPECT_EQ(event.words[2], 1);
  EXPECT_EQ(event.words[4], 2) << "right button";
  Translate(sourceHandle, msg::kMiddleButtonDoubleClick, 0, at);
  EXPECT_EQ(event.type, kEventDoubleClick);
  EXPECT_EQ(event.words[4], 1);
  Translate(sourceHandle, msg::kMouseMove, 0, at);
  EXPECT_EQ(event.type, kEventMouseMove);
  EXPECT_EQ(event.words[4], 0);

  // Sizes: the own client area, or the parent's when maximised.
  system.At(FrameWindow::ClientAreaHandle()).client = LayerRect{0, 0, 90, 700};
  EXPECT_EQ(Translate(sourceHandle, msg::kSize, sizing::kRestored), 1);
  EXPECT_EQ(event.Height(), 325);
  EXPECT_EQ(event.SizeKind(), kSizeOther);
  LayerRect saved;
  layer.GetSavedBounds(source, &saved);
  EXPECT_EQ(saved.right, 720) << "the bounds are kept";
  EXPECT_EQ(Translate(FrameWindow::ClientAreaHandle(), msg::kSize, sizing::kMaximized), 1);
  EXPECT_EQ(event.Height(), 150);
  EXPECT_EQ(event.Width(), 712);
  EXPECT_EQ(event.SizeKind(), kSizeMaximized);
  Translate(sourceHandle, msg::kSize, sizing::kMinimized);
  EXPECT_EQ(event.SizeKind(), kSizeMinimized);

  EXPECT_EQ(Translate(sourceHandle, msg::kCommand, 0x10000u | 42), 1);
  EXPECT_EQ(event.type, kEventCommand);
  EXPECT_EQ(event.windowId, source);
  EXPECT_EQ(event.CommandId(), 42);
  EXPECT_EQ(Translate(system.AddWindow("stranger"), msg::kCommand, 42), 1);
  EXPECT_EQ(event.type, kEventNone);

  queue.Post(sourceHandle, msg::kLeftButtonUp);
  queue.Post(sourceHandle, msg::kPaint);
  EXPECT_EQ(Translate(sourceHandle, msg::kClose, 0), 1);
  EXPECT_EQ(event.type, kEventClose);
  EXPECT_FALSE(queue.HasPending(msg::kLeftButtonUp)) << "the click that closed it goes";
  EXPECT_TRUE(queue.HasPending(msg::kPaint));

  layer.SetHelpMode(true);
  EXPECT_EQ(Translate(sourceHandle, msg::kPaint, 0), -1) << "context help takes every message";
  layer.SetHelpMode(false);
}

TEST_F(MessageTranslationTest, FocusAndActivationFollowTheLayersActiveWindow) {
  EXPECT_EQ(Translate(frameHandle, msg::kSetFocus, 0), 1);
  EXPECT_EQ(layer.GetActiveWindow(), client) << "the frame's focus is its client area's";
  EXPECT_EQ(event.FocusGained(), 1);
  EXPECT_EQ(Translate(frameHandle, msg::kKillFocus, sourceHandle), 1);
  EXPECT_EQ(event.windowId, client);
  EXPECT_EQ(event.FocusGained(), 0);

  EXPECT_EQ(Translate(sourceHandle, msg::kNcActivate, 1), 2);
  EXPECT_EQ(layer.GetActiveWindow(), source);
  EXPECT_EQ(event.FocusGained(), 1);
  EXPECT_EQ(Translate(sourceHandle, msg::kNcActivate, 0), -1) << "the active window's own deactivation";
  EXPECT_EQ(event.type, kEventNone);
  EXPECT_EQ(Translate(watchHandle, msg::kNcActivate, 0), 2);
  EXPECT_EQ(event.FocusGained(), 0);

  // Losing the focus to a modeless dialog's control draws the caption inactive.
  const NativeWindow dialog = system.AddWindow("finder");
  layer.Register(dialog, kLayerModelessDialog, 0);
  const NativeWindow edit = system.AddItem(dialog, 5, "edit");
  system.TakeLog();
  Translate(watchHandle, msg::kKillFocus, edit);
  EXPECT_EQ(system.TakeLog(), "Caption watch inactive\n");
}

}  // namespace
}  // namespace zentor
