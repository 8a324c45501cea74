#pragma once
// The stand-in agent (zentor-agent, a native Linux program) started for one test: on
// the native build as a child process, under Wine through Wine's start of Unix
// programs. The agent writes a ready file once it listens (its UDP port and its
// pseudo-terminal) and ends when that file is removed, so both builds stop it the
// same way; --idle-exit ends it should a test program die first.
//
// Where the agent is: $ZENTOR_AGENT (scripts/test sets it for both trees), else the
// path the native build compiled in. Its files (ready file, trace) go to a Unix
// directory: the native scratch directory, or /tmp under Wine (seen there as Z:).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "harness/session/console_session.h"

namespace zentor::testing_support {

// The agent program, or "" when it is not known (the tests that need it skip).
std::string AgentProgramPath();
// The sample module's manifest built beside the agent (a Unix path).
std::string SampleModuleManifest();
// A Unix path as this program opens it (unchanged on POSIX, Z:\... under Wine).
std::string HostPathOfUnixPath(const std::string& unixPath);
// The build's folder of the sample modules (a Unix path ending in "/"), beside the
// agent's sample; "" when the manifest is not known.
std::string SampleModulesDirectory();
// The addresses of a sample module's symbols, from the map the build writes with nm.
std::map<std::string, uint32_t> SampleModuleSymbols(const std::string& module);

// The name an agent's files (its ready file, its trace) begin with in the shared
// temporary folder: the program's process number and its count of agents, and a part
// drawn anew for each name. Programs under Wine count their process numbers in the
// Wine server they run in, so two test programs of two servers at once (two trees'
// tests, a second run beside the first) often have the same number: without the
// drawn part they named the same files, read each other's ports and removed each
// other's ready files, which ends an agent.
std::string AgentFileTag(int processNumber, int agentCount);

class AgentProcess {
 public:
  AgentProcess();
  ~AgentProcess();
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;

  // Starts the agent with `arguments` and its own --ready-file, --idle-exit, a free UDP
  // port and (unless switched off) --trace, and waits until it listens. False with a
  // reason in *error.
  bool Start(const std::vector<std::string>& arguments, std::string* error);
  // Measurements want the agent without its trace.
  void SetTracing(bool on) { m_tracing = on; }
  // Removes the ready file and waits for the agent to end.
  void Stop();

  uint16_t UdpPort() const { return m_udpPort; }
  // The agent's process id (0 before it started; under Wine the host's number, which
  // its ready file gives).
  intptr_t ProcessId() const { return m_process; }
  // "127.0.0.1:PORT", the debugger's link name for this agent.
  std::string UdpLinkName() const;
  // The pseudo-terminal's line (a Unix path), when the agent opened one.
  const std::string& PtyPath() const { return m_ptyPath; }
  // Lines of the agent's trace so far that begin with `prefix`.
  std::vector<std::string> TraceLines(const std::string& prefix) const;

 private:
  std::string UnixFile(const std::string& name) const;

  std::string m_unixDirectory;
  std::string m_tag;
  uint16_t m_udpPort = 0;
  std::string m_ptyPath;
  intptr_t m_process = 0;
  bool m_running = false;
  bool m_tracing = true;
};

}  // namespace zentor::testing_support

// Runs a set-up step of a test against the agent and leaves the test when the step
// skipped it (no agent here) or failed fatally.
#define OR_RETURN(call)                           \
  do {                                            \
    call;                                         \
    if (IsSkipped() || HasFatalFailure()) return; \
  } while (false)

