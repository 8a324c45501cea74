#pragma once
// Transcript tests of the console: a console-mode session (session/console_session.h)
// driven by a small command loop that reads
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
#include "harness/session/console_session.h"
#include "core/dv_error.h"
#include "core/memory_file.h"
#include "core/window_layer.h"

namespace zentor::testing_support {

// Compares `actual` with the golden file byte for byte (the failure shows the first
// difference). With ZENTOR_UPDATE_GOLDEN=1 in the environment the golden file is
// written instead and the comparison passes.
::testing::AssertionResult MatchesGolden(const std::filesystem::path& goldenFile, const std::string& actual);

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
