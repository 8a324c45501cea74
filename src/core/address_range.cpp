#include "core/address_range.h"

#include "core/dv_error.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

using namespace value_bytes;

constexpr uint32_t kImageEnd = TypedLocation::kImageSize;
constexpr uint32_t kImageLength = kImageEnd + 28;
static_assert(kImageLength + 8 == AddressRange::kImageSize);

// The location images carry an address with its line; the end borrows that layout
// through a location whose type fields are not kept.
void WriteAddressImage(uint8_t* p, const AddressDescriptor& address) {
  uint8_t location[TypedLocation::kImageSize];
  TypedLocation(address).WriteImage(location);
  for (uint32_t i = 0; i < 28; ++i) p[i] = location[i];
}

AddressDescriptor ReadAddressImage(const uint8_t* p) {
  uint8_t location[TypedLocation::kImageSize] = {};
  for (uint32_t i = 0; i < 28; ++i) location[i] = p[i];
  return TypedLocation::ReadImage(location).Address();
}

DVError RangeError(uint32_t number) { return DVError(number, kSeverityError, kDisplayByFocus); }

}  // namespace

// 1. Register addresses name no stretch of memory: an internal error.
// 2. A null start is the null range; a null end leaves only the start.
// 3. The ends must be comparable and in order; the length counts whole elements.
AddressRange AddressRange::FromEnds(const TypedLocation& start, const AddressDescriptor& end) {
  AddressRange range;
  if (start.AddressRef().IsRegister() || end.IsRegister()) ZENTOR_INTERNAL_ERROR();
  if (start.IsNull()) return range;
  range.m_start = start;
  if (end.IsNull()) return range;
  const uint32_t order = start.AddressRef().Compare(end);
  if (order == kAddressNotComparable) throw RangeError(kAddressesOfDifferentType);
  if (order == kAddressGreater) throw RangeError(kFirstAddressGreater);
  range.m_end = end;
  const OrdinalValue elementSize = start.ElementSize() == 0u ? OrdinalValue::One : start.ElementSize();
  range.m_length = OrdinalValue((end - start.AddressRef() + 1u) / elementSize);
  return range;
}

AddressRange AddressRange::FromLength(const TypedLocation& start, const OrdinalValue& length) {
  AddressRange range;
  if (start.IsNull()) return range;
  range.m_start = start;
  if (start.AddressRef().IsRegister()) {
    range.m_length = length;
    return range;
  }
  range.m_end = start.AddressRef();
  if (length != 0u) {
    range.m_length = length;
    range.m_end += OrdinalValue(length - 1u);
  }
  return range;
}

uint32_t AddressRange::Contains(const AddressDescriptor& address) const {
  if (IsNull()) return kOutsideRange;
  const uint32_t fromStart = address.Compare(m_start.AddressRef());
  if (m_start.AddressRef().IsRegister()) return fromStart == kAddressEqual ? kAtRangeStart : kOutsideRange;
  if (fromStart == kAddressEqual) return kAtRangeStart;
  if (fromStart != kAddressGreater) return kOutsideRange;
  const uint32_t fromEnd = address.Compare(m_end);
  return fromEnd == kAddressLess || fromEnd == kAddressEqual ? kInsideRange : kOutsideRange;
}

void AddressRange::TargetRangeRecord(uint8_t* record) const {
  uint8_t location[TypedLocation::kImageSize];
  m_start.WriteImage(location);
  for (uint32_t i = 0; i < 20; ++i) record[i] = location[4 + i];
  StoreU32(record + 20, m_start.Type().TargetTypeId());
  StoreOrdinal(record + 24, m_start.ElementSize());
  StoreOrdinal(record + 32, m_length);
  StoreU32(record + 40, 0);
}

void AddressRange::WriteImage(uint8_t* image) const {
  m_start.WriteImage(image);
  WriteAddressImage(image + kImageEnd, m_end);
  StoreOrdinal(image + kImageLength, m_length);
}

AddressRange AddressRange::ReadImage(const uint8_t* image) {
  AddressRange range;
  range.m_start = TypedLocation::ReadImage(image);
  range.m_end = ReadAddressImage(image + kImageEnd);
  range.m_length = LoadOrdinal(image + kImageLength);
  return range;
}

// 1. An inactive symbol on top names no memory: 329.
// 2. A location on top is the end (form 1, with its form word below it); a reference
//    or a symbol names the location of its object.
// 3. Otherwise the top is a number: a length after a marker (form 2), else the form
//    word below it says whether it is an end (1) or a length (2).
// 4. The start location lies below; the range is built by ends or by length.
void AddressRange::SetFromValueStack(uint32_t addressKind, const AddressDescriptor& base) {
  if (ValueStack::TopKind() == kKindInactiveSymbol) {
    ValueStack::Drop();
    throw RangeError(kSymbolNotActive);
  }
  uint32_t form = 0;
  TypedLocation end;
  OrdinalValue length;
  const uint16_t top = ValueStack::TopKind();
  if (top == kKindTypedLocation || top == kKindPointerLocation || top == kKindSymbolValue) {
    ValueStack::ConvertTopToLocation(addressKind, base);
    end = ValueStack::PopLocation();
    form = ValueStack::PopOrd2();
    if (form != 1) ZENTOR_INTERNAL_ERROR();
  } else {
    length = ValueStack::PopOrdinal();
    if (ValueStack::TopKind() == kKindMarker) {
      ValueStack::Drop();
      form = 2;
    } else {
      form = ValueStack::PopOrd2();
    }
    if (form == 1) {
      ValueStack::PushOrdinal(length);
      ValueStack::ConvertTopToLocation(addressKind, base);
      end = ValueStack::PopLocation();
    } else if (form != 2) {
      ZENTOR_INTERNAL_ERROR();
    }
  }
  if (ValueStack::TopKind() != kKindTypedLocation) ZENTOR_INTERNAL_ERROR();
  const TypedLocation start = ValueStack::PopLocation();
  if (form == 1) {
    SetFromEnds(start, end.AddressRef());
  } else {
    if (length == 0u) throw RangeError(kZeroLength);
    SetFromLength(start, length);
  }
}

}  // namespace zentor
