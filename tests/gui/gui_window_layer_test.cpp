#include "gui/gui_window_layer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/window_layer.h"
#include "harness/recording_layer_system.h"

namespace zentor {
namespace {

using testing_support::RecordingLayerSystem;

struct LayerFixture {
  RecordingLayerSystem system;
  GuiWindowLayer layer{system};
  NativeWindow frameHandle = system.AddWindow("frame", 0, LayerRect{0, 0, 600, 800});
  int32_t frame = layer.Register(frameHandle, kLayerFrame, 0);

  int32_t Child(const std::string& label) {
    return layer.Register(system.AddWindow(label, frameHandle, LayerRect{100, 100, 300, 400}), kLayerChildWindow, 0);
  }
  int32_t Dialog(const std::string& label, NativeWindow parent, uint32_t type = kLayerModalDialog) {
    return layer.Register(system.AddWindow(label, parent, LayerRect{200, 200, 260, 300}), type, 0);
  }
};

TEST(GuiWindowLayerTest, RegistrationKeepsAnEntryUntilASlotBeforeItIsFree) {
  LayerFixture f;
  ASSERT_EQ(f.frame, 0);
  const int32_t a = f.Child("a");
  const int32_t b = f.Child("b");
  const NativeWindow bHandle = f.layer.Handle(b);
  EXPECT_EQ(f.layer.Register(bHandle, kLayerChildWindow, 0), b) << "same handle and type";
  EXPECT_EQ(f.layer.Register(bHandle, kLayerStaticText, 0), 3) << "another type takes a new slot";
  f.layer.Destroy(a);
  EXPECT_EQ(f.layer.Register(bHandle, kLayerChildWindow, 0), a) << "a free slot before the entry is taken";
  EXPECT_EQ(f.layer.Register(f.system.AddWindow("odd"), 5, 0), kNoLayerId);
  EXPECT_EQ(f.layer.Register(f.system.AddWindow("odd"), 3, 0), kNoLayerId);

  EXPECT_EQ(f.layer.Handle(64), kBadNativeWindow);
  EXPECT_EQ(f.layer.Handle(-1), kBadNativeWindow);
  EXPECT_EQ(f.layer.Record(63), nullptr);
  EXPECT_EQ(f.layer.GetWindowType(-1), -1);
  EXPECT_EQ(f.layer.IdOf(0), kNoLayerId);

  // A full table refuses the window and a control it cannot take is destroyed again.
  int32_t last = kNoLayerId;
  for (int i = 0; i < 64; ++i) {
    const int32_t id = f.layer.Register(f.system.AddWindow("w" + std::to_string(i)), kLayerStaticText, 0);
    if (id != kNoLayerId) last = id;
  }
  EXPECT_EQ(last, 63);
  EXPECT_EQ(f.layer.Register(f.system.AddWindow("extra"), kLayerStaticText, 0), kNoLayerId);
  f.system.TakeLog();
  EXPECT_EQ(f.layer.CreateControl(LayerRect{1, 2, 3, 4}, "OK", kLayerPushButton, f.frame, 1, 7), kNoLayerId);
  const std::string log = f.system.TakeLog();
  EXPECT_NE(log.find("CreateControl control7"), std::string::npos);
  EXPECT_NE(log.find("DestroyWindow control7"), std::string::npos);
}

TEST(GuiWindowLayerTest, ModalDialogsDisableEverythingAndGiveBackWhatTheyTook) {
  LayerFixture f;
  const int32_t child = f.Child("child");
  const int32_t tool = f.Dialog("tool", f.frameHandle, kLayerModelessDialog);
  f.system.TakeLog();

  const int32_t outer = f.Dialog("outer", f.frameHandle);
  EXPECT_FALSE(f.system.At(f.frameHandle).enabled);
  EXPECT_FALSE(f.system.At(f.layer.Handle(child)).enabled);
  EXPECT_FALSE(f.system.At(f.layer.Handle(tool)).enabled);
  EXPECT_EQ(f.layer.GetFocusWindow(), outer);

  // The inner dialog's modeless dialog comes back with its parent, the rest stays off.
  const int32_t inner = f.Dialog("inner", f.layer.Handle(outer));
  const int32_t innerTool = f.Dialog("innerTool", f.layer.Handle(outer), kLayerModelessDialog);
  EXPECT_EQ(f.layer.GetFocusWindow(), inner);
  f.system.At(f.layer.Handle(inner)).destroyed = true;
  f.system.TakeLog();
  f.layer.Destroy(inner);
  EXPECT_EQ(f.system.TakeLog(), "EnableWindow outer 1\nEnableWindow innerTool 1\n");
  EXPECT_EQ(f.layer.GetFocusWindow(), outer);
  f.layer.Destroy(innerTool);

  f.layer.Destroy(outer);
  EXPECT_TRUE(f.system.At(f.frameHandle).enabled);
  EXPECT_TRUE(f.system.At(f.layer.Handle(child)).enabled);
  EXPECT_TRUE(f.system.At(f.layer.Handle(tool)).enabled);
  EXPECT_EQ(f.layer.ModalStackTop(), kNoLayerId);
}

TEST(GuiWindowLayerTest, OnlyTheClosingDialogLeavesTheModalStack) {
  LayerFixture f;
  std::vector<int32_t> dialogs;
  for (int i = 0; i < 11; ++i) dialogs.push_back(f.Dialog("d" + std::to_string(i), f.frameHandle));
  EXPECT_EQ(f.layer.GetFocusWindow(), dialogs[9]) << "the eleventh is registered but not pushed";

  f.layer.Destroy(dialogs[10]);
  EXPECT_EQ(f.layer.GetFocusWindow(), dialogs[9]);
  f.layer.Destroy(dialogs[3]);
  EXPECT_EQ(f.layer.GetFocusWindow(), dialogs[9]) << "an outer dialog closing first leaves the inner on top";
  f.layer.Destroy(dialogs[9]);
  EXPECT_EQ(f.layer.GetFocusWindow(), dialogs[8]);
  for (int i : {8, 7, 6, 5, 4, 2, 1}) f.layer.Destroy(dialogs[i]);
  EXPECT_EQ(f.layer.GetFocusWindow(), dialogs[0]);
  f.layer.Destroy(dialogs[0]);
  EXPECT_EQ(f.layer.ModalStackTop(), kNoLayerId);
}

TEST(GuiWindowLayerTest, FocusAndActivationFollowTheChildWindows) {
  LayerFixture f;
  const int32_t a = f.Child("a");
  const int32_t b = f.Child("b");
  const int32_t c = f.Child("c");
  EXPECT_EQ(f.layer.GetActiveWindow(), c);
  EXPECT_EQ(f.layer.GetFocusWindow(), c);
  // The focus on an unregistered window names its registered parent.
  f.system.focus = f.system.AddWindow("edit", f.layer.Handle(b));
  EXPECT_EQ(f.layer.GetFocusWindow(), b);

  f.system.TakeLog();
  f.layer.ActivateWindow(a);
  EXPECT_EQ(f.system.TakeLog(), "Caption c inactive\nBringWindowToTop a\nCaption a active\nSetFocus a\n");

  // Closing the active child activates the next one after it; minimised ones only
  // when no other is left, hidden ones never.
  f.system.At(f.layer.Handle(b)).iconic = true;
  f.layer.CloseWindow(a);
  f.layer.Destroy(a);
  f.layer.ReactivateAfterClose(a);
  EXPECT_EQ(f.layer.GetActiveWindow(), c);
  f.system.At(f.layer.Handle(c)).visible = false;
  f.layer.CloseWindow(c);
  f.layer.Destroy(c);
  f.layer.ReactivateAfterClose(c);
  EXPECT_EQ(f.layer.GetActiveWindow(), b);

  // ActivateNextChild passes over the General window.
  const int32_t general = f.Child("general");
  const int32_t d = f.Child("d");
  f.layer.SetGeneralWindow(f.layer.Handle(general));
  ASSERT_LT(general, d);
  f.layer.ActivateWindow(d);
  f.layer.ActivateNextChild();
  EXPECT_EQ(f.layer.GetActiveWindow(), b);
}

// The General window is never the active window nor the focus: the status strip takes
// no keys, so those meant for the Command window would be lost. Not when registered,
// clicked, named by a late caption message or next after a closing window.
TEST(GuiWindowLayerTest, TheGeneralWindowIsNeverActivated) {
  LayerFixture f;
  const int32_t command = f.Child("command");
  const NativeWindow strip = f.system.AddWindow("general", f.frameHandle);
  f.layer.SetGeneralWindow(strip);
  f.system.TakeLog();
  const int32_t general = f.layer.Register(strip, kLayerChildWindow, 0);
  EXPECT_EQ(f.system.TakeLog(), "");
  EXPECT_EQ(f.layer.GetActiveWindow(), command);
  EXPECT_EQ(f.layer.GetFocusWindow(), command);
  f.layer.ActivateWindow(general);
  f.layer.NoteActiveWindow(general);
  EXPECT_EQ(f.layer.GetActiveWindow(), command);
  EXPECT_EQ(f.layer.GetFocusWindow(), command);

  const int32_t source = f.Child("source");
  ASSERT_LT(command, general);
  ASSERT_LT(general, source);
  f.layer.ActivateWindow(command);
  f.layer.CloseWindow(command);
  f.layer.Destroy(command);
  f.layer.ReactivateAfterClose(command);
  EXPECT_EQ(f.layer.GetActiveWindow(), source);
  EXPECT_EQ(f.layer.GetFocusWindow(), source);
}

int32_t CountTicks(uint32_t timerId, uint32_t) {
  static int32_t ticks = 0;
  return ++ticks;
}

GuiWindowLayer* g_timerLayer = nullptr;
int32_t StopsItself(uint32_t timerId, uint32_t) {
  g_timerLayer->KillTimer(timerId);
  return 0;
}

TEST(GuiWindowLayerTest, TimersTakeTheLowestFreeIdAndTheEleventhIsRefused) {
  LayerFixture f;
  for (uint32_t i = 1; i <= 10; ++i) EXPECT_EQ(f.layer.SetTimer(100 * i, CountTicks), static_cast<int32_t>(i));
  EXPECT_EQ(f.layer.SetTimer(5, CountTicks), -1);
  f.layer.KillTimer(3);
  f.layer.KillTimer(7);
  EXPECT_EQ(f.layer.TimerIds(), (std::vector<uint32_t>{1, 2, 4, 5, 6, 8, 9, 10}));
  EXPECT_EQ(f.layer.SetTimer(50, CountTicks), 3);
  EXPECT_EQ(f.layer.SetTimer(50, CountTicks), 7);
  EXPECT_EQ(f.layer.TimerIds(), (std::vector<uint32_t>{1, 2, 4, 5, 6, 8, 9, 10, 3, 7}));

  // Suspended between messages, restarted by the next round after its callbacks.
  f.layer.SuspendTimers();
  EXPECT_TRUE(f.system.runningTimers.empty());
  f.layer.RunTimers();
  EXPECT_EQ(f.system.runningTimers.size(), 10u);

  f.layer.KillAllTimers();
  for (uint32_t id : {1u, 2u, 4u, 5u, 6u, 8u, 9u, 10u, 3u, 7u}) f.layer.KillTimer(id);
  g_timerLayer = &f.layer;
  EXPECT_EQ(f.layer.SetTimer(10, StopsItself), 1);
  EXPECT_EQ(f.layer.SetTimer(10, CountTicks), 2);
  f.layer.SuspendTimers();
  f.layer.RunTimers();
  EXPECT_EQ(f.layer.TimerIds(), std::vector<uint32_t>{2});
  EXPECT_EQ(f.system.runningTimers, std::vector<uint32_t>{2});

  f.system.refuseTimers = true;
  EXPECT_EQ(f.layer.SetTimer(10, CountTicks), -1);
  EXPECT_EQ(f.layer.TimerIds(), std::vector<uint32_t>{2});
}

// Against exact integer arithmetic: rounded up only when the remainder of the units
// passes three quarters of a unit (x) or half of one (y).
TEST(GuiWindowLayerTest, DialogUnitsRoundAsTheDialogManagerDoes) {
  LayerFixture f;
  f.system.dialogBaseUnits = (16u << 16) | 8u;
  EXPECT_EQ(f.layer.DialogUnitsToPixelsY(14), 28);
  EXPECT_EQ(f.layer.DialogUnitsToPixelsY(13), 26);
  for (uint32_t baseX : {6u, 7u, 8u, 9u, 13u}) {
    for (uint32_t baseY : {11u, 13u, 15u, 16u, 20u}) {
      f.system.dialogBaseUnits = (baseY << 16) | baseX;
      for (int32_t value = 0; value < 300; ++value) {
        SCOPED_TRACE("base " + std::to_string(baseX) + "/" + std::to_string(baseY) + " value " + std::to_string(value));
        const int32_t productX = static_cast<int32_t>(baseX) * value;
        const int32_t productY = static_cast<int32_t>(baseY) * value;
        EXPECT_EQ(f.layer.DialogUnitsToPixelsX(value), value % 4 > 2 ? (productX + 3) / 4 : productX / 4);
        EXPECT_EQ(f.layer.DialogUnitsToPixelsY(value), value % 8 > 4 ? (productY + 7) / 8 : productY / 8);
        EXPECT_EQ(f.layer.PixelsToDialogUnitsX(value), value / static_cast<int32_t>(baseX) / 4);
        EXPECT_EQ(f.layer.PixelsToDialogUnitsY(value), value / static_cast<int32_t>(baseY) / 8);
      }
    }
  }
  f.system.dialogBaseUnits = 0;
  EXPECT_EQ(f.layer.PixelsToDialogUnitsX(40), 0);
}

TEST(GuiWindowLayerTest, PopupMenusNumberTheirItemsAndOpenWhereAsked) {
  LayerFixture f;
  const int32_t child = f.Child("child");
  const char* const strings[] = {"&Copy", "$", "&Paste", "$", "Inspect"};
  f.system.TakeLog();
  EXPECT_EQ(f.layer.CreatePopupMenu(child, strings, 5), 0);
  EXPECT_EQ(f.system.TakeLog(),
            "CreatePopupMenu popup0\nAppendMenu popup0 0 \"&Copy\"\nAppendMenu popup0 separator\n"
            "AppendMenu popup0 1 \"&Paste\"\nAppendMenu popup0 separator\nAppendMenu popup0 2 \"Inspect\"\n");
  EXPECT_EQ(f.layer.CreatePopupMenu(kNoLayerId, strings, 5), -1);

  struct Case {
    const char* name;
    LayerPoint mouse;
    int32_t x, y;
    const char* expected;
  };
  // The child's outer rectangle starts at (100, 100) on the screen and is 300 x 200.
  const Case cases[] = {
      {"client point", {0, 0}, 10, 20, "TrackPopupMenu popup0 child at 110,120\n"},
      {"mouse over the window", {150, 250}, -1, -1, "TrackPopupMenu popup0 child at 250,150\n"},
      {"mouse elsewhere: client centre", {5, 5}, -1, -1, "TrackPopupMenu popup0 child at 250,200\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.system.cursor = c.mouse;
    f.layer.TrackPopupMenu(child, c.x, c.y);
    EXPECT_EQ(f.system.TakeLog(), c.expected);
    EXPECT_EQ(f.layer.IsPopupTracking(child), 0);
  }
}

void Handler(int32_t, uint32_t) {}

TEST(GuiWindowLayerTest, FrameMenuItemsCarryTheirHandlers) {
  LayerFixture f;
  const NativeMenu bar = f.system.AddMenuBar(f.frameHandle, {"&File", "&View"});
  f.layer.AppendMenuItem(1, 1700, "&Custom", Handler);
  f.layer.InsertMenuItem(1, 1701, "&First", 0, Handler);
  f.layer.InsertMenuSeparator(1, 1700);
  EXPECT_EQ(f.layer.FindMenuHandler(1700), &Handler);
  f.layer.EnableMenuItem(f.frame, 1700, 0);
  const NativeMenu view = f.system.Items(bar)[1].popup;
  ASSERT_EQ(f.system.Items(view).size(), 3u);
  EXPECT_FALSE(f.system.Items(view)[2].enabled);
  EXPECT_TRUE(f.system.Items(view)[1].separator);

  f.layer.DeleteMenuItem(1, 1700);
  EXPECT_EQ(f.layer.FindMenuHandler(1700), nullptr);
  EXPECT_EQ(f.layer.FindMenuHandler(1701), &Handler);

  f.layer.InsertTopMenu(2, "Run", 1800, "&Go");
  ASSERT_EQ(f.system.Items(bar).size(), 3u);
  EXPECT_EQ(f.system.Items(bar)[2].text, "&Run");
  f.system.TakeLog();
  f.layer.RemoveTopMenu(2);
  EXPECT_EQ(f.system.Items(bar).size(), 2u);
  EXPECT_NE(f.system.TakeLog().find("DrawMenuBar frame"), std::string::npos);
}

TEST(GuiWindowLayerTest, RectanglesColoursAndTheCaret) {
  LayerFixture f;
  const int32_t child = f.Child("child");
  // The top byte of a colour word is not a colour.
  f.layer.SetFillStyle(child, LayerFill{kFillSolid, 0x7F123456});
  f.layer.SetTextColor(child, 0xFF00FF00);
  f.layer.SetBackgroundColor(child, 0x010000FF);
  f.system.TakeLog();
  f.layer.DrawRectangle(child, LayerRect{10, 20, 30, 40});
  EXPECT_EQ(f.system.TakeLog(),
            "FillRect child (10,20,31,41) fill 1 563412 pen 0/0 000000 text 00FF00 back FF0000 mode 0\n");
  f.layer.SetLineStyle(child, LayerLine{1, 1, 0x0000FF});
  f.layer.DrawRectangle(child, LayerRect{10, 20, 30, 40});
  EXPECT_EQ(f.system.TakeLog(),
            "Rectangle child (10,20,30,40) fill 1 563412 pen 1/1 FF0000 text 00FF00 back FF0000 mode 0\n");
  f.layer.SetFillStyle(child, LayerFill{kFillFocusRect, 0});
  f.layer.DrawRectangle(child, LayerRect{1, 2, 3, 4});
  EXPECT_EQ(f.system.TakeLog(), "FocusRect child (1,2,3,4)\n");

  // A minimised window has no client area and draws no text.
  f.system.At(f.layer.Handle(child)).iconic = true;
  LayerRect area{1, 1, 1, 1};
  EXPECT_EQ(f.layer.GetClientArea(child, &area), &area);
  EXPECT_EQ(area.bottom + area.right + area.top + area.left, 0);
  f.layer.DrawTextAt(child, 0, 13, "x", -1);
  f.layer.ShowCaret(child, 0, 13, 1);
  EXPECT_EQ(f.system.TakeLog(), "");

  f.system.At(f.layer.Handle(child)).iconic = false;
  f.layer.ShowCaret(child, 16, 26, 1);
  f.layer.ShowCaret(child, 16, 26, 0);
  EXPECT_EQ(f.system.TakeLog(), "Caret child 8x13 at 16,13\nDestroyCaret\nCaret child 2x13 at 16,13\n");
}

TEST(GuiWindowLayerTest, MessageBoxesAnswerByKind) {
  LayerFixture f;
  static const char kCaption[] = "Zentor";
  f.layer.SetUserData(f.frame, reinterpret_cast<uintptr_t>(kCaption));
  const int32_t child = f.Child("child");
  struct Case {
    const char* name;
    int32_t owner;
    uint32_t kind;
    MessageBoxReply reply;
    int32_t answer;
    const char* log;
  };
  const Case cases[] = {
      {"yes", -1, kMessageBoxYesNo, MessageBoxReply::Yes, kMessageBoxAnswerYes,
       "MessageBox frame \"Zentor\" \"t\" question yes-no\n"},
      {"no", -1, kMessageBoxYesNo, MessageBoxReply::No, kMessageBoxAnswerNo,
       "MessageBox frame \"Zentor\" \"t\" question yes-no\n"},
      {"error", -1, kMessageBoxError, MessageBoxReply::Ok, kMessageBoxAnswerOk,
       "MessageBox frame \"Zentor\" \"t\" hand ok\n"},
      {"cancel", -1, kMessageBoxOkCancel, MessageBoxReply::Cancel, kMessageBoxAnswerCancel,
       "MessageBox frame \"Zentor\" \"t\" exclamation ok-cancel\n"},
      {"child owner repaints its caption", child, kMessageBoxInformation, MessageBoxReply::Ok, kMessageBoxAnswerOk,
       "Caption child inactive\nRepaintRound\nMessageBox child \"Zentor\" \"t\" asterisk ok\nCaption child active\n"},
      {"unknown owner", 40, kMessageBoxWarning, MessageBoxReply::Ok, kMessageBoxAnswerOther, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.system.TakeLog();
    f.system.nextReply = c.reply;
    EXPECT_EQ(f.layer.ShowMessageBox(c.owner, c.kind, "t"), c.answer);
    EXPECT_EQ(f.system.TakeLog(), c.log);
  }
}

TEST(GuiWindowLayerTest, ListBoxesKeepTheirExtentAndSelection) {
  LayerFixture f;
  const int32_t dialog = f.Dialog("dialog", f.frameHandle);
  const NativeWindow box = f.system.AddItem(f.layer.Handle(dialog), 101, "list");
  // The box is 80 pixels wide; the recording system font gives 7 pixels a letter.
  f.layer.ListInsertString(dialog, 101, -1, "short");
  EXPECT_EQ(f.system.At(box).extent, 0);
  f.layer.ListInsertString(dialog, 101, 0, "a much longer entry");
  EXPECT_EQ(f.system.At(box).extent, 19 * 7);
  f.layer.ListDeleteString(dialog, 101, 0);
  EXPECT_EQ(f.system.At(box).extent, 0);

  char text[8] = "#######";
  EXPECT_EQ(f.layer.ListSelect(dialog, 101, 0, 1), 1);
  EXPECT_EQ(f.layer.ListGetSelectedText(dialog, 101, text, 5), 0) << "five letters need six bytes";
  EXPECT_STREQ(text, "#######");
  EXPECT_EQ(f.layer.ListGetSelectedText(dialog, 101, text, 6), 1);
  EXPECT_STREQ(text, "short");
  EXPECT_EQ(f.layer.ListSelect(dialog, 101, 0, 0), 1) << "clearing the selection succeeds";
  EXPECT_EQ(f.layer.ListGetSelection(dialog, 101), -1);
  EXPECT_EQ(f.layer.ListInsertString(dialog + 1, 101, 0, "x"), 0);

  const NativeWindow check = f.system.AddItem(f.layer.Handle(dialog), 102, "check");
  f.layer.CheckItem(dialog, 102, 1);
  EXPECT_EQ(f.system.At(check).check, 1);
  f.layer.CheckItem(dialog, 102, 2);
  EXPECT_EQ(f.system.At(check).check, 0);
}

}  // namespace
}  // namespace zentor
