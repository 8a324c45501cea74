#include "core/target_memory.h"

#include <cstring>

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

DVError OperandTooLarge() { return DVError(kOperandSizeTooLarge, kSeverityError, kDisplayByFocus); }

// `count` characters of `unit` bytes from an address into `piece`. A piece that
// cannot be read whole (the string may end just before memory that cannot be read)
// is read again one character at a time, up to and including the first character
// that ends a string: only a character the string needs can fail.
void ReadStringPiece(const AddressDescriptor& at, uint8_t* piece, uint32_t count, uint32_t unit) {
  try {
    TargetMemory::ReadBytesAt(at, piece, count * unit);
    return;
  } catch (const DVError&) {
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* character = piece + i * unit;
    TargetMemory::ReadBytesAt(at + OrdinalValue(i * unit), character, unit);
    const uint32_t value = unit == 1 ? character[0] : static_cast<uint32_t>(character[0] | (character[1] << 8));
    if (value == 0 || value > 0x7F) return;
  }
}

// The scan of ScanNarrowString and ScanWideString with characters of `unit` bytes.
uint32_t ScanString(char* destination, const TypedLocation& location, uint32_t limit, uint32_t unit) {
  if (limit > kLongestMeasuredString) limit = kLongestMeasuredString;
  if (destination != nullptr) destination[kLongestMeasuredString] = '\0';
  uint32_t count = 0;
  AddressDescriptor at = location.AddressRef();
  while (count < limit) {
    const uint32_t characters = limit - count < kStringScanPiece ? limit - count : kStringScanPiece;
    uint8_t piece[kStringScanPiece * 2] = {};
    ReadStringPiece(at, piece, characters, unit);
    for (uint32_t i = 0; i < characters; ++i) {
      const uint8_t* character = piece + i * unit;
      const uint32_t value = unit == 1 ? character[0] : static_cast<uint32_t>(character[0] | (character[1] << 8));
      if (value == 0 || value > 0x7F) {
        if (destination != nullptr) destination[count] = '\0';
        return count;
      }
      if (destination != nullptr) destination[count] = static_cast<char>(character[0]);
      ++count;
    }
    at += OrdinalValue(characters * unit);
  }
  if (destination != nullptr) destination[count] = '\0';
  return count;
}

}  // namespace

TargetMemoryService::~TargetMemoryService() = default;

void TargetMemoryService::WriteValue(const void*, uint32_t, const AddressRange&) { throw NoProgramLoaded(); }

void TargetMemoryService::WriteRegister(uint32_t, uint16_t, const void*, uint32_t) { throw NoProgramLoaded(); }

void TargetMemoryService::CopyRange(const AddressRange&, const AddressDescriptor&) { throw NoProgramLoaded(); }

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
  if (read != OrdinalValue(count)) throw DVError(kMemoryReadFailed, kSeverityError, kDisplayByFocus);
}

uint32_t TargetMemory::ScanNarrowString(char* destination, const TypedLocation& location, uint32_t limit) {
  return ScanString(destination, location, limit, 1);
}

uint32_t TargetMemory::ScanWideString(char* destination, const TypedLocation& location, uint32_t limit) {
  return ScanString(destination, location, limit, 2);
}

uint32_t TargetMemory::StringLength(const TypedLocation& location) {
  switch (location.Type().Code()) {
    case kKindNString: return ScanNarrowString(nullptr, location, kLongestMeasuredString);
    case kKindWideString: return ScanWideString(nullptr, location, kLongestMeasuredString);
    case kKindLString: {
      uint8_t length = 0;
      const TypedLocation byte(location.AddressRef(), DVPTypeInfo::FromCode(kKindOrd1), OrdinalValue(1),
                               OrdinalValue(1));
      OrdinalValue read;
      ReadValue(&read, &length, 1, AddressRange::FromLength(byte, OrdinalValue::One), 0);
      if (read != OrdinalValue::One) throw DVError(kMemoryReadFailed, kSeverityError, kDisplayByFocus);
      return length;
    }
    default: return 0;
  }
}

RWCString TargetMemory::ReadString(const TypedLocation& start) {
  const int32_t type = start.Type().Code();
  if (type == kKindNString) {
    char characters[kLongestMeasuredString + 1] = {};
    const uint32_t count = ScanNarrowString(characters, start, kLongestMeasuredString);
    return RWCString(characters, count);
  }
  if (type != kKindLString) ZENTOR_INTERNAL_ERROR();
  const uint32_t length = StringLength(start);
  uint8_t bytes[256] = {};
  ReadBytesAt(start.AddressRef(), bytes, length + 1);
  return RWCString(reinterpret_cast<const char*>(bytes), length + 1);
}

void TargetMemory::ReadValue(OrdinalValue* bytesRead, void* destination, uint32_t capacity,
                             const AddressRange& range, uint32_t acceptPartial) {
  const TypedLocation& start = range.Start();
  const int32_t type = start.Type().Code();
  if (IsStringType(type)) {
    // A string is read from its start up to its end; the range names one string.
    if (range.Length() != 1u) ZENTOR_INTERNAL_ERROR();
    const RWCString text = ReadString(start);
    auto* out = static_cast<uint8_t*>(destination);
    if (type == kKindLString) {
      if (text.length() - 1 > kMaxLStringRead) throw DVError(kStringTooLong, kSeverityError, kDisplayByFocus);
      if (text.length() > capacity) throw OperandTooLarge();
      // From a zero byte among the characters on, the copy holds zeros.
      bool ended = false;
      for (uint32_t i = 0; i < text.length(); ++i) {
        ended = ended || (i != 0 && text[i] == '\0');
        out[i] = ended ? 0 : static_cast<uint8_t>(text[i]);
      }
      *bytesRead = OrdinalValue(static_cast<uint32_t>(text.length()));
      return;
    }
    if (text.length() + 1 > capacity) throw OperandTooLarge();
    std::memcpy(out, text.data(), text.length());
    out[text.length()] = 0;
    *bytesRead = OrdinalValue(static_cast<uint32_t>(text.length() + 1));
    return;
  }
  // Checked factor by factor, so that a product wrapping past 2^64 cannot pass.
  const OrdinalValue size = start.ElementSize();
  const OrdinalValue length = range.Length();
  if (size == 0u || length == 0u) ZENTOR_INTERNAL_ERROR();
  if (size.High() != 0 || length.High() != 0 || static_cast<uint64_t>(size.Low()) * length.Low() > capacity) {
    throw OperandTooLarge();
  }
  *bytesRead = Service().ReadValue(destination, capacity, range, acceptPartial);
}

void TargetMemory::ReadLocationValue(uint8_t* buffer, uint32_t capacity, const TypedLocation& location) {
  for (uint32_t i = 0; i < capacity; ++i) buffer[i] = 0;
  const DVPTypeInfo type = location.Type();
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

void TargetMemory::WriteValue(const void* data, uint32_t size, const AddressRange& range, uint32_t repeat) {
  if (size == 0) ZENTOR_INTERNAL_ERROR();
  TypedLocation at = range.Start();
  for (uint32_t pass = 0; pass < repeat; ++pass) {
    // Only a fill moves on: a register has no address after it.
    if (pass != 0) {
      at = TypedLocation(at.AddressRef() + OrdinalValue(size), at.Type(), at.ElementSize(), at.ElementCount());
    }
    Service().WriteValue(data, size, AddressRange::FromLength(at, range.Length()));
  }
}

void TargetMemory::WriteRegister(uint32_t registerIndex, uint16_t kind, const void* data, uint32_t size) {
  Service().WriteRegister(registerIndex, kind, data, size);
}

void TargetMemory::CopyRange(const AddressRange& source, const AddressDescriptor& destination) {
  Service().CopyRange(source, destination);
}

}  // namespace zentor
