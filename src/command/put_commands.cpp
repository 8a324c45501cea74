#include "command/put_commands.h"

#include <cstring>
#include <string>
#include <vector>

#include "command/command_scanner.h"
#include "command/debug_objects.h"
#include "command/debug_variables.h"
#include "command/type_words.h"
#include "console/cleanup_stack.h"
#include "console/file_channel.h"
#include "core/dv_error.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "platform/file_system.h"

namespace zentor {
namespace {

// The open put or append file.
struct PutFile {
  int32_t descriptor = -1;
  std::string name;       // the file the command names
  std::string temporary;  // a put's file until it is put in place; empty for append
};

PutFile g_put;

constexpr uint8_t kPutTokenList[] = {144, 142, 137, 136, 135, 134, 131, 129, 128, 127, 126, 125, 123,
                                     122, 120, 119, 252, 105, 103, 102, 99,  98,  96,  93,  91};
constexpr uint16_t kPutModeAppend = 0;
constexpr uint16_t kPutModePut = 1;

[[noreturn]] void RaiseFileError() {
  DVError error(kMsgPutFileError, kSeverityError, kDisplayByFocus);
  error.SetArg(0, FileChannel::ErrorText(FileChannel::LastError()).c_str());
  throw error;
}

void WriteText(const std::string& text) {
  if (g_put.descriptor < 0) ZENTOR_INTERNAL_ERROR();
  if (text.empty()) return;
  const int32_t written = FileChannel::Write(g_put.descriptor, text.data(), static_cast<uint32_t>(text.size()));
  if (written != static_cast<int32_t>(text.size())) {
    const int32_t saved = FileChannel::LastError();
    AbandonPutFile();
    FileChannel::SetLastError(saved);
    RaiseFileError();
  }
}

// The definition of the object the current token names (looked up first).
void WriteDefinition() {
  TokenRecord& token = CurrentToken();
  const std::string name = token.text;
  token.code = token_code::kIdentifier;
  CommandScanner::LookupKeyword();
  const KeywordEntry entry = CommandScanner::LastLookupFound() ? CommandScanner::LastFoundEntry() : KeywordEntry{};
  if (CommandScanner::LastLookupFound() && entry.token == kTypeTokenAlias) {
    WriteText("#define " + name + (entry.value != kNullMemoryFile ? AliasText(entry.value) : std::string()) + "\r\n");
    return;
  }
  if (CommandScanner::LastLookupFound() && entry.token == kTypeTokenProc) {
    std::string text;
    WriteProcedureText([&text](char ch) { text.push_back(ch); });
    WriteText(text + "\r\n");
    return;
  }
  const char* typeName = CommandScanner::LastLookupFound() && IsDebugObject(entry) ? DebugObjectTypeName(entry) : nullptr;
  if (typeName == nullptr) throw DVError(kMsgPutTypeAnomaly, kSeverityError, kDisplayByFocus);
  WriteText(std::string("define ") + typeName + " " + name + "\r\n");
}

// The names of the debug objects whose token is `token` (taken before anything is
// written or removed, since both look names up in the table being walked).
std::vector<std::string> NamesWithToken(const uint8_t* token) {
  std::vector<std::string> names;
  NameHashTable& table = CommandScanner::Keywords();
  KeywordEntryPool& entries = CommandScanner::KeywordEntries();
  table.ForEach([&](uint32_t id, bool&) {
    const KeywordEntry& entry = entries.Get(id);
    if (!IsDebugObject(entry) || (token != nullptr && entry.token != *token)) return;
    char name[NameHashTable::kMaxNameLength + 1];
    uint16_t length = 0;
    table.CurrentName(&length, name, sizeof name);
    names.emplace_back(name);
  });
  return names;
}

void WriteEveryObjectWithToken(uint8_t token) {
  for (const std::string& name : NamesWithToken(&token)) {
    SetTokenText(CurrentToken(), name.c_str());
    WriteDefinition();
  }
}

void RemoveObjects(const uint8_t* token) {
  for (const std::string& name : NamesWithToken(token)) {
    SetTokenText(CurrentToken(), name.c_str());
    CommandScanner::RemoveKeyword();
  }
}

// A failure while writing drops a put's unfinished file, so the earlier file stays.
template <typename Body>
void Guarded(const Body& body) {
  try {
    body();
  } catch (...) {
    AbandonPutFile();
    throw;
  }
}

// Run when the command fails before its end.
void PutCleanup() { AbandonPutFile(); }

}  // namespace

void AbandonPutFile() {
  if (g_put.descriptor >= 0) FileChannel::Close(g_put.descriptor);
  if (!g_put.temporary.empty()) platform::RemoveFile(g_put.temporary);
  g_put = PutFile();
}

void PutOpen() {
  // A file left open by a command that failed before its end.
  AbandonPutFile();
  if (ValueStack::TopKind() != kKindOrd2) throw DVError(kMsgPutModeAnomaly, kSeverityInternal, kDisplayByFocus);
  const uint16_t mode = ValueStack::PopOrd2();
  if (mode != kPutModeAppend && mode != kPutModePut) {
    throw DVError(kMsgPutModeAnomaly, kSeverityInternal, kDisplayByFocus);
  }
  const std::string name = CurrentToken().text;
  if (mode == kPutModeAppend) {
    const int32_t descriptor = FileChannel::Open(name.c_str(), kOpenUpdate);
    if (descriptor < 0) RaiseFileError();
    g_put.descriptor = descriptor;
    g_put.name = name;
    if (FileChannel::Seek(descriptor, 2, 0) < 0) {
      const int32_t saved = FileChannel::LastError();
      AbandonPutFile();
      FileChannel::SetLastError(saved);
      RaiseFileError();
    }
  } else {
    const std::string temporary = name + ".put~";
    const int32_t descriptor = FileChannel::Open(temporary.c_str(), kOpenWrite);
    if (descriptor < 0) RaiseFileError();
    g_put.descriptor = descriptor;
    g_put.name = name;
    g_put.temporary = temporary;
  }
  CleanupStack::Push(&PutCleanup, "PutCleanup");
}

void PutClose() {
  if (g_put.descriptor >= 0) FileChannel::Close(g_put.descriptor);
  g_put.descriptor = -1;
  if (!g_put.temporary.empty()) {
    // The new file replaces the earlier one only when it is whole.
    const std::string temporary = g_put.temporary;
    if (!platform::RenameFile(temporary, g_put.name) && !(platform::RemoveFile(g_put.name) && platform::RenameFile(temporary, g_put.name))) {
      AbandonPutFile();
      DVError error(kMsgPutFileError, kSeverityError, kDisplayByFocus);
      error.SetArg(0, "the new file could not replace the earlier one");
      throw error;
    }
  }
  g_put = PutFile();
  if (CleanupStack::Count() > 0) CleanupStack::Drop();
}

void PutNamed() {
  TokenRecord& token = CurrentToken();
  token.code = token_code::kIdentifier;
  if (CommandScanner::LookupKeyword() && CommandScanner::LastFoundEntry().flag == kKeywordLocal) {
    AbandonPutFile();
    throw DVError(kMsgPutLocalObject, kSeverityWarning, kDisplayByFocus);
  }
  Guarded([] { WriteDefinition(); });
}

void PutByTypeWord() {
  const uint16_t code = ValueStack::PopOrd2();
  Guarded([code] { WriteEveryObjectWithToken(TypeTokenOfCode(static_cast<uint8_t>(code))); });
}

void PutByTag() {
  const auto token = static_cast<uint8_t>(ValueStack::PopOrd2());
  Guarded([token] { WriteEveryObjectWithToken(token); });
}

void PutAll() {
  Guarded([] {
    for (const uint8_t token : kPutTokenList) WriteEveryObjectWithToken(token);
    WriteEveryObjectWithToken(kTypeTokenProc);
  });
}

void RemoveNamed() {
  TokenRecord& token = CurrentToken();
  token.code = token_code::kIdentifier;
  if (!CommandScanner::LookupKeyword() || !IsDebugObject(CommandScanner::LastFoundEntry())) {
    DVError error(kMsgNameUndefined, kSeverityError, kDisplayByFocus);
    error.SetArg(0, token.text);
    throw error;
  }
  if (CommandScanner::LastFoundEntry().flag == kKeywordLocal) {
    throw DVError(kMsgCannotRemoveInBlock, kSeverityWarning, kDisplayByFocus);
  }
  CommandScanner::RemoveKeyword();
}

void RemoveByTypeWord() {
  const uint16_t code = ValueStack::PopOrd2();
  const uint8_t typeToken = code <= 0xFF ? TypeTokenOfCode(static_cast<uint8_t>(code)) : 0;
  const uint8_t token = typeToken != 0 ? typeToken : static_cast<uint8_t>(code);
  RemoveObjects(&token);
}

void RemoveAll() { RemoveObjects(nullptr); }

}  // namespace zentor
