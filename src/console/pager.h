#pragma once
// The last stage of console output. The Pager keeps the console cursor's column and
// row, buffers output a line at a time and writes it to the console output channel
// ":CO:" (the Command window in GUI mode, the standard output in console mode).
// Inside a paged-output section it stops every page (or every line) with a
// "--more--" prompt on the status line and waits for a key. It also gives the line
// editor its cursor movements, written as console control codes.

#include <cstddef>
#include <cstdint>

namespace zentor {

class Pager {
 public:
  static constexpr uint16_t kLineBufferSize = 128;
  static constexpr uint16_t kDefaultPageLength = 25;
  static constexpr const char* kMorePrompt =
      "  --more--  Spacebar:Next Page  Enter:Next Line  F:Fast  Q:Quit";

  // Console output of one character, with the line-full rule: once the column has
  // reached the line width minus 1, characters up to the next CR or LF are dropped.
  static void PutChar(char ch);
  // Appends one byte to the line buffer with the page handling (prompt, quit).
  static void BufferChar(char ch);
  // PutChar of the leading characters of a run that meet none of its rules: no line
  // end, and the line stays short of full after them. Returns how many it took (none
  // when the line is full or about to be, or a quit is pending); PutChar writes the
  // rest.
  static std::size_t PutPlainRun(const char* chars, std::size_t count);
  // Writes the buffered bytes to the console output and empties the buffer.
  static void Flush();

  // Paged-output sections (GUI mode only, and never while input comes from a batch
  // file, an INCLUDE file or a command string).
  static void BeginPaging();
  static void EndPaging();

  static bool IsLineFull();
  static void ClearLineFull();
  static void SetBlankMode();
  static void ClearBlankMode();

  // Cursor routines of the line editor.
  static void CursorLeft();
  static void CursorRight();
  static void CursorTo(uint16_t column, uint16_t row);
  static void ClearToEndOfLine();
  static void Beep();
  static void PutBlank();
  static void NewLine();

  static uint16_t Column();
  static uint16_t Row();
  static uint16_t PageLength();
  static void SetPageLength(uint16_t length);
  // ' ' page at a time, CR line at a time, 'F' fast, 'Q' quit.
  static char LastKey();
  static int32_t PagingNesting();
  static int32_t OutputDescriptor();

  // Opens ":CO:" and starts afresh: one CR written, column and row 0, buffer empty.
  static void Open();
  // Everything back to the start state (no output channel).
  static void Reset();
};

// A paged-output section for the length of a scope (also when the body raises).
class PagedSection {
 public:
  PagedSection() { Pager::BeginPaging(); }
  ~PagedSection() { Pager::EndPaging(); }
  PagedSection(const PagedSection&) = delete;
  PagedSection& operator=(const PagedSection&) = delete;
};

// Opens the console output at start-up (Pager::Open).
void OpenConsoleOutput();

// The console width the SHOW DEBUG listing lays out for.
uint16_t ConsoleWidth();

}  // namespace zentor
