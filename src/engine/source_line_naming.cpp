#include "engine/source_line_naming.h"

#include <cstring>

namespace zentor {

namespace {

// Columns of the number inside the field: it ends at column 5.
constexpr int32_t kNumberColumns = 6;
constexpr int32_t kListingWidth = 6;
constexpr int32_t kListingWidthLanguage7 = 4;
// A listing line whose column 10 holds 'H' is a header, not a numbered line.
constexpr int32_t kHeaderMarkColumn = 10;

}  // namespace

int32_t FormatDecimal(uint32_t value, char* buffer) {
  char reversed[10];
  int32_t count = 0;
  do {
    reversed[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int32_t i = 0; i < count; ++i) buffer[i] = reversed[count - 1 - i];
  buffer[count] = '\0';
  return count;
}

int32_t FormatLineNumberField(uint32_t line, char* buffer, bool disassemblyListing) {
  char text[12];
  int32_t length = 0;
  if (disassemblyListing) text[length++] = '#';
  length += FormatDecimal(line, text + length);
  if (length > kNumberColumns) length = kNumberColumns;
  const int32_t lead = kNumberColumns - length;
  std::memset(buffer, ' ', kLineNumberFieldWidth);
  std::memcpy(buffer + lead, text, static_cast<size_t>(length));
  buffer[kLineNumberFieldWidth] = '\0';
  return kLineNumberFieldWidth;
}

// A number counts only when its digits end inside the field and are followed by a
// blank, the line is no header (column 10 'H'), and by language: Pascal and Basic
// listings (1, 2) mark page lines with a 'P' after that blank; language 7 listings put
// a blank or a digit there.
int32_t ParseListingLineNumber(const char* text, int32_t length, uint16_t language) {
  const int32_t width = language == 7 ? kListingWidthLanguage7 : kListingWidth;
  if (text == nullptr || length < width) return -1;
  int32_t column = 0;
  while (column < width && text[column] == ' ') ++column;
  if (column >= width) return -1;
  const int32_t firstDigit = column;
  int32_t number = 0;
  while (column < length && text[column] >= '0' && text[column] <= '9' && column - firstDigit < 9) {
    number = number * 10 + (text[column] - '0');
    ++column;
  }
  if (column == firstDigit || column > width) return -1;
  if (column >= length || text[column] != ' ') return -1;
  if (kHeaderMarkColumn < length && text[kHeaderMarkColumn] == 'H') return -1;
  const char after = column + 1 < length ? text[column + 1] : '\0';
  if ((language == 1 || language == 2) && after == 'P') return -1;
  if (language == 7 && after != ' ' && !(after >= '0' && after <= '9')) return -1;
  return number;
}

void UpperCaseText(char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
  }
}

}  // namespace zentor
