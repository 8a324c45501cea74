// Start-up: the program path, the option scan with its errors, the options applied to
// the invocation settings, the start-up macro search, the deferred messages and the
// argument actions of the "load" command.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/startup.h"
#include "command/action_table.h"
#include "command/command_arguments.h"
#include "command/command_scanner.h"
#include "command/grammar_object.h"
#include "command/postfix_executor.h"
#include "console/output_writer.h"
#include "core/startup_settings_words.h"
#include "core/value_stack.h"
#include "core/window_layer.h"
#include "gui/dialog_description_file.h"
#include "harness/session/loop_session.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

using testing_support::RecordingWindowBackend;
using testing_support::ScratchDirectory;

TEST(StartupTest, ProgramPathSplitsIntoDirectoryAndBaseName) {
  struct Case {
    const char* path;
    const char* directory;
    const char* baseName;
  };
  const Case cases[] = {
      {"C:\\tools\\dbg\\prog.rel.exe", "C:\\tools\\dbg\\", "prog"},
      {"/usr/local/bin/zentor", "/usr/local/bin/", "zentor"},
      {"zentor", "", "zentor"},
      {"zentor.exe", "", "zentor"},
      {"./zentor", "./", "zentor"},
      {"x/y.z/prog", "x/y.z/", "prog"},
      {".profile", "", ".profile"},
      {"", "", ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.path);
    std::string directory = "junk";
    std::string baseName = "junk";
    SplitProgramPath(test.path, &directory, &baseName);
    EXPECT_EQ(directory, test.directory);
    EXPECT_EQ(baseName, test.baseName);
  }
}

// Runs the option scan on `arguments` (after the program path) and describes what it
// found: the flags set, the values, the queued command and the reported errors.
std::string ScanOptions(const std::vector<std::string>& arguments, std::vector<std::string>* boxes) {
  RecordingWindowBackend windows;
  WindowLayerBackend* previous = WindowLayer::SetBackend(&windows);
  ResetStartupState();
  std::vector<std::string> texts = {"zentor"};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> vector;
  for (std::string& text : texts) vector.push_back(text.data());
  vector.push_back(nullptr);  // as the program's argument vector ends
  ProgramArguments& program = GetProgramArguments();
  const ProgramArguments saved = program;
  program.count = static_cast<int32_t>(vector.size() - 1);
  program.vector = vector.data();
  ArgumentCursor cursor(program);
  cursor.Advance(1);
  ParseStartupOptions(cursor);
  program = saved;
  WindowLayer::SetBackend(previous);
  *boxes = windows.m_boxes;

  const StartupOptionState& state = GetStartupOptionState();
  std::string found;
  uint32_t count = 0;
  const StartupOption* table = StartupOptionTable(&count);
  const uint8_t flags[] = {state.ba, state.noba, state.mr, state.nomr, state.in, state.noin,
                           state.bw, state.nobw, state.debug, state.noControlC, state.test};
  for (uint32_t row = 0; row < count; ++row) {
    // "mr" is on before any option is read; only a change is worth showing.
    const uint8_t usual = row == 2 ? 1 : 0;
    if (flags[row] != usual) found += std::string(table[row].name) + "=" + std::to_string(flags[row]) + " ";
  }
  if (!state.batchFileName.empty()) found += "batch:" + state.batchFileName + " ";
  if (!state.macroFileName.empty()) found += "macro:" + state.macroFileName + " ";
  if (state.commandQueued) found += "queued:" + testing_support::Visible(state.queuedCommand) + " ";
  if (state.optionError) found += "error ";
  if (!found.empty()) found.pop_back();
  return found;
}

TEST(StartupTest, OptionScanTakesOptionsValuesAndTheQueuedLoad) {
  const std::string longName(400, 'n');
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    std::string found;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"nothing", {}, "", {}},
      {"a flag", {"-in"}, "in=1", {}},
      {"a flag after a slash", {"/noin"}, "noin=1", {}},
      {"options are case-sensitive", {"-IN"}, "error",
       {"[3] FATAL ERROR #91: An unknown option <-IN> was specified. Exiting."}},
      {"a value", {"-ba", "script.txt", "-test"}, "ba=1 test=1 batch:script.txt", {}},
      {"a value beginning with a slash is a value", {"-ba", "/tmp/s"}, "ba=1 batch:/tmp/s", {}},
      {"a value of any length", {"-mr", longName}, "macro:" + longName, {}},
      {"value missing at the end", {"-ba"}, "error",
       {"[3] FATAL ERROR #90: An argument was expected for the <-ba> option. Exiting."}},
      {"an option is no value, and is then not an option", {"-ba", "-in"}, "error",
       {"[3] FATAL ERROR #90: An argument was expected for the <-ba> option. Exiting."}},
      {"every bad option is reported", {"-nosuch", "-in", "-alsobad"}, "in=1 error",
       {"[3] FATAL ERROR #91: An unknown option <-nosuch> was specified. Exiting.",
        "[3] FATAL ERROR #91: An unknown option <-alsobad> was specified. Exiting."}},
      {"the target's option takes its value", {"-baud", "9600", "-bw"}, "bw=1", {}},
      {"the target's option without its value", {"-viewSymbols"}, "error",
       {"[3] FATAL ERROR #90: An argument was expected for the <-viewSymbols> option. Exiting."}},
      {"accepted without effect", {"-__debug__", "-__no_control_c__"}, "__debug__=1 __no_control_c__=1", {}},
      {"nothing after the first plain argument is an option", {"-in", "file.nlm", "-ba", "x"},
       "in=1 queued:load file.nlm -ba x \\r", {}},
#if defined(_WIN32)
      {"a slash always marks an option", {"/tmp/prog.nlm"}, "error",
       {"[3] FATAL ERROR #91: An unknown option <-tmp/prog.nlm> was specified. Exiting."}},
#else
      {"an absolute path is a plain argument", {"/tmp/prog.nlm", "/in"}, "queued:load /tmp/prog.nlm /in \\r", {}},
      {"a slash names an option only exactly", {"/nomr", "/inx"}, "nomr=1 queued:load /inx \\r", {}},
#endif
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::vector<std::string> boxes;
    EXPECT_EQ(ScanOptions(test.arguments, &boxes), test.found);
    EXPECT_EQ(boxes, test.boxes);
  }
  ResetStartupState();
}

// The options applied to the settings, with a start-up macro file in the working
// directory or only in the program's directory.
TEST(StartupTest, OptionsSetTheStartupSettingsWordsAndFindTheMacro) {
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    bool macroHere;
    bool macroBesideProgram;
    uint16_t in, bw, batch, macro;
    std::string macroPath;  // relative to the scratch directory ("" none)
  };
  const Case cases[] = {
      {"defaults, no macro anywhere", {}, false, false, 1, 0, 0, 0, ""},
      {"macro in the working directory", {}, true, true, 1, 0, 0, 1, "zentor.cfg"},
      {"macro beside the program", {}, false, true, 1, 0, 0, 1, "bin/zentor.cfg"},
      {"nomr runs none", {"-nomr"}, true, false, 1, 0, 0, 0, ""},
      {"a macro named with mr", {"-mr", "other.cfg"}, true, false, 1, 0, 0, 1, "other.cfg"},
      {"noin", {"-noin"}, false, false, 0, 0, 0, 0, ""},
      {"in and noin cancel", {"-in", "-noin"}, false, false, 1, 0, 0, 0, ""},
      {"bw", {"-bw"}, false, false, 1, 1, 0, 0, ""},
      {"bw and nobw cancel", {"-bw", "-nobw"}, false, false, 1, 0, 0, 0, ""},
      {"batch", {"-ba", "b.txt"}, false, false, 1, 0, 1, 0, ""},
      {"ba and noba cancel", {"-ba", "b.txt", "-noba"}, false, false, 1, 0, 0, 0, ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ScratchDirectory directory("startup");
    std::filesystem::create_directory(directory.Path() / "bin");
    if (test.macroHere) directory.Write("zentor.cfg", "base\n");
    if (test.macroBesideProgram) directory.Write("bin/zentor.cfg", "base\n");
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory.Path());

    ResetStartupState();
    std::vector<std::string> texts = {directory.File("bin/zentor")};
    texts.insert(texts.end(), test.arguments.begin(), test.arguments.end());
    std::vector<char*> vector;
    for (std::string& text : texts) vector.push_back(text.data());
    vector.push_back(nullptr);
    ProgramArguments arguments{static_cast<int32_t>(vector.size() - 1), vector.data()};
    ArgumentCursor cursor(arguments);
    StartupOptionState& state = GetStartupOptionState();
    SplitProgramPath(cursor.Next(), &state.programDirectory, &state.programBaseName);
    SetDefaultInvocationSettings();
    ParseStartupOptions(cursor);
    ApplyColourSchemeOption();
    ApplyStartupOptions();
    std::filesystem::current_path(previous);

    const StartupSettingsWords& settings = GetStartupSettingsWords();
    EXPECT_EQ(settings.m_in, test.in);
    EXPECT_EQ(settings.m_bw, test.bw);
    EXPECT_EQ(settings.m_batch, test.batch);
    EXPECT_EQ(settings.m_macro, test.macro);
    const std::string expectedPath = test.macroPath.empty()             ? ""
                                     : test.macroPath.rfind("bin/", 0) == 0 ? directory.File(test.macroPath)
                                                                          : test.macroPath;
    if (test.macro == 1) {
      EXPECT_EQ(std::filesystem::path(state.startupMacroPath), std::filesystem::path(expectedPath));
    }
  }
  ResetStartupState();
  SetDefaultInvocationSettings();
}

TEST(StartupTest, DeferredMessagesAreShownAtStartAtMostTen) {
  ScratchDirectory directory("startup");
  ResetStartupState();
  for (int i = 0; i < 12; ++i) DeferStartupMessage(10);
  bool ended = false;
  const std::string output = testing_support::RunProgramSession(directory, {"zentor", "-test"}, "", &ended);
  EXPECT_TRUE(ended);
  std::size_t shown = 0;
  for (std::size_t at = output.find("WARNING #10:"); at != std::string::npos; at = output.find("WARNING #10:", at + 1)) {
    ++shown;
  }
  EXPECT_EQ(shown, 10u) << output;
}

// The program's store opened before start-up (as the Windows program opens its own):
// a record whose data was altered on disk is told as warning 10 once start-up has
// begun, and the program's exit compacts it away.
TEST(StartupTest, StoreDamageIsShownAtStartAndCompactedAwayAtExit) {
  ScratchDirectory directory("startup-store");
  const std::string path = directory.File("zentor.ddb");
  {
    DialogDescriptionFile writer;
    ASSERT_EQ(writer.Open(path.c_str()), 0);
    for (const char* name : {"kept", "altered"}) {
      ASSERT_EQ(writer.AddRecord(15, name, "", 9, reinterpret_cast<const uint8_t*>("data here")), 0);
    }
  }
  std::string file = directory.Read("zentor.ddb");
  file[file.rfind("data here") + 2] ^= 1;
  directory.Write("zentor.ddb", file);

  ResetStartupState();
  DialogDescriptionFile& store = TheDialogDescriptionFile();
  store.Reset();
  ASSERT_EQ(store.Open(path.c_str()), 0);
  bool ended = false;
  const std::string output = testing_support::RunProgramSession(directory, {"zentor", "-test"}, "", &ended,
                                                                testing_support::SessionStart::kKeepProgram);
  EXPECT_TRUE(ended);
  EXPECT_NE(output.find("WARNING #10:"), std::string::npos) << output;
  EXPECT_EQ(store.CurrentFileName(), "");
  const std::string closed = directory.Read("zentor.ddb");
  EXPECT_EQ(closed.find("altered"), std::string::npos);
  EXPECT_NE(closed.find("kept"), std::string::npos);
}

TEST(StartupTest, EverySlotHasItsRoutineAfterStartup) {
  ScratchDirectory directory("startup");
  ActionTable::ResetToDefaults();
  bool ended = false;
  testing_support::RunProgramSession(directory, {"zentor", "-test"}, "", &ended);
  EXPECT_TRUE(ended);
  for (uint16_t slot = 0; slot < ActionTable::kSlotCount; ++slot) {
    EXPECT_TRUE(ActionTable::IsAvailable(slot)) << slot << " " << ActionTable::DefaultRoutineName(slot);
  }
  ActionTable::ResetToDefaults();
}

TEST(StartupTest, LoadCommandTakesItsFileNameAndRawLine) {
  testing_support::ResetConsoleModules(true);
  CommandScanner::InitKeywords();
  ValueStack::Create();
  InitPostfixExecutor();
  BindCommandLoopActions();
  // The target's own step of the command, run while it is parsed, stands aside here.
  ActionTable::Bind(170, &ParserMarkerRoutine, "LoadOptionStandIn");
  std::string output;
  OutputWriter::InstallHook([&output](char ch) { output += ch; });
  struct Case {
    const char* name;
    std::string text;
    std::string fileName;
    std::string rawLine;
  };
  const Case cases[] = {
      {"words after the file", "load prog.nlm one two", "prog.nlm", " one two"},
      {"nothing after the file", "load prog.nlm", "prog.nlm", ""},
      {"a backslash inside stays", "load p a\\b", "p", " a\\b"},
      {"a backslash before the line end continues it", "load p a\\\r b", "p", " a b"},
      {"a long line is cut", "load p " + std::string(300, 'r'), "p", " " + std::string(254, 'r')},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    GrammarObject object(test.text.c_str(), kProductionCommand);
    EXPECT_TRUE(object.Status().IsOkay()) << object.Status().Number();
    EXPECT_EQ(FileNameArgument(), test.fileName);
    EXPECT_EQ(RawLineArgument(), test.rawLine);
    EXPECT_EQ(RawLineArgumentLength(), test.rawLine.size());
  }
  OutputWriter::RemoveHook();
  EXPECT_NE(output.find(">>"), std::string::npos) << "the continued line was prompted for: " << output;
  ActionTable::ResetToDefaults();
  testing_support::ResetConsoleModules(true);
}

}  // namespace
}  // namespace zentor
