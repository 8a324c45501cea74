#include "harness/session/console_session.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "command/command_loop.h"
#include "console/char_channel.h"
#include "console/cleanup_stack.h"
#include "console/command_device.h"
#include "console/command_reader.h"
#include "console/console_services.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/dv_error.h"
#include "core/hi_service.h"
#include "core/message_table.h"
#include "core/number_base.h"
#include "core/startup_settings_words.h"
#include "core/token_record.h"
#include "platform/user_break.h"

namespace zentor::testing_support {
namespace {

constexpr uint32_t kMsgBatchFileMissing = 111;

std::atomic<unsigned> g_scratchCounter{0};

}  // namespace

[[noreturn]] void ThrowProgramExited() { throw ProgramExited{}; }

void SetOfflineSession(bool offline) {
#ifdef _WIN32
  _putenv(offline ? "ZENTOR_OFFLINE=1" : "ZENTOR_OFFLINE=0");
#else
  setenv("ZENTOR_OFFLINE", offline ? "1" : "0", 1);
#endif
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

ScratchDirectory::ScratchDirectory(const std::string& tag) {
  std::error_code error;
  std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) base = std::filesystem::current_path();
  const unsigned serial = g_scratchCounter++;
  for (unsigned attempt = 0;; ++attempt) {
    m_path = base / ("zentor-" + tag + "-" + std::to_string(std::rand() % 100000) + "-" + std::to_string(serial) +
                     "-" + std::to_string(attempt));
    if (std::filesystem::create_directory(m_path, error)) break;
  }
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code error;
  std::filesystem::remove_all(m_path, error);
}

std::string ScratchDirectory::File(const std::string& name) const { return (m_path / name).string(); }

void ScratchDirectory::Write(const std::string& name, std::string_view bytes) const {
  WriteFileBytes(m_path / name, bytes);
}

std::string ScratchDirectory::Read(const std::string& name) const { return ReadFileBytes(m_path / name); }

bool ScratchDirectory::Exists(const std::string& name) const { return std::filesystem::exists(m_path / name); }

std::vector<std::string> ScratchDirectory::Files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Visible(std::string_view bytes) {
  std::string text;
  for (char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '\r') {
      text += "\\r";
    } else if (ch == '\n') {
      text += "\\n\n";
    } else if (byte < 32 || byte >= 127) {
      static const char* digits = "0123456789ABCDEF";
      text += "\\x";
      text += digits[byte >> 4];
      text += digits[byte & 15];
    } else {
      text += ch;
    }
  }
  return text;
}

void ResetConsoleModules(bool consoleMode) {
  ResetGuiServiceEntry(consoleMode);
  platform::TakeUserBreak();
  ResetConsoleRuntime();
  GetStartupSettingsWords().m_batch = 0;
  CurrentToken() = TokenRecord{};
  SetNumberBase(10);
}

int32_t RecordingWindowBackend::ShowMessageBox(int32_t, uint32_t kind, const char* text, const char* caption) {
  m_boxes.push_back("[" + std::to_string(kind) + "] " + (caption != nullptr ? std::string(caption) + ": " : "") +
                    (text != nullptr ? text : ""));
  return kMessageBoxAnswerOk;
}

ConsoleSession::ConsoleSession(const ScratchDirectory& directory, std::string_view standardInput)
    : m_directory(directory) {
  ResetConsoleModules(true);
  m_previousDirectory = std::filesystem::current_path();
  std::filesystem::current_path(directory.Path());
  m_previousBackend = WindowLayer::SetBackend(&m_windows);
  directory.Write("stdin.txt", standardInput);
  m_input = FileChannel::Open(directory.File("stdin.txt").c_str(), kOpenRead);
  m_output = FileChannel::Open(directory.File("stdout.txt").c_str(), kOpenWrite);
  FileChannel::SetStandardDescriptors(m_input, m_output);
  SetProgramExitHandler(&ThrowProgramExited);
  SetPromptTestOption(true);
  OpenConsoleOutput();
}

ConsoleSession::~ConsoleSession() {
  SetProgramExitHandler(nullptr);
  Pager::Flush();
  FileChannel::SetStandardDescriptors(0, 1);
  FileChannel::Close(m_input);
  FileChannel::Close(m_output);
  ResetConsoleModules(true);
  WindowLayer::SetBackend(m_previousBackend);
  std::error_code error;
  std::filesystem::current_path(m_previousDirectory, error);
}

void ConsoleSession::SelectInput(const std::string& batchFile) {
  if (batchFile.empty()) {
    OpenConsoleInput();
    return;
  }
  if (OpenBatchInput(m_directory.File(batchFile).c_str())) {
    GetStartupSettingsWords().m_batch = 1;
    return;
  }
  DVError missing(kMsgBatchFileMissing, kSeverityWarning, kDisplayMessageBox);
  missing.Report();
  GetStartupSettingsWords().m_batch = 0;
  OpenConsoleInput();
}

void ConsoleSession::Run(const std::function<void()>& runCommand) {
  try {
    for (;;) {
      try {
        OutputWriter::RemoveHook();
        OutputWriter::AdvanceColumn('\n');
        Pager::EndPaging();
        for (;;) {
          CleanupStack::Clear();
          PrepareCommandInput();
          if (IsEchoOn() && OutputWriter::OutputColumn() == 0) PrintPrompt();
          runCommand();
          Pager::EndPaging();
        }
      } catch (DVError& error) {
        try {
          HandleCommandError(error);
        } catch (DVError& second) {
          try {
            if (!second.IsOkayOrDisplayed()) second.Report();
          } catch (const DVError&) {
            // A third error while reporting the second is dropped.
          }
        }
      }
    }
  } catch (const ProgramExited&) {
    // The session has ended.
  }
}

std::string ConsoleSession::StandardOutput() const {
  Pager::Flush();
  FileChannel::FlushStandardOutput();
  return m_directory.Read("stdout.txt");
}

}  // namespace zentor::testing_support
