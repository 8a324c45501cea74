#pragma once
// AddressRange is a stretch of target memory named either by its two ends or by a
// start and a length. Memory displays, fills, searches, range breakpoints and the
// command language's range arguments use it; the target's memory access receives it
// as a fixed 44-byte record.

#include <cstdint>

#include "core/address_descriptor.h"
#include "core/typed_location.h"
#include "core/unsigned_int64.h"

namespace zentor {

inline constexpr uint32_t kFirstAddressGreater = 154;
inline constexpr uint32_t kAddressesOfDifferentType = 158;
inline constexpr uint32_t kZeroLength = 161;
inline constexpr uint32_t kSymbolNotActive = 329;

class AddressRange {
 public:
  static constexpr uint32_t kImageSize = 84;
  static constexpr uint32_t kTargetRecordSize = 44;

  // The null range: null start, null end, length 0.
  AddressRange() = default;
  // From the first to the last address, inclusive. The length counts elements of the
  // start's size (an element size of 0 counts as 1). Register ends are an internal
  // error; 158 for ends of different kinds, 154 when the start is greater.
  static AddressRange FromEnds(const TypedLocation& start, const AddressDescriptor& end);
  // From a start and a length: the end lies length - 1 address units after the
  // start; a register start keeps the length and has no end.
  static AddressRange FromLength(const TypedLocation& start, const OrdinalValue& length);

  void SetFromEnds(const TypedLocation& start, const AddressDescriptor& end) { *this = FromEnds(start, end); }
  void SetFromLength(const TypedLocation& start, const OrdinalValue& length) { *this = FromLength(start, length); }
  void Clear() { *this = AddressRange(); }

  // Builds the range from the value stack as the command grammar leaves it: a start
  // location, then either an end (form 1) or a length (form 2). The address kind and
  // base convert an integer end to a location.
  void SetFromValueStack(uint32_t addressKind, const AddressDescriptor& base);

  const TypedLocation& Start() const { return m_start; }
  const AddressDescriptor& End() const { return m_end; }
  OrdinalValue Length() const { return m_length; }
  bool IsNull() const { return m_start.IsNull(); }
  bool HasLength() const { return m_length != 0u; }

  // 0 outside, 1 at the start, 2 after the start up to the end.
  uint32_t Contains(const AddressDescriptor& address) const;

  // The target's record: start address record, the start type's target type id, the
  // start's element size and the length (low word first), and a zero word.
  void TargetRangeRecord(uint8_t* record) const;

  void WriteImage(uint8_t* image) const;
  static AddressRange ReadImage(const uint8_t* image);

 private:
  TypedLocation m_start;
  AddressDescriptor m_end;
  OrdinalValue m_length;
};

}  // namespace zentor
