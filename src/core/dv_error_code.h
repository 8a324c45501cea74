#pragma once
// The packed status word that operations return instead of throwing: the message
// number (the id of its text in the message table) in bits 0-11 and the severity in
// bits 12-15. A caller acts on it by building a DVError from it and passing that to
// ThrowIfError (dv_error.h).

#include <cstdint>
#include <iosfwd>

namespace zentor {

// How bad a failure is; the names are what error headers show.
enum ErrorSeverity : uint32_t {
  kSeverityUninitialized = 0,  // an okay or not yet filled error
  kSeveritySyntax = 1,         // command syntax errors
  kSeverityWarning = 2,        // reported, never thrown by ThrowIfError
  kSeverityError = 3,          // ordinary failure of a command
  kSeveritySevere = 4,         // e.g. an allocation request that is too large
  kSeverityInternal = 5,       // internal consistency failures; any bad severity becomes this
  kSeverityFatal = 6,          // ends the program
};

// How a reported error reaches the user.
enum ErrorDisplayMode : uint32_t {
  kDisplayNone = 0,           // not shown
  kDisplayStatusLine = 1,     // the status line; by focus in console mode
  kDisplayCommandOutput = 2,  // Command window and log
  kDisplayMessageBox = 3,     // message box
  kDisplayByFocus = 4,        // chosen when reported, from the window that has the focus
};

// The header name of a severity ("Uninitialized", "Syntax ", "WARNING", "ERROR",
// "SEVERE ERROR", "INTERNAL ERROR", "FATAL ERROR"); a value above 6 names
// "INTERNAL ERROR", the severity it is forced to before display.
const char* SeverityName(uint32_t severity);

class DVErrorCode {
 public:
  static constexpr uint32_t kNumberMask = 0x0FFFu;
  static constexpr uint32_t kSeverityShift = 12;
  static constexpr uint32_t kSeverityMask = 0xFu;

  constexpr DVErrorCode() = default;
  // Bits of the number above 11 and of the severity above 3 are dropped, so the
  // upper half of the word stays 0 and the two fields never bleed into each other.
  constexpr DVErrorCode(uint32_t number, uint32_t severity) : m_word(Pack(number, severity)) {}

  static constexpr DVErrorCode FromWord(uint32_t word) {
    return DVErrorCode(word & kNumberMask, (word >> kSeverityShift) & kSeverityMask);
  }

  void SetOkay() { m_word = 0; }
  void Set(uint32_t number, uint32_t severity) { m_word = Pack(number, severity); }
  void SetNumber(uint32_t number) { m_word = Pack(number, Severity()); }
  void SetSeverity(uint32_t severity) { m_word = Pack(Number(), severity); }

  constexpr uint32_t Number() const { return m_word & kNumberMask; }
  constexpr uint32_t Severity() const { return (m_word >> kSeverityShift) & kSeverityMask; }
  // Only the number decides: a code with number 0 is okay whatever its severity.
  constexpr bool IsOkay() const { return Number() == 0; }
  constexpr uint32_t Word() const { return m_word; }

  friend constexpr bool operator==(DVErrorCode a, DVErrorCode b) { return a.m_word == b.m_word; }

 private:
  static constexpr uint32_t Pack(uint32_t number, uint32_t severity) {
    return (number & kNumberMask) | ((severity & kSeverityMask) << kSeverityShift);
  }

  uint32_t m_word = 0;
};

// Diagnostic dump of the word, its number and severity and the okay test, one per line.
std::ostream& operator<<(std::ostream& stream, DVErrorCode code);

}  // namespace zentor
