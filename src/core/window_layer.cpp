#include "core/window_layer.h"

#include "core/message_table.h"
#include "platform/alert.h"
#include "platform/held_output.h"

#include <cstdio>
#include <cstring>

namespace zentor {
namespace {

// No windows at all: nothing has the focus, a message box is a console alert that
// answers at once with the choice that lets the program go on.
class ConsoleWindowBackend final : public WindowLayerBackend {
 public:
  int32_t GetFocusWindow() override { return -1; }
  int32_t GetWindowType(int32_t) override { return -1; }

  int32_t ShowMessageBox(int32_t, uint32_t kind, const char* text, const char* caption) override {
    if ((kind == kMessageBoxYesNo || kind == kMessageBoxOkCancel) && m_question != nullptr) {
      return m_question->Ask(kind, text, caption);
    }
    platform::AlertRequest request;
    request.text = text;
    switch (kind) {
      case kMessageBoxInformation: request.title = "Information"; break;
      case kMessageBoxYesNo: request.title = "Question"; request.buttons = platform::AlertButtons::OkCancel; break;
      case kMessageBoxError: request.title = "Error"; break;
      case kMessageBoxOkCancel: request.title = "Warning"; request.buttons = platform::AlertButtons::OkCancel; break;
      default: request.title = "Warning"; break;
    }
    if (caption != nullptr) request.title = caption;
    request.stopIcon = kind == kMessageBoxError;
    platform::AlertAnswer answer = platform::ShowAlert(request);
    if (kind == kMessageBoxYesNo) {
      if (answer == platform::AlertAnswer::Ok) return kMessageBoxAnswerYes;
      if (answer == platform::AlertAnswer::Cancel) return kMessageBoxAnswerNo;
      return kMessageBoxAnswerOther;
    }
    if (answer == platform::AlertAnswer::Ok) return kMessageBoxAnswerOk;
    if (answer == platform::AlertAnswer::Cancel) return kMessageBoxAnswerCancel;
    return kMessageBoxAnswerOther;
  }

  void Beep() override {
    platform::WriteHeldOutput();
    std::fputc('\a', stderr);
    std::fflush(stderr);
  }

  ConsoleQuestion* m_question = nullptr;
};

struct LayerState {
  ConsoleWindowBackend console;
  WindowLayerBackend* backend = &console;
  bool beepEnabled = true;
};

LayerState& State() {
  static LayerState state;
  return state;
}

// The classic Windows colours of the layer's screen elements, {text, face}; the last
// row stands for every other element (the scroll bar).
constexpr uint32_t kClassicElementColors[][2] = {
    {0x000000, 0xC0C0C0},  // menu
    {0x808080, 0xC0C0C0},  // inactive caption: caption, border
    {0xFFFFFF, 0x000080},  // active caption
    {0xC0C0C0, 0xC0C0C0},  // border
    {0x000000, 0xFFFFFF},  // window
    {0x000000, 0xFFFFFF},  // window
    {0x000000, 0xC0C0C0},  // button
    {0xC0C0C0, 0xC0C0C0},  // scroll bar
};

}  // namespace

uint32_t WindowLayerBackend::GetSystemElementColor(uint32_t element, bool foreground) {
  constexpr uint32_t kLastRow = sizeof kClassicElementColors / sizeof kClassicElementColors[0] - 1;
  return kClassicElementColors[element < kLastRow ? element : kLastRow][foreground ? 0 : 1];
}

ConsoleQuestion::~ConsoleQuestion() = default;

ConsoleQuestion* InstallConsoleQuestion(ConsoleQuestion* question) {
  ConsoleQuestion* before = State().console.m_question;
  State().console.m_question = question;
  return before;
}

uint32_t WindowLayer::LoadResourceString(uint32_t number, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const char* text = FindMessageText(number);
  if (text == nullptr) {
    buffer[0] = '\0';
    return 0;
  }
  size_t length = std::strlen(text);
  if (length > size - 1) length = size - 1;
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
  return static_cast<uint32_t>(length);
}

void WindowLayer::Beep() {
  if (State().beepEnabled) State().backend->Beep();
}

void WindowLayer::SetBeepEnabled(bool enabled) { State().beepEnabled = enabled; }

bool WindowLayer::IsBeepEnabled() { return State().beepEnabled; }

int32_t WindowLayer::GetFocusWindow() { return State().backend->GetFocusWindow(); }

int32_t WindowLayer::GetWindowType(int32_t id) { return State().backend->GetWindowType(id); }

int32_t WindowLayer::ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char* caption) {
  return State().backend->ShowMessageBox(owner, kind, text != nullptr ? text : "", caption);
}

uint32_t WindowLayer::GetSystemElementColor(uint32_t element, bool foreground) {
  return State().backend->GetSystemElementColor(element, foreground);
}

void WindowLayer::ShowHelp(uint32_t context) { State().backend->ShowHelp(context); }

WindowLayerBackend* WindowLayer::SetBackend(WindowLayerBackend* backend) {
  LayerState& state = State();
  WindowLayerBackend* previous = state.backend == &state.console ? nullptr : state.backend;
  state.backend = backend != nullptr ? backend : &state.console;
  return previous;
}

}  // namespace zentor
