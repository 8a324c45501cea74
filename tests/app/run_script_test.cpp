// scripts/run as a newcomer first starts it, from the project root with commands on its
// standard input: the session begins with DEMO's symbols, so a breakpoint at g, a go
// and a wait stop there, and the call stack names DEMO's source lines. Native only:
// the script is a bash script of the native tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "harness/session/console_session.h"

#if !defined(_WIN32)
#include <sys/wait.h>

namespace zentor {
namespace {

TEST(RunScriptTest, FirstSessionFromTheProjectRootHasDemosSymbols) {
  testing_support::ScratchDirectory directory("run-script");
  // The test programs run offline; the script connects.
  const std::string command = "cd '" ZENTOR_SOURCE_DIR "' && printf 'br = g\\r\\ngo\\r\\nwait\\r\\ncalls\\r\\nexit\\r\\n' | "
                              "scripts/run >'" + directory.File("out.txt") + "' 2>&1";
  testing_support::SetOfflineSession(false);
  const int status = std::system(command.c_str());
  testing_support::SetOfflineSession(true);
  const std::string out = directory.Read("out.txt");
  ASSERT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << out;
  EXPECT_NE(out.find(">calls\n(0) DEMO_CALC:#8 g\n(1) DEMO_CALC:#16 + 11 f\n(2) DEMO_MAIN:#33 + 11 main\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
  EXPECT_NE(out.find("This will end your debug session."), std::string::npos) << "the exit was not reached\n" << out;
}

}  // namespace
}  // namespace zentor
#endif
