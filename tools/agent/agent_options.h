#pragma once
// The stand-in agent's command line: where it listens, what it loads, and which of its
// answers it spoils on purpose so that tests can watch the debugger's link recover.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "target/agent_protocol.h"

namespace zentor::agent {

// Which answers to spoil, by their number among all answers the agent sends (from 1,
// resends included).
struct FaultPlan {
  std::set<uint32_t> m_drop;       // not sent at all
  std::set<uint32_t> m_damage;     // one bit of the packet sum flipped
  std::set<uint32_t> m_delay;      // sent after m_delayMilliseconds
  std::set<uint32_t> m_late;       // held until the next request comes (the debugger's repeat)
  std::set<uint32_t> m_duplicate;  // sent twice
  std::set<uint32_t> m_stale;      // sent with the previous sequence number
  uint32_t m_delayMilliseconds = 300;
  bool m_ackFirst = false;             // an ACK before every answer
  uint32_t m_splitBytes = 0;           // serial answers in pieces of this many bytes (0: whole)
  uint32_t m_splitPauseMilliseconds = 5;
};

// An event a go reports in place of running the thread (--go-event): a thread that
// starts at an address, thread 0's end, or a load or server error with its status.
struct ScriptedEvent {
  uint16_t m_code = 0;     // 1011, 1012, 1002 or 1010
  uint32_t m_address = 0;  // 1011: where the new thread starts
  uint32_t m_status = 0;   // 1002, 1010: the ServerErrorCode
};

struct AgentOptions {
  bool m_udp = true;
  uint16_t m_udpPort = kDefaultAgentUdpPort;
  bool m_pty = false;
  std::string m_ptyLink;
  std::vector<std::string> m_modules;
  std::string m_moduleDirectory = ".";
  uint32_t m_extraModules = 0;
  uint32_t m_listPartEntries = 256;
  bool m_hasFloatingPoint = true;
  bool m_debugRegisterEvents = false;  // 0x12F with the registers instead of 0x12D
  std::vector<ScriptedEvent> m_goEvents;  // in the order the goes take them
  std::string m_readyFile;
  uint32_t m_idleExitSeconds = 0;
  std::string m_traceFile;
  FaultPlan m_faults;
  bool m_quiet = false;
  bool m_help = false;
};

// Parses the arguments (without the program name). False with a reason in *error.
bool ParseAgentOptions(const std::vector<std::string>& arguments, AgentOptions* options, std::string* error);

// The text of --help.
const char* AgentUsageText();

}  // namespace zentor::agent
