#pragma once
// The small text operations of the source pane: the 10-character line-number field
// that begins every numbered display line, the line numbers a listing file carries
// itself, and the upper-casing of the text search.

#include <cstdint>

namespace zentor {

// Width of the line-number field in front of a numbered display line.
inline constexpr int32_t kLineNumberFieldWidth = 10;

// The decimal digits of `value`, most significant first, with a NUL; the digit count.
// `buffer` holds at least 11 bytes.
int32_t FormatDecimal(uint32_t value, char* buffer);

// The field for `line` into `buffer` (11 bytes): the number right-aligned to end at
// column 5 (a '#' just before the digits while a disassembly listing is shown; a
// longer text keeps its first 6 characters), blanks in columns 6-9 and a NUL at
// column 10. Always 10.
int32_t FormatLineNumberField(uint32_t line, char* buffer, bool disassemblyListing);

// The number that a listing line carries in its first columns (4 wide for language 7,
// else 6), or -1 when the line has none. `length` is the number of valid bytes.
int32_t ParseListingLineNumber(const char* text, int32_t length, uint16_t language);

// 'a'..'z' become 'A'..'Z' in place up to the NUL; other bytes stay.
void UpperCaseText(char* text);

}  // namespace zentor
