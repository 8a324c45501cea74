#include "command/debug_objects.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "command/command_scanner.h"
#include "command/debug_variables.h"
#include "command/procedure_call.h"
#include "command/type_words.h"
#include "console/command_device.h"
#include "console/output_writer.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/memory_file.h"
#include "core/token_record.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

// The texts of the aliases defined, so that a fresh keyword table can release them.
std::set<uint32_t> g_aliasFiles;

[[noreturn]] void RaiseWithName(uint32_t number, const char* name) {
  DVError error(number, kSeverityError, kDisplayByFocus);
  error.SetArg(0, name);
  throw error;
}

}  // namespace

std::string AliasText(uint32_t aliasFile) {
  MemoryFile& file = MemoryFileOf(aliasFile);
  std::string text(file.Size(), '\0');
  ThrowIfMemoryFileError(file.Seek(0));
  if (!text.empty()) ThrowIfMemoryFileError(file.Read(1, file.Size(), text.data()));
  return text;
}

bool IsDebugObject(const KeywordEntry& entry) {
  return entry.flag != kKeywordBuiltIn &&
         (IsTypeToken(entry.token) || entry.token == kTypeTokenAlias || entry.token == kTypeTokenProc);
}

const char* DebugObjectTypeName(const KeywordEntry& entry) {
  if (entry.token == kTypeTokenChar) {
    return TypeNameOfCode(static_cast<uint8_t>(DVPTypeCodeToSymbolTypeCode(entry.subcode)));
  }
  return TypeNameOfToken(entry.token);
}

void ReleaseAlias(uint32_t aliasFile) {
  if (g_aliasFiles.erase(aliasFile) != 0) (void)DestroyMemoryFile(aliasFile);
}

void ReleaseAllAliases() {
  for (const uint32_t file : g_aliasFiles) (void)DestroyMemoryFile(file);
  g_aliasFiles.clear();
}

uint32_t LiveAliasCount() { return static_cast<uint32_t>(g_aliasFiles.size()); }

void DefineAlias() {
  TokenRecord& token = CurrentToken();
  const uint8_t savedCode = token.code;
  const uint16_t size = ValueStack::TopSize();
  uint8_t text[ValueStack::kMaxItemSize + 2] = {};
  ValueStack::Pop(text);
  const uint32_t length = size == 0 ? 0 : std::min<uint32_t>(text[0], size - 1u);
  MemoryFileHandle file = kNullMemoryFile;
  ThrowIfMemoryFileError(CreateMemoryFile(0, 0, &file));
  try {
    if (length > 0) ThrowIfMemoryFileError(WriteMemoryFile(file, 1, length, text + 1));
    MemoryFileOf(file).Truncate();
    CommandScanner::PopName();
    token.code = token_code::kIdentifier;
    if (CommandScanner::LookupKeyword()) {
      if (token.code != token_code::kMacroName) RaiseWithName(kMsgNameDefinedWithOtherType, token.text);
      CommandScanner::RemoveKeyword();
    }
    RaiseNameColumnWidth(static_cast<uint32_t>(std::strlen(token.text)));
    g_aliasFiles.insert(file);
    CommandScanner::AddKeywordEntry(token_code::kMacroName, 0, 1, file, token.text);
  } catch (...) {
    g_aliasFiles.erase(file);
    (void)DestroyMemoryFile(file);
    token.code = savedCode;
    throw;
  }
  token.code = savedCode;
  token.textLength = 1;
}

void WriteProcedureText(const std::function<void(char)>& put) {
  TokenRecord& token = CurrentToken();
  token.code = token_code::kIdentifier;
  if (!CommandScanner::LookupKeyword() || token.code != kTypeTokenProc) {
    RaiseWithName(kMsgNameUndefinedOrWrongType, token.text);
  }
  const std::string name = token.text;
  for (const char ch : "define proc " + name + " ()") put(ch);
  MemoryFile& text = MemoryFileOf(ProcedureOf(token.value).text);
  std::vector<char> characters(text.Size());
  ThrowIfMemoryFileError(text.Seek(0));
  if (!characters.empty()) ThrowIfMemoryFileError(text.Read(1, text.Size(), characters.data()));
  for (const char ch : characters) put(ch);
}

void PrintProcedure() {
  WriteProcedureText([](char ch) { OutputWriter::PutChar(ch); });
  OutputWriter::PutChar('\n');
}

}  // namespace zentor
