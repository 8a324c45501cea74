#pragma once
// The agent-link fuzz driver: one input is everything the agent's side of the line
// sends while the debugger runs a fixed sequence of requests (a memory read of two
// pieces, a register read, the server's module listing with its list and module
// records, two get-event requests). The bytes reach the program's link through a
// transport that reads them from the input as the link asks.
//
// The input: byte 0 chooses the line (bit 0: 0 serial, 1 UDP); then records, each
// opened by a tag byte whose low two bits say what arrives:
//   0  raw bytes: a count byte, then that many bytes as they stand;
//   1  an answer sealed with correct sums: a u32 status, a u16 payload length (above
//      1024 it is cut to 1024), the payload; tag bits 2-3 make it answer the request
//      that many numbers back (0: the current one), bit 4 sends an ACK before it;
//   2  silence (one read that times out);
//   3  one control byte, the next byte of the input.
// Sealing lets the fuzzer reach the request code behind the sums; raw records keep
// every damage reachable. Past the end of the input the line is silent.

#include <cstdint>
#include <string>

namespace zentor::fuzzing {

struct AgentAnswerOutcome {
  // One line per request: its status, or "error N" for a DVError it raised.
  std::string m_results;
  // The command output (listing lines and server errors), line ends as "\n"; a
  // listing is cut after its first 64 KB written.
  std::string m_output;
};

AgentAnswerOutcome RunAgentAnswerInput(const uint8_t* data, size_t size);

// The fixed request sequence alone, on the program's link as it stands.
AgentAnswerOutcome RunAgentRequestSequence();

// Tags of the input's records.
inline constexpr uint8_t kAnswerRecordRaw = 0;
inline constexpr uint8_t kAnswerRecordSealed = 1;
inline constexpr uint8_t kAnswerRecordSilence = 2;
inline constexpr uint8_t kAnswerRecordControlByte = 3;

}  // namespace zentor::fuzzing
