#pragma once
// The numbers of the agent protocol, shared by the debugger's link and the stand-in
// agent: request codes, answer statuses, event codes, list kinds, and the sizes and
// field offsets of the records and register groups that travel in payloads. Header
// only, so the stand-in agent builds with it and without the debugger's libraries.

#include <cstdint>

namespace zentor {

// Request codes (the code field of a request packet). 1, 0x0B, 0x0C and 0x18 are
// never issued.
enum AgentCommand : uint32_t {
  kAgentCommandHello = 0x00,
  kAgentCommandLoadModule = 0x02,
  kAgentCommandUnloadModule = 0x03,
  kAgentCommandGo = 0x04,
  kAgentCommandGetEvent = 0x05,
  kAgentCommandReadRegisters = 0x06,
  kAgentCommandWriteRegisters = 0x07,
  kAgentCommandSingleStep = 0x08,
  kAgentCommandReadMemory = 0x09,
  kAgentCommandWriteMemory = 0x0A,
  kAgentCommandSetBreakpoint = 0x0D,
  kAgentCommandClearBreakpoint = 0x0E,
  kAgentCommandSetDebugBreakpoint = 0x0F,
  kAgentCommandClearDebugBreakpoint = 0x10,
  kAgentCommandListFirst = 0x11,
  kAgentCommandListNext = 0x12,
  kAgentCommandProcessInfo = 0x13,
  kAgentCommandModuleInfo = 0x14,
  kAgentCommandScreenInfo = 0x15,
  kAgentCommandQueryByte = 0x16,
  kAgentCommandEnd = 0x17,
  kAgentCommandSelectProcessor = 0x19,
};

// Answer statuses (the code field of an answer packet); 0 is success.
enum ServerErrorCode : uint32_t {
  kServerSuccess = 0,
  kServerFileNotFound = 1,
  kServerErrorReadingFile = 2,
  kServerNotNlmFormat = 3,
  kServerWrongNlmVersion = 4,
  kServerReentrantInitFailure = 5,
  kServerMultipleCopies = 6,
  kServerAlreadyInProgress = 7,
  kServerNotEnoughMemory = 8,
  kServerInitializeFailure = 9,
  kServerInconsistentFormat = 10,
  kServerCannotLoadAtStartup = 11,
  kServerAutoLoadNotLoaded = 12,
  kServerUnresolvedExternal = 13,
  kServerPublicDefined = 14,
  kServerXdcDataError = 15,
  kServerNotOsDomain = 16,
  kServerModuleNotLoaded = 100,
  kServerModuleNotUnloaded = 101,
  kServerUnknownCommand = 0x4001,
  kServerParameterSizeError = 0x4002,
  kServerInvalidAddress = 0x4003,
  kServerInvalidThread = 0x4004,
  kServerInvalidBreakpoint = 0x4005,
  kServerInvalidType = 0x4006,
  kServerInvalidModule = 0x4008,
  kServerInvalidScreen = 0x4009,
  kServerNoFloatingPoint = 0x400A,
  kServerResponseTooBig = 0x400B,
  kServerCommandTooBig = 0x400C,
  kServerInternalError = 0x400E,
};

// What a request builder returns instead of an agent status when the link failed.
inline constexpr uint32_t kLinkFailureStatus = 0x834;

// Event codes of a get-event answer.
enum AgentEvent : uint16_t {
  kAgentEventModuleLoaded = 1000,
  kAgentEventModuleUnloaded = 1001,
  kAgentEventLoadError = 1002,    // the status of a failed load at offset 12
  kAgentEventServerError = 1010,  // likewise
  kAgentEventThreadCreated = 1011,
  kAgentEventThreadExited = 1012,
  kAgentEventNothing = 1090,
  kAgentEventText = 1098,
  kAgentEventException = 1099,
};

// Exception numbers of event 1099 that the stand-in agent reports.
inline constexpr uint32_t kAgentExceptionDivide = 0;
inline constexpr uint32_t kAgentExceptionBreakpoint = 3;
inline constexpr uint32_t kAgentExceptionInvalidOpcode = 6;
inline constexpr uint32_t kAgentExceptionGeneralProtection = 13;
inline constexpr uint32_t kAgentExceptionPageFault = 14;
inline constexpr uint32_t kAgentExceptionDebugTrap = 0x12D;
inline constexpr uint32_t kAgentExceptionDebugRegisterTrap = 0x12F;

// Offsets in a get-event answer.
inline constexpr uint32_t kEventCodeOffset = 0;
inline constexpr uint32_t kEventFlagOffset = 2;
inline constexpr uint32_t kEventThreadOffset = 4;
inline constexpr uint32_t kEventFieldsOffset = 8;
inline constexpr uint32_t kEventModuleFlagOffset = 32;     // 1000: stop-on-load flag
inline constexpr uint32_t kEventModuleNameOffset = 33;     // 1000: length byte, then the name
inline constexpr uint32_t kEventThreadNameOffset = 16;     // 1011: length byte, then the name
inline constexpr uint32_t kEventTextOffset = 8;            // 1098: length byte, then the text
inline constexpr uint32_t kEventDebugWordsOffset = 16;     // 1099 / 0x12F: six more words

// List kinds of the list requests; a complete list ends with kAgentListEnd.
enum AgentListKind : uint8_t {
  kAgentListWaitingProcesses = 1,
  kAgentListModules = 2,
  kAgentListScreens = 3,
  kAgentListRunningProcesses = 4,
  kAgentListCurrentThread = 5,
};
inline constexpr uint32_t kAgentListEnd = 0xFFFFFFFFu;

// Process record (answer of 0x13).
inline constexpr uint32_t kProcessRecordSize = 20;
inline constexpr uint32_t kProcessNameSize = 18;
inline constexpr uint32_t kProcessWaitBitsOffset = 18;
inline constexpr uint32_t kProcessWorkerFlagOffset = 19;

// Module record (answer of 0x14): name, description, then fourteen words.
inline constexpr uint32_t kModuleRecordSize = 220;
inline constexpr uint32_t kModuleNameSize = 36;
inline constexpr uint32_t kModuleDescriptionOffset = 36;
inline constexpr uint32_t kModuleDescriptionSize = 128;
inline constexpr uint32_t kModuleWordsOffset = 164;
inline constexpr uint32_t kModuleWordCount = 14;

// Screen record (answer of 0x15).
inline constexpr uint32_t kScreenRecordSize = 52;
inline constexpr uint32_t kScreenNameSize = 40;
inline constexpr uint32_t kScreenTypeAheadOffset = 40;
inline constexpr uint32_t kScreenModeOffset = 42;
inline constexpr uint32_t kScreenBufferOffset = 44;
inline constexpr uint32_t kScreenKeyboardThreadOffset = 48;

// Register groups of the register requests, by bit of the group mask; on the wire the
// selected groups follow one another in bit order.
inline constexpr uint32_t kRegisterGroupCount = 7;
inline constexpr uint32_t kRegisterGroupSizes[kRegisterGroupCount] = {16, 24, 24, 112, 24, 16, 40};
inline constexpr uint16_t kRegisterGroupMaskAll = 0x7F;
inline constexpr uint32_t kFpuEnvironmentSize = 28;  // group 3: seven words first
inline constexpr uint32_t kFpuRegisterSize = 10;     // then st0 .. st7, then one word

// Wire size of the groups a mask selects.
constexpr uint32_t RegisterGroupsWireSize(uint16_t mask) {
  uint32_t size = 0;
  for (uint32_t bit = 0; bit < kRegisterGroupCount; ++bit) {
    if ((mask >> bit) & 1u) size += kRegisterGroupSizes[bit];
  }
  return size;
}

// Largest byte counts of one memory request: a read answer carries at most the largest
// payload; a write carries the address header (thread, address, count) too.
inline constexpr uint32_t kMemoryRequestHeaderSize = 10;

// The UDP port of the agent when the link name gives none ("-ip host:port" gives one).
inline constexpr uint16_t kDefaultAgentUdpPort = 23124;

}  // namespace zentor
