#pragma once
// Transcript tests of the console: a console-mode session whose standard input and
// output are files in a scratch directory, driven by a small command loop that reads
// every character through ReadNextChar, recovers from errors as the debugger's
// command loop does, and sees the end of the program as an exception. What the
// session wrote (standard output, the log, message boxes) is compared byte for byte
// with golden files in tests/data/transcripts/, on the native and the Windows build.
//
// Golden files are rewritten only on purpose: run the test with ZENTOR_UPDATE_GOLDEN=1.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "harness/fake_command_window.h"
#include "core/dv_error.h"
#include "core/memory_file.h"
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

// Compares `actual` with the golden file byte for byte (the failure shows the first
// difference). With ZENTOR_UPDATE_GOLDEN=1 in the environment the golden file is
// written instead and the comparison passes.
::testing::AssertionResult MatchesGolden(const std::filesystem::path& goldenFile, const std::string& actual);

// Bytes made readable for a failure message: control bytes as \r, \n, \xNN.
std::string Visible(std::string_view bytes);

// Thrown in place of the end of the program (ExitProgram) during a session.
struct ProgramExited {};

// Every console module back to its start state, in console or GUI mode: output
// writer, pager, log, file channels, input channels, reader, devices, macro text,
// line editor, command-end routines, key queue and GUI shell.
void ResetConsoleModules(bool consoleMode);

// Message boxes and beeps of the window layer, recorded instead of shown.
class RecordingWindowBackend : public WindowLayerBackend {
 public:
  int32_t GetFocusWindow() override { return -1; }
  int32_t GetWindowType(int32_t) override { return -1; }
  int32_t ShowMessageBox(int32_t owner, uint32_t kind, const char* text) override;
  void Beep() override { ++m_beeps; }

  std::vector<std::string> m_boxes;
  int m_beeps = 0;
};

// A console-mode session over files: `standardInput` is what the standard input
// holds. The window layer records message boxes; the program's end is ProgramExited.
// The scratch directory is the current directory while the session lasts, so file
// names in commands are names in it.
class ConsoleSession {
 public:
  ConsoleSession(const ScratchDirectory& directory, std::string_view standardInput);
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
  const ScratchDirectory& m_directory;
  std::filesystem::path m_previousDirectory;
  RecordingWindowBackend m_windows;
  WindowLayerBackend* m_previousBackend = nullptr;
  int32_t m_input = -1;
  int32_t m_output = -1;
};

// A GUI-mode session: the fake Command window receives the console output, keys come
// from the key queue, and the session ends (ProgramExited) when a key is waited for
// and none is left. The prompt leaves out the viewpoint text.
class GuiSession {
 public:
  GuiSession();
  ~GuiSession();
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

  FakeCommandWindow& Window() { return m_window; }
  const std::vector<std::string>& MessageBoxes() const { return m_windows.m_boxes; }

 private:
  RecordingWindowBackend m_windows;
  WindowLayerBackend* m_previousBackend = nullptr;
  FakeCommandWindow m_window;
};

// A small command language for transcripts, read character by character through
// ReadNextChar as the scanner reads: a command ends at the line feed of its line; a
// word "@name" uses the macro of that name (its body is read from the macro device).
// Commands: "echo <text>", "printf <format> <number>", "log [<file>]", "nolog",
// "include <file>", "error <number> <severity> [<argument>]", "exit"; an empty line
// does nothing; any other word raises message 35 with the word.
class ScriptInterpreter {
 public:
  ScriptInterpreter() = default;
  ~ScriptInterpreter();
  ScriptInterpreter(const ScriptInterpreter&) = delete;
  ScriptInterpreter& operator=(const ScriptInterpreter&) = delete;

  void DefineMacro(const std::string& name, std::string_view body);
  // Reads one command and runs it.
  void RunOneCommand();
  // The text of the command last read (macro names replaced by nothing).
  const std::string& LastCommand() const { return m_lastCommand; }

 private:
  void Execute(const std::string& line);

  std::map<std::string, MemoryFileHandle> m_macros;
  std::string m_lastCommand;
};

}  // namespace zentor::testing_support
