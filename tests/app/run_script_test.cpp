// scripts/run as a user starts it: as a newcomer first does, from the project root
// with commands on its standard input, and twice in a row, the second run finding what
// the first left in the program's settings store. Each test names a lasting folder of
// its own (ZENTOR_RUN_DIR), so the user's build/run stays as it was. Native only: the
// script is a bash script of the native tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gui/dialog_description_file.h"
#include "gui/memory_display_settings.h"
#include "harness/session/console_session.h"

#if !defined(_WIN32)
#include <sys/wait.h>

namespace zentor {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;

struct ScriptRun {
  bool ok = false;  // ended with status 0
  std::string output;
};

// `scripts/run ARGUMENTS` in the directory, the input on its standard input, the
// lasting folder named; its output (standard output and error) kept in `log`.
ScriptRun RunScript(const fs::path& directory, const std::string& arguments, const std::string& input,
                    const fs::path& lasting, const fs::path& log, bool connected) {
  const std::string command = "cd '" + directory.string() + "' && printf '" + input + "' | ZENTOR_RUN_DIR='" +
                              lasting.string() + "' '" ZENTOR_SOURCE_DIR "/scripts/run' " + arguments + " >'" +
                              log.string() + "' 2>&1";
  // The test programs run offline; the script connects.
  testing_support::SetOfflineSession(!connected);
  const int status = std::system(command.c_str());
  testing_support::SetOfflineSession(true);
  return ScriptRun{status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0, ReadFileBytes(log)};
}

std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RunScriptTest, FirstSessionFromTheProjectRootHasDemosSymbols) {
  testing_support::ScratchDirectory directory("run-script");
  const ScriptRun run = RunScript(ZENTOR_SOURCE_DIR, "", "br = g\\r\\ngo\\r\\nwait\\r\\ncalls\\r\\nexit\\r\\n",
                                  directory.Path() / "run", directory.Path() / "out.txt", true);
  ASSERT_TRUE(run.ok) << run.output;
  EXPECT_NE(run.output.find(">calls\n(0) DEMO_CALC:#8 g\n(1) DEMO_CALC:#16 + 11 f\n(2) DEMO_MAIN:#33 + 11 main\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("ERROR"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("This will end your debug session."), std::string::npos)
      << "the exit was not reached\n" << run.output;
}

// The console program runs from build/run/console, with or without the agent, and its
// store lives there from one run to the next: the first run's first settings command
// makes it (no set of that name yet: 220); a memory display set saved into it between
// the runs (as the Windows program's management saves one) is restored by name in the
// next run. Each run starts the program just built, never one an older build left in
// the folder; what else is in the folder (a damaged store kept as ".bad", a zentor.cfg,
// which runs at start-up as one beside the program does) stays; nothing is written
// into the caller's directory.
TEST(RunScriptTest, ConsoleStoreLastsFromOneRunToTheNext) {
  testing_support::ScratchDirectory directory("run-store");
  const fs::path lasting = directory.Path() / "run";
  const fs::path folder = lasting / "console";
  const fs::path caller = directory.Path() / "caller";
  fs::create_directories(caller);
  fs::create_directories(folder);
  {
    std::ofstream old(folder / "zentor");
    old << "#!/bin/sh\necho an older program\n";
  }
  fs::permissions(folder / "zentor", fs::perms::owner_all);

  const ScriptRun first = RunScript(caller, "", "restore mine\\r\\nexit\\r\\n", lasting,
                                    directory.Path() / "first.txt", true);
  ASSERT_TRUE(first.ok) << first.output;
  EXPECT_EQ(first.output.find("an older program"), std::string::npos) << first.output;
  EXPECT_NE(first.output.find("ERROR #220"), std::string::npos) << first.output;
  EXPECT_TRUE(ReadFileBytes(folder / "zentor") == ReadFileBytes(ZENTOR_PROGRAM_PATH))
      << "the folder's program is not the built one";
  EXPECT_EQ(Entries(folder), std::vector<std::string>({"zentor", "zentor.ddb"}));
  EXPECT_EQ(Entries(lasting), std::vector<std::string>({"console"}));
  EXPECT_TRUE(Entries(caller).empty());

  {
    DialogDescriptionFile store;
    ASSERT_EQ(store.Open((folder / "zentor.ddb").c_str()), 0);
    MemoryDisplaySettings settings;
    settings.m_typeIndex = 0;
    std::vector<uint8_t> image(MemoryDisplaySettings::kRecordSize);
    settings.CopyTo(image.data());
    ASSERT_EQ(store.AddRecord(kMemoryDisplayRecordId, "mine", "bytes", MemoryDisplaySettings::kRecordSize,
                              image.data()),
              0);
    ASSERT_EQ(store.Close(), 0);
  }
  std::ofstream(folder / "zentor.ddb.bad") << "a store found damaged";
  std::ofstream(folder / "zentor.cfg") << "eval 40+2\n";

  const ScriptRun second = RunScript(caller, "--offline", "restore mine\\r\\nexit\\r\\n", lasting,
                                     directory.Path() / "second.txt", false);
  ASSERT_TRUE(second.ok) << second.output;
  EXPECT_EQ(second.output.find("ERROR"), std::string::npos) << "the set saved before is not found\n" << second.output;
  EXPECT_NE(second.output.find("42  0x0000002a"), std::string::npos) << "the folder's zentor.cfg did not run\n" << second.output;
  EXPECT_EQ(Entries(folder), std::vector<std::string>({"zentor", "zentor.cfg", "zentor.ddb", "zentor.ddb.bad"}));
  EXPECT_EQ(ReadFileBytes(folder / "zentor.ddb.bad"), "a store found damaged");
  EXPECT_TRUE(Entries(caller).empty());
}

}  // namespace
}  // namespace zentor
#endif
