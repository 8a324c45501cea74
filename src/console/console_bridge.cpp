#include "console/console_bridge.h"

#include "console/file_channel.h"
#include "core/hi_service.h"
#include "core/key_queue.h"

namespace zentor {
namespace {

// Internal key code to console character; every other key below 256 passes as it is.
struct ConsoleKeyRow {
  uint32_t key;
  uint8_t consoleChar;
};

constexpr ConsoleKeyRow kConsoleKeyTable[] = {
    {kKeyHome, kConsoleKeyHome},     {kKeyEnd, kConsoleKeyEnd},
    {kKeyUp, kConsoleKeyUp},         {kKeyDown, kConsoleKeyDown},
    {kKeyLeft, kConsoleKeyLeft},     {kKeyRight, kConsoleKeyRight},
    {kKeyShiftTab, 225},             {9, kConsoleKeyTab},
    {kKeyDelete, kConsoleKeyDelete}, {kKeyInsert, kConsoleKeyInsert},
    {14, 210},                       {16, 209},
    {11, 222},
};


// State of the cursor-position sequence 251, column, row.
enum class Escape { None, AwaitRow, AwaitColumn };
Escape g_escape = Escape::None;
uint8_t g_escapeColumn = 0;

constexpr std::size_t kMaxTextRun = 511;


}  // namespace


uint8_t PollConsoleKey() {
  // A quit message during the wait ends the session, and the agent is told first.
  if (GuiShell* shell = InstalledGuiShell(); shell != nullptr && !shell->WaitForInputRound()) DisconnectAndExit();
  const uint32_t key = KeyQueue::Pop();
  if (key == 0) return 0;
  for (const ConsoleKeyRow& row : kConsoleKeyTable) {
    if (row.key == key) return row.consoleChar;
  }
  return key < 256 ? static_cast<uint8_t>(key) : 0;
}

// Output is something for the console input's wait to look at: the line editor may
// have to show its line again behind it.
void WriteConsoleChar(uint8_t byte) {
  KeyQueue::NoteInputAvailable();
  GuiShell* shell = InstalledGuiShell();
  if (g_escape == Escape::AwaitColumn) {
    g_escapeColumn = byte;
    g_escape = Escape::AwaitRow;
    return;
  }
  if (g_escape == Escape::AwaitRow) {
    g_escape = Escape::None;
    if (shell != nullptr) shell->MoveCursor(g_escapeColumn, byte);
    return;
  }
  if (byte == kConsoleCursorTo) {
    g_escape = Escape::AwaitColumn;
    return;
  }
  if (shell == nullptr) return;
  const char asChar = static_cast<char>(byte);
  if (byte >= 32 && byte <= 126) {
    shell->WriteText(&asChar, 1);
    return;
  }
  switch (byte) {
    case kConsoleBeep: shell->Beep(); return;
    case 10: shell->LineFeed(); return;
    case 13:
    case 252: shell->ColumnToStart(); return;
    case 240: shell->InputColumnToStart(); return;
    case 241: shell->RowUp(); return;
    case 242: shell->RowDown(); return;
    case kConsoleCursorRight: shell->CursorRight(); return;
    case kConsoleCursorLeft: shell->CursorLeft(); return;
    default: break;
  }
  if (byte >= 246 && byte <= 250) {
    shell->WriteText("~", 1);
    shell->Beep();
  } else if (byte >= 1 && byte <= 31) {
    shell->WriteText(" ", 1);
  } else {
    shell->WriteText(&asChar, 1);
  }
}

void WriteConsoleText(const char* bytes, std::size_t count) {
  if (bytes == nullptr) return;
  KeyQueue::NoteInputAvailable();
  GuiShell* shell = InstalledGuiShell();
  std::size_t runStart = 0;
  std::size_t runLength = 0;
  auto flushRun = [&] {
    if (runLength > 0 && shell != nullptr) shell->WriteText(bytes + runStart, runLength);
    runLength = 0;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<uint8_t>(bytes[i]);
    if (g_escape == Escape::None && byte >= 32 && byte <= 126) {
      if (runLength == 0) runStart = i;
      ++runLength;
      if (runLength == kMaxTextRun) flushRun();
      continue;
    }
    flushRun();
    WriteConsoleChar(byte);
  }
  flushRun();
}

void ShowCommandCaret() {
  if (IsConsoleMode()) return;
  if (GuiShell* shell = InstalledGuiShell()) shell->ShowCommandCaret();
}

void ResetConsoleBridge() { g_escape = Escape::None; }

}  // namespace zentor
