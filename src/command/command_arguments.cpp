#include "command/command_arguments.h"

#include "command/action_table.h"
#include "console/command_reader.h"
#include "core/token_record.h"

#include <cstddef>
#include <cstring>

namespace zentor {
namespace {

constexpr uint32_t kArgumentBufferSize = 256;
constexpr uint16_t kSlotFileNameArgument = 167;
constexpr uint16_t kSlotRawLineArgument = 164;

struct CommandArguments {
  char fileName[kArgumentBufferSize] = {};
  char rawLine[kArgumentBufferSize] = {};
  uint16_t rawLineLength = 0;
};

CommandArguments g_arguments;

void CopyCut(char* buffer, const char* text) {
  std::size_t length = text != nullptr ? std::strlen(text) : 0;
  if (length > kArgumentBufferSize - 1) length = kArgumentBufferSize - 1;
  if (length > 0) std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

}  // namespace

void TakeFileNameArgument() { CopyCut(g_arguments.fileName, CurrentToken().text); }

// Reads from the character the reader stands on up to the line end, which stays for
// the scanner. A '\' right before the carriage return joins the next line.
void TakeRawLineArgument() {
  uint32_t length = 0;
  auto store = [&](uint8_t ch) {
    if (length < kArgumentBufferSize - 1) g_arguments.rawLine[length++] = static_cast<char>(ch);
  };
  for (uint8_t ch = CurrentChar(); ch != '\r' && ch != '\n'; ch = CurrentChar()) {
    if (ch != '\\') {
      store(ch);
      ReadNextChar();
      continue;
    }
    ReadNextChar();
    if (CurrentChar() != '\r') {
      store('\\');
      continue;
    }
    SetDoubledPrompt();
    PrintPrompt();
    ReadNextChar();
    if (CurrentChar() == '\n') ReadNextChar();
  }
  g_arguments.rawLine[length] = '\0';
  g_arguments.rawLineLength = static_cast<uint16_t>(length);
}

const char* FileNameArgument() { return g_arguments.fileName; }
const char* RawLineArgument() { return g_arguments.rawLine; }
uint16_t RawLineArgumentLength() { return g_arguments.rawLineLength; }

void BindCommandLoopActions() {
  ActionTable::Bind(kSlotFileNameArgument, &TakeFileNameArgument, "TakeFileNameArgument");
  ActionTable::Bind(kSlotRawLineArgument, &TakeRawLineArgument, "TakeRawLineArgument");
}

void ResetCommandArguments() { g_arguments = CommandArguments{}; }

}  // namespace zentor
