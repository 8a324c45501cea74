#include "harness/agent_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#ifdef _WIN32
// Only the process calls are wanted: without the window calls' macros (SetWindowText,
// MessageBox, WinHelp), which would rename the methods of the harness's recording
// layer compiled with this file.
#define WIN32_LEAN_AND_MEAN
#define NOUSER
#define NOHELP
#define NOMB
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace zentor::testing_support {
namespace {

// Hang limits, far beyond what the agent takes on a busy machine: it listens within
// a fraction of a second and ends within 200 ms of its ready file's removal.
constexpr auto kStartLimit = std::chrono::seconds(60);
constexpr auto kStopLimit = std::chrono::seconds(60);
constexpr const char* kIdleExitSeconds = "120";

int ProcessNumber() {
#ifdef _WIN32
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(getpid());
#endif
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

#ifdef _WIN32
// Whether the agent's process (a Unix process) still runs, from the host's process
// table as Wine shows it: gone, ended and not yet reaped ("Z"), or a process of
// another program that has its number by now all count as ended.
bool AgentProcessRuns(intptr_t pid) {
  const std::string stat = ReadWholeFile(HostPathOfUnixPath("/proc/" + std::to_string(pid) + "/stat"));
  const size_t name = stat.find("(zentor-agent)");
  if (name == std::string::npos) return false;
  const size_t state = stat.find_first_not_of(' ', name + 14);
  return state != std::string::npos && stat[state] != 'Z' && stat[state] != 'X';
}
#endif

}  // namespace

std::string AgentProgramPath() {
  if (const char* path = std::getenv("ZENTOR_AGENT"); path != nullptr && *path != '\0') return path;
#ifdef ZENTOR_AGENT_PATH
  return ZENTOR_AGENT_PATH;
#else
  return "";
#endif
}

std::string SampleModuleManifest() {
  const std::string agent = AgentProgramPath();
  const size_t slash = agent.find_last_of('/');
  return slash == std::string::npos ? "samples/sample.mod" : agent.substr(0, slash) + "/samples/sample.mod";
}

std::string SampleModulesDirectory() {
  const std::string agent = SampleModuleManifest();  // .../tools/agent/samples/sample.mod
  const size_t tools = agent.rfind("/agent/samples/");
  return tools == std::string::npos ? "" : agent.substr(0, tools) + "/samples/";
}

std::map<std::string, uint32_t> SampleModuleSymbols(const std::string& module) {
  std::map<std::string, uint32_t> symbols;
  std::ifstream map(HostPathOfUnixPath(SampleModulesDirectory() + module + ".map"));
  std::string address;
  std::string kind;
  std::string name;
  while (map >> address >> kind >> name) symbols[name] = static_cast<uint32_t>(std::strtoul(address.c_str(), nullptr, 16));
  return symbols;
}

std::string HostPathOfUnixPath(const std::string& unixPath) {
#ifdef _WIN32
  std::string path = "Z:" + unixPath;
  for (char& ch : path) {
    if (ch == '/') ch = '\\';
  }
  return path;
#else
  return unixPath;
#endif
}

std::string AgentFileTag(int processNumber, int agentCount) {
  static std::mt19937_64 draw(std::random_device{}() ^
                              static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  char drawn[17];
  std::snprintf(drawn, sizeof drawn, "%016llx", static_cast<unsigned long long>(draw()));
  return "zentor-agent-" + std::to_string(processNumber) + "-" + std::to_string(agentCount) + "-" + drawn;
}

AgentProcess::AgentProcess() {
  static int started = 0;
  m_tag = AgentFileTag(ProcessNumber(), ++started);
#ifdef _WIN32
  const char* directory = std::getenv("ZENTOR_AGENT_TMP");
  m_unixDirectory = directory != nullptr && *directory != '\0' ? directory : "/tmp";
#else
  m_unixDirectory = std::filesystem::temp_directory_path().string();
#endif
}

AgentProcess::~AgentProcess() { Stop(); }

std::string AgentProcess::UnixFile(const std::string& name) const { return m_unixDirectory + "/" + m_tag + name; }

std::string AgentProcess::UdpLinkName() const { return "127.0.0.1:" + std::to_string(m_udpPort); }

bool AgentProcess::Start(const std::vector<std::string>& arguments, std::string* error) {
  const std::string program = AgentProgramPath();
  if (program.empty()) {
    *error = "the stand-in agent is not known: set ZENTOR_AGENT to build/native/tools/agent/zentor-agent";
    return false;
  }
  const std::string ready = UnixFile(".ready");
  // A free port of the system's choosing, so that test programs running side by side
  // never meet; the ready file says which.
  std::vector<std::string> argv = {program, "--quiet", "--ready-file", ready, "--idle-exit", kIdleExitSeconds,
                                   "--udp-port", "0"};
  if (m_tracing) argv.insert(argv.end(), {"--trace", UnixFile(".trace")});
  argv.insert(argv.end(), arguments.begin(), arguments.end());
#ifdef _WIN32
  std::string line;
  for (const std::string& argument : argv) {
    if (!line.empty()) line += ' ';
    line += argument.find(' ') == std::string::npos ? argument : "\"" + argument + "\"";
  }
  m_process = 0;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    *error = "cannot start " + program;
    return false;
  }
  // Wine starts a Unix program without a process handle and leaves the thread's field
  // with a value that is not ours: closing it closed a handle made later (the link's
  // socket of the test that started the agent), now and then.
  if (process.hProcess != nullptr) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
#else
  std::vector<char*> pointers;
  for (std::string& argument : argv) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    *error = "cannot start " + program;
    return false;
  }
  m_process = pid;
#endif
  m_running = true;
  const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < deadline) {
    std::istringstream lines(ReadWholeFile(HostPathOfUnixPath(ready)));
    std::string key;
    bool any = false;
    while (lines >> key) {
      any = true;
      if (key == "udp-port") {
        lines >> m_udpPort;
      } else if (key == "pty") {
        lines >> m_ptyPath;
#ifdef _WIN32
      } else if (key == "pid") {
        lines >> m_process;
#endif
      }
    }
    if (any) return true;
#ifndef _WIN32
    int status = 0;
    if (waitpid(static_cast<pid_t>(m_process), &status, WNOHANG) == m_process) {
      m_running = false;
      *error = "the agent ended at once (see its message above)";
      return false;
    }
#endif
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  *error = "the agent did not get ready";
  Stop();
  return false;
}

// The agent notices the missing ready file and ends; the next agent of the program
// starts only after it, so that the two never share the COM1 link (an agent that
// ends removes the link while it names its own line).
void AgentProcess::Stop() {
  if (!m_running) return;
  m_running = false;
  std::remove(HostPathOfUnixPath(UnixFile(".ready")).c_str());
  const auto deadline = std::chrono::steady_clock::now() + kStopLimit;
#ifndef _WIN32
  const pid_t pid = static_cast<pid_t>(m_process);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
#else
  while (m_process != 0 && AgentProcessRuns(m_process) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
#endif
  std::remove(HostPathOfUnixPath(UnixFile(".trace")).c_str());
}

std::vector<std::string> AgentProcess::TraceLines(const std::string& prefix) const {
  std::istringstream text(ReadWholeFile(HostPathOfUnixPath(UnixFile(".trace"))));
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(text, line)) {
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace zentor::testing_support
