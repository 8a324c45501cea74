#include "core/target_interface.h"

#include "core/dv_error_code.h"
#include "core/installed_service.h"

namespace zentor {
namespace {

InstalledService<TargetInterface> g_target;

uint32_t Succeed(TargetStatus* status) {
  *status = TargetStatus{};
  return 0;
}

uint32_t Unsupported(TargetStatus* status) {
  *status = TargetStatus{};
  status->m_number = kInvalidAddressOperation;
  status->m_severity = kSeverityInternal;
  return kInvalidAddressOperation;
}

}  // namespace

TargetInterface::~TargetInterface() = default;

uint32_t TargetInterface::CreateAddress(TargetStatus* status, uint32_t, TargetAddressRecord*,
                                        const AddressSpecification*) {
  return Unsupported(status);
}
uint32_t TargetInterface::CreatePointerAddress(TargetStatus* status, uint32_t, TargetAddressRecord*, uint32_t,
                                               const uint32_t*) {
  return Unsupported(status);
}
uint32_t TargetInterface::AddOffset(TargetStatus* status, uint32_t, TargetAddressRecord*,
                                    const TargetAddressRecord*, uint32_t, uint32_t) {
  return Unsupported(status);
}
uint32_t TargetInterface::SubtractOffset(TargetStatus* status, uint32_t, TargetAddressRecord*,
                                         const TargetAddressRecord*, uint32_t, uint32_t) {
  return Unsupported(status);
}
uint32_t TargetInterface::AddressDifference(TargetStatus* status, uint32_t, uint64_t*, const TargetAddressRecord*,
                                            const TargetAddressRecord*) {
  return Unsupported(status);
}
uint32_t TargetInterface::CheckAddressClass(TargetStatus* status, uint32_t, const TargetAddressRecord*, uint32_t,
                                            uint32_t* flag) {
  *flag = 0;
  return Unsupported(status);
}
uint32_t TargetInterface::CompareAddresses(TargetStatus* status, uint32_t, const TargetAddressRecord*,
                                           const TargetAddressRecord*, uint32_t* relation, uint32_t* notComparable) {
  *relation = 0;
  *notComparable = 1;
  return Unsupported(status);
}
uint32_t TargetInterface::AddressToText(TargetStatus* status, uint32_t, const char** text,
                                        const TargetAddressRecord*) {
  *text = "";
  return Unsupported(status);
}
uint32_t TargetInterface::IsZeroAddress(TargetStatus* status, uint32_t, const TargetAddressRecord*,
                                        uint32_t* flag) {
  *flag = 0;
  return Unsupported(status);
}
uint32_t TargetInterface::AddressOffset(TargetStatus* status, uint32_t, const TargetAddressRecord*,
                                        uint32_t*) {
  return Unsupported(status);
}
uint32_t TargetInterface::AddressSpace(TargetStatus* status, uint32_t, const TargetAddressRecord*,
                                       TargetAddressSpace*) {
  return Unsupported(status);
}
uint32_t TargetInterface::IsRegisterAddress(TargetStatus* status, uint32_t, const TargetAddressRecord*,
                                            uint32_t* flag) {
  *flag = 0;
  return Unsupported(status);
}

uint32_t TargetInterface::SelectViewpoint(TargetStatus* status, uint32_t) { return Succeed(status); }
uint32_t TargetInterface::SameViewpoint(TargetStatus* status, uint32_t, uint32_t a, uint32_t b, uint32_t* result) {
  *result = a == b ? 1 : 0;
  return Succeed(status);
}
uint32_t TargetInterface::ViewpointToText(TargetStatus* status, uint32_t, uint32_t, const char** text) {
  *text = "";
  return Succeed(status);
}
uint32_t TargetInterface::ViewpointFromText(TargetStatus* status, uint32_t, const char*, uint32_t* value) {
  *value = 0xFFFFFFFFu;
  return Succeed(status);
}

uint32_t TargetInterface::GetTargetDescription(TargetStatus* status, uint32_t, TargetDescription*) {
  return Succeed(status);
}
uint32_t TargetInterface::Notify(TargetStatus* status, uint32_t, uint32_t, const char*) { return Succeed(status); }
uint32_t TargetInterface::HandleOption(TargetStatus* status, uint32_t, uint32_t, const char* const*,
                                       uint32_t* result) {
  *result = kTmiOptionUnknown;
  return Succeed(status);
}
uint32_t TargetInterface::Disconnect(TargetStatus* status, uint32_t) { return Succeed(status); }

TargetInterface* InstallTargetInterface(TargetInterface* target) { return g_target.Install(target); }

TargetInterface& InstalledTarget() { return g_target.Get(); }

}  // namespace zentor
