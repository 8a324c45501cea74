#include "console/line_editor.h"

#include <algorithm>
#include <array>
#include <string>

#include "console/char_channel.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/console_bridge.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/collectable_record.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/message_table.h"

namespace zentor {
namespace {

constexpr uint8_t kCarriageReturn = '\r';
constexpr uint8_t kLineFeed = '\n';
constexpr uint8_t kFreeByte = 0xFF;
constexpr int32_t kScrollLeft = 303;
constexpr int32_t kScrollRight = 304;

struct HistoryState {
  HistoryState() { bytes.fill(kFreeByte); }

  std::array<uint8_t, HistoryRing::kSize> bytes{};
  uint32_t writePosition = 0;
  uint32_t recallPosition = 0;
  bool fresh = true;
  bool wrap = true;
  bool resetPending = true;
};

HistoryState g_history;
uint16_t g_insertSetting = 0;

// The record sent with the Command window's scroll notification.
struct ScrollRequest {
  int32_t direction;
  int32_t distance;
  int32_t cursor;
};

uint32_t Next(uint32_t position) { return position + 1 == HistoryRing::kSize ? 0 : position + 1; }
uint32_t Previous(uint32_t position) { return position == 0 ? HistoryRing::kSize - 1 : position - 1; }

// The two parts of the line as byte stacks. The left part holds the characters before
// the cursor in order; the right part those after it in reverse order, so the
// character next to the cursor is its last byte.
MemoryFile& Left() { return MemoryFileOf(CharChannel::LeftPart()); }
MemoryFile& Right() { return MemoryFileOf(CharChannel::RightPart()); }

void Push(MemoryFile& part, uint8_t ch) {
  ThrowIfMemoryFileError(part.Seek(part.Size()));
  ThrowIfMemoryFileError(part.Write(1, 1, &ch));
}

uint8_t Pop(MemoryFile& part) {
  uint8_t ch = 0;
  ThrowIfMemoryFileError(part.Seek(part.Size() - 1));
  ThrowIfMemoryFileError(part.Read(1, 1, &ch));
  ThrowIfMemoryFileError(part.Seek(part.Size() - 1));
  part.Truncate();
  return ch;
}

void Empty(MemoryFile& part) {
  ThrowIfMemoryFileError(part.Seek(0));
  part.Truncate();
}

std::string Contents(MemoryFile& part) {
  std::string text(part.Size(), '\0');
  const uint32_t position = part.Position();
  ThrowIfMemoryFileError(part.Seek(0));
  if (!text.empty()) ThrowIfMemoryFileError(part.Read(1, part.Size(), text.data()));
  ThrowIfMemoryFileError(part.Seek(position));
  return text;
}

void CursorLeftTimes(uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) Pager::CursorLeft();
}

// Writes the right part in screen order and `blanks` blanks, then puts the cursor
// back where it was.
void Redraw(uint32_t blanks) {
  const std::string right = Contents(Right());
  for (auto it = right.rbegin(); it != right.rend(); ++it) Pager::PutChar(*it);
  for (uint32_t i = 0; i < blanks; ++i) Pager::PutBlank();
  CursorLeftTimes(static_cast<uint32_t>(right.size()) + blanks);
}

// The characters the line can hold: it starts after the prompt and ends one column
// before the editing width, where the pager's line is full.
uint32_t LineRoom() {
  const uint32_t start = static_cast<uint32_t>(EchoColumn()) + 1;
  const uint32_t end = OutputWriter::kEditLineWidth - 1;
  return start < end ? end - start : 0;
}

// A key that would lengthen a full line is refused, and said so: a beep alone goes
// unnoticed where the workstation has no sound, and the user would take the line on
// the screen for all of what was typed. Each refused key shows the message again: the
// GUI puts the status line's own text back at every key the user presses, so the
// message stands from the last refused key until the next key.
void RefuseKeyOnFullLine() {
  Pager::Beep();
  DVError full(kMsgCommandLineFull, kSeverityWarning, kDisplayStatusLine);
  full.SetArg(0, static_cast<int32_t>(LineRoom()));
  full.Report();
}

// The line's length decides, not the pager's line-full flag: that flag stays set
// once the line has reached the width, after characters have been deleted too, and
// would refuse keys on a line with room again.
void InsertChar(uint8_t ch) {
  OutputWriter::SetLineWidth(OutputWriter::kEditLineWidth);
  if (LineEditor::InsertSetting() == 0 && Right().Size() > 0) {
    Pop(Right());
    Push(Left(), ch);
    Pager::PutChar(static_cast<char>(ch));
    return;
  }
  if (Left().Size() + Right().Size() >= LineRoom()) {
    RefuseKeyOnFullLine();
    return;
  }
  Push(Left(), ch);
  Pager::PutChar(static_cast<char>(ch));
  Redraw(0);
}

void EraseLine() {
  const uint32_t leftLength = Left().Size();
  const uint32_t total = leftLength + Right().Size();
  CursorLeftTimes(leftLength);
  Empty(Left());
  Empty(Right());
  for (uint32_t i = 0; i < total; ++i) Pager::PutBlank();
  CursorLeftTimes(total);
}

// Keeps the cursor inside the Command window's visible part of the input line.
void ReportCursor() {
  const auto width = static_cast<int32_t>(LineWindowWidth());
  if (width <= 0) return;
  const auto cursor = static_cast<int32_t>(Left().Size());
  int32_t first = CharChannel::FirstVisible();
  const int32_t offset = CharChannel::CursorOffset();
  if (cursor > first + width - 1) {
    int32_t distance = cursor - offset - first;
    if (distance <= 0) distance = cursor - (first + width - 1);
    const ScrollRequest request{kScrollRight, distance, cursor};
    NotifyGui(kCommandWindowKind, 0, kNotifyCommandLineScroll, &request);
    first += distance;
  } else if (cursor < first) {
    const ScrollRequest request{kScrollLeft, first - cursor, cursor};
    NotifyGui(kCommandWindowKind, 0, kNotifyCommandLineScroll, &request);
    first = cursor;
  }
  CharChannel::SetScrollWindow(first, cursor - first);
}

// Acts on one key; true when the line is finished.
bool HandleKey(uint8_t key) {
  MemoryFile& left = Left();
  MemoryFile& right = Right();
  // The line always fits the width, so nothing the editor writes may be dropped as
  // past the end of a full line: the pager would otherwise drop the blanks a delete
  // writes while its cursor moves go on, and the screen would lose the line's place.
  Pager::ClearLineFull();
  switch (key) {
    case kEditKeyCtrlC:
      CharChannel::Clear();
      OutputWriter::WriteString("^C\n");
      throw DVError(kMsgUserBreak, kSeverityError, kDisplayNone);
    case kEditKeyBackspace:
      if (left.Size() == 0) {
        Pager::Beep();
      } else {
        Pop(left);
        Pager::CursorLeft();
        Redraw(1);
      }
      return false;
    case kEditKeyCtrlF:
    case kConsoleKeyDelete:
      if (right.Size() == 0) {
        Pager::Beep();
      } else {
        Pop(right);
        Redraw(1);
      }
      return false;
    case kEditKeyCtrlX: {
      const uint32_t length = left.Size();
      CursorLeftTimes(length);
      Empty(left);
      Redraw(length);
      return false;
    }
    case kEditKeyCtrlA: {
      const uint32_t length = right.Size();
      Empty(right);
      Pager::SetBlankMode();
      for (uint32_t i = 0; i < length; ++i) Pager::PutBlank();
      Pager::ClearBlankMode();
      CursorLeftTimes(length);
      return false;
    }
    case kEditKeyCtrlZ:
    case kEditKeyEscape:
    case kEditKeyCtrlL: EraseLine(); return false;
    case kEditKeyCtrlE:
      if (left.Size() == 0 && right.Size() == 0) {
        RecallPrevious();
        ShowRecalled();
        return true;
      }
      Pager::Beep();
      return false;
    case kConsoleKeyLeft:
      if (left.Size() == 0) {
        Pager::Beep();
      } else {
        Pager::CursorLeft();
        Push(right, Pop(left));
      }
      return false;
    case kConsoleKeyRight:
      if (right.Size() == 0) {
        Pager::Beep();
      } else {
        Pager::CursorRight();
        Push(left, Pop(right));
      }
      return false;
    case kConsoleKeyHome:
      while (left.Size() > 0) {
        Push(right, Pop(left));
        Pager::CursorLeft();
      }
      return false;
    case kConsoleKeyEnd:
      while (right.Size() > 0) {
        Push(left, Pop(right));
        Pager::CursorRight();
      }
      return false;
    case kConsoleKeyUp:
      RecallPrevious();
      ShowRecalled();
      return false;
    case kConsoleKeyDown:
      g_history.wrap = false;
      ShowRecalled();
      return false;
    case kConsoleKeyInsert:
      g_insertSetting = g_insertSetting == 1 ? 0 : 1;
      ShowCommandCaret();
      return false;
    case kConsoleKeyTab: InsertChar(' '); return false;
    case kLineFeed: return false;
    case kCarriageReturn: return true;
    default:
      if (key >= 32 && key <= 126) {
        InsertChar(key);
      } else {
        Pager::Beep();
      }
      return false;
  }
}

// The finished line: the right part joins the left, CR LF ends it, the screen moves
// to a new line, the ring and the log get it, and it is ready to be read.
void FinishLine() {
  MemoryFile& left = Left();
  MemoryFile& right = Right();
  while (right.Size() > 0) Push(left, Pop(right));
  Push(left, kCarriageReturn);
  Push(left, kLineFeed);
  Pager::PutChar('\r');
  Pager::PutChar('\n');
  const std::string line = Contents(left);
  StoreHistoryLine(reinterpret_cast<const uint8_t*>(line.data()), static_cast<uint32_t>(line.size()));
  LogFile::WriteMemoryFile(CharChannel::LeftPart(), static_cast<uint16_t>(std::min<std::size_t>(line.size(), 0xFFFF)));
  ThrowIfMemoryFileError(left.Seek(0));
}

}  // namespace

uint16_t LineEditor::InsertSetting() { return g_insertSetting; }
void LineEditor::SetInsertSetting(uint16_t setting) { g_insertSetting = setting; }

void LineEditor::Reset() {
  g_insertSetting = 0;
  g_history = HistoryState{};
}

// 1. The ring is reset at the first line ever edited; the line starts empty and the
//    recall position at the newest line.
// 2. Keys are read one by one (the prompt shows while the output column is 0) and
//    acted on until Enter (or Ctrl+E); after every key the cursor is kept visible.
// 3. The finished line is handed over.
void EditConsoleLine() {
  if (!CharChannel::IsCreated()) CharChannel::Create();
  if (g_history.resetPending) {
    ResetHistoryRing();
    g_history.resetPending = false;
  }
  Empty(Left());
  Empty(Right());
  StartHistoryRecall();
  BreakMonitor monitor;
  monitor.Register();
  for (;;) {
    const bool finished = HandleKey(ReadBatchChar());
    ReportCursor();
    if (finished) break;
  }
  FinishLine();
}

void StartHistoryRecall() {
  g_history.fresh = true;
  g_history.recallPosition = g_history.writePosition;
}

void ResetHistoryRing() {
  g_history.bytes.fill(kFreeByte);
  g_history.writePosition = 0;
  g_history.recallPosition = 0;
}

void StoreHistoryLine(const uint8_t* line, uint32_t length) {
  if (line == nullptr || length == 0 || line[0] == kCarriageReturn) return;
  uint32_t characters = 0;
  while (characters < length && line[characters] != kCarriageReturn) {
    if (line[characters] == kLineFeed) return;  // not a line of the editor
    ++characters;
  }
  // The line and its CR must fit beside the free byte that ends the ring's walk.
  if (characters + 2 > HistoryRing::kSize) return;
  auto store = [](uint8_t ch) {
    g_history.bytes[g_history.writePosition] = ch;
    g_history.writePosition = Next(g_history.writePosition);
    // An older line starts to be overwritten: all of it gives way.
    uint32_t position = g_history.writePosition;
    for (uint32_t i = 0; i < HistoryRing::kSize && g_history.bytes[position] != kFreeByte; ++i) {
      const uint8_t erased = g_history.bytes[position];
      g_history.bytes[position] = kFreeByte;
      if (erased == kCarriageReturn) break;
      position = Next(position);
    }
  };
  for (uint32_t i = 0; i < characters; ++i) store(line[i]);
  store(kCarriageReturn);
}

// The walk back stops at the line end before the wanted line, or at the free byte
// before the oldest line; the wanted line starts one byte further on.
void RecallPrevious() {
  const int linesBack = g_history.fresh ? 2 : 3;
  g_history.fresh = false;
  uint32_t position = g_history.recallPosition;
  int lineEnds = 0;
  for (uint32_t steps = 0; steps < HistoryRing::kSize; ++steps) {
    position = Previous(position);
    const uint8_t ch = g_history.bytes[position];
    if (ch == kFreeByte) break;
    if (ch == kCarriageReturn && ++lineEnds == linesBack) break;
  }
  const uint32_t start = position + 1;
  if (start >= HistoryRing::kSize) {
    if (g_history.wrap) Pager::Beep();
    g_history.wrap = true;
    g_history.recallPosition = 0;
  } else {
    g_history.wrap = false;
    g_history.recallPosition = start;
  }
}

void ShowRecalled() {
  Pager::CursorTo(static_cast<uint16_t>(EchoColumn() + 1), Pager::Row());
  Pager::ClearToEndOfLine();
  MemoryFile& left = Left();
  MemoryFile& right = Right();
  Empty(left);
  Empty(right);
  OutputWriter::SetLineWidth(OutputWriter::kEditLineWidth);
  for (uint32_t i = 0; i < HistoryRing::kSize; ++i) {
    if (g_history.recallPosition == g_history.writePosition) {
      g_history.fresh = true;
      break;
    }
    const uint8_t ch = g_history.bytes[g_history.recallPosition];
    if (ch == kFreeByte) break;
    g_history.recallPosition = Next(g_history.recallPosition);
    if (ch == kCarriageReturn) break;
    Push(left, ch);
    Pager::PutChar(static_cast<char>(ch));
  }
}

}  // namespace zentor
