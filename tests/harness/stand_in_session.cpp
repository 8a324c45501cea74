#include "harness/stand_in_session.h"

#include <vector>

#include "command/command_scanner.h"
#include "command/grammar_object.h"
#include "command/symbol_lookup_commands.h"
#include "console/file_channel.h"
#include "console/output_writer.h"
#include "core/address_range.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/stop_report.h"
#include "core/typed_location.h"
#include "core/value_stack.h"
#include "core/viewpoint_manager.h"
#include "engine/engine_services.h"
#include "engine/target_memory_access.h"
#include "engine/watch_table.h"
#include "harness/session/console_session.h"
#include "symbols/load_driver.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "target/agent_event_handlers.h"
#include "target/agent_events.h"
#include "target/agent_link.h"
#include "target/agent_requests.h"
#include "target/module_symbols.h"
#include "target/register_model.h"
#include "target/serial_transport.h"
#include "target/target_keywords.h"
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"
#include "target/udp_transport.h"

namespace zentor::testing_support {

namespace {

void ResetLink() {
  TheAgentLink().Reset();
  ResetAgentRequests();
  ResetAgentEvents();
  ResetSerialTransport();
  SetUdpFlushQuietTime(0);
}

}  // namespace

void ForgetProgramAndViewpoints() {
  ResetViewpointStack();
  RemoveViewpointsAndTheirContexts();
  LoadableRegistry::Instance().ClearAll();
  TmiSetServerSymbolsLoaded(0);
  SetBaseViewpoint(ViewpointHandle::None());
}

OrdinalValue InterfaceTargetMemory::ReadValue(void* destination, uint32_t capacity, const AddressRange& range,
                                              uint32_t) {
  ++m_reads;
  TargetAccessRecord access;
  access.m_address = range.Start().AddressRef().Record();
  access.m_typeCode = range.Start().Type().Code();
  access.m_elementSize = range.Start().ElementSize().Low();
  access.m_elementCount = range.Length().Low();
  if (access.m_elementSize * access.m_elementCount > capacity) throw DVError(kOperandSizeTooLarge, kSeverityError);
  TargetStatus status;
  uint64_t count = 0;
  const uint32_t result = TmiReadMemory(&status, 0, destination, &access, &count);
  if (result != 0) throw DVError(result, kSeverityError);
  return OrdinalValue(static_cast<uint32_t>(count * access.m_elementSize));
}

// Follows the pointers through the target interface, as the engine's service does.
AddressDescriptor InterfaceTargetMemory::ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType,
                                                            uint32_t levels) {
  if (levels > kMaxIndirectionLevels) throw DVError(kTooManyIndirections, kSeverityError);
  const std::vector<uint32_t> levelTypes(levels + 1, pointerType.TargetTypeId());
  TargetStatus status;
  TargetAddressRecord out;
  const uint32_t result =
      TmiFollowPointers(&status, 0, &start.AddressRef().Record(), levels, levelTypes.data(), &out);
  if (result != 0) throw DVError(result, kSeverityError);
  return AddressDescriptor(out);
}

void InterfaceTargetMemory::PushRegisterValue(uint32_t) { throw DVError(kNoProgramLoaded, kSeverityError); }

void BindCommandsForStandIn() {
  CommandScanner::InitKeywords();
  AddTargetKeywords();
  BindEngineActions();
  BindTargetActions();
  BindSymbolLookupActions();
  ValueStack::Create();
  InstallTargetMemoryAccess();
  InitWatchTable();
  InitBreakReport();
}

uint32_t RunCommandLine(const std::string& text) {
  uint16_t kind = 0;
  uint8_t value[ValueStack::kMaxItemSize];
  DVError error;
  const DVErrorCode status = ExecuteTextInto((text + "\n").c_str(), kProductionCommand, &kind, value, &error);
  return status.IsOkay() ? 0 : (error.Number() != 0 ? error.Number() : status.Number());
}

std::string PrintedByCommandLine(const std::string& text) {
  std::string out;
  OutputWriter::InstallHook([&out](char ch) {
    if (ch != '\r') out += ch;
  });
  const uint32_t error = RunCommandLine(text);
  OutputWriter::RemoveHook();
  return error == 0 ? out : out + "ERROR " + std::to_string(error);
}

bool StandInSession::Connect(const std::vector<std::string>& arguments, std::string* reason) {
  if (AgentProgramPath().empty()) {
    *reason = "the stand-in agent is not built here: scripts/test sets ZENTOR_AGENT";
    return false;
  }
  ResetLink();
  // Resetting the events drops the pump; stops reach the engine only through it.
  InstallAgentEventPump();
  SetOfflineSession(false);
  m_connected = true;
  std::vector<std::string> agentArguments = arguments;
  agentArguments.insert(agentArguments.end(), {"--module", SampleModuleManifest()});
  if (!m_agent.Start(agentArguments, reason)) return false;
  TargetStatus status;
  const std::string link = m_agent.UdpLinkName();
  const char* option[] = {"-ip", link.c_str(), nullptr};
  uint32_t result = 0;
  if (TmiHandleOption(&status, 0, 0, option, &result) != 0) {
    *reason = "the -ip option was refused";
    return false;
  }
  // A link that cannot be opened ends the program after its message box; here it ends
  // this attempt instead, so the test program lives on. Under Wine a socket made right
  // after the previous session's has been refused as no socket: the next attempt gets
  // a good one.
  SetProgramExitHandler(&ThrowProgramExited);
  bool opened = false;
  for (int attempt = 0; attempt < 2 && !opened; ++attempt) {
    try {
      TmiNotify(&status, 0, 3, nullptr);
      opened = true;
    } catch (const ProgramExited&) {
      ResetLink();
      InstallAgentEventPump();
    }
  }
  SetProgramExitHandler(nullptr);
  if (!opened) {
    *reason = "the link to " + link + " did not open";
    return false;
  }
  if (!TheAgentLink().IsOpen()) {
    *reason = "the link did not open";
    return false;
  }
  return true;
}

StandInSession::~StandInSession() {
  if (!m_connected) return;
  TargetStatus status;
  TmiDisconnect(&status, 0);
  ResetLink();
  ResetTargetState();
  ResetRegisterModel();
  ResetTmiOptions();
  ResetKnownModules();
  ResetSymbolLoad();
  ForgetProgramAndViewpoints();
  SetOfflineSession(true);
  m_agent.Stop();
}

}  // namespace zentor::testing_support
