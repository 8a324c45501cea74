// Whole console sessions read through the command reader, compared with golden files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "console/file_channel.h"
#include "console/temp_files.h"
#include "harness/transcript.h"

namespace zentor {
namespace {

using testing_support::ConsoleSession;
using testing_support::MatchesGolden;
using testing_support::ScratchDirectory;
using testing_support::ScriptInterpreter;

std::filesystem::path TranscriptData(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "transcripts" / name;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// A batch file that includes two nested files (the inner one without a final line
// end) and uses a macro, a missing INCLUDE file, a macro that uses itself, a raised
// error, the console named as an INCLUDE file, the log switched on and off, then
// commands typed at the console up to the exit command.
TEST(TranscriptTest, BatchWithNestedIncludesMacrosAndErrors) {
  ScratchDirectory directory("transcript");
  for (const char* name : {"session.batch", "first.inc", "second.inc"}) {
    directory.Write(name, testing_support::ReadFileBytes(TranscriptData(name)));
  }
  {
    ConsoleSession session(directory, testing_support::ReadFileBytes(TranscriptData("session.stdin")));
    ScriptInterpreter interpreter;
    interpreter.DefineMacro("greet", "echo hello from greet");
    interpreter.DefineMacro("loop", "echo looping @loop again");
    session.SelectInput("session.batch");
    session.Run([&] { interpreter.RunOneCommand(); });

    EXPECT_TRUE(MatchesGolden(TranscriptData("session.stdout"), session.StandardOutput()));
    EXPECT_TRUE(MatchesGolden(TranscriptData("session.alerts"), Joined(session.MessageBoxes())));
  }
  EXPECT_TRUE(MatchesGolden(TranscriptData("session.log"), directory.Read("session.log")));
  EXPECT_EQ(FileChannel::OpenFileCount(), 0u) << "every file is closed at exit";
}

// A batch file that cannot be read is reported (message 111 in a message box) and
// the console is read instead, up to the end of the standard input, which ends the
// session like the exit command.
TEST(TranscriptTest, UnreadableBatchFileFallsBackToTheConsole) {
  ScratchDirectory directory("transcript");
  std::filesystem::create_directory(directory.Path() / "batch.dir");
  {
    ConsoleSession session(directory, "echo read from the console\necho last line without a line end");
    ScriptInterpreter interpreter;
    session.SelectInput("batch.dir");
    session.Run([&] { interpreter.RunOneCommand(); });

    EXPECT_TRUE(MatchesGolden(TranscriptData("unreadable_batch.stdout"), session.StandardOutput()));
    EXPECT_TRUE(MatchesGolden(TranscriptData("unreadable_batch.alerts"), Joined(session.MessageBoxes())));
  }
}

}  // namespace
}  // namespace zentor
