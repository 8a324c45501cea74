#pragma once
// The console line editor of GUI mode. When the console device needs a new line, the
// editor collects one from the keys typed in the Command window: it edits the line in
// place with cursor keys, insert and overtype, recalls earlier lines from a 400-byte
// history ring, and on Enter hands the finished line (ending in CR LF) to the console
// device, logs it and stores it in the ring. It draws by writing characters and
// console control codes through the pager. The line ends one column before the
// editing width; a key that would lengthen a full line is refused with a beep and
// message 87 on the status line.

#include <cstdint>

namespace zentor {

// Console characters of the editing keys (besides those of console_bridge.h).
inline constexpr uint8_t kEditKeyCtrlA = 1;
inline constexpr uint8_t kEditKeyCtrlC = 3;
inline constexpr uint8_t kEditKeyCtrlE = 5;
inline constexpr uint8_t kEditKeyCtrlF = 6;
inline constexpr uint8_t kEditKeyBackspace = 8;
inline constexpr uint8_t kEditKeyCtrlL = 12;
inline constexpr uint8_t kEditKeyCtrlX = 24;
inline constexpr uint8_t kEditKeyCtrlZ = 26;
inline constexpr uint8_t kEditKeyEscape = 27;

class LineEditor {
 public:
  // 1 = insert, 0 = overtype; from the start-up options "in" and "noin".
  static uint16_t InsertSetting();
  static void SetInsertSetting(uint16_t setting);
  // Back to the start state: overtype, the ring to be reset at the first edit.
  static void Reset();
};

// Collects one line into the console line buffer (CharChannel's left part) and
// leaves it ready for reading from its start. Ctrl+C empties the line and raises 401
// (ERROR, not shown).
void EditConsoleLine();

// The history ring: every stored line is its characters and a CR; free bytes are
// 0xFF; the oldest lines give way to new ones.
class HistoryRing {
 public:
  static constexpr uint32_t kSize = 400;
};
void ResetHistoryRing();
// A new line begins: the next recall starts from the newest line.
void StartHistoryRecall();
// Stores a line (its characters up to its CR; LFs are left out). An empty line, and
// a line too long to fit the ring beside its own line end, are not stored.
void StoreHistoryLine(const uint8_t* line, uint32_t length);
// Moves the recall position to the line before the one shown last (the newest line
// after a fresh start); beeps when the walk wraps past the ring's end a second time.
void RecallPrevious();
// Shows the line at the recall position as the line being edited.
void ShowRecalled();

}  // namespace zentor
