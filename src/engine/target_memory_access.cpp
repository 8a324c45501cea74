#include "engine/target_memory_access.h"

#include <vector>

#include "core/address_range.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/typed_location.h"
#include "core/value_stack.h"
#include "engine/engine_target.h"
#include "engine/register_access.h"

namespace zentor {
namespace {

uint64_t Wide(const OrdinalValue& value) { return (uint64_t{value.High()} << 32) | value.Low(); }

TargetAccessRecord AccessOf(const TypedLocation& start, const OrdinalValue& elementSize, const OrdinalValue& count) {
  TargetAccessRecord access;
  access.m_address = start.AddressRef().Record();
  access.m_typeCode = start.Type().TargetTypeId();
  access.m_elementSize = Wide(elementSize);
  access.m_elementCount = Wide(count);
  return access;
}

void MarkMemoryChanged() { MarkRegisteredChanged(kRecordTargetMemory, CurrentViewpoint()); }

}  // namespace

OrdinalValue TargetMemoryAccess::ReadValue(void* destination, uint32_t, const AddressRange& range,
                                           uint32_t acceptPartial) {
  const TypedLocation& start = range.Start();
  const TargetAccessRecord access = AccessOf(start, start.ElementSize(), range.Length());
  if (access.m_elementSize == 0) ZENTOR_INTERNAL_ERROR();
  TargetStatus status;
  uint64_t count = 0;
  TheEngineTarget().ReadMemory(&status, GetCurrentViewpointValue(), destination, &access, &count);
  if (status.m_number != 0) {
    DVError error(status);
    if (acceptPartial != 0 && count >= 1) error.Set(error.Number(), kSeverityWarning, error.DisplayMode(), nullptr);
    ThrowIfError(error);
  }
  const uint64_t bytes = count * access.m_elementSize;
  return OrdinalValue::FromWords(static_cast<uint32_t>(bytes), static_cast<uint32_t>(bytes >> 32));
}

AddressDescriptor TargetMemoryAccess::ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType,
                                                         uint32_t levels) {
  if (levels > kMaxIndirectionLevels) throw DVError(kTooManyIndirections, kSeverityError, kDisplayByFocus);
  const std::vector<uint32_t> levelTypes(levels + 1, pointerType.TargetTypeId());
  TargetAddressRecord out;
  TargetStatus status;
  TheEngineTarget().FollowPointers(&status, GetCurrentViewpointValue(), &start.AddressRef().Record(), levels,
                                   levelTypes.data(), &out);
  RaiseTargetStatus(status);
  return AddressDescriptor(out);
}

void TargetMemoryAccess::PushRegisterValue(uint32_t registerIndex) {
  const RegisterValue value = GeneralRegistersObject().ReadRegisterByIndex(static_cast<int32_t>(registerIndex));
  ValueStack::PushTyped(value.m_type, value.m_value);
}

void TargetMemoryAccess::WriteValue(const void* data, uint32_t size, const AddressRange& range) {
  const TargetAccessRecord access = AccessOf(range.Start(), OrdinalValue(size), OrdinalValue::One);
  TargetStatus status;
  TheEngineTarget().WriteMemory(&status, GetCurrentViewpointValue(), data, &access, 1);
  MarkMemoryChanged();
  RaiseTargetStatus(status);
}

void TargetMemoryAccess::WriteRegister(uint32_t registerIndex, uint16_t kind, const void* data, uint32_t) {
  const RegisterValue value(static_cast<int32_t>(registerIndex), DVPTypeInfo::FromCode(kind), data);
  GeneralRegistersObject().WriteRegister(value);
}

void TargetMemoryAccess::CopyRange(const AddressRange& source, const AddressDescriptor& destination) {
  const TypedLocation& start = source.Start();
  const TargetAccessRecord from = AccessOf(start, start.ElementSize(), source.Length());
  const TypedLocation to(destination, start.Type(), start.ElementSize(), start.ElementCount());
  const TargetAccessRecord into = AccessOf(to, start.ElementSize(), source.Length());
  TargetStatus status;
  TheEngineTarget().CopyMemory(&status, GetCurrentViewpointValue(), &from, &into);
  MarkMemoryChanged();
  RaiseTargetStatus(status);
}

void InstallTargetMemoryAccess() {
  static TargetMemoryAccess access;
  TargetMemory::InstallService(&access);
}

}  // namespace zentor
