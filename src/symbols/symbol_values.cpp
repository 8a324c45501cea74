#include "symbols/symbol_values.h"

#include "symbols/interpreter_services.h"
#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_lookup.h"
#include "symbols/type_lookup.h"

#include "core/dv_error.h"
#include "core/dvp_types.h"

namespace zentor {
namespace {

bool InLocationMode() { return (CurrentEntry().m_flags & kLookupLocationMode) != 0; }

void PushInactiveSymbol() {
  const uint8_t nothing = 0;
  ValueStack::PushSized(kKindInactiveSymbol, 0, &nothing);
}

TypedLocation LocationOf(const AddressDescriptor& address, uint16_t type, uint32_t elementSize) {
  return TypedLocation(address, DVPTypeInfo::FromCode(type), OrdinalValue(elementSize), OrdinalValue(1));
}

// The pointee of a pointer type as a pointer location's element: its debugger type
// (none for a type that is no primitive) and size (an array's element size).
void PointeeOf(const TypeEntryView& pointer, DVPTypeInfo& type, uint32_t& size) {
  type = DVPTypeInfo();
  size = 0;
  const uint32_t index = PointeeTypeIndex(pointer);
  if (index == RecordHandle::kNone || index == 0 || index > TypeCount()) return;
  const TypeEntryView pointee = GetTypeEntry(index);
  const uint16_t code = pointee.Category() == kTypePrimitive ? pointee.PrimitiveCode() : 0;
  type = DVPTypeInfo::FromCode(SymbolTypeCodeMap(code <= kLargestPrimitiveCode ? code : 0));
  size = pointee.Size();
  if (pointee.Category() == kTypeArray && pointee.Reference() != RecordHandle::kNone) {
    const uint32_t element =
        ArrayTypeRecordView::At(GetCurrentSymbolContext()->Cache(), RecordHandle(pointee.Reference())).ElementType();
    size = GetTypeEntry(element).Size();
  }
}

// A cast to a primitive type that waits for the symbol's value: the value is fetched
// and converted, and the cast is marked taken.
void ApplyPendingCast() {
  TypeLookupState& cast = CurrentTypeLookupState();
  if (cast.m_lookupFlag == 0 || cast.m_pointerState != 0 || cast.m_typeKind != kTypeKindPrimitive ||
      cast.m_typeCode == kPointerTypeCode) {
    return;
  }
  InstalledSymbolInterpreter().DereferenceTopValue();
  ValueStack::ConvertTop(static_cast<uint16_t>(cast.m_typeCode));
  cast.m_takenFlag = 1;
}

}  // namespace

void PushCodeSpan(const AddressDescriptor& start, const OrdinalValue& length) {
  const DVPTypeInfo offsetType = DVPTypeInfo::FromCode(kKindOffset);
  if (InLocationMode()) {
    ValueStack::PushLocation(TypedLocation(start, offsetType, OrdinalValue(1), OrdinalValue(1)));
    return;
  }
  ValueStack::PushPointerLocation(
      PointerLocation(TypedLocation(start, offsetType, OrdinalValue(1), length), offsetType, OrdinalValue(1)));
}

SymbolValueItem MakeSymbolValueItem(const TypedLocation& location, const SymbolDescriptor& description,
                                    uint32_t flag) {
  SymbolValueItem::DescriptionImage image;
  description.WriteImage(image.data());
  return SymbolValueItem(location, image, flag);
}

SymbolDescriptor DescriptionOf(const SymbolValueItem& item) {
  return SymbolDescriptor::ReadImage(item.Description().data());
}

// The current symbol's type decides the value (the first row that applies):
//   a usable pointer          a pointer location to the pointee
//   a scalar with a code      a typed location of its debugger type
//   a procedure or label      a one-byte offset-type pointer location
//   an aggregate or array     a symbol value item carrying the description
//   an enumeration            a typed location of "ord4"
//   a bit field               a bit location: bit count + bit position x 65536
// In location mode each is a plain typed location; a type of no row is 332 then.
void PushSymbolValue(DVErrorCode& status, const AddressDescriptor& location, uint32_t flag) {
  status.SetOkay();
  SymbolEntry& entry = CurrentEntry();
  const bool locationMode = InLocationMode();
  const uint16_t bitPosition = entry.m_symbol.m_bitPosition;
  const TypeEntryView type = GetTypeEntry(entry.m_symbol.m_typeIndex);
  const uint32_t category = type.Category();
  const uint16_t code = type.PrimitiveCode() <= kLargestPrimitiveCode ? type.PrimitiveCode() : 0;
  const uint32_t size = type.Size();
  if (category == kTypePrimitive && IsPointerLikeCode(code)) {
    const DVPTypeInfo element = DVPTypeInfo::FromCode(SymbolTypeCodeMap(code));
    const TypedLocation at(location, element, OrdinalValue(element.Size()), OrdinalValue(1));
    if (locationMode) {
      ValueStack::PushLocation(at);
    } else {
      DVPTypeInfo pointeeType;
      uint32_t pointeeSize = 0;
      PointeeOf(type, pointeeType, pointeeSize);
      ValueStack::PushPointerLocation(PointerLocation(at, pointeeType, OrdinalValue(pointeeSize)));
    }
  } else if ((category == kTypePrimitive || category == kTypeSubrange || category == kTypeEnumeration) &&
             code != 0 && bitPosition == 0) {
    const uint16_t dvpType = SymbolTypeCodeMap(code);
    const uint32_t elementSize = code == kKindChar ? size : DVPTypeInfo::FromCode(dvpType).Size();
    ValueStack::PushLocation(LocationOf(location, dvpType, elementSize));
  } else if (category == kTypeProcedure || category == kTypeLabel) {
    const TypedLocation at = LocationOf(location, kKindOffset, 1);
    if (locationMode) {
      ValueStack::PushLocation(at);
    } else {
      ValueStack::PushPointerLocation(PointerLocation(at, DVPTypeInfo::FromCode(kKindOffset), OrdinalValue(1)));
    }
  } else if (category == kTypeStructure || category == kTypeUnion || category == kTypeClass ||
             category == kTypeArray) {
    uint32_t elementSize = size;
    if (category == kTypeArray && type.Reference() != RecordHandle::kNone) {
      const uint32_t element =
          ArrayTypeRecordView::At(GetCurrentSymbolContext()->Cache(), RecordHandle(type.Reference())).ElementType();
      elementSize = GetTypeEntry(element).Size();
    }
    const TypedLocation at = LocationOf(location, kKindOrd1, elementSize);
    if (locationMode) {
      ValueStack::PushLocation(at);
    } else {
      ValueStack::PushSymbolValue(MakeSymbolValueItem(at, entry.Descriptor(), flag));
    }
  } else if (category == kTypeEnumeration) {
    ValueStack::PushLocation(LocationOf(location, kKindOrd4, size));
  } else if (category == kTypeBitField || bitPosition != 0) {
    const uint32_t bits = (size >> 16) == 0 ? size * 8 : size >> 16;
    const AddressDescriptor& scope = GetCurrentSymbolContext()->ScopeAddress();
    if (!scope.IsNull()) location.CheckSameClass(scope);
    ValueStack::PushLocation(LocationOf(location, kKindCode1, bits + bitPosition * 65536u));
  } else if (locationMode) {
    ValueStack::PushLocation(TypedLocation(location));
  } else {
    status.Set(kMsgSymbolTypeUnrecognized, kSeverityError);
    return;
  }
  ApplyPendingCast();
}

void PushCurrentSymbolValue(DVErrorCode& status, uint32_t flag) {
  PushSymbolValue(status, CurrentEntry().m_symbol.m_location.m_address, flag);
}

// The value of what the lookup left current:
// 1. Nothing made current yet: the current record decides; a procedure pushes its
//    code span and becomes the scope, a symbol becomes the current symbol.
// 2. A symbol whose frame is not active pushes the inactive marker.
// 3. Otherwise its value at its (resolved) location.
void DecodeSymbolRecordLocation(DVErrorCode& status, uint32_t flag) {
  status.SetOkay();
  SymbolEntry& entry = CurrentEntry();
  if (entry.m_symbolSet == 0) {
    const RecordHandle record = entry.m_currentRecord;
    uint32_t recordType = 0xFFFFFFFFu;
    if (!record.IsNone()) {
      recordType = RecordView::Open(GetCurrentSymbolContext()->Cache(), record, kBareRecordSize, RecordAccess::Read)
                       .U32At(0);
    }
    if (recordType == kProcedureRecordType) {
      SetCurrentScopeRecord(record);
      PushCodeSpan(entry.m_scope.m_start, entry.m_scope.m_length);
      return;
    }
    if (recordType != kSymbolRecordType) {
      status.Set(kMsgInvalidSymbolRecordType, kSeverityInternal);
      return;
    }
    SetCurrentSymbolRecord(record);
  }
  if (entry.m_symbol.m_active == 0) {
    PushInactiveSymbol();
    return;
  }
  PushSymbolValue(status, entry.m_symbol.m_location.m_address, flag);
}

}  // namespace zentor
