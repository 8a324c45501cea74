#pragma once
// A debugger session connected over UDP to the stand-in agent running its sample
// module, for tests of the data views: the agent is started, the target interface
// connects as start-up does, and everything goes back to the start when the session
// object goes.

#include <cstdint>
#include <string>
#include <vector>

#include "core/target_memory.h"
#include "harness/agent_process.h"

namespace zentor::testing_support {

// The end of a connected session's program and viewpoints: the viewpoint stack, the
// symbol context each viewpoint owns (with the loaded program's tables), the
// loadables, the viewpoints and the base viewpoint.
void ForgetProgramAndViewpoints();

// Target memory read through the target interface, standing in for the engine's own
// service in the views' tests and benchmark; counts its reads.
class InterfaceTargetMemory : public TargetMemoryService {
 public:
  OrdinalValue ReadValue(void* destination, uint32_t capacity, const AddressRange& range, uint32_t) override;
  AddressDescriptor ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType, uint32_t levels) override;
  void PushRegisterValue(uint32_t) override;
  int m_reads = 0;
};

// The command language as start-up binds it for a connected target: the scanner's and
// the target's words, the actions of the engine, the target and the symbol lookups, the
// value stack, the engine's own path to target memory (other tests install doubles),
// the watch table and the stop report.
void BindCommandsForStandIn();
// Runs one command line, ended as the command reader ends it; its error number (0 when
// it ran).
uint32_t RunCommandLine(const std::string& text);
// What a command line prints, with "ERROR n" after it when it fails.
std::string PrintedByCommandLine(const std::string& text);

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
