// The real program, started as a user starts it: options, a batch file, a start-up
// macro in the working directory, commands on the standard input. What it writes on
// its standard output and standard error (where console mode shows message boxes) is
// compared with golden files in tests/data/transcripts/app/, on both builds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
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

// The built program as this test program names it: the build gives its Unix path,
// which inside Wine is on drive Z:.
std::string BuiltProgramPath() {
  std::string path = ZENTOR_PROGRAM_PATH;
#if defined(_WIN32)
  if (!path.empty() && path[0] == '/') {
    for (char& ch : path) {
      if (ch == '/') ch = '\\';
    }
    path = "Z:" + path;
  }
#endif
  return path;
}

// The program a run starts: a link to the built one in the directory's "bin" folder
// (a copy where links fail), so that what it keeps beside itself, its settings store,
// stays in the scratch directory and not in the build tree.
std::string ProgramPath(const ScratchDirectory& directory) {
  const std::filesystem::path built = BuiltProgramPath();
  const std::filesystem::path placed = directory.Path() / "bin" / built.filename();
  std::error_code error;
  if (!std::filesystem::exists(placed, error)) {
    std::filesystem::create_directories(placed.parent_path(), error);
    std::filesystem::create_hard_link(built, placed, error);
    if (error) std::filesystem::copy_file(built, placed, error);
  }
  return placed.string();
}

#if defined(_WIN32)

HANDLE OpenInherited(const std::string& name, bool forWriting) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileA(name.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &security, forWriting ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts the program in the directory with `input` as its standard input and the files
// stdout.txt and stderr.txt as its outputs; null when it did not start.
HANDLE StartProgram(const ScratchDirectory& directory, const std::vector<std::string>& arguments, HANDLE input) {
  std::string commandLine = "\"" + ProgramPath(directory) + "\"";
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
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
  const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      workingDirectory.c_str(), &startup, &process);
  CloseHandle(output);
  CloseHandle(error);
  if (!started) return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

// A hang limit far beyond the longest session here on a busy machine: a program still
// running then is ended, and its exit code is -1.
int WaitForExit(HANDLE process) {
  if (process == nullptr) return -1;
  int exitCode = -1;
  if (WaitForSingleObject(process, 300000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code)) exitCode = static_cast<int>(code);
  } else {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
  }
  CloseHandle(process);
  return exitCode;
}

int StartAndWait(const ScratchDirectory& directory, const std::vector<std::string>& arguments) {
  HANDLE input = OpenInherited(directory.File("stdin.txt"), false);
  const int exitCode = WaitForExit(StartProgram(directory, arguments, input));
  CloseHandle(input);
  return exitCode;
}

// The program with its standard input on a pipe, written in parts as a user types.
class FedProgram {
 public:
  FedProgram(const ScratchDirectory& directory, const std::vector<std::string>& arguments) {
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read = nullptr;
    if (!CreatePipe(&read, &m_input, &security, 0)) return;
    SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
    m_process = StartProgram(directory, arguments, read);
    CloseHandle(read);
  }
  ~FedProgram() { Finish(); }
  bool Started() const { return m_process != nullptr; }
  void Write(const std::string& text) {
    DWORD written = 0;
    WriteFile(m_input, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
  // Ends the input and waits for the program's end; its exit code.
  int Finish() {
    if (m_input != nullptr) CloseHandle(m_input);
    m_input = nullptr;
    const int exitCode = WaitForExit(m_process);
    m_process = nullptr;
    return exitCode;
  }

 private:
  HANDLE m_input = nullptr;
  HANDLE m_process = nullptr;
};
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

// The shell command that runs the program in the directory with stdout.txt and
// stderr.txt as its outputs.
std::string ProgramCommand(const ScratchDirectory& directory, const std::vector<std::string>& arguments) {
  std::string command = "cd " + Quoted(directory.Path().string()) + " && " + Quoted(ProgramPath(directory));
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  return command + " >stdout.txt 2>stderr.txt";
}

int ExitCodeOf(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int StartAndWait(const ScratchDirectory& directory, const std::vector<std::string>& arguments) {
  return ExitCodeOf(std::system((ProgramCommand(directory, arguments) + " <stdin.txt").c_str()));
}

// The program with its standard input on a pipe, written in parts as a user types.
class FedProgram {
 public:
  FedProgram(const ScratchDirectory& directory, const std::vector<std::string>& arguments)
      : m_input(popen(ProgramCommand(directory, arguments).c_str(), "w")) {}
  ~FedProgram() { Finish(); }
  bool Started() const { return m_input != nullptr; }
  void Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), m_input);
    std::fflush(m_input);
  }
  // Ends the input and waits for the program's end; its exit code.
  int Finish() {
    if (m_input == nullptr) return -1;
    const int status = pclose(m_input);
    m_input = nullptr;
    return ExitCodeOf(status);
  }

 private:
  FILE* m_input = nullptr;
};
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

// Waits until the program's standard output holds `text` (at most `limit`).
bool OutputShows(const ScratchDirectory& directory, const std::string& text, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const std::string out = WithoutCarriageReturnsBeforeLineFeeds(directory.Read("stdout.txt"));
    if (out.find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
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
      // Commands of 201 and 205 characters are read whole: a sum of a hundred ones and
      // a string of 200 letters.
      {"long_line", {}, {}, "long_line.stdin"},
  };
  // The start-up macro is named after the program: the Windows tree's console
  // program is zentor-console.
  std::string programDirectory;
  std::string programBaseName;
  SplitProgramPath(ZENTOR_PROGRAM_PATH, &programDirectory, &programBaseName);
  for (const Scenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    ScratchDirectory directory("app");
    for (const auto& [target, source] : scenario.files) {
      directory.Write(std::string(target) == "zentor.cfg" ? programBaseName + ".cfg" : target, ScenarioFile(source));
    }
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
  static constexpr const char* kSamplesMark = "@SAMPLES@";

  void SetUp() override { testing_support::SetOfflineSession(false); }
  void TearDown() override { testing_support::SetOfflineSession(true); }
  // Starts m_agent running DEMO, which is built beside the agent's own sample
  // (.../tools/samples/demo.mod); m_samples is that folder as the program names it.
  void StartDemo() {
    if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "no stand-in agent";
    const std::string modules = testing_support::SampleModulesDirectory();
    ASSERT_FALSE(modules.empty()) << testing_support::SampleModuleManifest();
    std::string error;
    ASSERT_TRUE(m_agent.Start({"--module", modules + "demo.mod"}, &error)) << error;
    m_samples = testing_support::HostPathOfUnixPath(modules);
  }
  // The text with the samples' folder written as the mark, as the golden files hold it.
  std::string Masked(std::string text) const {
    for (std::size_t at; (at = text.find(m_samples)) != std::string::npos;) {
      text.replace(at, m_samples.size(), kSamplesMark);
    }
    return text;
  }

  testing_support::AgentProcess m_agent;
  std::string m_samples;
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
  EXPECT_NE(out.find("Zentor: This will end your debug session.\n(OK/Cancel) cancel\n>exit\n"), std::string::npos) << out;
  EXPECT_FALSE(agent.TraceLines("exec seq=").empty());
  EXPECT_NE(agent.TraceLines("exec seq=").back().find("command=0x17"), std::string::npos)
      << "the agent session ends with the program";
}

// The commands of the GUI shell in console mode: help has no help engine (212), the
// alias set is shown, an unknown viewpoint (251) and a name without saved settings
// (220) are refused; no command lacks its routine. The restore opened the program's
// settings store beside the program, none in the working directory.
TEST_F(ConnectedProgramTest, GuiShellCommandsAnswerInConsoleMode) {
  testing_support::AgentProcess agent;
  std::string error;
  if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "no stand-in agent";
  ASSERT_TRUE(agent.Start({"--module", testing_support::SampleModuleManifest()}, &error)) << error;
  ScratchDirectory directory("app");
  const ProgramRun run =
      RunProgram(directory, {"-test", "-ip", agent.UdpLinkName()},
                 "help\nvpalias = ab\nvpalias\nviewpoint\nviewpoint = [zz]\nrestore nosuch\nexit\nok\n");
  EXPECT_EQ(run.exitCode, 0);
  const std::string& out = run.standardOutput;
  EXPECT_EQ(out.find("#106"), std::string::npos) << out;
  for (const char* shown : {"ERROR #212", ">vpalias\nab\n", "    Alias: [ab]\n", "ERROR #251", "ERROR #220"}) {
    EXPECT_NE(out.find(shown), std::string::npos) << shown << "\n" << out;
  }
  std::string programDirectory;
  std::string programBaseName;
  SplitProgramPath(ZENTOR_PROGRAM_PATH, &programDirectory, &programBaseName);
  EXPECT_TRUE(std::filesystem::exists(directory.Path() / "bin" / (programBaseName + ".ddb")));
  EXPECT_EQ(directory.Files(), std::vector<std::string>({"bin", "stderr.txt", "stdin.txt", "stdout.txt"}));
}

// A debugging session over DEMO, from a batch file: a line step before the symbols
// are loaded (an instruction step), breakpoints, the call stack of
// main -> f -> g, line and instruction steps, watches, a replacement the target
// refuses, a conditional break in the loop, passpoints and a write watch, and the
// refusals of bad input. The passpoint runs on at each hit as the agent sees it: the
// breakpoint lifted, one step, set again, go; never an unclaimed single-step trap.
TEST_F(ConnectedProgramTest, EngineSessionOverTheStandIn) {
  OR_RETURN(StartDemo());
  std::string script = ScenarioFile("engine_session.script");
  script.replace(script.find(kSamplesMark), std::string(kSamplesMark).size(), m_samples);

  ScratchDirectory directory("app");
  directory.Write("script.txt", script);
  const ProgramRun run =
      RunProgram(directory, {"-test", "-ip", m_agent.UdpLinkName(), "-ba", "script.txt"}, "exit\nok\n");
  EXPECT_EQ(run.exitCode, 0);
  const std::string out = Masked(run.standardOutput);
  EXPECT_TRUE(MatchesGolden(GoldenFile("engine_session.stdout"), out));
  EXPECT_EQ(out.find("Internal INT1"), std::string::npos);

  // Each passpoint report is one clear, step, set and go of its slot.
  const std::vector<std::string> requests = m_agent.TraceLines("exec seq=");
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

// The stop of a go comes while the console waits for the next command, and is reported
// then: the running prompt stands alone on its line, the report follows, then the
// stopped prompt. The next command is typed only once the report is out.
TEST_F(ConnectedProgramTest, StopIsReportedWhileTheConsoleWaitsForInput) {
  OR_RETURN(StartDemo());
  ScratchDirectory directory("app");
  FedProgram program(directory, {"-test", "-ip", m_agent.UdpLinkName()});
  ASSERT_TRUE(program.Started());
  program.Write("loadsym " + m_samples + "demo\nbr = g\ngo\n");
  const bool reported = OutputShows(directory, "[ Break at :DEMO_CALC#8 ]\n>", std::chrono::seconds(120));
  program.Write("calls\nexit\nok\n");
  EXPECT_EQ(program.Finish(), 0);
  EXPECT_TRUE(reported) << "no stop reported while the console waited";
  const std::string out = Masked(WithoutCarriageReturnsBeforeLineFeeds(directory.Read("stdout.txt")));
  EXPECT_TRUE(MatchesGolden(GoldenFile("stop_while_waiting.stdout"), out));
}

// Three debugger programs one after the other against one running agent, the first
// after a few hundred requests: each greets the agent anew, counting from 0 again, and
// its step must move the thread one instruction on from where the one before left it,
// not come back with an answer the agent kept from an earlier program.
TEST_F(ConnectedProgramTest, ProgramsInARowEachStepTheThreadOnwards) {
  testing_support::AgentProcess agent;
  std::string error;
  if (testing_support::AgentProgramPath().empty()) GTEST_SKIP() << "no stand-in agent";
  const std::string modules = testing_support::SampleModulesDirectory();
  ASSERT_FALSE(modules.empty()) << testing_support::SampleModuleManifest();
  ASSERT_TRUE(agent.Start({"--module", modules + "demo.mod"}, &error)) << error;
  const uint32_t main = testing_support::SampleModuleSymbols("demo")["main"];
  ASSERT_NE(main, 0u);
  const std::string loadsym = "loadsym " + testing_support::HostPathOfUnixPath(modules) + "DEMO\n";

  uint32_t expected = main;
  std::size_t instructionLength = 1;  // main begins with push ebp
  for (int program = 1; program <= 3; ++program) {
    SCOPED_TRACE("program " + std::to_string(program));
    std::string input = loadsym;
    for (int i = 0; program == 1 && i < 40; ++i) input += "nlms\n";
    input += "istep\ncalls\nexit\nok\n";
    ScratchDirectory directory("app");
    const ProgramRun run = RunProgram(directory, {"-test", "-ip", agent.UdpLinkName()}, input);
    EXPECT_EQ(run.exitCode, 0);
    const std::string& out = run.standardOutput;
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    // The step's report: the address it stopped at, then the instruction there.
    const std::size_t step = out.find("\n0x", out.find(">istep\n"));
    ASSERT_NE(step, std::string::npos) << out;
    expected += static_cast<uint32_t>(instructionLength);
    EXPECT_EQ(std::stoul(out.substr(step + 1, 10), nullptr, 16), expected) << out;
    const std::size_t bytes = out.find_first_not_of(' ', step + 11);
    instructionLength = (out.find(' ', bytes) - bytes) / 2;
    const std::size_t calls = out.find(">calls\n(0) ");
    ASSERT_NE(calls, std::string::npos) << out;
    EXPECT_NE(out.substr(calls, out.find('\n', calls + 7) - calls).find(" main"), std::string::npos) << out;
  }
  std::size_t steps = 0;
  for (const std::string& line : agent.TraceLines("exec seq=")) steps += line.find("command=0x08") != std::string::npos;
  EXPECT_EQ(steps, 3u) << "each program's step executed once";
}

}  // namespace
}  // namespace zentor
