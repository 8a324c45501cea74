#pragma once
// The panel library: the lines a data window shows. A view manager fills its window's
// panel by writing ordinary command output while the output is captured into the
// panel (CaptureOutput), or line by line (InsertText, SetLineText); the window's text
// pane then shares the panel's lines (GetInfo). Each line carries a field layout, an
// attribute word and a line-data word. Panels are named by handles from a table, so a
// destroyed or made-up handle is refused (7) instead of being followed.

#include <cstdint>

#include "core/dv_error_code.h"
#include "core/text_pane.h"

namespace zentor {

class BaseManager;

// Messages of the panel library (severity 5).
inline constexpr uint32_t kPanelBadField = 5;
inline constexpr uint32_t kPanelBadLine = 6;
inline constexpr uint32_t kPanelBadHandle = 7;

class Panel {
 public:
  // "Pnl " read as a big-endian word while alive; the destroyed tag after.
  static constexpr uint32_t kTag = 0x506E6C20;
  static constexpr uint32_t kDestroyedTag = 0xAF9193DF;
  // Characters of one captured line; a longer output line goes on in the next.
  static constexpr int32_t kLineBufferSize = 512;
  // The line array grows by this many slots.
  static constexpr int32_t kGrowth = 50;

  // A new empty panel; mode 0 lets the end position follow the line count.
  static DVErrorCode Create(PanelHandle* handle, uint32_t mode);
  static DVErrorCode Destroy(PanelHandle handle);
  // No lines; attribute and line data 0; insert at the end again.
  static DVErrorCode Clear(PanelHandle handle);
  // Deletes `count` lines from index `first` (clipped to the lines there are).
  static DVErrorCode DeleteLines(PanelHandle handle, int32_t first, int32_t count);
  static DVErrorCode GetLineCount(PanelHandle handle, int32_t* count);
  // Replaces the text of line `line` (6 when there is no such line). With a capacity
  // (not -1) the line gets room for that many characters, as InsertText gives it;
  // otherwise it keeps the room it has where the text fits.
  static DVErrorCode SetLineText(PanelHandle handle, int32_t line, const char* text, int32_t capacity = -1);
  // The line-data word of the lines written from now on.
  static DVErrorCode SetLineData(PanelHandle handle, uintptr_t word);
  // Shares the lines with the pane: line array, count, headers, and for mode 0 the
  // end position as the total.
  static DVErrorCode GetInfo(PanelHandle handle, TextPane* pane);
  // Empties the panel and refills it with what the producer's WriteContent writes;
  // returns the producer's status. A capture while another runs is an internal error.
  static DVErrorCode CaptureOutput(PanelHandle handle, BaseManager* producer, intptr_t argument);
  // Inserts a line before index `line` holding the first `length` characters of the
  // text (up to a NUL among them).
  static DVErrorCode InsertText(PanelHandle handle, int32_t line, const char* text, int32_t length);
};

}  // namespace zentor
