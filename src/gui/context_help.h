#pragma once
// Help: the help file beside the program and the help engine's topics by context
// number. The "help" command opens the Command window's topic, the Help menu and F1
// the focused window's, and dialogs their own when the F1 hook posts the registered
// help message to them. The console has no help engine.

#include <cstdint>
#include <string>

namespace zentor {

inline constexpr uint32_t kCommandWindowHelpContext = 31080;
inline constexpr uint32_t kMsgNoHelpEngine = 212;  // "The help executable was not be found"
// The About box's context, which has no topic.
inline constexpr uint32_t kAboutHelpContext = 30275;

// The help engine's commands (WinHelp).
inline constexpr uint32_t kHelpContext = 1;
inline constexpr uint32_t kHelpQuit = 2;
inline constexpr uint32_t kHelpIndex = 3;
inline constexpr uint32_t kHelpOnHelp = 4;
inline constexpr uint32_t kHelpPartialKey = 0x105;

// The F1 hook's codes (MSGF_DIALOGBOX, MSGF_MENU) and the menu flags of WM_MENUSELECT
// (MF_POPUP, MF_SYSMENU).
inline constexpr uintptr_t kHelpHookDialog = 0;
inline constexpr uintptr_t kHelpHookMenu = 2;
inline constexpr uint32_t kMenuFlagPopup = 0x10;
inline constexpr uint32_t kMenuFlagSystem = 0x2000;

// GUI mode: the Command window's help topic. Console mode: message 212 (ERROR, shown
// by focus).
void ShowCommandWindowHelp();

// The help file the engine is asked about (BuildHelpFilePath of the program), and the
// number of the registered message the F1 hook posts (0: none).
void SetHelpFile(const std::string& path);
const std::string& HelpFile();
void SetHelpHookMessage(uint32_t message);
uint32_t HelpHookMessage();

// The help file's contents over the layer window (F1 without a topic, F1 reaching a
// window as a key).
void ShowHelpIndex(int32_t windowId);
// The topic of the context over the layer window; the About context shows nothing.
// 1 when the engine was asked.
int32_t ShowHelpContext(int32_t windowId, uint32_t context);
// What a dialog procedure does with a message it does not handle: the registered help
// message shows the dialog's context (1); any other message is not help (0).
int32_t HandleHelpHookMessage(int32_t dialogId, uint32_t message, uint32_t context);

// The contexts of the help file (help_contexts.cpp); 0: no topic.
// A frame menu command's; the Window menu's entries share one.
uint32_t MenuHelpContext(int32_t command);
// A button of the frame's button bar.
uint32_t ButtonHelpContext(int32_t button);
// A command the frame receives: its menu item's, else its button's.
uint32_t CommandHelpContext(int32_t command);
// The focused window's, by its kind.
uint32_t FocusedWindowHelpContext(int32_t kind);
// An item of a window's popup menu, by the window's kind and the item's number.
uint32_t PopupItemHelpContext(int32_t kind, int32_t item);
// A non-client part of a window, by its hit-test code.
uint32_t NonClientHelpContext(int32_t hitTest);

// Context-help mode, the frame's and every child window's alike: Shift+F1 switches it
// on and off, with the help cursor on the cursor stack while it is on; Escape ends it.
// While it is on the windows' events stop and the next click or menu choice shows the
// topic of what it hit instead of doing it. True when the key was the mode's.
bool HelpModeKey(uint32_t virtualKey, bool shiftDown);
void StartHelpMode();
void EndHelpMode();
// A click on a non-client part: its topic, and the mode ends; false (the mode stays)
// for the menu bar and parts without a topic, which the system handles (the menu then
// opens in help mode).
bool HelpModeNonClientClick(int32_t windowId, int32_t hitTest);
// A frame menu command: the mode ends and the command's topic shows, or a box says the
// topic does not exist.
void HelpModeFrameCommand(int32_t frameId, uint32_t command);
// An item of a child window's popup menu: the mode ends; false when the item has no
// topic (the system handles the command).
bool HelpModePopupCommand(int32_t windowId, int32_t item);
// A left click in a client area: the mode ends and the focused window's topic shows,
// or a box says there is none (`frame`: the click was in the frame's own area).
void HelpModeClientClick(int32_t windowId, bool frame);

// The frame's menus (WM_MENUSELECT): the highlighted item and its menu flags are
// remembered; the menu's closing and a title of the menu bar forget the item.
void NoteFrameMenuSelect(uint32_t item, uint32_t flags, bool closing, bool menuBarTitle);
// The F1 hook's message at the frame: with the menu code (2) the remembered command's
// topic, unless the item opens a popup or belongs to the system menu.
void FrameHelpHookMessage(int32_t frameId, uintptr_t code);

}  // namespace zentor
