#pragma once
// The console device's source of characters. In GUI mode a whole line is first edited
// in the Command window (line_editor.h) and then read from the line buffer, the
// CharChannel. In console mode, and while a batch file is read, characters come one
// by one from an input channel: the batch file, or ":CI:" (the standard input in
// console mode). The same module polls single keys for the pager and answers the
// Command window's settings requests.

#include <cstddef>
#include <cstdint>

#include "core/memory_file.h"

namespace zentor {

// Turns the line ends of files and terminals (LF, CR LF or a lone CR) into CR LF:
// the scanner ends a command at the CR, and dropping the rest of a line reads up to
// the LF. A last line without a line end gets one when the input ends.
class LineEndNormaliser {
 public:
  static constexpr std::size_t kMaxBytesPerInput = 2;

  // The bytes to deliver for one input byte (1 or 2 of them) into `out`.
  std::size_t Feed(uint8_t input, uint8_t* out);
  // The bytes to deliver at the end of the input (0 to 2).
  std::size_t Finish(uint8_t* out);
  void Reset();

  // The state as one byte, so that a suspended file can be saved and resumed.
  uint8_t SaveState() const;
  void RestoreState(uint8_t state);

 private:
  bool m_afterCarriageReturn = false;
  bool m_atLineStart = true;
};

// The line buffer of the console line editor and the Command window's input-line
// scroll window.
class CharChannel {
 public:
  // Creates the two parts (the left one is what the console device reads).
  static void Create();
  // Empties the line (both parts) and zeroes the scroll window.
  static void Clear();
  static void Destroy();
  static bool IsCreated();

  static MemoryFileHandle LeftPart();
  static MemoryFileHandle RightPart();

  static int32_t FirstVisible();
  static int32_t CursorOffset();
  static void SetScrollWindow(int32_t firstVisible, int32_t cursorOffset);
};

// The input channel becomes ":CI:".
void OpenConsoleInput();
// The input channel becomes the named file (binary, read-only) and a second ":CI:"
// stands by for when it ends. False (nothing changed, the error kept in
// FileChannel::LastError) when the file cannot be opened or is a directory.
bool OpenBatchInput(const char* fileName);
// Closes the batch file when one is being read (exit).
void CloseBatchInput();
bool IsBatchInputActive();
int32_t InputChannel();

// The console device's read operation; always delivers a byte.
bool ConsoleRead(uint8_t* destination);
// One character from the input channel, printing the prompt while waiting at column
// 0. The end of a batch file switches to the console and ends the current command
// (message 401, WARNING, not shown); the end of the standard input in console mode
// ends the session as the exit command does.
uint8_t ReadBatchChar();
// One key for the pager: 0 in console mode and while a batch file is read; Ctrl+C
// raises 401 (ERROR, not shown). With `wait` it waits for a key.
uint8_t ReadKey(bool wait);

// Requests of the Command window: 500 sets the line-window width, 502 the pager's
// page length (low 16 bits of the value); both answer 0, other codes -1.
int32_t HandleCommandWindowRequest(uint32_t window, uint32_t argument, uint32_t code, const void* value);
uint32_t LineWindowWidth();

// Forgets the input channels and the batch state (start of a session).
void ResetInputChannels();

}  // namespace zentor
