#pragma once
// RWCTokenizer splits a string into tokens separated by delimiter characters; each
// call returns the next token. It keeps its own copy of the string (sharing the body),
// so the tokens it returns stay valid while the tokenizer lives, whatever happens to
// the string it was made from.

#include <cstdint>

#include "support/rw_cstring.h"

namespace zentor {

class RWCTokenizer {
 public:
  explicit RWCTokenizer(const RWCString& text);

  // The next token as a substring of the tokenizer's copy; the null substring once
  // the text is used up. The delimiter tests stop at a NUL, so an embedded NUL ends a
  // token and is skipped like a delimiter.
  RWCSubString operator()(const char* delimiters);
  // Delimiters blank, tab and newline.
  RWCSubString operator()();

 private:
  RWCString m_text;
  uint32_t m_position;
  bool m_started;
};

}  // namespace zentor
