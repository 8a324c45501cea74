#pragma once
// The window layer: the one place that talks to the windowing system. The core uses
// its string loading, beep, focus query and message boxes to show errors. Behind it
// sits a backend: the console backend (no windows: no focus window, message boxes
// become console alerts) serves the console program, the native build and every
// test; the Windows GUI installs its own at start-up.

#include <cstdint>

namespace zentor {

// Window types that GetWindowType answers.
inline constexpr int32_t kWindowTypeModalDialog = 0;
inline constexpr int32_t kWindowTypeModelessDialog = 1;
inline constexpr int32_t kWindowTypeChild = 2;
inline constexpr int32_t kWindowTypeFrame = 4;
inline constexpr int32_t kWindowTypeFirstControl = 6;
inline constexpr int32_t kWindowTypeLastControl = 15;

// Message-box kinds and answers.
inline constexpr uint32_t kMessageBoxWarning = 0;
inline constexpr uint32_t kMessageBoxInformation = 1;
inline constexpr uint32_t kMessageBoxYesNo = 2;
inline constexpr uint32_t kMessageBoxError = 3;
inline constexpr uint32_t kMessageBoxWarningAlso = 4;
inline constexpr uint32_t kMessageBoxOkCancel = 5;
inline constexpr int32_t kMessageBoxAnswerOk = 0;
inline constexpr int32_t kMessageBoxAnswerCancel = 1;
inline constexpr int32_t kMessageBoxAnswerYes = 2;
inline constexpr int32_t kMessageBoxAnswerNo = 3;
inline constexpr int32_t kMessageBoxAnswerOther = -1;

// What a windowing system provides to the layer.
class WindowLayerBackend {
 public:
  virtual ~WindowLayerBackend() = default;
  // Layer id of the topmost modal dialog, else of the window holding the keyboard
  // focus; -1 when none.
  virtual int32_t GetFocusWindow() = 0;
  // The window's type, -1 for an unknown id.
  virtual int32_t GetWindowType(int32_t id) = 0;
  // `caption` null: the box's usual caption for its kind.
  virtual int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char* caption) = 0;
  virtual void Beep() = 0;
  // The system's colour (0xRRGGBB) of a screen element: 0 menu, 1 inactive caption, 2
  // active caption, 3 border, 4 and 5 window, 6 button, any other the scroll bar; its
  // text colour when `foreground`, else its face. Without a windowing system: the
  // classic Windows colours.
  virtual uint32_t GetSystemElementColor(uint32_t element, bool foreground);
  // Opens the help file at the topic of a help context; the console has no help.
  virtual void ShowHelp(uint32_t context) {}
};

// How console mode asks a question (a yes/no or OK/cancel box): the console runtime
// installs one that writes the question on the command output and reads the answer
// from the standard input. Without one a question answers as a console alert does,
// at once and without anybody's help.
class ConsoleQuestion {
 public:
  virtual ~ConsoleQuestion();
  // Kind kMessageBoxYesNo or kMessageBoxOkCancel; answers as ShowMessageBox does.
  // `caption` null: the question has no caption of its own.
  virtual int32_t Ask(uint32_t kind, const char* text, const char* caption) = 0;
};
// Installs the console's questions (the caller keeps it alive); null takes them away.
// Returns the one installed before.
ConsoleQuestion* InstallConsoleQuestion(ConsoleQuestion* question);

class WindowLayer {
 public:
  // Copies message `number`'s text into `buffer`: at most size - 1 characters and a
  // NUL. Returns the length copied; 0 (and an empty buffer when size > 0) when the
  // message has no text.
  static uint32_t LoadResourceString(uint32_t number, char* buffer, uint32_t size);
  // Sounds the default beep when the beep switch is on.
  static void Beep();
  static void SetBeepEnabled(bool enabled);
  static bool IsBeepEnabled();
  static int32_t GetFocusWindow();
  static int32_t GetWindowType(int32_t id);
  // Kinds 0 and 4 warning, 1 information, 2 yes/no, 3 error, 5 OK/cancel warning.
  // Answers 0 OK, 1 cancel, 2 yes, 3 no, -1 other. A caption replaces the box's usual
  // one (a question that names the product, say).
  static int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char* caption = nullptr);
  static uint32_t GetSystemElementColor(uint32_t element, bool foreground);
  // The help file's topic of the context (a window's, a command's, a dialog's).
  static void ShowHelp(uint32_t context);

  // Installs a backend and returns the one it replaces; null puts the console
  // backend back. The layer does not own backends.
  static WindowLayerBackend* SetBackend(WindowLayerBackend* backend);
};

}  // namespace zentor
