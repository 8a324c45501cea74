#pragma once
// RWCRegexp: the class library's small regular expression. A pattern is compiled into
// a fixed program of 128 16-bit codes and matched against RWCString text by a
// backtracking matcher. The program uses it for file-name and search-path handling,
// symbol-name parsing and trailing-blank removal.
//
// Pattern language: literals, "." (any character but newline), "[...]" classes with
// ranges and a leading "^" for the complement, "*", "+" and "?" after an element,
// "^" first (anchored at the search start), "$" last (end of text), and backslash
// escapes (\b \e \f \n \r \s \t, \xHH, \^C control characters, \ooo octal, anything
// else stands for itself).

#include <cstdint>
#include <memory>

#include "support/rw_cstring.h"
#include "support/rw_defs.h"

namespace zentor {

class RWCRegexp {
 public:
  // Compile status. Compile errors are kept here and never raised.
  enum statVal : uint32_t {
    kOk = 0,
    kIllegal = 1,    // empty pattern, or one that begins with a closure
    kNoMemory = 2,   // no program to compile into
    kTooLong = 3,    // program full, unclosed class, or a closure on an anchor or a closure
  };

  // Program codes. Codes 0x0000-0x00FF are literal characters.
  static constexpr uint16_t kEnd = 0x8000;
  static constexpr uint16_t kEndOfText = 0x8024;
  static constexpr uint16_t kStar = 0x802A;
  static constexpr uint16_t kPlus = 0x802B;
  static constexpr uint16_t kAny = 0x802E;
  static constexpr uint16_t kOptional = 0x803F;
  static constexpr uint16_t kClass = 0x805B;  // followed by 16 words: a 256-bit set
  static constexpr uint16_t kBeginning = 0x805E;
  static constexpr uint32_t kProgramCodes = 128;
  static constexpr uint32_t kClassCodes = 17;

  explicit RWCRegexp(const char* pattern);
  explicit RWCRegexp(const RWCString& pattern);
  RWCRegexp(const RWCRegexp& other);
  RWCRegexp& operator=(const RWCRegexp& other);
  RWCRegexp& operator=(const char* pattern);
  RWCRegexp& operator=(const RWCString& pattern);
  ~RWCRegexp();

  // Returns the compile status and resets it to kOk. An expression whose pattern did
  // not compile stays unusable all the same: matching with it raises [BADRE].
  statVal status();

  // Position of the first match at or after `start` and its length in *matchLength
  // (may be null); RW_NPOS and length 0 when there is none or start is beyond the
  // text. Raises [BADRE] through the class library's handler when the pattern did
  // not compile.
  uint32_t index(const RWCString& text, uint32_t* matchLength = nullptr, uint32_t start = 0) const;

  // The compiled program (kProgramCodes codes, ended by kEnd when compiled).
  const uint16_t* program() const { return m_program.get(); }

 private:
  void compile(const char* pattern);
  bool matchHere(uint32_t pc, const unsigned char* text, uint32_t length, uint32_t pos, uint32_t searchStart,
                 uint32_t* end) const;
  bool matchElement(uint32_t pc, const unsigned char* text, uint32_t length, uint32_t pos,
                    uint32_t searchStart) const;

  std::unique_ptr<uint16_t[]> m_program;
  uint32_t m_status;
  // False when the last compile failed; not cleared by status().
  bool m_compiled;
};

}  // namespace zentor
