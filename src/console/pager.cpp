#include "console/pager.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "console/char_channel.h"
#include "console/command_device.h"
#include "console/console_bridge.h"
#include "console/file_channel.h"
#include "console/line_editor.h"
#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/message_table.h"

namespace zentor {
namespace {

constexpr char kKeyPage = ' ';
constexpr char kKeyLine = '\r';
constexpr char kKeyFast = 'F';
constexpr char kKeyQuit = 'Q';
constexpr uint8_t kKeyCtrlC = 3;
constexpr uint8_t kKeyEscape = 27;
constexpr uint32_t kStatusPaneMessage = 2;

struct PagerState {
  int32_t descriptor = -1;
  std::array<char, Pager::kLineBufferSize> buffer{};
  int32_t count = 0;
  uint16_t column = 0;
  uint16_t row = 0;
  uint16_t pageLength = Pager::kDefaultPageLength;
  bool lineFull = false;
  bool blankMode = false;
  char lastKey = kKeyFast;
  uint16_t lineCount = 0;
  int32_t nesting = 0;
  bool promptGuard = false;
};

PagerState g_pager;

uint16_t Width() { return OutputWriter::LineWidth(); }

// The guard stays set only while a line end is handled, also when a key raises.
class PromptGuard {
 public:
  PromptGuard() { g_pager.promptGuard = true; }
  ~PromptGuard() { g_pager.promptGuard = false; }
  PromptGuard(const PromptGuard&) = delete;
  PromptGuard& operator=(const PromptGuard&) = delete;
};

[[noreturn]] void Quit() {
  g_pager.lastKey = kKeyFast;
  RestoreStatusText();
  HiService(kGuiPopCursor);
  throw DVError(kMsgPagerQuit, kSeverityError, kDisplayNone);
}

void ApplyKey(uint8_t key) {
  if (key == kKeyCtrlC) throw DVError(kMsgUserBreak, kSeverityError, kDisplayNone);
  if (key >= 'a' && key <= 'z') key = static_cast<uint8_t>(key - 'a' + 'A');
  if (key == kKeyEscape) key = kKeyQuit;
  if (key != kKeyLine && key != kKeyPage && key != kKeyQuit && key != kKeyFast) return;
  if (key == kKeyQuit && g_pager.descriptor >= 0) FileChannel::Write(g_pager.descriptor, "\r\n", 2);
  g_pager.lastKey = static_cast<char>(key);
  g_pager.lineCount = 0;
}

// Appends a byte without the page handling: the column and row bytes of a cursor
// position are not line ends, even when their value is 10.
void AppendRaw(char ch) {
  if (g_pager.count >= Pager::kLineBufferSize) Pager::Flush();
  g_pager.buffer[static_cast<std::size_t>(g_pager.count++)] = ch;
  if (g_pager.count == Pager::kLineBufferSize) Pager::Flush();
}

// The "--more--" prompt, shown while the last line is on the screen.
void RunPrompt() {
  if (g_pager.count > 0 && g_pager.buffer[static_cast<std::size_t>(g_pager.count - 1)] == '\n') {
    --g_pager.count;
    Pager::Flush();
  }
  HiService(kGuiArrowCursor);
  ShowStatusMessage(Pager::kMorePrompt);
  RefreshStatusPane(kStatusPaneMessage);
  try {
    ApplyKey(ReadKey(true));
  } catch (...) {
    // A user break at the prompt leaves it as a quit does: the status line's own
    // text back and the arrow cursor taken off.
    RestoreStatusText();
    HiService(kGuiPopCursor);
    throw;
  }
  Pager::BufferChar('\n');
  RestoreStatusText();
  HiService(kGuiPopCursor);
  g_pager.lineCount = 0;
  if (g_pager.lastKey == kKeyQuit) Quit();
}

}  // namespace

void Pager::PutChar(char ch) {
  if (ch == '\r' || ch == '\n') {
    g_pager.lineFull = false;
    g_pager.column = 0;
    if (ch == '\n' && g_pager.row + 1 < g_pager.pageLength) ++g_pager.row;
    BufferChar(ch);
    return;
  }
  const bool writable = !g_pager.lineFull ||
                        (LineEditor::InsertSetting() != 1 && g_pager.column + 1 < Width()) ||
                        static_cast<uint8_t>(ch) == kConsoleKeyRight;
  if (!writable) return;
  ++g_pager.column;
  BufferChar(ch);
  if (g_pager.column + 1 == Width()) g_pager.lineFull = true;
}

std::size_t Pager::PutPlainRun(const char* chars, std::size_t count) {
  if (g_pager.lineFull || g_pager.lastKey == kKeyQuit) return 0;
  // A character that leaves the column at the width less 1 fills the line.
  const uint16_t width = Width();
  if (g_pager.column + 2 >= width) return 0;
  std::size_t plain = std::min<std::size_t>(count, static_cast<std::size_t>(width - 2 - g_pager.column));
  for (const char end : {'\r', '\n'}) {
    if (const void* found = std::memchr(chars, end, plain)) plain = static_cast<const char*>(found) - chars;
  }
  // The bytes go in as BufferChar puts them: the buffer is written each time it fills.
  for (std::size_t taken = 0; taken < plain;) {
    if (g_pager.count >= kLineBufferSize) Flush();
    const std::size_t part = std::min<std::size_t>(plain - taken, static_cast<std::size_t>(kLineBufferSize - g_pager.count));
    std::memcpy(g_pager.buffer.data() + g_pager.count, chars + taken, part);
    g_pager.count += static_cast<int32_t>(part);
    taken += part;
    if (g_pager.count == kLineBufferSize) Flush();
  }
  g_pager.column = static_cast<uint16_t>(g_pager.column + plain);
  return plain;
}

void Pager::BufferChar(char ch) {
  if (g_pager.lastKey == kKeyQuit) Quit();
  // A full buffer can be met here when a key polled at the end of a full line writes
  // its own echo before that line was flushed.
  if (g_pager.count >= kLineBufferSize) Flush();
  g_pager.buffer[static_cast<std::size_t>(g_pager.count++)] = ch;
  if (g_pager.count < kLineBufferSize && ch != '\n') return;
  if (g_pager.nesting > 0 && !g_pager.promptGuard && ch == '\n') {
    PromptGuard guard;
    ++g_pager.lineCount;
    if (g_pager.lastKey == kKeyFast) {
      const uint8_t key = ReadKey(false);
      if (key != 0) ApplyKey(key);
    } else if (g_pager.lastKey == kKeyLine || g_pager.lineCount + 1 >= g_pager.pageLength) {
      RunPrompt();
    }
  }
  Flush();
}

void Pager::Flush() {
  if (g_pager.count == 0) return;
  const int32_t count = g_pager.count;
  g_pager.count = 0;
  if (g_pager.descriptor >= 0) {
    FileChannel::Write(g_pager.descriptor, g_pager.buffer.data(), static_cast<uint32_t>(count));
  }
}

void Pager::BeginPaging() {
  if (IsConsoleMode() || IsBatchInputActive() || IsInputFromFileOrString()) return;
  if (g_pager.nesting++ == 0) {
    g_pager.lineCount = 0;
    g_pager.lastKey = kKeyPage;
  }
}

void Pager::EndPaging() {
  if (g_pager.nesting == 0) return;
  if (--g_pager.nesting == 0) {
    g_pager.lastKey = kKeyFast;
    g_pager.promptGuard = false;
  }
}

bool Pager::IsLineFull() { return g_pager.lineFull; }
void Pager::ClearLineFull() { g_pager.lineFull = false; }
void Pager::SetBlankMode() { g_pager.blankMode = true; }
void Pager::ClearBlankMode() { g_pager.blankMode = false; }

void Pager::CursorLeft() {
  if (g_pager.column == 0) return;
  BufferChar(static_cast<char>(kConsoleCursorLeft));
  --g_pager.column;
}

void Pager::CursorRight() {
  if (g_pager.column + 1 >= Width()) return;
  BufferChar(static_cast<char>(kConsoleCursorRight));
  ++g_pager.column;
}

void Pager::CursorTo(uint16_t column, uint16_t row) {
  const uint16_t lastColumn = Width() > 0 ? static_cast<uint16_t>(Width() - 1) : 0;
  const uint16_t lastRow = g_pager.pageLength > 0 ? static_cast<uint16_t>(g_pager.pageLength - 1) : 0;
  g_pager.column = std::min(column, lastColumn);
  g_pager.row = std::min(row, lastRow);
  BufferChar(static_cast<char>(kConsoleCursorTo));
  AppendRaw(static_cast<char>(static_cast<uint8_t>(g_pager.column)));
  AppendRaw(static_cast<char>(static_cast<uint8_t>(g_pager.row)));
}

void Pager::ClearToEndOfLine() {
  const uint16_t column = g_pager.column;
  const uint16_t row = g_pager.row;
  for (int blanks = Width() - column - 1; blanks > 0; --blanks) BufferChar(' ');
  CursorTo(column, row);
}

void Pager::Beep() { BufferChar(static_cast<char>(kConsoleBeep)); }

void Pager::PutBlank() {
  if (g_pager.column == Width()) {
    BufferChar(' ');
    BufferChar(static_cast<char>(kConsoleCursorLeft));
    ++g_pager.column;
  } else if (!g_pager.blankMode) {
    PutChar(' ');
  } else {
    ++g_pager.column;
    BufferChar(' ');
  }
}

void Pager::NewLine() {
  PutChar('\r');
  PutChar('\n');
}

uint16_t Pager::Column() { return g_pager.column; }
uint16_t Pager::Row() { return g_pager.row; }
uint16_t Pager::PageLength() { return g_pager.pageLength; }
void Pager::SetPageLength(uint16_t length) { g_pager.pageLength = length; }
char Pager::LastKey() { return g_pager.lastKey; }
int32_t Pager::PagingNesting() { return g_pager.nesting; }
int32_t Pager::OutputDescriptor() { return g_pager.descriptor; }

void Pager::Open() {
  g_pager.descriptor = FileChannel::Open(":CO:", kOpenWrite);
  g_pager.count = 0;
  if (g_pager.descriptor >= 0) FileChannel::Write(g_pager.descriptor, "\r", 1);
  g_pager.column = 0;
  g_pager.row = 0;
  g_pager.lineFull = false;
}

void Pager::Reset() { g_pager = PagerState{}; }

void OpenConsoleOutput() { Pager::Open(); }

uint16_t ConsoleWidth() { return OutputWriter::kOutputLineWidth; }

}  // namespace zentor
