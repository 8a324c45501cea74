// The real program, started as a user starts it: options, a batch file, a start-up
// macro in the working directory, commands on the standard input. What it writes on
// its standard output and standard error (where console mode shows message boxes) is
// compared with golden files in tests/data/transcripts/app/, on both builds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "harness/agent_process.h"
#include "harness/transcript.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace zentor {
namespace {

using testing_support::MatchesGolden;
using testing_support::ScratchDirectory;

struct ProgramRun {
  int exitCode = -1;
  std::string standardOutput;
  std::string standardError;
};

std::filesystem::path GoldenFile(const std::string& name) {
  return std::filesystem::path(ZENTOR_TEST_DATA_DIR) / "transcripts" / "app" / name;
}

std::string ScenarioFile(const std::string& name) {
  return testing_support::ReadFileBytes(GoldenFile(name));
}

// The Windows runtime writes its text-mode line ends; the goldens hold the native
// ones.
std::string WithoutCarriageReturnsBeforeLineFeeds(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

#if defined(_WIN32)
// The build gives the program's Unix path; inside Wine it is on drive Z:.
std::string ProgramPath() {
  std::string path = ZENTOR_PROGRAM_PATH;
  if (!path.empty() && path[0] == '/') {
    for (char& ch : path) {
      if (ch == '/') ch = '\\';
    }
    path = "Z:" + path;
  }
  return path;
}

HANDLE OpenInherited(const std::string& name, bool forWriting) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(name.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &security, forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int StartAndWait(const ScratchDirectory& directory, const std::vector<std::string>& arguments) {
  std::string commandLine = "\"" + ProgramPath() + "\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  HANDLE input = OpenInherited(directory.File("stdin.txt"), false);
  HANDLE output = OpenInherited(directory.File("stdout.txt"), true);
  HANDLE error = OpenInherited(directory.File("stderr.txt"), true);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  const std::string workingDirectory = directory.Path().string();
  int exitCode = -1;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, workingDirectory.c_str(), &startup,
                     &process)) {
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    if (GetExitCodeProcess(process.hProcess, &code)) exitCode = static_cast<int>(code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(input);
  CloseHandle(output);
  CloseHandle(error);
  return exitCode;
}
#else
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char ch : text) {
    if (ch == '\'') {
      quoted += "'\\''";
    } else {
      quoted += ch;
    }
  }
  return quoted + "'";
}

int StartAndWait(const ScratchDirectory& directory, const std::vector<std::string>& arguments) {
  std::string command = "cd " + Quoted(directory.Path().string()) + " && " + Quoted(ZENTOR_PROGRAM_PATH);
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  command += " <stdin.txt >stdout.txt 2>stderr.txt";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

ProgramRun RunProgram(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                      const std::string& standardInput) {
  directory.Write("stdin.txt", standardInput);
  ProgramRun run;
  run.exitCode = StartAndWait(directory, arguments);
  run.standardOutput = WithoutCarriageReturnsBeforeLineFeeds(directory.Read("stdout.txt"));
  run.standardError = WithoutCarriageReturnsBeforeLineFeeds(directory.Read("stderr.txt"));
  return run;
}

struct Scenario {
  const char* name;
  std::vector<std::string> arguments;
  // Files put in the working directory: name there -> scenario file in the data folder.
  std::map<std::string, std::string> files;
  const char* standardInput;  // scenario file with the standard input ("" for none)
};

// Each scenario writes <name>.stdout and <name>.stderr golden files.
TEST(ProgramTranscriptTest, ScenariosMatchTheirGoldenFiles) {
  const Scenario scenarios[] = {
      // A batch file after the start-up macro: number bases, expressions, control
      // structures, a procedure with three arguments, a syntax error in mid-line; then
      // the console until the end of the standard input, which leaves a watch defined
      // for the program's end to release.
      {"batch_session", {"-ba", "script.txt"}, {{"zentor.cfg", "batch_session.cfg"}, {"script.txt", "batch_session.script"}},
       "batch_session.stdin"},
      // An option nobody knows ends the program before the first prompt.
      {"unknown_option", {"-nosuch"}, {}, ""},
      // A missing batch file is a warning; the console is read instead.
      {"missing_batch", {"-ba", "absent.txt"}, {}, "missing_batch.stdin"},
      // The first plain argument queues a "load" command for it; without an agent
      // there is no server to load it (2006) and the console goes on.
      {"load_argument", {"prog.nlm", "-in"}, {}, "load_argument.stdin"},
      // The start-up macro is found in the working directory without any option.
      {"startup_macro", {}, {{"zentor.cfg", "startup_macro.cfg"}}, "startup_macro.stdin"},
  };
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    ScratchDirectory directory("app");
    for (const auto& [target, source] : scenario.files) directory.Write(target, ScenarioFile(source));
    const std::string input = scenario.standardInput[0] != '\0' ? ScenarioFile(scenario.standardInput) : "";
    const ProgramRun run = RunProgram(directory, scenario.arguments, input);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(MatchesGolden(GoldenFile(std::string(scenario.name) + ".stdout"), run.standardOutput));
    EXPECT_TRUE(MatchesGolden(GoldenFile(std::string(scenario.name) + ".stderr"), run.standardError));
  }
}

// Sessions with an agent: the program connects at start-up as the options say.
class ConnectedProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::SetOfflineSession(false); }
  void TearDown() override { testing_support::SetOfflineSession(true); }
};

// Nothing answers at the port: each greeting is sent 20 times, 200 ms apart, then the
// question; "No" ends the program with exit code 0.
TEST_F(ConnectedProgramTest, DeadPortAnsweredNoEndsTheProgramAfterTheGreeting) {
  ScratchDirectory directory("app");
  const auto start = std::chrono::steady_clock::now();
  const ProgramRun run = RunProgram(directory, {"-test", "-ip", "127.0.0.1:9"}, "no\nregs\n");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_GE(elapsed, std::chrono::milliseconds(20 * 200 - 100));
  EXPECT_EQ(run.standardOutput,
            "Failed to connect to the NetWare Server.\nDo you want to try again?\n(Yes/No) no\n");
}

// The thread stands at the sample module's entry with only the interrupt flag set;
// the listing shows what the emulator holds.
TEST_F(ConnectedProgramTest, ConnectedSessionListsTheEmulatorsRegisters) {
  testing_support::AgentProcess agent;
  std::string error;
  if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "no stand-in agent";
  ASSERT_TRUE(agent.Start({"--module", testing_support::SampleModuleManifest()}, &error)) << error;
  std::ifstream manifest(testing_support::HostPathOfUnixPath(testing_support::SampleModuleManifest()));
  std::string line;
  std::string entry;
  while (std::getline(manifest, line)) {
    if (line.rfind("entry = 0x", 0) == 0) entry = line.substr(10);
  }
  ASSERT_FALSE(entry.empty());
  entry = std::string(8 - entry.size(), '0') + entry;

  ScratchDirectory directory("app");
  const ProgramRun run = RunProgram(directory, {"-test", "-ip", agent.UdpLinkName()}, "regs\nexit\ncancel\nexit\n");
  EXPECT_EQ(run.exitCode, 0);
  const std::string& out = run.standardOutput;
  EXPECT_NE(out.find(">regs\neax=00000000    ebx=00000000    ecx=00000000    edx=00000000\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("\neip=" + entry + "\nflags: ifl   \n"), std::string::npos) << out;
  // The first exit is declined: the session goes on until the second.
  EXPECT_NE(out.find("This will end your debug session.\n(OK/Cancel) cancel\n>exit\n"), std::string::npos) << out;
  EXPECT_FALSE(agent.TraceLines("exec seq=").empty());
  EXPECT_NE(agent.TraceLines("exec seq=").back().find("command=0x17"), std::string::npos)
      << "the agent session ends with the program";
}

// A debugging session over DEMO, from a batch file: a line step before the symbols
// are loaded (an instruction step), breakpoints, the call stack of
// main -> f -> g, line and instruction steps, watches, a replacement the target
// refuses, a conditional break in the loop, passpoints and a write watch, and the
// refusals of bad input. The passpoint runs on at each hit as the agent sees it: the
// breakpoint lifted, one step, set again, go; never an unclaimed single-step trap.
TEST_F(ConnectedProgramTest, EngineSessionOverTheStandIn) {
  testing_support::AgentProcess agent;
  std::string error;
  if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "no stand-in agent";
  // DEMO is built beside the agent's own sample: .../tools/samples/demo.mod.
  const std::string modules = testing_support::SampleModulesDirectory();
  ASSERT_FALSE(modules.empty()) << testing_support::SampleModuleManifest();
  const std::string manifest = modules + "demo.mod";
  ASSERT_TRUE(agent.Start({"--module", manifest}, &error)) << error;
  const std::string samples = testing_support::HostPathOfUnixPath(manifest.substr(0, manifest.rfind('/') + 1));
  std::string script = ScenarioFile("engine_session.script");
  const std::string mark = "@SAMPLES@";
  script.replace(script.find(mark), mark.size(), samples);

  ScratchDirectory directory("app");
  directory.Write("script.txt", script);
  const ProgramRun run =
      RunProgram(directory, {"-test", "-ip", agent.UdpLinkName(), "-ba", "script.txt"}, "exit\nok\n");
  EXPECT_EQ(run.exitCode, 0);
  std::string out = run.standardOutput;
  for (std::size_t at; (at = out.find(samples)) != std::string::npos;) out.replace(at, samples.size(), mark);
  EXPECT_TRUE(MatchesGolden(GoldenFile("engine_session.stdout"), out));
  EXPECT_EQ(out.find("Internal INT1"), std::string::npos);

  // Each passpoint report is one clear, step, set and go of its slot.
  const std::vector<std::string> requests = agent.TraceLines("exec seq=");
  auto command = [&requests](std::size_t i) {
    const std::size_t at = requests[i].find("command=");
    return at == std::string::npos ? std::string() : requests[i].substr(at + 8, 4);
  };
  auto slotOf = [&requests](std::size_t i) {
    const std::size_t at = requests[i].find(" bp ");
    return at == std::string::npos ? std::string() : requests[i].substr(at + 4, requests[i].find(' ', at + 4) - at - 4);
  };
  uint32_t runsOn = 0;
  for (std::size_t i = 0; i + 3 < requests.size(); ++i) {
    if (command(i) == "0x0e" && command(i + 1) == "0x08" && command(i + 2) == "0x0d" && command(i + 3) == "0x04" &&
        !slotOf(i).empty() && slotOf(i) == slotOf(i + 2)) {
      ++runsOn;
    }
  }
  uint32_t reports = 0;
  for (std::size_t at = 0; (at = out.find("[ Passpoint at ", at)) != std::string::npos; ++at) ++reports;
  EXPECT_EQ(reports, 3u);
  // Two more are the steps off a breakpoint the thread stood on when it went on.
  EXPECT_EQ(runsOn, reports + 2);
}

}  // namespace
}  // namespace zentor
