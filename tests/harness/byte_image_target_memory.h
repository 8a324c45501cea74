#pragma once
// The target double of the tests and benchmarks: target memory over a byte image with
// a register set, behind the value model's target-memory service. It reads and writes
// memory, follows pointer chains, reads strings and reads and writes registers as the
// engine's service will, and counts its reads and writes.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

#include "core/address_descriptor.h"
#include "core/address_range.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"

namespace zentor::testing_support {

// Target memory made of byte regions at fixed addresses, and a register set (values
// by register number). Reads outside the regions fail with 2007 "Memory read failed.",
// as the target interface answers them; a register location reads its register.
class ByteImageTargetMemory final : public TargetMemoryService {
 public:
  void SetRegister(uint32_t number, uint32_t value) {
    Changed();
    m_registers[number] = value;
  }
  // Changes bytes of a mapped region (a write the target would make).
  void Poke(uint32_t address, const uint8_t* bytes, uint32_t count) {
    Changed();
    for (uint32_t i = 0; i < count; ++i) ByteRef(address + i) = bytes[i];
  }
  void Map(uint32_t base, std::vector<uint8_t> bytes) {
    Changed();
    m_regions[base] = std::move(bytes);
  }
  // Becomes a copy of `pristine`, as assigning it would make it; the regions and
  // registers are copied only when this memory or `pristine` has changed since this
  // memory was last a copy of it, since a driver restores its memory after every input
  // and most inputs write none.
  void RestoreFrom(const ByteImageTargetMemory& pristine) {
    if (m_version != pristine.m_version) {
      *this = pristine;
      return;
    }
    m_reads = pristine.m_reads;
    m_writes = pristine.m_writes;
    m_largestWrite = pristine.m_largestWrite;
    m_indirections = pristine.m_indirections;
  }
  void MapU32(uint32_t address, uint32_t value) {
    std::vector<uint8_t> bytes(4);
    value_bytes::StoreU32(bytes.data(), value);
    Map(address, bytes);
  }

  OrdinalValue ReadValue(void* destination, uint32_t capacity, const AddressRange& range, uint32_t) override {
    ++m_reads;
    const TypedLocation& start = range.Start();
    const uint32_t address = start.AddressRef().Offset();
    auto* out = static_cast<uint8_t*>(destination);
    if (start.AddressRef().IsRegister()) {
      const uint32_t value = RegisterValue(address);
      const uint32_t count = std::min<uint32_t>(start.ElementSize().Low(), 4);
      for (uint32_t i = 0; i < count && i < capacity; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
      return OrdinalValue(count);
    }
    if (start.Type().Code() == kKindNString) {
      for (uint32_t i = 0;; ++i) {
        if (i > kMaxNStringRead) throw DVError(kStringTooLong, kSeverityError, kDisplayByFocus);
        const uint8_t byte = ByteAt(address + i);
        if (i >= capacity) throw DVError(kOperandSizeTooLarge, kSeverityError, kDisplayByFocus);
        out[i] = byte;
        if (byte == 0) return OrdinalValue(i + 1);
      }
    }
    if (start.Type().Code() == kKindLString) {
      const uint8_t length = ByteAt(address);
      if (length > kMaxLStringRead) throw DVError(kStringTooLong, kSeverityError, kDisplayByFocus);
      for (uint32_t i = 0; i <= length; ++i) out[i] = ByteAt(address + i);
      return OrdinalValue(length + 1u);
    }
    const uint32_t count = start.ElementSize().Low() * range.Length().Low();
    if (count > capacity) throw DVError(kOperandSizeTooLarge, kSeverityInternal, kDisplayByFocus);
    for (uint32_t i = 0; i < count; ++i) out[i] = ByteAt(address + i);
    return OrdinalValue(count);
  }

  AddressDescriptor ResolveIndirection(const TypedLocation& start, const DVPTypeInfo&, uint32_t levels) override {
    ++m_indirections;
    uint32_t address = start.AddressRef().Offset();
    uint32_t level = 0;
    if (start.AddressRef().IsRegister()) {
      address = RegisterValue(address);
      ++level;
    }
    for (; level <= levels; ++level) {
      uint32_t value = 0;
      for (uint32_t i = 0; i < 4; ++i) value |= static_cast<uint32_t>(ByteAt(address + i)) << (8 * i);
      address = value;
    }
    return AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(kKindFirstTarget), &address);
  }

  // A register's value goes on the value stack as an ord4.
  void PushRegisterValue(uint32_t number) override {
    uint8_t bytes[4];
    value_bytes::StoreU32(bytes, RegisterValue(number));
    ValueStack::PushSized(kKindOrd4, 4, bytes);
  }

  // A register location writes its register (at most four bytes).
  void WriteValue(const void* data, uint32_t size, const AddressRange& range) override {
    ++m_writes;
    m_largestWrite = std::max(m_largestWrite, size);
    const AddressDescriptor& address = range.Start().AddressRef();
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (address.IsRegister()) {
      uint32_t value = 0;
      for (uint32_t i = 0; i < size && i < 4; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
      SetRegister(address.Offset(), value);
      return;
    }
    Poke(address.Offset(), bytes, size);
  }

  void WriteRegister(uint32_t number, uint16_t kind, const void* data, uint32_t) override {
    uint8_t value[kValueBufferSize] = {};
    ConvertValue(data, kind, value, kKindOrd4);
    SetRegister(number, value_bytes::LoadU32(value));
  }

  // The target copies within its own memory, as if through a buffer: an overlapping
  // destination gets every byte as it was.
  void CopyRange(const AddressRange& source, const AddressDescriptor& destination) override {
    const TypedLocation& start = source.Start();
    const uint32_t count = start.ElementSize().Low() * source.Length().Low();
    std::vector<uint8_t> bytes(count);
    for (uint32_t i = 0; i < count; ++i) bytes[i] = ByteAt(start.AddressRef().Offset() + i);
    Poke(destination.Offset(), bytes.data(), count);
  }

  uint32_t Register(uint32_t number) const { return RegisterValue(number); }
  // A mapped byte (an unmapped one raises 2007).
  uint8_t Byte(uint32_t address) const { return ByteAt(address); }

  uint32_t m_reads = 0;
  uint32_t m_writes = 0;
  uint32_t m_largestWrite = 0;  // bytes of the largest single write
  uint32_t m_indirections = 0;

 private:
  uint8_t ByteAt(uint32_t address) const { return const_cast<ByteImageTargetMemory*>(this)->ByteRef(address); }
  uint8_t& ByteRef(uint32_t address) {
    for (auto& [base, bytes] : m_regions) {
      if (address >= base && address - base < bytes.size()) return bytes[address - base];
    }
    throw DVError(kMemoryReadFailed, kSeverityError, kDisplayByFocus);
  }

  uint32_t RegisterValue(uint32_t number) const {
    const auto found = m_registers.find(number);
    if (found == m_registers.end()) throw DVError(kMemoryReadFailed, kSeverityError, kDisplayByFocus);
    return found->second;
  }

  // Every change gives the memory a version no memory had before; a copy shares its
  // original's version until either changes.
  void Changed() {
    static std::atomic<uint64_t> versions{0};
    m_version = ++versions;
  }

  std::map<uint32_t, std::vector<uint8_t>> m_regions;
  std::map<uint32_t, uint32_t> m_registers;
  uint64_t m_version = 0;
};

}  // namespace zentor::testing_support
