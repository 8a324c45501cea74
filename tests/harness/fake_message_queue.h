#pragma once
// A message queue for the native tests of the message loop and everything above it:
// the test posts messages and holds keys down; taking follows Windows' order (a
// message numbered first..last, or any, oldest first, the quit message only when
// nothing else waits); translation, dispatch, dialog messages and accelerators are
// written as lines of text, naming windows by the recording layer system's labels.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <set>
#include <string>

#include "gui/message_loop.h"
#include "harness/recording_layer_system.h"

namespace zentor::testing_support {

class FakeMessageQueue : public MessageQueue {
 public:
  explicit FakeMessageQueue(RecordingLayerSystem& system) : m_system(system) {}

  void Post(NativeWindow window, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0) {
    m_pending.push_back(LayerMessage{window, message, wParam, lParam});
  }
  size_t PendingCount() const { return m_pending.size() + (m_quit ? 1 : 0); }
  bool HasPending(uint32_t message) const {
    if (message == msg::kQuit) return m_quit;
    return std::any_of(m_pending.begin(), m_pending.end(), [&](const LayerMessage& m) { return m.message == message; });
  }
  void HoldKey(uint32_t virtualKey, bool down) {
    if (down) m_keys.insert(virtualKey);
    else m_keys.erase(virtualKey);
  }
  std::string TakeLog() {
    std::string log;
    log.swap(m_log);
    return log;
  }

  // What IsDialogMessage and TranslateAccelerator take: the dialog and the keys.
  std::function<bool(NativeWindow, const LayerMessage&)> dialogTakes;
  std::function<bool(const LayerMessage&)> acceleratorTakes;
  // Runs for each dispatched message (a window procedure).
  std::function<void(const LayerMessage&)> onDispatch;
  NativeWindow activeWindow = 0;

  LayerMessage WaitForNext() override {
    LayerMessage message;
    if (!TakePending(0, 0, &message)) {
      m_log += "wait with nothing pending\n";
      message.message = msg::kQuit;
    }
    return message;
  }
  bool TakePending(uint32_t first, uint32_t last, LayerMessage* message) override {
    const bool any = first == 0 && last == 0;
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
      if (any || (it->message >= first && it->message <= last)) {
        *message = *it;
        m_pending.erase(it);
        return true;
      }
    }
    if (m_quit && (any || (first <= msg::kQuit && msg::kQuit <= last))) {
      m_quit = false;
      *message = LayerMessage{0, msg::kQuit, static_cast<uintptr_t>(m_quitCode), 0};
      return true;
    }
    return false;
  }
  void Translate(const LayerMessage& message) override {
    if (message.message == msg::kKeyDown) m_log += "translate " + Describe(message) + "\n";
  }
  void Dispatch(const LayerMessage& message) override {
    m_log += "dispatch " + Describe(message) + "\n";
    if (onDispatch) onDispatch(message);
  }
  bool IsDialogMessage(NativeWindow dialog, const LayerMessage& message) override {
    return dialogTakes && dialogTakes(dialog, message);
  }
  bool TranslateAccelerator(NativeWindow, NativeAccelerators table, const LayerMessage& message) override {
    if (table == 0 || !acceleratorTakes || !acceleratorTakes(message)) return false;
    m_log += "accelerator " + m_tables[table - 1] + " " + Describe(message) + "\n";
    return true;
  }
  NativeAccelerators LoadAccelerators(const char* name) override {
    m_tables.push_back(name);
    return m_tables.size();
  }
  void PostQuit(int32_t code) override {
    m_quit = true;
    m_quitCode = code;
  }
  bool IsKeyDown(uint32_t virtualKey) override { return m_keys.count(virtualKey) != 0; }
  void ReleaseControlKey() override {
    m_keys.erase(vk::kControl);
    m_log += "control released\n";
  }
  NativeWindow ActiveWindow() override { return activeWindow; }
  void WaitForMessage() override {}

  std::string Describe(const LayerMessage& message) const {
    std::string text = m_system.LabelOf(message.window) + " " + MessageName(message.message);
    if (message.message == msg::kChar && message.wParam >= 32 && message.wParam < 127) {
      text += " '" + std::string(1, static_cast<char>(message.wParam)) + "'";
    } else {
      text += " " + std::to_string(message.wParam);
    }
    return text;
  }
  static std::string MessageName(uint32_t message) {
    switch (message) {
      case msg::kPaint: return "WM_PAINT";
      case msg::kClose: return "WM_CLOSE";
      case msg::kKeyDown: return "WM_KEYDOWN";
      case msg::kKeyUp: return "WM_KEYUP";
      case msg::kChar: return "WM_CHAR";
      case msg::kSysKeyDown: return "WM_SYSKEYDOWN";
      case msg::kCommand: return "WM_COMMAND";
      case msg::kTimer: return "WM_TIMER";
      case msg::kSetCursor: return "WM_SETCURSOR";
      case msg::kNcLeftButtonDown: return "WM_NCLBUTTONDOWN";
      case msg::kNcLeftButtonDoubleClick: return "WM_NCLBUTTONDBLCLK";
      case msg::kLeftButtonDown: return "WM_LBUTTONDOWN";
      case msg::kLeftButtonUp: return "WM_LBUTTONUP";
      case msg::kVScroll: return "WM_VSCROLL";
      case msg::kMouseMove: return "WM_MOUSEMOVE";
      default: return "message" + std::to_string(message);
    }
  }

 private:
  RecordingLayerSystem& m_system;
  std::deque<LayerMessage> m_pending;
  bool m_quit = false;
  int32_t m_quitCode = 0;
  std::set<uint32_t> m_keys;
  std::vector<std::string> m_tables;
  std::string m_log;
};

}  // namespace zentor::testing_support
