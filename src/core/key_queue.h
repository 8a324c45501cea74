#pragma once
// The keys typed into the Command window, oldest first: the window pushes them, the
// console input takes them (PollConsoleKey) and the user-break check of the GUI
// service entry looks for a Ctrl+C among them. A ring of 256 slots.
//
// The input-available flag tells the console input's wait that it has something to
// look at without waiting for a message: a key pushed (typed ahead while the program
// was busy, the busy pump hands such keys over), output written, or a new width of
// the Command window that the line editor has to show. The wait takes the flag; a key
// taken with more behind it leaves it set, so keys typed ahead are read one after the
// other and not one per message.

#include <cstddef>
#include <cstdint>

namespace zentor {

class KeyQueue {
 public:
  static constexpr std::size_t kCapacity = 256;

  // Stores a key; false (and a beep) when 256 unread keys are waiting. Key 3 (Ctrl+C)
  // also sets the break-pending flag.
  static bool Push(uint32_t key);
  // The oldest key, 0 when none.
  static uint32_t Pop();
  static bool IsEmpty();
  // Empties the queue and clears both flags.
  static void Clear();
  // Sets the input-available flag (console output and the Command window's layout).
  static void NoteInputAvailable() { s_inputAvailable = true; }
  // The input-available flag, cleared.
  static bool TakeInputAvailable();
  // Inline: the command loop asks before every postfix instruction.
  static bool IsBreakPending() { return s_breakPending; }
  static void ClearBreakPending();

 private:
  static bool s_breakPending;
  static bool s_inputAvailable;
};

}  // namespace zentor
