#pragma once
// The two pipes between the Command window and the console devices of the command
// language: the KeyQueue (keys typed into the Command window, read by the console
// input through PollConsoleKey) and the output bridge (WriteConsoleChar and
// WriteConsoleText), which decodes the console control codes for the window.

#include "core/key_queue.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace zentor {

// Console characters of the keys the line editor acts on.
inline constexpr uint8_t kConsoleKeyHome = 29;
inline constexpr uint8_t kConsoleKeyEnd = 129;
inline constexpr uint8_t kConsoleKeyUp = 30;
inline constexpr uint8_t kConsoleKeyDown = 28;
inline constexpr uint8_t kConsoleKeyLeft = 31;
inline constexpr uint8_t kConsoleKeyRight = 20;
inline constexpr uint8_t kConsoleKeyInsert = 224;
inline constexpr uint8_t kConsoleKeyDelete = 223;
inline constexpr uint8_t kConsoleKeyTab = 9;

// Console output control codes.
inline constexpr uint8_t kConsoleBeep = 7;
inline constexpr uint8_t kConsoleCursorRight = 243;
inline constexpr uint8_t kConsoleCursorLeft = 244;
inline constexpr uint8_t kConsoleCursorTo = 251;  // followed by a column and a row byte

// Internal key codes of the window layer's key translation that have console
// characters of their own.
inline constexpr uint32_t kKeyHome = 309;
inline constexpr uint32_t kKeyEnd = 310;
inline constexpr uint32_t kKeyUp = 301;
inline constexpr uint32_t kKeyDown = 302;
inline constexpr uint32_t kKeyLeft = 304;
inline constexpr uint32_t kKeyRight = 303;
inline constexpr uint32_t kKeyShiftTab = 315;
inline constexpr uint32_t kKeyDelete = 127;
inline constexpr uint32_t kKeyInsert = 312;


// The next key of the Command window as a console character, 0 when none: one wait
// round of the GUI, then the key mapped through the console key table (keys of 256
// and above without a console character give 0).
uint8_t PollConsoleKey();

// Command window output of one byte: printable characters are written, the control
// codes act (7 beep, 10 new line, 13 column 0, 243/244 cursor right/left, 251 column
// row cursor position, ...).
void WriteConsoleChar(uint8_t byte);
// A run of bytes: printable runs at once, control bytes through WriteConsoleChar.
void WriteConsoleText(const char* bytes, std::size_t count);
// Places and shows the caret at the Command window's input position.
void ShowCommandCaret();
// Forgets a half-read cursor-position sequence (start of a session).
void ResetConsoleBridge();

}  // namespace zentor
