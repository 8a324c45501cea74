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

// GUI mode: the Command window's help topic. Console mode: message 212 (ERROR, shown
// by focus).
void ShowCommandWindowHelp();

// The help file the engine is asked about (BuildHelpFilePath of the program), and the
// number of the registered message the F1 hook posts (0: none).
void SetHelpFile(const std::string& path);
const std::string& HelpFile();
void SetHelpHookMessage(uint32_t message);
uint32_t HelpHookMessage();

// The topic of the context over the layer window; the About context shows nothing.
// 1 when the engine was asked.
int32_t ShowHelpContext(int32_t windowId, uint32_t context);
// What a dialog procedure does with a message it does not handle: the registered help
// message shows the dialog's context (1); any other message is not help (0).
int32_t HandleHelpHookMessage(int32_t dialogId, uint32_t message, uint32_t context);
// The context of the focused window's kind (0 for kinds without a topic).
uint32_t FocusedWindowHelpContext(int32_t kind);

}  // namespace zentor
