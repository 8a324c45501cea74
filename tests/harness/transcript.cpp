#include "harness/transcript.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "command/command_loop.h"
#include "console/char_channel.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/console_bridge.h"
#include "console/console_services.h"
#include "console/file_channel.h"
#include "console/line_editor.h"
#include "console/macro_device.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "console/temp_files.h"
#include "core/hi_service.h"
#include "core/message_table.h"
#include "core/number_base.h"
#include "core/startup_settings_words.h"
#include "core/token_record.h"
#include "platform/user_break.h"

namespace zentor::testing_support {
namespace {

constexpr uint32_t kMsgNameUndefined = 35;

std::string Trim(std::string_view text) {
  std::size_t first = 0;
  while (first < text.size() && text[first] == ' ') ++first;
  std::size_t last = text.size();
  while (last > first && text[last - 1] == ' ') --last;
  return std::string(text.substr(first, last - first));
}

// Splits off the first blank-separated word.
std::pair<std::string, std::string> SplitWord(const std::string& line) {
  const std::string trimmed = Trim(line);
  const std::size_t blank = trimmed.find(' ');
  if (blank == std::string::npos) return {trimmed, std::string()};
  return {trimmed.substr(0, blank), Trim(std::string_view(trimmed).substr(blank + 1))};
}

bool IsNameChar(uint8_t ch) { return std::isalnum(ch) != 0 || ch == '_'; }

}  // namespace

::testing::AssertionResult MatchesGolden(const std::filesystem::path& goldenFile, const std::string& actual) {
  const char* update = std::getenv("ZENTOR_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    WriteFileBytes(goldenFile, actual);
    return ::testing::AssertionSuccess() << "golden file rewritten: " << goldenFile.string();
  }
  if (!std::filesystem::exists(goldenFile)) {
    return ::testing::AssertionFailure() << "no golden file " << goldenFile.string()
                                         << " (run with ZENTOR_UPDATE_GOLDEN=1 to create it); actual:\n"
                                         << Visible(actual);
  }
  const std::string expected = ReadFileBytes(goldenFile);
  if (expected == actual) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const std::size_t from = at > 40 ? at - 40 : 0;
  return ::testing::AssertionFailure()
         << "differs from " << goldenFile.string() << " at byte " << at << " (expected " << expected.size()
         << " bytes, got " << actual.size() << ")\nexpected: ..."
         << Visible(std::string_view(expected).substr(from, 120)) << "\nactual:   ..."
         << Visible(std::string_view(actual).substr(from, 120)) << "\nwhole actual:\n"
         << Visible(actual);
}

GuiSession::GuiSession() {
  ResetConsoleModules(false);
  InstallGuiShell(&m_window);
  m_previousBackend = WindowLayer::SetBackend(&m_windows);
  SetProgramExitHandler(&ThrowProgramExited);
  SetPromptTestOption(true);
  OpenConsoleOutput();
  OpenConsoleInput();
}

GuiSession::~GuiSession() {
  SetProgramExitHandler(nullptr);
  ResetConsoleModules(true);
  WindowLayer::SetBackend(m_previousBackend);
}

ScriptInterpreter::~ScriptInterpreter() {
  for (const auto& [name, body] : m_macros) DestroyMemoryFile(body);
}

void ScriptInterpreter::DefineMacro(const std::string& name, std::string_view body) {
  MemoryFileHandle handle = kNullMemoryFile;
  auto it = m_macros.find(name);
  if (it != m_macros.end()) {
    handle = it->second;
    SeekMemoryFile(handle, 0);
    TruncateMemoryFile(handle);
  } else {
    CreateMemoryFile(-1, 1, &handle);
    m_macros[name] = handle;
  }
  WriteMemoryFile(handle, 1, static_cast<uint32_t>(body.size()), body.data());
}

void ScriptInterpreter::RunOneCommand() {
  std::string line;
  ReadNextChar();
  for (;;) {
    const uint8_t ch = CurrentChar();
    if (ch == '\n') break;
    if (ch == '@') {
      // As the scanner does: the name is read up to the first character that cannot
      // be part of it, and that character comes back when the expansion ends.
      const uint16_t column = EchoColumn();
      std::string name;
      ReadNextChar();
      while (IsNameChar(CurrentChar())) {
        name += static_cast<char>(CurrentChar());
        ReadNextChar();
      }
      auto it = m_macros.find(name);
      if (it == m_macros.end()) {
        DVError error(kMsgNameUndefined, kSeverityError, kDisplayByFocus);
        error.SetArg(0, ("@" + name).c_str());
        throw error;
      }
      TokenRecord& token = CurrentToken();
      token.value = it->second;
      token.column = static_cast<uint8_t>(column > 0xFF ? 0xFF : column);
      SetTokenText(token, name.c_str());
      PushMacroDevice();
      ReadNextChar();
      continue;
    }
    if (ch != '\r') line += static_cast<char>(ch);
    ReadNextChar();
  }
  m_lastCommand = line;
  Execute(line);
}

void ScriptInterpreter::Execute(const std::string& line) {
  const auto [word, rest] = SplitWord(line);
  if (word.empty()) return;
  if (word == "echo") {
    OutputWriter::WriteString(rest.c_str());
    OutputWriter::FreshLine();
  } else if (word == "printf") {
    const auto [number, format] = SplitWord(rest);
    const auto value = static_cast<uint32_t>(std::strtoul(number.c_str(), nullptr, 0));
    // Every directive of the format takes the same number.
    OutputWriter::Printf(format.c_str(), value, value, value, value);
    OutputWriter::FreshLine();
  } else if (word == "log") {
    LogFile::LogCommand(rest);
  } else if (word == "nolog") {
    LogFile::Close();
  } else if (word == "include") {
    OpenIncludeDevice(rest);
  } else if (word == "error") {
    const auto [number, afterNumber] = SplitWord(rest);
    const auto [severity, argument] = SplitWord(afterNumber);
    DVError error(static_cast<uint32_t>(std::strtoul(number.c_str(), nullptr, 10)),
                  static_cast<uint32_t>(std::strtoul(severity.c_str(), nullptr, 10)), kDisplayByFocus);
    if (!argument.empty()) error.SetArg(0, argument.c_str());
    throw error;
  } else if (word == "exit") {
    ExitDebugger();
  } else {
    DVError error(kMsgNameUndefined, kSeverityError, kDisplayByFocus);
    error.SetArg(0, word.c_str());
    throw error;
  }
}

}  // namespace zentor::testing_support
