#pragma once
// The open-window list and the frame's Window menu. Each debugger window puts itself
// on the list when it is built and takes itself off when it goes; the list numbers
// the windows in open order and keeps the Window popup of the frame's menu bar in
// step: it exists exactly while a window is open, shows the first windows by number,
// title and viewpoint, and offers "&More Windows..." (the WINMENU dialog) when there
// are more. The frame hands the menu's commands to HandleWindowMenuCommand.

#include <cstdint>
#include <string>
#include <vector>

#include "gui/dialog_body.h"

namespace zentor {

inline constexpr uint32_t kWindowMenuFirstCommand = 3200;
inline constexpr uint32_t kWindowMenuMoreCommand = 3198;
inline constexpr uint32_t kWindowMenuArrangeCommand = 3199;
// The Window popup's place in the frame's menu bar: after Configure, before Help.
inline constexpr uint32_t kWindowMenuPosition = 6;
// Entries the menu numbers before "&More Windows..." takes over, after a removal.
inline constexpr int32_t kWindowMenuRebuiltEntries = 10;
// The viewpoint value of a record that shows no viewpoint.
inline constexpr int32_t kWindowRecordNoViewpoint = -2;
inline constexpr size_t kWindowRecordTextSize = 256;
// Unlink's answer when the list is (or became) empty.
inline constexpr int32_t kWindowListEmptied = 22;
inline constexpr uint32_t kWindowListHelpContext = 30320;

struct WindowRecord {
  std::string menuText;  // "&%d %s" or "&%d %s %s", at most 255 characters
  std::string title;     // at most 255 characters
  int32_t windowId = kNoLayerId;
  uint32_t command = 0;  // 3200 + its place in the list
  int32_t viewpointValue = kWindowRecordNoViewpoint;
};

class WindowRecordList {
 public:
  // Empties the list (the program entry, and tests).
  static void Initialize();
  static void Release();
  static int32_t Count();
  static const std::vector<WindowRecord>& Records();

  // Appends the window's record and answers its command; its menu text goes to the
  // buffer (cut to its size).
  static uint32_t Append(int32_t windowId, const char* title, char* text, size_t size);
  // Takes the window's record off the list and its item out of the menu: 1, or
  // kWindowListEmptied when the list is (or became) empty, -1 for a window not on it.
  static int32_t Unlink(int32_t windowId);
  // Carries out a Window-menu choice: arranges the minimised windows (3199), opens the
  // window list (3198), or brings the entry's window to the front, restored when
  // minimised. 1, or -1 for an empty list or a command no entry has.
  static int32_t SelectEntry(uint32_t command);
  // Checks or clears the window's item in its parent's menu; 0, or -1 for an empty
  // list.
  static int32_t CheckEntry(int32_t windowId, int32_t checked);
  // Numbers every entry again from 1 and lists the first ten in the menu, then
  // "&More Windows..." when ten were listed (after a removal or an alias change).
  static void RebuildMenu();
};

// A window opens: its record and its place in the Window menu (the popup made with
// the first window; nine numbered entries, then "&More Windows..." at the tenth).
void AddWindowMenuEntry(int32_t windowId, const char* title);
// A window goes: the menu is rebuilt, or the popup removed with the last window. A
// window not on the list changes nothing.
void RemoveWindowMenuEntry(int32_t windowId);
// The frame's Window-menu commands (3198, 3199 and the entries'); false for any other.
bool HandleWindowMenuCommand(uint32_t command);

// The WINMENU dialog: every open window by title and viewpoint; OK brings the chosen
// one to the front (OK with none chosen only closes), a double click is OK.
class WindowListDialog final : public DialogBody {
 public:
  WindowListDialog();

 protected:
  void OnInitialise() override;
  void OnOk() override;
  void OnCancel() override;
  void OnControl(int32_t control, int32_t notification) override;

 private:
  void CloseAndReactivate(int32_t result);
};

// Opens the WINMENU dialog over the frame.
void ShowWindowListDialog();

}  // namespace zentor
