#include "core/key_queue.h"

#include "core/hi_service.h"

#include <array>

namespace zentor {
namespace {

// The ring: live entries lie in slots head..tail; both are -1 when it is empty.
struct KeyRing {
  std::array<uint32_t, KeyQueue::kCapacity> slots{};
  int head = -1;
  int tail = -1;
};

KeyRing g_keys;

void BeepInWindow() {
  if (GuiShell* shell = InstalledGuiShell()) shell->Beep();
}

}  // namespace

bool KeyQueue::Push(uint32_t key) {
  constexpr int kLastSlot = static_cast<int>(kCapacity) - 1;
  if (g_keys.tail == kLastSlot) {
    if (g_keys.head == 0) {
      BeepInWindow();
      return false;
    }
    // Move the live entries down to slot 0 to make room after them.
    const int live = g_keys.tail - g_keys.head + 1;
    for (int i = 0; i < live; ++i) g_keys.slots[i] = g_keys.slots[g_keys.head + i];
    g_keys.head = 0;
    g_keys.tail = live - 1;
  }
  if (g_keys.head < 0) {
    g_keys.head = 0;
    g_keys.tail = -1;
  }
  g_keys.slots[++g_keys.tail] = key;
  if (key == 3) KeyQueue::s_breakPending = true;
  KeyQueue::s_inputAvailable = true;
  return true;
}

uint32_t KeyQueue::Pop() {
  if (g_keys.head < 0) return 0;
  const uint32_t key = g_keys.slots[g_keys.head];
  if (g_keys.head == g_keys.tail) {
    g_keys.head = -1;
    g_keys.tail = -1;
  } else {
    ++g_keys.head;
  }
  KeyQueue::s_inputAvailable = !KeyQueue::IsEmpty();
  if (GuiShell* shell = InstalledGuiShell()) shell->KeyTaken(key);
  return key;
}

bool KeyQueue::IsEmpty() { return g_keys.head < 0; }

void KeyQueue::Clear() {
  g_keys.head = -1;
  g_keys.tail = -1;
  KeyQueue::s_breakPending = false;
  KeyQueue::s_inputAvailable = false;
}

bool KeyQueue::TakeInputAvailable() {
  const bool available = s_inputAvailable;
  s_inputAvailable = false;
  return available;
}

bool KeyQueue::s_breakPending = false;
bool KeyQueue::s_inputAvailable = false;

void KeyQueue::ClearBreakPending() { KeyQueue::s_breakPending = false; }

}  // namespace zentor
