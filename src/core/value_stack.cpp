#include "core/value_stack.h"

#include <cstring>

#include "core/dv_error.h"
#include "core/operator_executor.h"
#include "core/token_record.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"

namespace zentor {
namespace {

using namespace value_bytes;

constexpr uint32_t kStringTooLong = 205;
constexpr uint32_t kMaxStringItem = 255;  // an "lstring" of 254 characters and its length byte

void ThrowIfFailed(DVErrorCode code) {
  if (!code.IsOkay()) ThrowIfError(DVError(code));
}

[[noreturn]] void RaiseUnderflow() { throw DVError(kExpressionStackUnderflow, kSeverityInternal, kDisplayByFocus); }

// Size of an item from its kind and data.
uint16_t ItemSize(uint16_t kind, const uint8_t* data) {
  if (kind == kKindNString) {
    uint32_t length = 0;
    while (length < ValueStack::kMaxItemSize && data[length] != 0) ++length;
    if (length >= ValueStack::kMaxItemSize) throw DVError(kStringTooLong, kSeverityError, kDisplayByFocus);
    return static_cast<uint16_t>(length + 1);
  }
  if (kind == kKindLString) return static_cast<uint16_t>(data[0] + 1u);
  return GetValueKindSize(kind);
}

}  // namespace

void SymbolValueItem::WriteImage(uint8_t* image) const {
  m_location.WriteImage(image);
  uint8_t* description = image + TypedLocation::kImageSize;
  std::memcpy(description, m_description.data(), kDescriptionImageSize);
  StoreU32(description + kDescriptionImageSize, m_word);
}

SymbolValueItem SymbolValueItem::ReadImage(const uint8_t* image) {
  const uint8_t* description = image + TypedLocation::kImageSize;
  DescriptionImage copy;
  std::memcpy(copy.data(), description, kDescriptionImageSize);
  return SymbolValueItem(TypedLocation::ReadImage(image), copy, LoadU32(description + kDescriptionImageSize));
}

ValueStack::StackState& ValueStack::State() {
  static StackState state;
  return state;
}

MemoryFile& ValueStack::File() {
  StackState& state = State();
  if (state.file == nullptr) Create();
  return *state.file;
}

void ValueStack::Create() {
  StackState& state = State();
  if (state.file != nullptr) return;
  ThrowIfFailed(CreateMemoryFile(-1, 1, &state.handle));
  state.file = &MemoryFileOf(state.handle);
  state.topKind = kKindEmpty;
  state.topSize = 0;
}

void ValueStack::Reset() {
  MemoryFile& file = File();
  ThrowIfFailed(file.Seek(0));
  file.Truncate();
  State().topKind = kKindEmpty;
  State().topSize = 0;
}

// 1. The header of the item now on top goes into the file, then the new item's bytes.
// 2. Only then does the cached header name the new item, so a failed write leaves the
//    stack as it was.
void ValueStack::PushSized(uint16_t kind, uint16_t size, const void* data) {
  MemoryFile& file = File();
  StackState& state = State();
  uint8_t header[4];
  StoreU16(header, state.topKind);
  StoreU16(header + 2, state.topSize);
  ThrowIfFailed(file.Write(1, sizeof header, header));
  if (size != 0) ThrowIfFailed(file.Write(1, size, data));
  state.topKind = kind;
  state.topSize = size;
}

void ValueStack::Push(uint16_t kind, const void* data) {
  PushSized(kind, ItemSize(kind, static_cast<const uint8_t*>(data)), data);
}

void ValueStack::PushTyped(const DVPTypeInfo& type, const void* data) {
  Push(static_cast<uint16_t>(type.Code()), data);
}

void ValueStack::Peek(void* buffer) {
  StackState& state = State();
  if (state.topKind == kKindEmpty) RaiseUnderflow();
  MemoryFile& file = File();
  if (state.topSize > kMaxItemSize) ZENTOR_INTERNAL_ERROR();
  const uint32_t end = file.Position();
  ThrowIfFailed(file.Seek(end - state.topSize));
  ThrowIfFailed(file.Read(1, state.topSize, buffer));
}

void ValueStack::Drop() {
  StackState& state = State();
  if (state.topKind == kKindEmpty) RaiseUnderflow();
  MemoryFile& file = File();
  ThrowIfFailed(file.Seek(file.Position() - state.topSize));
  uint8_t header[4];
  ThrowIfFailed(file.ReadBack(sizeof header, header));
  state.topKind = LoadU16(header);
  state.topSize = LoadU16(header + 2);
  if (file.Size() - file.Position() > kShrinkSlack) file.Truncate();
}

void ValueStack::Pop(void* buffer) {
  Peek(buffer);
  Drop();
}

void ValueStack::DuplicateTop() {
  uint8_t buffer[kMaxItemSize];
  Peek(buffer);
  PushSized(TopKind(), TopSize(), buffer);
}

void ValueStack::ConvertTop(uint16_t kind) {
  StackState& state = State();
  if (state.topKind == kind) return;
  if (state.topSize > kMaxItemSize) throw DVError(kInvalidTypeConversion, kSeverityError, kDisplayByFocus);
  uint8_t buffer[kMaxItemSize];
  const uint16_t from = state.topKind;
  Pop(buffer);
  ConvertValue(buffer, from, buffer, kind);
  Push(kind, buffer);
}

void ValueStack::PopAs(uint16_t kind, void* buffer) {
  ConvertTop(kind);
  Pop(buffer);
}

void ValueStack::PeekAs(uint16_t kind, void* buffer) {
  ConvertTop(kind);
  Peek(buffer);
}

void ValueStack::PopTyped(const DVPTypeInfo& type, void* buffer) { PopAs(static_cast<uint16_t>(type.Code()), buffer); }

uint16_t ValueStack::PopOrd2() {
  uint8_t buffer[kMaxItemSize];
  PopAs(kKindOrd2, buffer);
  return LoadU16(buffer);
}

uint8_t ValueStack::PopBool() {
  uint8_t buffer[kMaxItemSize];
  PopAs(kKindBool1, buffer);
  return buffer[0];
}

void ValueStack::ConvertTopToLocation(uint32_t addressKind, const AddressDescriptor& base) {
  uint8_t buffer[kMaxItemSize];
  switch (TopKind()) {
    case kKindPointerLocation:
      Pop(buffer);
      PushLocation(PointerLocation::ReadImage(buffer).Location());
      return;
    case kKindSymbolValue:
      Pop(buffer);
      PushLocation(SymbolValueItem::ReadImage(buffer).Location());
      return;
    case kKindTypedLocation:
      return;
    case kKindInactiveSymbol:
      throw DVError(kSymbolNotActive, kSeverityError, kDisplayByFocus);
    default:
      IntegerTopToLocation(addressKind, base);
      return;
  }
}

// 1. Pop the number, reading a reference from the target first.
// 2. As a 64-bit value it is the one component of an address specification of the
//    given kind and base; the target makes the address.
// 3. The address goes back as a location of the default type and sizes.
void ValueStack::IntegerTopToLocation(uint32_t addressKind, const AddressDescriptor& base) {
  if (TopKind() == kKindTypedLocation) return;
  uint8_t buffer[kMaxItemSize];
  uint16_t kind = TopKind();
  Pop(buffer);
  FetchOperand(&kind, buffer);
  ConvertValue(buffer, kind, buffer, kKindOrdinal);
  AddressSpecification specification;
  specification.m_addressKind = addressKind;
  specification.m_base = base.Record();
  specification.m_component = 0xFFFFFFFFu;
  specification.m_form = 1;
  specification.m_components[0] = LoadU64(buffer);
  PushLocation(TypedLocation(AddressDescriptor(specification)));
}

void ValueStack::PushLocation(const TypedLocation& location) {
  uint8_t image[TypedLocation::kImageSize];
  location.WriteImage(image);
  PushSized(kKindTypedLocation, sizeof image, image);
}

void ValueStack::PushPointerLocation(const PointerLocation& reference) {
  uint8_t image[PointerLocation::kImageSize];
  reference.WriteImage(image);
  PushSized(kKindPointerLocation, sizeof image, image);
}

void ValueStack::PushSymbolValue(const SymbolValueItem& symbol) {
  uint8_t image[SymbolValueItem::kImageSize];
  symbol.WriteImage(image);
  PushSized(kKindSymbolValue, sizeof image, image);
}

void ValueStack::PushOrdinal(const OrdinalValue& value) {
  uint8_t image[8];
  StoreOrdinal(image, value);
  PushSized(kKindOrdinal, sizeof image, image);
}

void ValueStack::PushRange(const AddressRange& range) {
  uint8_t image[AddressRange::kImageSize];
  range.WriteImage(image);
  PushSized(kKindAddressRange, sizeof image, image);
}

TypedLocation ValueStack::PopLocation() {
  uint8_t buffer[kMaxItemSize];
  PopAs(kKindTypedLocation, buffer);
  return TypedLocation::ReadImage(buffer);
}

OrdinalValue ValueStack::PopOrdinal() {
  uint8_t buffer[kMaxItemSize];
  PopAs(kKindOrdinal, buffer);
  return LoadOrdinal(buffer);
}

AddressRange ValueStack::PopRange() {
  if (TopKind() != kKindAddressRange || TopSize() != AddressRange::kImageSize) ZENTOR_INTERNAL_ERROR();
  uint8_t buffer[kMaxItemSize];
  Pop(buffer);
  return AddressRange::ReadImage(buffer);
}

// 1. The top becomes an "lstring"; the new characters go right after its characters.
// 2. The length byte at the start of the item is rewritten, then the position returns
//    to the end. The whole text is checked before anything is written.
void ValueStack::AppendToTopString(const uint8_t* lengthPrefixedText) {
  ConvertTop(kKindLString);
  StackState& state = State();
  const uint32_t count = lengthPrefixedText[0];
  if (state.topSize + count > kMaxStringItem) throw DVError(kStringTooLong, kSeverityError, kDisplayByFocus);
  MemoryFile& file = File();
  if (count != 0) ThrowIfFailed(file.Write(1, count, lengthPrefixedText + 1));
  state.topSize = static_cast<uint16_t>(state.topSize + count);
  const uint32_t end = file.Position();
  ThrowIfFailed(file.Seek(end - state.topSize));
  DVErrorCode status;
  const uint8_t lengthByte = static_cast<uint8_t>(state.topSize - 1);
  WriteMemoryFileByte(&status, state.handle, &lengthByte);
  ThrowIfFailed(status);
  ThrowIfFailed(file.Seek(end));
}

uint32_t ValueStack::Depth() {
  StackState& state = State();
  if (state.topKind == kKindEmpty) return 0;
  MemoryFile& file = File();
  const uint32_t end = file.Position();
  uint32_t depth = 1;
  uint32_t position = end - state.topSize;
  for (;;) {
    uint8_t header[4];
    ThrowIfFailed(file.Seek(position - 4));
    ThrowIfFailed(file.Read(1, 4, header));
    if (LoadU16(header) == kKindEmpty) break;
    ++depth;
    position = position - 4 - LoadU16(header + 2);
  }
  ThrowIfFailed(file.Seek(end));
  return depth;
}

void PushMarker() { ValueStack::PushSized(kKindMarker, 0, nullptr); }

void AppendTokenToTopString() {
  ValueStack::AppendToTopString(reinterpret_cast<const uint8_t*>(CurrentToken().text));
}

void ConvertTopToBoolean() { ValueStack::ConvertTop(kKindBool1); }

void PushTrue() {
  const uint8_t value = 1;
  ValueStack::Push(kKindBool1, &value);
}

void PushFalse() {
  const uint8_t value = 0;
  ValueStack::Push(kKindBool1, &value);
}

void PushNullValue() { ValueStack::PushSized(kKindNone, 0, nullptr); }

DVErrorCode WriteMemoryFileByte(DVErrorCode* status, MemoryFileHandle handle, const uint8_t* byte) {
  *status = WriteMemoryFile(handle, 1, 1, byte);
  return *status;
}

}  // namespace zentor
