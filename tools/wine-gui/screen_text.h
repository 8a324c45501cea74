#pragma once
// The text a window shows in the fixed font the program's panes draw with
// (ANSI_FIXED_FONT: a bitmap font, pinned by the harness's prefix and drawn without
// smoothing), read back from the screen. The driver draws every printable character of
// the font itself and matches each character cell on the screen against those glyphs,
// so that a check sees what a person reads there, whatever the program believes it
// drew. The timed actions of the scenarios check with it that the work they timed
// shows (the Command window's last line, the Source window's top line).

#include <string>
#include <vector>

#include "screen_grab.h"

namespace zentor::wine_gui {

struct ScreenLine {
  int y = 0;         // the cells' top, from the top of the grab
  int x = 0;         // the first character's left
  std::string text;  // the characters read, '?' for a cell that holds no glyph of the font
};

// The lines of text in the grab, from the top; false (saying why) when the font cannot
// be drawn here. A line is a row of cells with at least two glyphs, one of them a
// letter or digit (a border or a lone mark is no text).
bool ReadScreenText(const ScreenGrab& grab, std::vector<ScreenLine>* lines, std::string* why);

}  // namespace zentor::wine_gui
