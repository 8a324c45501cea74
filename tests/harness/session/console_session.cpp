#include "harness/session/console_session.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
constexpr const char* kInputFile = "stdin.txt";
constexpr const char* kOutputFile = "stdout.txt";

#ifdef O_BINARY
constexpr int kBinary = O_BINARY;
#else
constexpr int kBinary = 0;
#endif

std::atomic<unsigned> g_scratchCounter{0};

}  // namespace

[[noreturn]] void ThrowProgramExited() { throw ProgramExited{}; }

void SetOfflineSession(bool offline) {
  // A driver asks before every input; the environment is changed only when it must be.
  const char* now = std::getenv("ZENTOR_OFFLINE");
  if (now != nullptr && std::strcmp(now, offline ? "1" : "0") == 0) return;
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

ConsoleFiles::ConsoleFiles(const ScratchDirectory& directory)
    : m_directory(directory), m_inputPath(directory.File(kInputFile)), m_outputPath(directory.File(kOutputFile)) {
  Open();
  m_listing = opendir(directory.Path().string().c_str());
}

ConsoleFiles::~ConsoleFiles() {
  Close();
  if (m_listing != nullptr) closedir(static_cast<DIR*>(m_listing));
}

void ConsoleFiles::Open() {
  m_input = open(m_inputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | kBinary, 0666);
  m_output = open(m_outputPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | kBinary, 0666);
  struct stat status {};
  m_inputSerial = fstat(m_input, &status) == 0 ? static_cast<uint64_t>(status.st_ino) : 0;
  m_outputSerial = fstat(m_output, &status) == 0 ? static_cast<uint64_t>(status.st_ino) : 0;
}

void ConsoleFiles::Close() {
  if (m_input >= 0) close(m_input);
  if (m_output >= 0) close(m_output);
  m_input = -1;
  m_output = -1;
}

// The input is cut to nothing first: a shorter input must not leave the end of a
// longer one behind it.
void ConsoleFiles::WriteInput(std::string_view bytes) {
  if (ftruncate(m_input, 0) != 0 || bytes.empty() || lseek(m_input, 0, SEEK_SET) != 0) return;
  while (!bytes.empty()) {
    const auto written = write(m_input, bytes.data(), static_cast<unsigned>(bytes.size()));
    if (written <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

std::string ConsoleFiles::ReadOutput() {
  std::string bytes;
  if (lseek(m_output, 0, SEEK_SET) != 0) return bytes;
  char block[16384];
  for (;;) {
    const auto read = ::read(m_output, block, sizeof block);
    if (read <= 0) return bytes;
    bytes.append(block, static_cast<size_t>(read));
  }
}

void ConsoleFiles::RemoveOtherFiles(const std::string& kept) {
  auto* listing = static_cast<DIR*>(m_listing);
  if (listing == nullptr) return;
  rewinddir(listing);
  std::vector<std::string> others;
  // Each of the two counts when it is still the file the descriptor holds (the same
  // serial number; a file put in its place by a rename has another).
  int ownKept = 0;
  while (const dirent* entry = readdir(listing)) {
    const std::string_view name = entry->d_name;
    const auto serial = static_cast<uint64_t>(entry->d_ino);
    if (name == "." || name == ".." || name == kept) continue;
    const bool own = name == kInputFile || name == kOutputFile;
    if (own && serial == (name == kInputFile ? m_inputSerial : m_outputSerial)) {
      ++ownKept;
    } else {
      others.emplace_back(name);
    }
  }
  std::error_code error;
  for (const std::string& name : others) std::filesystem::remove_all(m_directory.Path() / name, error);
  if (ownKept == 2) return;
  Close();
  Open();
}

ConsoleSession::ConsoleSession(const ScratchDirectory& directory, std::string_view standardInput)
    : m_ownFiles(std::make_unique<ConsoleFiles>(directory)), m_files(*m_ownFiles), m_directory(directory) {
  Start(standardInput);
}

ConsoleSession::ConsoleSession(ConsoleFiles& files, std::string_view standardInput)
    : m_files(files), m_directory(files.Directory()) {
  Start(standardInput);
}

void ConsoleSession::Start(std::string_view standardInput) {
  ResetConsoleModules(true);
  m_previousDirectory = std::filesystem::current_path();
  std::filesystem::current_path(m_directory.Path());
  m_previousBackend = WindowLayer::SetBackend(&m_windows);
  m_files.WriteInput(standardInput);
  m_input = FileChannel::Open(m_files.InputPath().c_str(), kOpenRead);
  m_output = FileChannel::Open(m_files.OutputPath().c_str(), kOpenWrite);
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
  return m_files.ReadOutput();
}

}  // namespace zentor::testing_support
