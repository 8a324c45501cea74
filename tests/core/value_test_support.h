#pragma once
// Scaffolding of the value-model tests: a target memory over a byte image (so that
// references, pointer chains and string reads have something to read), a clean value
// stack per test, and small builders for values and locations.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/address_descriptor.h"
#include "core/address_range.h"
#include "core/core_test_support.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"
#include "harness/byte_image_target_memory.h"

namespace zentor::testing_support {

// A core test environment with the byte-image target memory installed and an empty
// value stack.
class ValueTestEnvironment : public CoreTestEnvironment {
 protected:
  void SetUp() override {
    CoreTestEnvironment::SetUp();
    TargetMemory::InstallService(&m_memory);
    ValueStack::Create();
    ValueStack::Reset();
  }
  void TearDown() override {
    ValueStack::Reset();
    TargetMemory::InstallService(nullptr);
    CoreTestEnvironment::TearDown();
  }

  ByteImageTargetMemory m_memory;
};

// A memory address at an offset.
inline AddressDescriptor MemoryAt(uint32_t offset) {
  return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(kKindFirstTarget), &offset);
}

// A register address (its x86 number), as the target interface records one.
inline AddressDescriptor RegisterAt(uint32_t number) {
  TargetAddressRecord record;
  record.m_addressClass = kAddressClassRegister;
  record.m_addressKind = kAddressKindRegisterNumber;
  record.m_offset = number;
  return AddressDescriptor(record);
}

inline TypedLocation LocationAt(uint32_t offset, uint16_t kind, uint32_t elementSize, uint32_t count = 1) {
  return TypedLocation(MemoryAt(offset), DVPTypeInfo::FromCode(kind), OrdinalValue(elementSize),
                       OrdinalValue(count));
}

// The number of the DVError a body throws, or 0 when it throws none.
template <typename Body>
uint32_t ErrorNumberOf(Body&& body) {
  try {
    body();
  } catch (const DVError& error) {
    return error.Number();
  }
  return 0;
}

}  // namespace zentor::testing_support
