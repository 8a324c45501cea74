#include "harness/stand_in_session.h"

#include "core/address_range.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/typed_location.h"
#include "core/viewpoint_manager.h"
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
#include "target/target_state.h"
#include "target/tmi_memory.h"
#include "target/tmi_session.h"
#include "target/tmi_symbol_load.h"
#include "target/udp_transport.h"

namespace zentor::testing_support {

namespace {

constexpr uint32_t kThread = 0;

void ResetLink() {
  TheAgentLink().Reset();
  ResetAgentRequests();
  ResetAgentEvents();
  ResetSerialTransport();
  SetUdpFlushQuietTime(0);
}

}  // namespace

void ForgetProgramAndViewpoints(uint32_t thread) {
  ResetViewpointStack();
  SymbolContext* context = ViewpointManager::SymbolContextOf(ViewpointHandle(thread));
  if (context != nullptr) {
    PushViewpoint(ViewpointHandle(thread));
    ViewpointManager::SetCurrentSymbolContext(nullptr);
    PopViewpoint();
    if (context != GetDefaultSymbolContext()) delete context;
  }
  LoadableRegistry::Instance().ClearAll();
  TmiSetServerSymbolsLoaded(0);
  ViewpointManager::RemoveAllViewpoints();
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

AddressDescriptor InterfaceTargetMemory::ResolveIndirection(const TypedLocation& start, const DVPTypeInfo&, uint32_t) {
  return start.Address();
}

void InterfaceTargetMemory::PushRegisterValue(uint32_t) { throw DVError(kNoProgramLoaded, kSeverityError); }

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
  TmiNotify(&status, 0, 3, nullptr);
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
  ForgetProgramAndViewpoints(kThread);
  SetOfflineSession(true);
  m_agent.Stop();
}

}  // namespace zentor::testing_support
