#include "core/value_stack.h"

#include <cstring>
#include <memory>
#include <new>

#include "core/dv_error.h"
#include "core/message_table.h"
#include "core/operator_executor.h"
#include "core/token_record.h"
#include "core/value_bytes.h"
#include "core/value_conversion.h"

namespace zentor {
namespace {

using namespace value_bytes;

constexpr uint32_t kStringTooLong = 205;
constexpr uint32_t kMaxStringItem = 255;  // an "lstring" of 254 characters and its length byte
constexpr uint32_t kHeaderSize = 4;         // kind and size of the item below

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

// Copies `size` bytes, sizeof(Word) <= size <= 2 * sizeof(Word), as two words that
// may overlap.
template <typename Word>
void CopyTwoWords(uint8_t* to, const uint8_t* from, uint32_t size) {
  Word head;
  Word tail;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + size - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + size - sizeof tail, &tail, sizeof tail);
}

// The items most traffic is made of (numbers, operator codes, short names) are at
// most this long; they are copied without a library call.
constexpr uint32_t kSmallItemSize = 16;

// Copies a small item's bytes (at most kSmallItemSize) in at most two overlapping
// words.
inline void CopySmallItem(uint8_t* to, const uint8_t* from, uint32_t size) {
  if (size >= 8) {
    CopyTwoWords<uint64_t>(to, from, size);
  } else if (size >= 4) {
    CopyTwoWords<uint32_t>(to, from, size);
  } else if (size != 0) {
    const uint8_t first = from[0];
    const uint8_t middle = from[size / 2];
    const uint8_t last = from[size - 1];
    to[0] = first;
    to[size / 2] = middle;
    to[size - 1] = last;
  }
}

inline void CopyItemBytes(uint8_t* to, const uint8_t* from, uint32_t size) {
  if (size <= kSmallItemSize) {
    CopySmallItem(to, from, size);
  } else {
    std::memcpy(to, from, size);
  }
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

ValueStack::StackState ValueStack::s_state;

void ValueStack::Create() {
  StackState& state = State();
  if (state.bytes != nullptr) return;
  Reserve(kInitialCapacity);
  state.topKind = kKindEmpty;
  state.topSize = 0;
}

// Grows the buffer to hold at least `needed` bytes (doubling, so pushes stay cheap);
// no memory for it is the allocator's "dynamic memory full" and the stack stays as it
// was.
void ValueStack::Reserve(uint64_t needed) {
  StackState& state = State();
  if (needed <= state.capacity) return;
  if (needed > kLargestSize) ThrowIfFailed(DVErrorCode(kMsgAllocationTooLarge, kSeveritySevere));
  uint64_t capacity = state.capacity == 0 ? kInitialCapacity : state.capacity;
  while (capacity < needed) capacity *= 2;
  if (capacity > kLargestSize) capacity = kLargestSize;
  std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[capacity]);
  if (grown == nullptr) ThrowIfFailed(DVErrorCode(kMsgDynamicMemoryFull, kSeveritySevere));
  if (state.end != 0) std::memcpy(grown.get(), state.bytes.get(), state.end);
  state.bytes = std::move(grown);
  state.capacity = static_cast<uint32_t>(capacity);
}

void ValueStack::Reset() {
  StackState& state = State();
  // A stack that grew deep once gives its memory back between commands.
  if (state.capacity > kKeptCapacity) {
    state.bytes.reset();
    state.capacity = 0;
  }
  state.end = 0;
  Create();
  state.topKind = kKindEmpty;
  state.topSize = 0;
}

// 1. Room for the header of the item now on top and the new item's bytes is made
//    first, so a failed growth leaves the stack as it was.
// 2. The header goes in, then the bytes; then the cached header names the new item.
void ValueStack::PushSized(uint16_t kind, uint16_t size, const void* data) {
  const StackState& state = State();
  // The common case stays free of calls: a small item into room already there.
  if (size > kSmallItemSize || static_cast<uint64_t>(state.end) + kHeaderSize + size > state.capacity) {
    PushGrowing(kind, size, data);
    return;
  }
  Append(kind, size, data, &CopySmallItem);
}

void ValueStack::PushGrowing(uint16_t kind, uint16_t size, const void* data) {
  Reserve(static_cast<uint64_t>(State().end) + kHeaderSize + size);
  Append(kind, size, data, &CopyItemBytes);
}

// The header of the item now on top goes in, then the new item's bytes; then the
// cached header names the new item. The room is there already.
template <typename Copy>
void ValueStack::Append(uint16_t kind, uint16_t size, const void* data, Copy copy) {
  StackState& state = State();
  uint8_t* at = state.bytes.get() + state.end;
  StoreU16(at, state.topKind);
  StoreU16(at + 2, state.topSize);
  copy(at + kHeaderSize, static_cast<const uint8_t*>(data), size);
  state.end += kHeaderSize + size;
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
  const StackState& state = State();
  if (state.topKind == kKindEmpty) RaiseUnderflow();
  if (state.topSize > kMaxItemSize || state.topSize > state.end) ZENTOR_INTERNAL_ERROR();
  CopyItemBytes(static_cast<uint8_t*>(buffer), state.bytes.get() + state.end - state.topSize, state.topSize);
}

void ValueStack::Drop() {
  StackState& state = State();
  if (state.topKind == kKindEmpty) RaiseUnderflow();
  if (static_cast<uint32_t>(state.topSize) + kHeaderSize > state.end) ZENTOR_INTERNAL_ERROR();
  state.end -= state.topSize + kHeaderSize;
  const uint8_t* header = state.bytes.get() + state.end;
  state.topKind = LoadU16(header);
  state.topSize = LoadU16(header + 2);
}

void ValueStack::Pop(void* buffer) {
  StackState& state = State();
  const uint32_t size = state.topSize;
  if (state.topKind == kKindEmpty || size > kSmallItemSize || size + kHeaderSize > state.end) {
    PopChecked(buffer);
    return;
  }
  const uint8_t* item = state.bytes.get() + state.end - size;
  CopySmallItem(static_cast<uint8_t*>(buffer), item, size);
  state.end -= size + kHeaderSize;
  state.topKind = LoadU16(item - kHeaderSize);
  state.topSize = LoadU16(item - kHeaderSize + 2);
}

void ValueStack::PopChecked(void* buffer) {
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

// Mostly the top has the kind asked for already (an operator code, a truth value).
void ValueStack::PopAs(uint16_t kind, void* buffer) {
  if (State().topKind != kind) ConvertTop(kind);
  Pop(buffer);
}

void ValueStack::PeekAs(uint16_t kind, void* buffer) {
  if (State().topKind != kind) ConvertTop(kind);
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
  Reserve(static_cast<uint64_t>(state.end) + count);
  if (count != 0) std::memcpy(state.bytes.get() + state.end, lengthPrefixedText + 1, count);
  state.end += count;
  state.topSize = static_cast<uint16_t>(state.topSize + count);
  state.bytes[state.end - state.topSize] = static_cast<uint8_t>(state.topSize - 1);
}

uint32_t ValueStack::Depth() {
  const StackState& state = State();
  if (state.topKind == kKindEmpty) return 0;
  uint32_t depth = 1;
  uint32_t position = state.end - state.topSize;
  for (;;) {
    if (position < kHeaderSize) ZENTOR_INTERNAL_ERROR();
    const uint8_t* header = state.bytes.get() + position - kHeaderSize;
    if (LoadU16(header) == kKindEmpty) break;
    ++depth;
    position = position - kHeaderSize - LoadU16(header + 2);
  }
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
