#pragma once
// Source files with the line tables and code a symbol table would give them, for the
// source pane's tests and benchmarks on both builds: what a compiler cannot be made
// to write on demand (a C module of any length, listing files that carry their own
// line numbers in the widths of their languages, an assembler module). A test enters
// the line table through the loader library under the module's language and maps the
// code at the module's base; the text goes into a file along the search path.

#include <cstdint>
#include <string>
#include <vector>

namespace zentor::sourcefixtures {

// One line with code: its number and the offset of its code from the module's start.
struct FixtureLine {
  uint32_t m_line = 0;
  uint32_t m_offset = 0;
};

struct SourceFixture {
  std::string m_fileName;
  std::string m_text;
  // Ascending offsets; each line's code runs to the next entry's offset.
  std::vector<FixtureLine> m_lines;
  std::vector<uint8_t> m_code;
  // Every line with code holds this many bytes: "mov eax, <line>" and "nop".
  static constexpr uint32_t kCodePerLine = 6;
};

// A C module of `lineCount` lines (LF ends): a function every 10 lines whose
// statements have code; blank lines and comments between have none.
SourceFixture LongCModule(uint32_t lineCount);

// A listing file of `lineCount` listed lines: a form feed first, then per line its
// number right-aligned in the language's field (4 columns for language 7, else 6)
// and a blank. Page headers (a 'H' in column 10) and, for languages 1 and 2, page
// lines (a 'P' after the number) stand between; every 7th number is skipped, as a
// listing skips lines of an include file. Every listed line has code.
SourceFixture ListingModule(uint32_t lineCount, uint16_t language);

// An assembler module (language 5) of `lineCount` lines, every line with code.
SourceFixture AssemblerModule(uint32_t lineCount);

}  // namespace zentor::sourcefixtures
