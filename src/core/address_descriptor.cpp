#include "core/address_descriptor.h"

#include "core/address_range.h"
#include "core/address_symbol_lookup.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/target_calls.h"
#include "core/target_interface.h"
#include "core/typed_location.h"

namespace zentor {
namespace {

TargetAddressRecord NullRecord() {
  TargetAddressRecord record;
  record.m_nullMark = 1;
  return record;
}

uint32_t Viewpoint() { return GetCurrentViewpointValue(); }

}  // namespace

const AddressDescriptor& AddressDescriptor::Null() {
  static const AddressDescriptor null;
  return null;
}

AddressDescriptor::AddressDescriptor() : m_record(NullRecord()) {}

AddressDescriptor::AddressDescriptor(const TargetAddressRecord& record) : m_record(record) {}

AddressDescriptor::AddressDescriptor(const AddressSpecification& specification) : m_record(NullRecord()) {
  TargetStatus status;
  InstalledTarget().CreateAddress(&status, Viewpoint(), &m_record, &specification);
  ThrowIfTargetFailed(status);
  if (IsNull()) ZENTOR_INTERNAL_ERROR();
}

AddressDescriptor AddressDescriptor::FromTypedOffset(const DVPTypeInfo& type, const uint32_t* offset) {
  AddressDescriptor address;
  TargetStatus status;
  InstalledTarget().CreatePointerAddress(&status, Viewpoint(), &address.m_record, type.TargetTypeId(), offset);
  ThrowIfTargetFailed(status);
  if (address.IsNull()) ZENTOR_INTERNAL_ERROR();
  return address;
}

AddressDescriptor::AddressDescriptor(const RWCString& text, int32_t mode) : m_record(NullRecord()) {
  *this = TypedLocation(text, mode).Address();
}

AddressDescriptor::AddressDescriptor(const OrdinalValue& offset, uint32_t addressKind, const AddressDescriptor& base)
    : m_record(NullRecord()) {
  if (addressKind == 4 && base.IsNull()) ZENTOR_INTERNAL_ERROR();
  AddressSpecification specification;
  specification.m_addressKind = addressKind;
  if (!base.IsNull()) specification.m_base = base.m_record;
  specification.m_component = 0xFFFFFFFFu;
  specification.m_form = 1;
  specification.m_components[0] = (static_cast<uint64_t>(offset.High()) << 32) | offset.Low();
  TargetStatus status;
  InstalledTarget().CreateAddress(&status, Viewpoint(), &m_record, &specification);
  ThrowIfTargetFailed(status);
  if (IsNull()) ZENTOR_INTERNAL_ERROR();
}

AddressDescriptor::~AddressDescriptor() = default;

AddressDescriptor& AddressDescriptor::operator=(const AddressDescriptor& other) {
  if (this != &other) {
    m_line = other.m_line;
    m_record = other.m_record;
  }
  return *this;
}

AddressDescriptor& AddressDescriptor::operator=(const TargetAddressRecord& record) {
  if (&record != &m_record) {
    m_line.Clear();
    m_record = record;
  }
  return *this;
}

void AddressDescriptor::SetFromOffset(const OrdinalValue& offset, uint32_t addressKind,
                                      const AddressDescriptor& base) {
  *this = AddressDescriptor(offset, addressKind, base);
}

bool AddressDescriptor::IsZero() const {
  if (IsNull()) return false;
  TargetStatus status;
  uint32_t flag = 0;
  InstalledTarget().IsZeroAddress(&status, Viewpoint(), &m_record, &flag);
  ThrowIfTargetFailed(status);
  return flag != 0;
}

bool AddressDescriptor::IsRegister() const {
  if (IsNull()) return false;
  TargetStatus status;
  uint32_t flag = 0;
  InstalledTarget().IsRegisterAddress(&status, Viewpoint(), &m_record, &flag);
  ThrowIfTargetFailed(status);
  return flag != 0;
}

void AddressDescriptor::Offset(uint32_t* offset) const {
  TargetStatus status;
  InstalledTarget().AddressOffset(&status, Viewpoint(), &m_record, offset);
  ThrowIfTargetFailed(status);
}

uint32_t AddressDescriptor::Offset() const {
  uint32_t offset = 0;
  Offset(&offset);
  return offset;
}

uint32_t AddressDescriptor::CheckClass(uint32_t addressClass) const {
  TargetStatus status;
  uint32_t flag = 0;
  InstalledTarget().CheckAddressClass(&status, Viewpoint(), &m_record, addressClass, &flag);
  ThrowIfTargetFailed(status);
  return flag;
}

AddressDescriptor AddressDescriptor::SpaceStart() const {
  TargetStatus status;
  TargetAddressSpace space;
  InstalledTarget().AddressSpace(&status, Viewpoint(), &m_record, &space);
  ThrowIfTargetFailed(status);
  return AddressDescriptor(space.m_lowest);
}

AddressDescriptor AddressDescriptor::SpaceEnd() const {
  TargetStatus status;
  TargetAddressSpace space;
  InstalledTarget().AddressSpace(&status, Viewpoint(), &m_record, &space);
  ThrowIfTargetFailed(status);
  return AddressDescriptor(space.m_highest);
}

uint32_t AddressDescriptor::SpaceKind() const {
  TargetStatus status;
  TargetAddressSpace space;
  InstalledTarget().AddressSpace(&status, Viewpoint(), &m_record, &space);
  ThrowIfTargetFailed(status);
  if (space.m_spaceKind > 2) ZENTOR_INTERNAL_ERROR();
  return space.m_spaceKind;
}

RWCString AddressDescriptor::Text() const {
  if (IsNull()) return RWCString("<null>");
  TargetStatus status;
  const char* text = nullptr;
  InstalledTarget().AddressToText(&status, Viewpoint(), &text, &m_record);
  ThrowIfTargetFailed(status);
  return RWCString(text != nullptr ? text : "");
}

RWCString AddressDescriptor::SymbolicText() const { return InstalledAddressSymbolLookup().SymbolicText(*this); }

std::vector<AddressDescriptor> AddressDescriptor::SameLineAddresses() const {
  if (m_line.Get() < 0) return {};
  return InstalledAddressSymbolLookup().SameLineAddresses(*this);
}

uint32_t AddressDescriptor::IsInRange(const AddressRange& range) const { return range.Contains(*this); }

uint32_t AddressDescriptor::Compare(const AddressDescriptor& other) const {
  if (IsNull() && other.IsNull()) return kAddressEqual;
  if (IsNull()) return kAddressLess;
  if (other.IsNull()) return kAddressGreater;
  TargetStatus status;
  uint32_t relation = 0;
  uint32_t notComparable = 0;
  InstalledTarget().CompareAddresses(&status, Viewpoint(), &m_record, &other.m_record, &relation, &notComparable);
  ThrowIfTargetFailed(status);
  switch (relation) {
    case kAddressRelationEqual:
      return kAddressEqual;
    case kAddressRelationLess:
      return kAddressLess;
    case kAddressRelationGreater:
      return kAddressGreater;
    default:
      return kAddressNotComparable;
  }
}

uint32_t AddressDescriptor::IsIncomparable(const AddressDescriptor& other) const {
  if (IsNull() && other.IsNull()) ZENTOR_INTERNAL_ERROR();
  if (IsNull() || other.IsNull()) return 1;
  TargetStatus status;
  uint32_t relation = 0;
  uint32_t notComparable = 0;
  InstalledTarget().CompareAddresses(&status, Viewpoint(), &m_record, &other.m_record, &relation, &notComparable);
  ThrowIfTargetFailed(status);
  return notComparable != 0 ? 1 : 0;
}

AddressDescriptor& AddressDescriptor::operator+=(const OrdinalValue& bytes) {
  if (IsNull()) ZENTOR_INTERNAL_ERROR();
  TargetStatus status;
  InstalledTarget().AddOffset(&status, Viewpoint(), &m_record, &m_record, bytes.Low(), bytes.High());
  ThrowIfTargetFailed(status);
  return *this;
}

AddressDescriptor& AddressDescriptor::operator-=(const OrdinalValue& bytes) {
  if (IsNull()) ZENTOR_INTERNAL_ERROR();
  TargetStatus status;
  InstalledTarget().SubtractOffset(&status, Viewpoint(), &m_record, &m_record, bytes.Low(), bytes.High());
  ThrowIfTargetFailed(status);
  return *this;
}

AddressDescriptor& AddressDescriptor::operator++() { return *this += OrdinalValue::One; }

AddressDescriptor AddressDescriptor::operator++(int) {
  AddressDescriptor before(*this);
  *this += OrdinalValue::One;
  return before;
}

AddressDescriptor& AddressDescriptor::operator--() { return *this -= OrdinalValue::One; }

AddressDescriptor AddressDescriptor::operator--(int) {
  AddressDescriptor before(*this);
  *this -= OrdinalValue::One;
  return before;
}

OrdinalValue AddressDescriptor::operator-(const AddressDescriptor& other) const {
  if (IsNull() || other.IsNull()) ZENTOR_INTERNAL_ERROR();
  const uint32_t relation = Compare(other);
  if (relation != kAddressEqual && relation != kAddressGreater) {
    throw DVError(kInvalidPointerOperation, kSeverityError, kDisplayByFocus);
  }
  TargetStatus status;
  uint64_t difference = 0;
  InstalledTarget().AddressDifference(&status, Viewpoint(), &difference, &m_record, &other.m_record);
  ThrowIfTargetFailed(status);
  return OrdinalValue(
      UnsignedInt64::FromWords(static_cast<uint32_t>(difference), static_cast<uint32_t>(difference >> 32)));
}

// 1. A null start contains nothing.
// 2. A register start is a single place: only the register itself matches.
// 3. Otherwise the address must be at the start, or after it and not after the end;
//    a null end is less than every address, so then only the start matches.
uint32_t AddressDescriptor::IsWithinRange(const AddressDescriptor& start, const AddressDescriptor& end) const {
  if (start.IsNull()) return kOutsideRange;
  const uint32_t fromStart = Compare(start);
  if (start.IsRegister()) return fromStart == kAddressEqual ? kAtRangeStart : kOutsideRange;
  if (fromStart == kAddressEqual) return kAtRangeStart;
  if (fromStart != kAddressGreater) return kOutsideRange;
  const uint32_t fromEnd = Compare(end);
  return fromEnd == kAddressLess || fromEnd == kAddressEqual ? kInsideRange : kOutsideRange;
}

uint32_t AddressDescriptor::IsWithinLength(const AddressDescriptor& start, const OrdinalValue& length) const {
  if (start.IsNull()) return kOutsideRange;
  AddressDescriptor end;
  if (!start.IsRegister()) end = start + OrdinalValue(length - 1u);
  return IsWithinRange(start, end);
}

}  // namespace zentor
