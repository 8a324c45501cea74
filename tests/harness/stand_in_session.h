#pragma once
// A debugger session connected over UDP to the stand-in agent running its sample
// module, for tests of the data views: the agent is started, the target interface
// connects as start-up does, and everything goes back to the start when the session
// object goes.

#include <cstdint>
#include <string>
#include <vector>

#include "harness/agent_process.h"

namespace zentor::testing_support {

// The end of a connected session's program and viewpoints: the viewpoint stack, the
// symbol context of the thread's viewpoint (with its loaded program), the loadables,
// the viewpoints and the base viewpoint.
void ForgetProgramAndViewpoints(uint32_t thread);

class StandInSession {
 public:
  StandInSession() = default;
  ~StandInSession();
  StandInSession(const StandInSession&) = delete;
  StandInSession& operator=(const StandInSession&) = delete;

  // Starts the agent (with `arguments` before its module) and connects. False, with
  // the reason, when the agent is not built here or did not start.
  bool Connect(const std::vector<std::string>& arguments, std::string* reason);
  AgentProcess& Agent() { return m_agent; }

 private:
  AgentProcess m_agent;
  bool m_connected = false;
};

}  // namespace zentor::testing_support
