#pragma once
// The engine's target-memory service: the reads, writes, copies, pointer chains and
// register values of core/target_memory.h turned into the target machine interface's
// memory and register entries for the current viewpoint. Start-up installs it
// (InstallTargetMemoryAccess); every failing status is raised as a DVError.

#include "core/target_memory.h"

namespace zentor {

class TargetMemoryAccess final : public TargetMemoryService {
 public:
  OrdinalValue ReadValue(void* destination, uint32_t capacity, const AddressRange& range,
                         uint32_t acceptPartial) override;
  AddressDescriptor ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType,
                                       uint32_t levels) override;
  void PushRegisterValue(uint32_t registerIndex) override;
  // Memory views are told of the change whether or not the write succeeded.
  void WriteValue(const void* data, uint32_t size, const AddressRange& range) override;
  void WriteRegister(uint32_t registerIndex, uint16_t kind, const void* data, uint32_t size) override;
  void CopyRange(const AddressRange& source, const AddressDescriptor& destination) override;
};

void InstallTargetMemoryAccess();

}  // namespace zentor
