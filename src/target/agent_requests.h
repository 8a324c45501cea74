#pragma once
// One builder per agent request: each writes its command, length and payload into the
// link's request buffer, runs the transaction and turns the answer into results. A
// builder returns the agent's status (0 = success), or kLinkFailureStatus (0x834) when
// the link failed; unless said otherwise it prints a nonzero agent status after
// "NetWare Server Error: " (PrintServerError). The records of the information
// requests and the register block that the register model exchanges are defined
// here. Callers: the target machine interface, the connection start-up, the target
// state, breakpoint slots, run control, module symbol loading, the register model,
// the event pump and the server listings.

#include <cstdint>

#include "target/agent_events.h"
#include "target/agent_packet.h"
#include "target/agent_protocol.h"

namespace zentor {

// The text of an agent status (the full value decides; unknown values share one
// text), and the line that prints it on the command output.
const char* ServerErrorText(uint32_t status);
void PrintServerError(uint32_t status);

// Process record (0x13), NUL-terminated name.
struct ProcessRecord {
  char m_name[kProcessNameSize] = {};
  uint8_t m_waitBits = 0;
  uint8_t m_workerListFlag = 0;
};

// Module record (0x14), NUL-terminated texts.
struct ModuleRecord {
  char m_name[kModuleNameSize] = {};
  char m_description[kModuleDescriptionSize] = {};
  uint32_t m_majorVersion = 0;
  uint32_t m_minorVersion = 0;
  uint32_t m_revision = 0;  // a character code
  uint32_t m_year = 0;
  uint32_t m_month = 0;  // 1-12, 0 = no date
  uint32_t m_day = 0;
  uint32_t m_codeAddress = 0;
  uint32_t m_codeLength = 0;
  uint32_t m_dataAddress = 0;
  uint32_t m_dataLength = 0;
  uint32_t m_reserved[4] = {};
};

// Screen record (0x15), NUL-terminated name.
struct ScreenRecord {
  char m_name[kScreenNameSize] = {};
  uint16_t m_typeAheadCount = 0;
  uint16_t m_videoMode = 0;
  uint32_t m_bufferAddress = 0;
  uint32_t m_keyboardThread = 0;  // 0 = no thread waits on the keyboard
};

// The register block of the register model: the u16 group mask, then every group in
// the order 0, 1, 2, 3, 4, 6, 5 (group 6 before group 5, unlike the wire). The groups
// hold their wire bytes. Reads fill the groups the mask selects; writes send them.
class RegisterBlock {
 public:
  static constexpr uint32_t kMaskSize = 2;
  static constexpr uint32_t kSize = kMaskSize + RegisterGroupsWireSize(kRegisterGroupMaskAll);

  uint16_t Mask() const { return static_cast<uint16_t>(m_bytes[0] | (m_bytes[1] << 8)); }
  void SetMask(uint16_t mask) {
    m_bytes[0] = static_cast<uint8_t>(mask);
    m_bytes[1] = static_cast<uint8_t>(mask >> 8);
  }
  // The bytes of group `bit` (0-6) in the block.
  uint8_t* Group(uint32_t bit) { return m_bytes + GroupOffset(bit); }
  const uint8_t* Group(uint32_t bit) const { return m_bytes + GroupOffset(bit); }
  uint8_t* Bytes() { return m_bytes; }
  const uint8_t* Bytes() const { return m_bytes; }

  // Offset of group `bit` in the block.
  static uint32_t GroupOffset(uint32_t bit);

 private:
  uint8_t m_bytes[kSize] = {};
};

// A list of identifiers from the list requests, held in one block of the checked
// allocator and freed with the list. The terminator is not counted.
class AgentList {
 public:
  AgentList() = default;
  ~AgentList() { Clear(); }
  AgentList(const AgentList&) = delete;
  AgentList& operator=(const AgentList&) = delete;

  uint32_t Count() const { return m_count; }
  uint32_t operator[](uint32_t index) const { return m_entries[index]; }
  void Clear();
  // Appends the little-endian identifiers of a payload (a multiple of 4 bytes).
  void Append(const uint8_t* payload, uint32_t length);
  // The last identifier held, or 0 when none is.
  uint32_t Last() const { return m_held == 0 ? 0 : m_entries[m_held - 1]; }
  uint32_t Held() const { return m_held; }
  // Drops the terminator from the count once the list is complete.
  void Complete() { m_count = m_held == 0 ? 0 : m_held - 1; }

 private:
  uint32_t* m_entries = nullptr;
  uint32_t m_held = 0;   // identifiers in the block, terminator included
  uint32_t m_count = 0;  // identifiers without the terminator, once complete
};

// The most entries a list may hold before its terminator: byte totals are 16-bit.
inline constexpr uint32_t kMostListEntries = 16383;

// The largest pieces of one memory request; longer reads and writes are split.
inline constexpr uint32_t kLargestMemoryRead = kMaxPayloadLength;
inline constexpr uint32_t kLargestMemoryWrite = kMaxPayloadLength - kMemoryRequestHeaderSize;

uint32_t AgentHello();
// Whether the server has a floating-point unit, as the last hello said (assumed until
// then and whenever the hello did not say).
bool AgentHasFloatingPoint();
uint32_t AgentLoadModule(const char* text);
uint32_t AgentUnloadModule(const char* name);
uint32_t AgentGo(uint32_t threadId);
uint32_t AgentReadRegisters(uint32_t threadId, RegisterBlock* block);
uint32_t AgentWriteRegisters(uint32_t threadId, const RegisterBlock* block);
uint32_t AgentSingleStep(uint16_t stepArgument);
// Reads `count` bytes (in pieces of at most 1024); *outCount is how many arrived,
// never more than asked. A nonzero status is returned without printing.
uint32_t AgentReadMemory(uint32_t threadId, uint16_t count, uint32_t address, uint16_t* outCount, uint8_t* buffer);
// Writes `count` bytes in pieces of at most 1014.
uint32_t AgentWriteMemory(uint32_t threadId, uint16_t count, uint32_t address, const uint8_t* bytes);
uint32_t AgentSetBreakpoint(uint8_t index, uint32_t threadId, uint32_t address);
uint32_t AgentRemoveBreakpoint(uint8_t index);
uint32_t AgentSetDebugBreakpoint(uint8_t slot, uint32_t threadId, uint32_t address, uint8_t length,
                                 uint8_t condition);
uint32_t AgentRemoveDebugBreakpoint(uint8_t slot);
// The whole list of a kind, assembled from as many parts as the agent sends.
uint32_t AgentGetList(uint8_t kind, uint32_t* count, AgentList* list);
uint32_t AgentGetProcessInfo(uint32_t threadId, ProcessRecord* record);
uint32_t AgentGetModuleInfo(uint32_t moduleHandle, ModuleRecord* record);
uint32_t AgentGetScreenInfo(uint32_t screenId, ScreenRecord* record);
uint32_t AgentQueryByte(uint32_t identifier, uint8_t* byte);
// Asks for the next event; see agent_events.h.
uint32_t AgentGetEvent(uint8_t* flag, AgentEventRecord* record);
uint32_t AgentEnd();
// Held (and 0xFFFFFFFF returned) while the target runs; sent after the next event.
uint32_t AgentSelectProcessor(uint32_t optionWord);

// Back to the start state (floating-point unit assumed, the memory read cache empty
// and on).
void ResetAgentRequests();

}  // namespace zentor
