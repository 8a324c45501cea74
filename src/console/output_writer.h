#pragma once
// The one writer of all command output. Reports, listings, values, error texts and
// the echo of command input all pass through OutputWriter: it keeps the output
// column, hands each character to the installed OutputHook (capture) or to the pager
// (the Command window or the standard output) and copies it to the log while logging
// is on. Beside it stand the Formatter, a printf-like formatter with the debugger's
// own conversions, and the number-to-text routines of the value display commands.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/memory_file.h"

namespace zentor {

// Receives every character of command output while it is installed (one at a time,
// no nesting). Panels and dialogs install one while they run a command.
using OutputHook = std::function<void(char)>;

// Receives the same characters in the same order as an OutputHook, a run at a time
// (one write, one formatted text or one character): for a capture that keeps what it
// gets as it stands and need not pay a call for every character (a fuzz driver's
// record of a whole listing). It is installed and removed as a hook is, in its place.
using OutputTextHook = std::function<void(std::string_view)>;

// One argument of a Formatter call. Arguments are typed at the call site, so a
// conversion never reads an argument of a type it does not hold: an integer asked
// for as a real is converted, a missing argument reads as 0 or as an empty text.
class FormatArg {
 public:
  enum class Kind : uint8_t { Integer, Real, Text, Address };

  template <typename T>
    requires std::integral<T>
  FormatArg(T value)  // NOLINT(google-explicit-constructor): arguments convert at the call
      : m_kind(Kind::Integer), m_integer(static_cast<uint64_t>(value)) {}
  FormatArg(double value) : m_kind(Kind::Real), m_real(value) {}
  FormatArg(float value) : m_kind(Kind::Real), m_real(value) {}
  FormatArg(long double value) : m_kind(Kind::Real), m_real(static_cast<double>(value)) {}
  FormatArg(const char* text) : m_kind(Kind::Text), m_text(text), m_length(TextLength(text)) {}
  FormatArg(char* text) : FormatArg(static_cast<const char*>(text)) {}
  FormatArg(std::string_view text) : m_kind(Kind::Text), m_text(text.data()), m_length(text.size()) {}
  // Any string class with data() and length() (std::string, RWCString).
  template <typename S>
    requires requires(const S& s) {
      { s.data() } -> std::convertible_to<const char*>;
      { s.length() } -> std::convertible_to<std::size_t>;
    }
  FormatArg(const S& text)
      : m_kind(Kind::Text), m_text(text.data()), m_length(static_cast<std::size_t>(text.length())) {}
  // A pointer is only ever printed as its value (%p); it is never dereferenced.
  template <typename T>
    requires(!std::is_same_v<std::remove_cv_t<T>, char>)
  FormatArg(const T* pointer)
      : m_kind(Kind::Address), m_integer(reinterpret_cast<std::uintptr_t>(pointer)) {}
  FormatArg(std::nullptr_t) : m_kind(Kind::Address), m_integer(0) {}

  Kind kind() const { return m_kind; }
  // The argument as the 32-bit word the integer conversions work on (reals are
  // truncated towards zero, texts and pointers give their address).
  uint32_t AsWord32() const;
  uint64_t AsWideInteger() const;
  double AsReal() const;
  // The text of a Text argument; an empty view for a null text or another kind.
  std::string_view AsText() const;

 private:
  static std::size_t TextLength(const char* text);

  Kind m_kind;
  uint64_t m_integer = 0;
  double m_real = 0.0;
  const char* m_text = nullptr;
  std::size_t m_length = 0;
};

// How BinaryToText fills a field that is wider than the digits.
enum class BinaryPad : uint8_t { None = 0, Blanks = 1, Zeros = 2 };

// The printf-like formatter of command output. Beside the standard conversions it
// knows %b and %B (boolean words), %y and %Y (binary) and %D (the current number
// base: 2, 8, 10 or 16, any other prints as hexadecimal). The size letter 'l' means 32 bits on every build; 'h' takes the low 16 bits.
// Output never goes past the caller's buffer and is always NUL-terminated.
class Formatter {
 public:
  // Formats into buffer (bufferSize bytes including the NUL); returns the number of
  // characters written, not counting the NUL. A null format leaves the buffer alone
  // and returns 0. Literal '\n' in the format is written as "\r\n".
  static std::size_t Format(char* buffer, std::size_t bufferSize, const char* format,
                            std::span<const FormatArg> args);

  template <typename... Args>
  static std::size_t FormatToBuffer(char* buffer, std::size_t bufferSize, const char* format,
                                    const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    return Format(buffer, bufferSize, format, std::span<const FormatArg>(list, sizeof...(Args)));
  }

  // Base-2 digits of value. Pad mode None writes the digits alone; Blanks and Zeros
  // pad to width (longer digit strings are written whole). A nonzero prefix letter is
  // written as '0' followed by it: in zero-padded mode it takes the first two
  // positions of the field when the digits leave room, otherwise it stands directly
  // before the digits. Returns the length written (bounded by bufferSize - 1).
  static std::size_t BinaryToText(uint32_t value, int width, BinaryPad padMode, char prefix,
                                  char* buffer, std::size_t bufferSize);

  // What "%0*lx", "%0*lo" and "%*lu" (radix 16, 8 and 10) write for a 32-bit value,
  // without a format to read: the digits, with zeros before them (blanks in decimal)
  // up to `width`. The views write values by the screenful. Bounded as Format is.
  static std::size_t UnsignedToText(uint32_t value, unsigned radix, int width, char* buffer, std::size_t bufferSize);
};

// Text of a real value: the low 6 bits of the type code select its size (19 a 4-byte
// real, 21 a 10-byte real, any other an 8-byte real). The text is cut to fit the
// buffer and NUL-terminated; returns its length.
std::size_t RealValueToText(const void* value, uint32_t typeCode, char* buffer, std::size_t bufferSize);

// Text of an integer of size bytes held as up to four 32-bit words, least
// significant first. Below 12 bytes the value is the 64-bit number of the first two
// words, written in radix (2, 8, 10 or 16; any other radix is taken as 16) and, with
// padToFullWidth, zero-padded to 64, 22, 20 or 16 digits. From 12 bytes up it is
// hexadecimal of the words, most significant first, eight digits each (three words,
// four above 12 bytes). Words missing from the span read as 0.
std::string NumberToText(std::span<const uint32_t> words, uint16_t radix, bool padToFullWidth,
                         uint16_t size);

// The writer of all command output (one instance; static state).
class OutputWriter {
 public:
  static constexpr uint16_t kOutputLineWidth = 83;
  static constexpr uint16_t kEditLineWidth = 128;
  static constexpr std::size_t kPrintfBufferSize = 256;

  static void PutChar(char ch);
  static void WriteChars(uint16_t count, const char* chars);
  static void WriteString(const char* text);
  static void WriteString(std::string_view text);

  // Counts a character that is already on the screen without writing it.
  static void AdvanceColumn(char ch);
  // Ends the current output line ("\r\n") unless the output column is 0.
  static void FreshLine();
  // Blanks up to column, or a fresh line when column is not below the line width.
  static void TabToColumn(uint8_t column);
  // Blanks up to column, without the line-width test.
  static void PadToColumn(uint8_t column);

  // While set, the next character written starts a fresh line first (and clears it):
  // output that comes while the reader waits behind a prompt (a stop reported by the
  // event poll) does not continue the prompt's line.
  static void SetLineBreakBeforeOutput(bool on);
  // The line ends in the prompt just written; the next character written or counted
  // ends that.
  static void MarkPromptWritten();
  static bool PromptStands();

  static void InstallHook(OutputHook hook);
  static void InstallTextHook(OutputTextHook hook);
  static void RemoveHook();
  static bool IsHookInstalled();

  // Formats into a 256-byte buffer (text beyond 255 characters is cut) and writes it.
  template <typename... Args>
  static void Printf(const char* format, const Args&... args) {
    const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
    PrintfArgs(format, std::span<const FormatArg>(list, sizeof...(Args)));
  }
  static void PrintfArgs(const char* format, std::span<const FormatArg> args);
  static void PrintValue(uint32_t value, const char* format);
  static void PrintHex8(uint32_t value);

  static uint16_t OutputColumn();
  // The line width shared with the pager: 83 while ordinary output is written, 128
  // while the console line editor works.
  static uint16_t LineWidth();
  static void SetLineWidth(uint16_t width);

  // Back to the start state (column 0, width 128, no hook). Used at start-up.
  static void Reset();
};

// The log file: a copy of everything written to the command output while logging is
// on, and of the command lines read from the console.
class LogFile {
 public:
  // Closes the log when one is open (also after every log error).
  static void Close();
  // The log command. With an empty name it shows the log's name, or "<No log file>";
  // with a name it closes any open log and starts a new one (message 120 on failure).
  static void LogCommand(std::string_view fileName);
  // The log command taking its file name from the current token's text.
  static void LogCommandFromToken();

  // Write to the log only (message 120 and the log closed on a write error).
  static void PutChar(char ch);
  static void WriteString(const char* text);
  static void WriteBytes(const char* bytes, std::size_t count);
  // The first `count` bytes of a MemoryFile; the file's position is left where it was.
  static void WriteMemoryFile(MemoryFileHandle file, uint16_t count);

  static bool IsLogging();
  static std::string FileName();
  // Whether `name` names the open log file (by the file's identity).
  static bool NamesLogFile(const char* name);
};

}  // namespace zentor
