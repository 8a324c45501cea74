#include "core/target_memory.h"

#include "core/address_range.h"
#include "core/dv_error.h"
#include "core/typed_location.h"

namespace zentor {
namespace {

DVError NoProgramLoaded() { return DVError(kNoProgramLoaded, kSeverityError, kDisplayByFocus); }

// Stands in until the engine has a target to read from.
class NoTargetMemory final : public TargetMemoryService {
 public:
  OrdinalValue ReadValue(void*, uint32_t, const AddressRange&, uint32_t) override { throw NoProgramLoaded(); }
  AddressDescriptor ResolveIndirection(const TypedLocation&, const DVPTypeInfo&, uint32_t) override {
    throw NoProgramLoaded();
  }
  void PushRegisterValue(uint32_t) override { throw NoProgramLoaded(); }
};

NoTargetMemory g_noTargetMemory;
TargetMemoryService* g_service = &g_noTargetMemory;

bool IsStringType(int32_t code) { return code == kKindNString || code == kKindLString; }

}  // namespace

TargetMemoryService::~TargetMemoryService() = default;

void TargetMemoryService::WriteValue(const void*, uint32_t, const AddressRange&) { throw NoProgramLoaded(); }

void TargetMemoryService::WriteRegister(uint32_t, uint16_t, const void*, uint32_t) { throw NoProgramLoaded(); }

TargetMemoryService* TargetMemory::InstallService(TargetMemoryService* service) {
  TargetMemoryService* previous = g_service == &g_noTargetMemory ? nullptr : g_service;
  g_service = service != nullptr ? service : &g_noTargetMemory;
  return previous;
}

TargetMemoryService& TargetMemory::Service() { return *g_service; }

void TargetMemory::ReadBytesAt(const AddressDescriptor& address, uint8_t* destination, uint32_t count) {
  if (count == 0) return;
  const TypedLocation start(address, DVPTypeInfo::FromCode(kKindOrd1), OrdinalValue(1), OrdinalValue(1));
  OrdinalValue read;
  ReadValue(&read, destination, count, AddressRange::FromLength(start, OrdinalValue(count)), 0);
}

// Strings are measured in pieces of 32 bytes; a piece that cannot be read whole (the
// string ends just before unreadable memory) is read again byte by byte, so that only
// a byte the string needs can fail.
uint32_t TargetMemory::ReadBytes(const TypedLocation& location) {
  const int32_t type = location.Type().Code();
  if (type == kKindLString) {
    uint8_t length = 0;
    ReadBytesAt(location.AddressRef(), &length, 1);
    return length;
  }
  if (type != kKindNString && type != kKindWideString) return 0;
  const uint32_t unit = type == kKindWideString ? 2 : 1;
  constexpr uint32_t kPiece = 32;
  uint32_t count = 0;
  AddressDescriptor at = location.AddressRef();
  while (count < kLongestMeasuredString) {
    uint8_t piece[kPiece];
    try {
      ReadBytesAt(at, piece, kPiece);
    } catch (const DVError&) {
      for (uint32_t i = 0; i < kPiece; ++i) ReadBytesAt(at + OrdinalValue(i), piece + i, 1);
    }
    for (uint32_t i = 0; i + unit <= kPiece && count < kLongestMeasuredString; i += unit) {
      const uint32_t character = unit == 1 ? piece[i] : static_cast<uint32_t>(piece[i] | (piece[i + 1] << 8));
      if (character == 0 || (unit == 1 && character > 0x7F)) return count;
      ++count;
    }
    at += OrdinalValue(kPiece);
  }
  return count;
}

void TargetMemory::ReadValue(OrdinalValue* bytesRead, void* destination, uint32_t capacity,
                             const AddressRange& range, uint32_t warnOnPartial) {
  const TypedLocation& start = range.Start();
  if (IsStringType(start.Type().Code())) {
    // A string is read from its start up to its end; the range names one string.
    if (range.Length() != 1u) ZENTOR_INTERNAL_ERROR();
    const uint32_t needed = start.Type().Code() == kKindNString ? kMaxNStringRead + 1 : kMaxLStringRead + 1;
    if (capacity < needed) throw DVError(kOperandSizeTooLarge, kSeverityError, kDisplayByFocus);
  } else {
    // Checked factor by factor, so that a product wrapping past 2^64 cannot pass.
    const OrdinalValue size = start.ElementSize();
    const OrdinalValue length = range.Length();
    if (size == 0u || length == 0u) ZENTOR_INTERNAL_ERROR();
    if (size.High() != 0 || length.High() != 0 ||
        static_cast<uint64_t>(size.Low()) * length.Low() > capacity) {
      throw DVError(kOperandSizeTooLarge, kSeverityError, kDisplayByFocus);
    }
  }
  *bytesRead = Service().ReadValue(destination, capacity, range, warnOnPartial);
}

void TargetMemory::ReadLocationValue(uint8_t* buffer, uint32_t capacity, const TypedLocation& location) {
  for (uint32_t i = 0; i < capacity; ++i) buffer[i] = 0;
  const DVPTypeInfo type = location.Type();
  // The first byte tells the string reader how long a counted string may be.
  if (type.Code() == kKindLString && capacity != 0) buffer[0] = 0xFF;
  TypedLocation one = location;
  if (one.ElementSize() == 0u) one.SetTypeInfo(type, OrdinalValue(type.Size()), one.ElementCount());
  OrdinalValue bytesRead;
  ReadValue(&bytesRead, buffer, capacity, AddressRange::FromLength(one, OrdinalValue::One), 0);
}

AddressDescriptor TargetMemory::ResolveIndirection(const TypedLocation& start, const DVPTypeInfo& pointerType,
                                                   uint32_t levels) {
  if (levels > kMaxIndirectionLevels) throw DVError(kTooManyIndirections, kSeverityError, kDisplayByFocus);
  return Service().ResolveIndirection(start, pointerType, levels);
}

void TargetMemory::PushRegisterValue(uint32_t registerIndex) { Service().PushRegisterValue(registerIndex); }

void TargetMemory::WriteValue(const void* data, uint32_t size, const AddressRange& range) {
  if (size == 0) ZENTOR_INTERNAL_ERROR();
  Service().WriteValue(data, size, range);
}

void TargetMemory::WriteRegister(uint32_t registerIndex, uint16_t kind, const void* data, uint32_t size) {
  Service().WriteRegister(registerIndex, kind, data, size);
}

}  // namespace zentor
