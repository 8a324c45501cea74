#include "command/typed_memory.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/address_range.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/target_memory.h"
#include "core/typed_location.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

// The pattern of the typed command being run; released at the start of the next one.
struct MemoryFillState {
  std::vector<uint8_t> pattern;
  bool copyDone = false;
};

MemoryFillState g_fill;

bool IsStringKind(int32_t kind) { return kind == kKindNString || kind == kKindLString; }

uint64_t Wide(const OrdinalValue& value) {
  return (static_cast<uint64_t>(value.High()) << 32) | value.Low();
}

OrdinalValue Ordinal(uint64_t value) {
  return OrdinalValue(RawWordPair{static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32)});
}

uint32_t ElementSizeOf(const AddressRange& range) {
  const OrdinalValue size = range.Start().ElementSize();
  if (size.High() != 0) throw DVError(kMsgInvalidType, kSeverityInternal, kDisplayByFocus);
  return size.Low() == 0 ? 1 : size.Low();
}

AddressRange PopDestination() {
  if (ValueStack::TopKind() != kKindAddressRange) ZENTOR_INTERNAL_ERROR();
  const AddressRange range = ValueStack::PopRange();
  if (range.IsNull()) ZENTOR_INTERNAL_ERROR();
  return range;
}

// Appends the value's bytes to the pattern within the destination's room; answers
// false when no room was left for them.
class PatternWriter {
 public:
  explicit PatternWriter(const AddressRange& destination)
      : m_room(destination.HasLength() ? Wide(destination.Length()) * ElementSizeOf(destination) : 0),
        m_bounded(destination.HasLength()) {}

  bool Full() const { return m_bounded && g_fill.pattern.size() >= m_room; }

  bool Append(const uint8_t* bytes, uint32_t length) {
    if (m_bounded) {
      if (Full()) return false;
      length = static_cast<uint32_t>(std::min<uint64_t>(length, m_room - g_fill.pattern.size()));
    }
    if (g_fill.pattern.size() + length > 0xFFFFFFFFu) throw DVError(kMsgFillTooLarge, kSeverityError, kDisplayByFocus);
    try {
      g_fill.pattern.insert(g_fill.pattern.end(), bytes, bytes + length);
    } catch (const std::bad_alloc&) {
      throw DVError(kMsgFillTooLarge, kSeverityError, kDisplayByFocus);
    }
    return true;
  }

 private:
  uint64_t m_room;
  bool m_bounded;
};

// A value of `kind` converted to the destination's element type and appended.
void AppendConverted(PatternWriter& writer, const uint8_t* value, uint16_t kind, const AddressRange& destination) {
  const int32_t type = destination.Start().Type().Code();
  uint8_t converted[kValueBufferSize + 2] = {};
  ConvertValue(value, kind, converted, static_cast<uint16_t>(type));
  uint32_t length = ElementSizeOf(destination);
  if (type == kKindNString) {
    length = static_cast<uint32_t>(strnlen(reinterpret_cast<const char*>(converted), kValueBufferSize)) + 1;
  } else if (type == kKindLString) {
    length = converted[0] + 1u;
  }
  writer.Append(converted, length);
}

// A source range as a value-list item: copied target to target when it matches the
// destination, else read element by element (in pieces) and converted.
void AppendSourceRange(PatternWriter& writer, const AddressRange& source, const AddressRange& destination) {
  const TypedLocation& start = source.Start();
  const int32_t sourceType = start.Type().Code();
  const TypedLocation& target = destination.Start();
  if (destination.HasLength() && source.HasLength() && source.Length() == destination.Length() &&
      start.Type() == target.Type() && start.ElementSize() == target.ElementSize()) {
    TargetMemory::CopyRange(source, target.AddressRef());
    g_fill.copyDone = true;
    return;
  }
  if (IsStringKind(sourceType)) {
    // The string stored there, as one value of its kind.
    uint8_t text[kValueBufferSize + 2] = {};
    TypedLocation one = start;
    one.SetTypeInfo(start.Type(), OrdinalValue(1), OrdinalValue(1));
    OrdinalValue read;
    TargetMemory::ReadValue(&read, text, kValueBufferSize, AddressRange::FromLength(one, OrdinalValue(1)), 0);
    AppendConverted(writer, text, static_cast<uint16_t>(sourceType), destination);
    return;
  }
  const uint32_t size = ElementSizeOf(source);
  if (size > kCopyPieceBytes) throw DVError(kMsgInvalidType, kSeverityInternal, kDisplayByFocus);
  uint64_t count = source.HasLength() ? Wide(source.Length()) : 1;
  const uint32_t perPiece = kCopyPieceBytes / size;
  uint8_t piece[kCopyPieceBytes];
  AddressDescriptor at = start.Address();
  while (count != 0 && !writer.Full()) {
    const auto elements = static_cast<uint32_t>(std::min<uint64_t>(count, perPiece));
    const TypedLocation from(at, start.Type(), OrdinalValue(size), OrdinalValue(1));
    OrdinalValue read;
    TargetMemory::ReadValue(&read, piece, sizeof piece, AddressRange::FromLength(from, OrdinalValue(elements)), 0);
    for (uint32_t i = 0; i < elements && !writer.Full(); ++i) {
      AppendConverted(writer, piece + i * size, static_cast<uint16_t>(sourceType), destination);
    }
    count -= elements;
    at += OrdinalValue(elements * size);
  }
}

}  // namespace

void ResetMemoryFill() {
  g_fill.copyDone = false;
  std::vector<uint8_t>().swap(g_fill.pattern);
}

uint32_t FillPatternSize() { return static_cast<uint32_t>(g_fill.pattern.size()); }
bool FillCopyDone() { return g_fill.copyDone; }

void RetypeLocation() {
  if (ValueStack::TopKind() == kKindInactiveSymbol) {
    ValueStack::Drop();
    throw DVError(kSymbolNotActive, kSeverityError, kDisplayByFocus);
  }
  ValueStack::ConvertTopToLocation(0, AddressDescriptor::Null());
  TypedLocation location = ValueStack::PopLocation();
  // A variable kept in a register has no memory to show or fill.
  if (location.AddressRef().IsRegister()) throw DVError(kMsgRegisterVariable, kSeverityError, kDisplayByFocus);
  const uint16_t typeCode = ValueStack::PopOrd2();
  const uint16_t dvpCode = SymbolTypeCodeToDVPTypeCode(typeCode);
  if (dvpCode == 0) throw DVError(kMsgInvalidType, kSeverityInternal, kDisplayByFocus);
  const DVPTypeInfo type = DVPTypeInfo::FromCode(dvpCode);
  if (type.Size() == 0) throw DVError(kMsgInvalidType, kSeverityInternal, kDisplayByFocus);
  location.SetTypeInfo(type, OrdinalValue(type.Size()), OrdinalValue(1));
  ValueStack::PushLocation(location);
}

void MakeDestinationRange() {
  AddressRange range;
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
    range.SetFromLength(ValueStack::PopLocation(), OrdinalValue(0u));
  } else {
    range.SetFromValueStack(0, AddressDescriptor::Null());
  }
  if (range.IsNull()) throw DVError(kAddressesOfDifferentType, kSeverityError, kDisplayByFocus);
  ValueStack::PushRange(range);
}

void MakeDisplayLocation() {
  const AddressRange range = PopDestination();
  const TypedLocation& start = range.Start();
  const OrdinalValue length = range.HasLength() ? range.Length() : OrdinalValue(1u);
  const TypedLocation shown(start.Address(), start.Type(), start.ElementSize(), length);
  ValueStack::PushPointerLocation(PointerLocation(shown, start.Type(), start.ElementSize()));
}

void AppendFillValue() {
  const uint16_t kind = ValueStack::TopKind();
  const uint16_t size = ValueStack::TopSize();
  if (size > ValueStack::kMaxItemSize) ZENTOR_INTERNAL_ERROR();
  AddressRange source;
  uint8_t value[ValueStack::kMaxItemSize + 2] = {};
  if (kind == kKindAddressRange) {
    source = ValueStack::PopRange();
    if (source.IsNull()) ZENTOR_INTERNAL_ERROR();
  } else {
    ValueStack::Pop(value);
  }
  // After a direct copy the command has written all it will.
  if (g_fill.copyDone) return;
  const AddressRange destination = PopDestination();
  PatternWriter writer(destination);
  if (kind == kKindAddressRange) {
    AppendSourceRange(writer, source, destination);
  } else if (!writer.Full()) {
    AppendConverted(writer, value, kind, destination);
  }
  ValueStack::PushRange(destination);
}

// The destination gets the pattern repeated to its length (its last repetition cut
// at the length), or the pattern once when it has none; the bytes go out in pieces
// of whole elements, at most kCopyPieceBytes each.
void WriteMemoryFill() {
  const AddressRange destination = PopDestination();
  if (!g_fill.copyDone && !g_fill.pattern.empty()) {
    const std::vector<uint8_t>& pattern = g_fill.pattern;
    const TypedLocation& start = destination.Start();
    const uint32_t size = ElementSizeOf(destination);
    const uint64_t total = destination.HasLength() ? Wide(destination.Length()) * size : pattern.size();
    const uint32_t pieceBytes = size >= kCopyPieceBytes ? size : kCopyPieceBytes - kCopyPieceBytes % size;
    std::vector<uint8_t> piece(pieceBytes);
    for (uint64_t done = 0; done < total;) {
      const auto count = static_cast<uint32_t>(std::min<uint64_t>(total - done, pieceBytes));
      for (uint32_t i = 0; i < count; ++i) piece[i] = pattern[(done + i) % pattern.size()];
      const uint32_t elements = (count + size - 1) / size;
      const TypedLocation piecesStart(start.Address() + Ordinal(done), start.Type(), OrdinalValue(size), OrdinalValue(1));
      TargetMemory::WriteValue(piece.data(), count, AddressRange::FromLength(piecesStart, OrdinalValue(elements)));
      done += count;
    }
  }
  ResetMemoryFill();
}

}  // namespace zentor
