#pragma once
// A console-mode session of the debugger over files, for the programs that drive the
// real command loop from outside: the transcript tests and the fuzz drivers. Nothing
// here depends on the test framework.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/window_layer.h"

namespace zentor::testing_support {

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// A fresh directory under the temporary directory, removed with everything in it
// when the object goes.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& tag);
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  // The full name of a file in the directory, as the file channels take it.
  std::string File(const std::string& name) const;
  void Write(const std::string& name, std::string_view bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Names of the files now in the directory, sorted.
  std::vector<std::string> Files() const;

 private:
  std::filesystem::path m_path;
};

// Bytes made readable for a failure message: control bytes as \r, \n, \xNN.
std::string Visible(std::string_view bytes);

// Thrown in place of the end of the program (ExitProgram) during a session.
struct ProgramExited {};
// Whether sessions of the program (started in this process or as a child) run
// without an agent: the environment variable ZENTOR_OFFLINE. Every test program
// starts offline; the tests that connect to an agent switch it off for their time.
void SetOfflineSession(bool offline);

// The program-exit handler of the sessions: throws ProgramExited.
[[noreturn]] void ThrowProgramExited();

// Every console module back to its start state, in console or GUI mode: output
// writer, pager, log, file channels, input channels, reader, devices, macro text,
// line editor, command-end routines, key queue and GUI shell.
void ResetConsoleModules(bool consoleMode);

// Message boxes and beeps of the window layer, recorded instead of shown.
class RecordingWindowBackend : public WindowLayerBackend {
 public:
  int32_t GetFocusWindow() override { return -1; }
  int32_t GetWindowType(int32_t) override { return -1; }
  int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text, const char* caption) override;
  void Beep() override { ++m_beeps; }

  std::vector<std::string> m_boxes;
  int m_beeps = 0;
};

// The standard input and output files of console sessions in a scratch directory
// (stdin.txt and stdout.txt), made when the object is and kept open: a driver that
// runs session after session writes each input over the last one and reads each
// output back through the descriptors it holds, so that a session creates, opens and
// removes none of the driver's files; the program still opens both by name, as it
// opens them when run.
class ConsoleFiles {
 public:
  explicit ConsoleFiles(const ScratchDirectory& directory);
  ~ConsoleFiles();
  ConsoleFiles(const ConsoleFiles&) = delete;
  ConsoleFiles& operator=(const ConsoleFiles&) = delete;

  const ScratchDirectory& Directory() const { return m_directory; }
  // The files' full names, as the program opens them.
  const std::string& InputPath() const { return m_inputPath; }
  const std::string& OutputPath() const { return m_outputPath; }
  void WriteInput(std::string_view bytes);
  std::string ReadOutput();
  // Removes whatever a session left in the directory besides the two files and
  // `kept`; either file, should a session have removed or replaced it, is made anew.
  void RemoveOtherFiles(const std::string& kept);

 private:
  void Open();
  void Close();

  const ScratchDirectory& m_directory;
  const std::string m_inputPath;
  const std::string m_outputPath;
  int m_input = -1;
  int m_output = -1;
  // The files' serial numbers (inodes) when they were made.
  uint64_t m_inputSerial = 0;
  uint64_t m_outputSerial = 0;
  // The directory's listing, held open and read again from its start.
  void* m_listing = nullptr;
};

// A console-mode session over files: `standardInput` is what the standard input
// holds. The window layer records message boxes; the program's end is ProgramExited.
// The scratch directory is the current directory while the session lasts, so file
// names in commands are names in it.
class ConsoleSession {
 public:
  ConsoleSession(const ScratchDirectory& directory, std::string_view standardInput);
  // A session over files kept for many: see ConsoleFiles.
  ConsoleSession(ConsoleFiles& files, std::string_view standardInput);
  ~ConsoleSession();
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;

  // Selects the batch file as start-up does; a file that cannot be read is reported
  // as message 111 (a warning in a message box) and the console is used.
  void SelectInput(const std::string& batchFile);

  // The command loop of the session until the program ends: the prompt, one command
  // read and run by `runCommand`, and after an error the recovery by its number or
  // severity and its report.
  void Run(const std::function<void()>& runCommand);

  std::string StandardOutput() const;
  const std::vector<std::string>& MessageBoxes() const { return m_windows.m_boxes; }

 private:
  void Start(std::string_view standardInput);

  std::unique_ptr<ConsoleFiles> m_ownFiles;
  ConsoleFiles& m_files;
  const ScratchDirectory& m_directory;
  std::filesystem::path m_previousDirectory;
  RecordingWindowBackend m_windows;
  WindowLayerBackend* m_previousBackend = nullptr;
  int32_t m_input = -1;
  int32_t m_output = -1;
};

}  // namespace zentor::testing_support
