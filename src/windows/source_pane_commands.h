#pragma once
// The Source window's line, run, step, browse and search commands as the whole GUI
// uses them: the Source window's own keys and popup, the frame's Go, Debug and Browse
// menus and buttons, the General window's menu commands and the marker column's click
// all reach the Source view manager through RunSourcePaneCommand, which acts on the
// first Source window of the current viewpoint (or, for the commands that need no
// window, on a window-less model). The find text and direction are shared by every
// Source window and the Source Find dialog and outlive them.

#include <cstdint>
#include <string>

#include "core/dv_error.h"

namespace zentor {

class SourceWindow;

// What RunSourcePaneCommand answers when it ran nothing (no Source window, or a line
// without code): any value but 0 tells the caller it failed.
inline constexpr int32_t kSourceCommandNotRun = -1;
// The longest find text kept.
inline constexpr size_t kMaxSourceFindText = 127;

// The search the Source Find dialog and Repeat Find share.
struct SourceFindState {
  std::string text;
  // 1 downward, 0 upward.
  int32_t direction = 1;
  // The pane row kept while a breakpoint command runs; -1 none.
  int32_t savedRow = -1;
  // {line index, column}: where a search starts; the found line and column after it.
  int32_t position[2] = {0, 0};
};
SourceFindState& SourceFind();

// The first Source window of the current viewpoint; null when it has none.
SourceWindow* CurrentSourceWindow();

// Runs a pane command on the current viewpoint's Source window: its answer, or
// kSourceCommandNotRun. A line command on a line without code reports 264.
int32_t RunSourcePaneCommand(int32_t code);
// Switches the current viewpoint's Source window between source and assembly display.
void ToggleAsmDisplay();
// Back to the current execution location.
void BrowseHome();
// Searches for the find text in its direction and selects the match in the pane of
// the window with the layer id; 0 when found (or nothing to search for).
int32_t FindNextInSource(int32_t paneLayerId);

// Evaluates the text (at most 255 characters) with every output dropped; the status
// number. An empty text gives 204 and a text that does not parse 335 with the text;
// nothing is reported here.
int32_t EvaluateQuietly(DVError& status, const char* text);
// The variable name in a selected text: leading '*', ' ', '&' and '#' skipped, cut
// at the first ';', '.' or "->".
std::string ExtractVariableName(const std::string& text);

// Makes the Source window's commands the frame's and the General window's
// (SourceLineCommandHandler).
void InstallSourceLineCommands();

}  // namespace zentor
