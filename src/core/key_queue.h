#pragma once
// The keys typed into the Command window, oldest first: the window pushes them, the
// console input takes them (PollConsoleKey) and the user-break check of the GUI
// service entry looks for a Ctrl+C among them. A ring of 256 slots.

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
  static void Clear();
  // Inline: the command loop asks before every postfix instruction.
  static bool IsBreakPending() { return s_breakPending; }
  static void ClearBreakPending();

 private:
  static bool s_breakPending;
};

}  // namespace zentor
