#include "console/console_question.h"

#include <string>

#include "console/file_channel.h"
#include "console/output_writer.h"
#include "console/pager.h"

namespace zentor {
namespace {

// Longest answer line kept; the rest of a longer line is read and dropped.
constexpr std::size_t kMaxAnswerLength = 80;

// One line from the standard input without its line end; false at the end of the
// input before any byte.
bool ReadAnswerLine(std::string* line) {
  line->clear();
  bool any = false;
  for (;;) {
    uint8_t byte = 0;
    if (FileChannel::Read(FileChannel::StandardInput(), &byte, 1) != 1) return any;
    any = true;
    if (byte == '\n') return true;
    if (byte != '\r' && line->size() < kMaxAnswerLength) line->push_back(static_cast<char>(byte));
  }
}

char FirstLetter(const std::string& line) {
  for (char ch : line) {
    if (ch != ' ' && ch != '\t') return static_cast<char>(ch | 0x20);
  }
  return '\0';
}

}  // namespace

int32_t ConsoleQuestionOnInput::Ask(uint32_t kind, const char* text, const char* caption) {
  const bool yesNo = kind == kMessageBoxYesNo;
  OutputWriter::FreshLine();
  if (caption != nullptr) {
    OutputWriter::WriteString(caption);
    OutputWriter::WriteString(": ");
  }
  OutputWriter::WriteString(text);
  OutputWriter::WriteString(yesNo ? "\r\n(Yes/No) " : "\r\n(OK/Cancel) ");
  Pager::Flush();
  std::string line;
  const bool answered = ReadAnswerLine(&line);
  // A terminal has shown the answer as it was typed; piped input is shown here.
  if (answered && !FileChannel::StandardInputIsTerminal()) OutputWriter::WriteString(line.c_str());
  OutputWriter::FreshLine();
  const char letter = answered ? FirstLetter(line) : '\0';
  if (yesNo) return letter == 'y' ? kMessageBoxAnswerYes : kMessageBoxAnswerNo;
  return letter == 'c' ? kMessageBoxAnswerCancel : kMessageBoxAnswerOk;
}

}  // namespace zentor
