#pragma once
// Help on the Command window, which the "help" command opens: its topic in the help
// file through the window layer. The console has no help engine.

#include <cstdint>

namespace zentor {

inline constexpr uint32_t kCommandWindowHelpContext = 31080;
inline constexpr uint32_t kMsgNoHelpEngine = 212;  // "The help executable was not be found"

// GUI mode: the Command window's help topic. Console mode: message 212 (ERROR, shown
// by focus).
void ShowCommandWindowHelp();

}  // namespace zentor
