#pragma once
// The two tables that turn what the agent reports into what the engine shows: the
// exception names of the stop record and the numbers the agent's exceptions are
// reported under. Data only; run control and the event handlers read them.

#include <cstdint>

namespace zentor {

// How an agent exception is taken: reported under a number, or first offered to one
// of the trap handlers, which report the number when they do not claim the trap.
enum class ExceptionRoute : uint8_t { Report, BreakpointTrap, DebugTrap, DebugRegisterTrap };

struct AgentExceptionRow {
  uint32_t m_agentNumber;
  ExceptionRoute m_route;
  uint32_t m_reported;  // the number reported (for a trap: when it is not claimed)
};

// The row of an agent exception number; numbers without a row are reported as 0.
const AgentExceptionRow& AgentExceptionRowOf(uint32_t agentNumber);

}  // namespace zentor
