#include "core/typed_location.h"

#include "core/address_range.h"
#include "core/dv_error.h"
#include "core/target_memory.h"
#include "core/value_bytes.h"
#include "support/rw_cstring.h"

namespace zentor {
namespace {

using namespace value_bytes;

// Image of a location: a reserved word, the target address record field by field,
// the line, the type code, the element size and the element count.
constexpr uint32_t kImageRecord = 4;
constexpr uint32_t kImageLine = 24;
constexpr uint32_t kImageType = 28;
constexpr uint32_t kImageElementSize = 32;
constexpr uint32_t kImageElementCount = 40;
static_assert(kImageElementCount + 8 == TypedLocation::kImageSize);

void WriteRecord(uint8_t* p, const TargetAddressRecord& record) {
  StoreU16(p + 0, record.m_unused);
  StoreU16(p + 2, record.m_nullMark);
  StoreU32(p + 4, record.m_addressClass);
  StoreU16(p + 8, record.m_addressKind);
  StoreU16(p + 10, record.m_reserved1);
  StoreU32(p + 12, record.m_reserved2);
  StoreU32(p + 16, record.m_offset);
}

TargetAddressRecord ReadRecord(const uint8_t* p) {
  TargetAddressRecord record;
  record.m_unused = LoadU16(p + 0);
  record.m_nullMark = LoadU16(p + 2);
  record.m_addressClass = LoadU32(p + 4);
  record.m_addressKind = LoadU16(p + 8);
  record.m_reserved1 = LoadU16(p + 10);
  record.m_reserved2 = LoadU32(p + 12);
  record.m_offset = LoadU32(p + 16);
  return record;
}

// A stored type code outside the valid range reads as "no type": images come from the
// debugger itself, but a damaged one must not make every later use fail.
DVPTypeInfo ReadType(const uint8_t* p) {
  const uint32_t code = LoadU32(p);
  return code <= kKindLastCode ? DVPTypeInfo::FromCode(static_cast<int32_t>(code)) : DVPTypeInfo();
}

DVError InvalidPointerOperation() { return DVError(kInvalidPointerOperation, kSeverityError, kDisplayByFocus); }

// "%s is not available in this build."

LocationTextEvaluator g_locationTextEvaluator = nullptr;

// Access kinds the evaluation is asked for, by mode.
int32_t AccessKindOfMode(int32_t mode) {
  if (mode == 2) return 7;
  if (mode == 3) return 8;
  return 2;
}

}  // namespace

LocationTextEvaluator InstallLocationTextEvaluator(LocationTextEvaluator evaluator) {
  const LocationTextEvaluator previous = g_locationTextEvaluator;
  g_locationTextEvaluator = evaluator;
  return previous;
}

// 1. Start null; evaluate the text for the access kind of the mode.
// 2. By the kind of the result: a typed location and an integer of at most 8 bytes are
//    taken; a wider integer and an inactive symbol are refused; anything else is
//    refused only where an execution address is wanted (mode 1).
// 3. A failure is raised; otherwise the location is the one evaluated.
TypedLocation::TypedLocation(const RWCString& text, int32_t mode) : m_type(), m_elementSize(), m_elementCount() {
  if (g_locationTextEvaluator == nullptr) ZENTOR_INTERNAL_ERROR();
  DVError error(0, 0, kDisplayByFocus);
  uint32_t locationKind = 0;
  TypedLocation evaluated;
  DVErrorCode status = g_locationTextEvaluator(text.data(), AccessKindOfMode(mode), &locationKind, &evaluated, &error);
  if (status.IsOkay()) {
    uint32_t refused = 0;
    if (locationKind == kLocationKindWideInteger) {
      refused = kMsgInvalidLocationAddress;
    } else if (locationKind == kLocationKindInactive) {
      refused = kSymbolNotActive;
    } else if (locationKind != kLocationKindOffsetType && locationKind != kLocationKindSmallInteger && mode == 1) {
      refused = kMsgInvalidExecutionAddress;
    }
    if (refused != 0) {
      error.Set(refused, kSeverityError, kDisplayByFocus, nullptr);
      status.Set(refused, kSeverityError);
    }
  }
  if (!status.IsOkay()) {
    if (error.IsOkay()) error = DVError(status);
    throw error;
  }
  *this = evaluated;
}

const DVPTypeInfo& TypedLocation::DefaultType() {
  static const DVPTypeInfo type = DVPTypeInfo::FromCode(kKindOrd1);
  return type;
}

const OrdinalValue& TypedLocation::DefaultElementSize() {
  static const OrdinalValue size(1u);
  return size;
}

const OrdinalValue& TypedLocation::DefaultElementCount() {
  static const OrdinalValue count(1u);
  return count;
}

TypedLocation::TypedLocation()
    : m_type(DefaultType()), m_elementSize(DefaultElementSize()), m_elementCount(DefaultElementCount()) {}

TypedLocation::TypedLocation(const AddressDescriptor& address)
    : m_address(address),
      m_type(DefaultType()),
      m_elementSize(DefaultElementSize()),
      m_elementCount(DefaultElementCount()) {}

TypedLocation::TypedLocation(const AddressDescriptor& address, const DVPTypeInfo& type,
                             const OrdinalValue& elementSize, const OrdinalValue& elementCount)
    : m_address(address), m_type(type), m_elementSize(elementSize), m_elementCount(elementCount) {}

TypedLocation& TypedLocation::operator=(const TypedLocation& other) {
  if (this != &other) {
    m_address = other.m_address;
    m_type = other.m_type;
    m_elementSize = other.m_elementSize;
    m_elementCount = other.m_elementCount;
  }
  return *this;
}

TypedLocation& TypedLocation::operator=(const AddressDescriptor& address) {
  m_address = address;
  m_type = DefaultType();
  m_elementSize = DefaultElementSize();
  m_elementCount = DefaultElementCount();
  return *this;
}

void TypedLocation::SetTypeInfo(const DVPTypeInfo& type, const OrdinalValue& elementSize,
                                const OrdinalValue& elementCount) {
  m_type = type;
  m_elementSize = elementSize;
  m_elementCount = elementCount;
}

bool TypedLocation::Scales() const { return !IsOffsetType() && m_elementSize != 0u; }

TypedLocation& TypedLocation::operator+=(const OrdinalValue& elements) {
  if (IsNull()) throw InvalidPointerOperation();
  m_address += Scales() ? OrdinalValue(elements * m_elementSize) : elements;
  return *this;
}

TypedLocation& TypedLocation::operator-=(const OrdinalValue& elements) {
  if (IsNull()) throw InvalidPointerOperation();
  m_address -= Scales() ? OrdinalValue(elements * m_elementSize) : elements;
  return *this;
}

TypedLocation& TypedLocation::operator++() {
  if (!IsNull()) *this += OrdinalValue::One;
  return *this;
}

TypedLocation TypedLocation::operator++(int) {
  TypedLocation before(*this);
  ++*this;
  return before;
}

TypedLocation& TypedLocation::operator--() {
  if (!IsNull()) *this -= OrdinalValue::One;
  return *this;
}

TypedLocation TypedLocation::operator--(int) {
  TypedLocation before(*this);
  --*this;
  return before;
}

OrdinalValue TypedLocation::operator-(const TypedLocation& other) const {
  if (IsNull() || other.IsNull() || m_type != other.m_type) throw InvalidPointerOperation();
  const OrdinalValue bytes = m_address - other.m_address;
  return Scales() ? OrdinalValue(bytes / m_elementSize) : bytes;
}

uint32_t TypedLocation::IsWithinRange(const TypedLocation& start, const TypedLocation& end) const {
  return m_address.IsWithinRange(start.m_address, end.m_address);
}

// The end is the start moved by length - 1 elements. A register start is one place
// and cannot be moved: it is tested with no end, so only the register itself matches.
uint32_t TypedLocation::IsWithinLength(const TypedLocation& start, const OrdinalValue& elements) const {
  if (start.IsNull()) return kOutsideRange;
  if (start.m_address.IsRegister()) return m_address.IsWithinRange(start.m_address, AddressDescriptor::Null());
  const TypedLocation end = start + OrdinalValue(elements - 1u);
  return m_address.IsWithinRange(start.m_address, end.m_address);
}

uint32_t TypedLocation::IsInRange(const AddressRange& range) const { return m_address.IsInRange(range); }

void TypedLocation::WriteImage(uint8_t* image) const {
  StoreU32(image, 0);
  WriteRecord(image + kImageRecord, m_address.Record());
  StoreU16(image + kImageLine, m_address.Line().RawLine());
  StoreU16(image + kImageLine + 2, m_address.Line().RawValid());
  StoreU32(image + kImageType, static_cast<uint32_t>(m_type.Code()));
  StoreOrdinal(image + kImageElementSize, m_elementSize);
  StoreOrdinal(image + kImageElementCount, m_elementCount);
}

TypedLocation TypedLocation::ReadImage(const uint8_t* image) {
  AddressDescriptor address(ReadRecord(image + kImageRecord));
  address.SetLine(OptionalLine::FromRaw(LoadU16(image + kImageLine), LoadU16(image + kImageLine + 2)));
  return TypedLocation(address, ReadType(image + kImageType), LoadOrdinal(image + kImageElementSize),
                       LoadOrdinal(image + kImageElementCount));
}

PointerLocation::PointerLocation()
    : m_pointeeType(TypedLocation::DefaultType()), m_pointeeSize(TypedLocation::DefaultElementSize()) {}

PointerLocation::PointerLocation(const TypedLocation& location, const DVPTypeInfo& pointeeType,
                                 const OrdinalValue& pointeeSize)
    : m_location(location), m_pointeeType(pointeeType), m_pointeeSize(pointeeSize) {}

TypedLocation PointerLocation::Dereference() const {
  const AddressDescriptor target = TargetMemory::ResolveIndirection(m_location, m_location.Type(), 0);
  return TypedLocation(target, m_pointeeType, m_pointeeSize, OrdinalValue::One);
}

void PointerLocation::WriteImage(uint8_t* image) const {
  m_location.WriteImage(image);
  StoreU32(image + TypedLocation::kImageSize, static_cast<uint32_t>(m_pointeeType.Code()));
  StoreOrdinal(image + TypedLocation::kImageSize + 4, m_pointeeSize);
}

PointerLocation PointerLocation::ReadImage(const uint8_t* image) {
  return PointerLocation(TypedLocation::ReadImage(image), ReadType(image + TypedLocation::kImageSize),
                         LoadOrdinal(image + TypedLocation::kImageSize + 4));
}

}  // namespace zentor
