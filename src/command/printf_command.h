#pragma once
// The printf command: a format string whose directives take their values from the
// command's argument expressions one after another, as the C library's printf does,
// through the command language's own Formatter and the value stack. Each argument is
// formatted and written at once, together with the literal text before its
// directive; the text after the last directive is written at the end of the command.
// A '*' in a directive takes its width from the argument before the value.
//
// The text of one directive is formatted into a buffer that grows to what the
// directive needs (a long literal plus a long string argument, or a wide star width,
// is written whole, never cut and never beyond the buffer).

#include <cstdint>
#include <string>

namespace zentor {

// One directive as scanned: its text (literal text before it included), its
// conversion character (0 when the format ended first), whether it holds a '*', and
// its size modifier ('h', 'l', 'L' or 0).
struct PrintfDirective {
  std::string text;
  char conversion = 0;
  bool star = false;
  char sizeModifier = 0;
};

// Scans the next directive of `format` from `*position`, advancing it.
PrintfDirective ScanPrintfDirective(const std::string& format, std::size_t* position);

// Action routines (slot numbers in brackets).
void PrintfBegin();     // 108: pops the format string
void PrintfArgument();  // 106: formats the value on top with the next directive
void PrintfEnd();       // 107: writes the rest of the format text

}  // namespace zentor
