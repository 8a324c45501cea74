// The steps of a name path after its first name: member selection, subscripts and
// dereferences on the current symbol, and the module and line references pushed as
// locations.

#include "symbols/symbol_lookup.h"

#include <cstdio>

#include "symbols/list_holders.h"
#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_values.h"
#include "symbols/type_lookup.h"
#include "symbols/type_translation.h"

#include "core/value_stack.h"
#include "core/dv_error.h"
#include "core/typed_location.h"
#include "core/target_memory.h"

namespace zentor {
namespace {

PageCache& Cache() { return GetCurrentSymbolContext()->Cache(); }

[[noreturn]] void RaiseWithName(uint32_t number, const RWCString& name, uint32_t severity = kSeverityError) {
  DVError error(number, severity, kDisplayByFocus);
  error.SetArg(0, name);
  throw error;
}

// The first element of a member list named by a word of an aggregate record: in the
// union form the word is the handle of the first element itself; otherwise it is the
// type index of a list entry, whose reference names the first element.
RecordHandle MemberListStart(uint32_t word, uint32_t mode) {
  if (mode == kFieldOfUnion) return RecordHandle(word);
  const TypeEntryView list = GetTypeEntry(word);
  if (list.Category() != kTypeList) throw DVError(kMsgInvalidTypeRecord, kSeverityInternal, kDisplayByFocus);
  return RecordHandle(list.Reference());
}

// The first element of the given type in the list of a list entry; none when the list
// has none.
RecordView FirstListElement(uint32_t listIndex, uint32_t elementType) {
  const TypeEntryView list = GetTypeEntry(listIndex);
  if (list.Category() != kTypeList) return RecordView();
  ChainWalk walk(Cache(), RecordHandle(list.Reference()), ChainWalk::Kind::ListElements);
  for (;;) {
    RecordView element = walk.Next();
    if (element.IsNull() || element.U32At(0) == elementType) return element;
  }
}

}  // namespace

// A union's members are groups of one-member lists: the name of a member is the name
// of its names list's entry, or the name that list holds; its type the type its
// types list holds.
SymbolKey UnionMemberName(uint32_t namesListIndex) {
  const SymbolKey own = GetTypeEntry(namesListIndex).Name();
  if (!own.NameHandle().IsNone()) return own;
  const RecordView element = FirstListElement(namesListIndex, kListNameElementType);
  return element.IsNull() ? SymbolKey() : SymbolKey::ReadFrom(element, ListNameElementLayout::kName);
}

uint32_t UnionMemberType(uint32_t typesListIndex) {
  if (GetTypeEntry(typesListIndex).Category() != kTypeList) return typesListIndex;
  const RecordView element = FirstListElement(typesListIndex, kListIndexElementType);
  return element.IsNull() ? typesListIndex : element.U32At(ListIndexElementLayout::kTypeIndex);
}

namespace {

// The aggregate record of the current symbol's type, after the checks of member
// selection (331 not an aggregate, 330 an aggregate without members).
AggregateTypeRecordView CurrentAggregate(const RWCString& memberName, uint32_t& category) {
  const TypeEntryView type = GetTypeEntry(CurrentEntry().m_symbol.m_typeIndex);
  category = type.Category();
  if (category != kTypeStructure && category != kTypeUnion && category != kTypeClass) {
    RaiseWithName(kMsgNotAStructure, memberName);
  }
  if (type.Reference() == RecordHandle::kNone) RaiseWithName(kMsgNotAFieldName, memberName);
  return AggregateTypeRecordView::At(Cache(), RecordHandle(type.Reference()));
}

// Makes the current record the current symbol when only found by name so far.
void RequireCurrentSymbol(uint32_t failure) {
  SymbolEntry& entry = CurrentEntry();
  if (entry.m_symbolSet != 0) return;
  if (entry.LookupMode() == kLookupProcedure || entry.m_currentRecord.IsNone()) {
    RaiseWithName(failure, SymbolNameText());
  }
  SetCurrentSymbolRecord(entry.m_currentRecord);
}

// Moves the current symbol's location by count elements of a size, backwards for a
// negative count.
void MoveByElements(const OrdinalValue& elementSize, int64_t count) {
  AddressExtent& location = CurrentEntry().m_symbol.m_location;
  const uint64_t magnitude = count < 0 ? static_cast<uint64_t>(-(count + 1)) + 1 : static_cast<uint64_t>(count);
  const OrdinalValue bytes =
      elementSize * OrdinalValue(UnsignedInt64::FromWords(static_cast<uint32_t>(magnitude),
                                                          static_cast<uint32_t>(magnitude >> 32)));
  if (count < 0) {
    MoveSymbolAddressBack(location, bytes);
  } else {
    AdvanceSymbolAddress(location, bytes);
  }
}

RWCString DecimalText(int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  return RWCString(text);
}

}  // namespace

uint32_t PointeeTypeIndex(const TypeEntryView& pointer) {
  if (LoaderFormat() == kLoaderFormat20) return pointer.Reference();
  return GetTypeEntryRaw(pointer.Reference()).Reference();
}

int32_t ArrayLowerBound(uint32_t arrayTypeIndex, const ModuleDescriptor* module) {
  int32_t lower = module != nullptr && module->Language() == kLanguageFortran ? 1 : 0;
  const TypeEntryView array = GetTypeEntry(arrayTypeIndex);
  if (array.Category() != kTypeArray || array.Reference() == RecordHandle::kNone) return lower;
  const uint32_t indexType = ArrayTypeRecordView::At(Cache(), RecordHandle(array.Reference())).IndexType();
  if (indexType == 0 || indexType > TypeCount()) return lower;
  const TypeEntryView index = GetTypeEntry(indexType);
  if (index.Category() != kTypeSubrange || index.Reference() == RecordHandle::kNone) return lower;
  const SubrangeTypeRecordView bounds = SubrangeTypeRecordView::At(Cache(), RecordHandle(index.Reference()));
  if (bounds.BoundKind() == 17 || bounds.BoundKind() == 23) lower = static_cast<int32_t>(bounds.Lower().Low());
  return lower;
}

// The ordinal of a member: the member-name list is walked in order; a named member
// counts one and matches by its name, an index element counts one and (in a union)
// matches by its member's name, a mark counts one, a number counts one except under
// loader format 20, where it says that member offsets are recorded and the number
// after a matching name is that member's offset.
uint32_t FindFieldOrdinal(const RWCString& name, uint32_t mode) {
  PageCache& cache = Cache();
  SymbolEntry& entry = CurrentEntry();
  uint32_t category = 0;
  const AggregateTypeRecordView aggregate = CurrentAggregate(name, category);
  const NameKey key(name, 0);
  ChainWalk walk(cache, MemberListStart(aggregate.FirstList(), mode), ChainWalk::Kind::ListElements);
  const bool format20 = LoaderFormat() == kLoaderFormat20;
  uint32_t count = 0;
  for (;;) {
    const RecordView element = walk.Next();
    if (element.IsNull()) break;
    switch (element.U32At(0)) {
      case kListNameElementType: {
        ++count;
        const SymbolKey member = SymbolKey::ReadFrom(element, ListNameElementLayout::kName);
        if (!member.Matches(cache, key)) break;
        entry.m_symbol.m_name = member;
        if ((entry.m_flags & kLookupRecordedOffsets) != 0) {
          RecordRef next = walk.Cursor();
          const RecordView offset = next.NextTypeRecord(cache);
          if (!offset.IsNull() && offset.U32At(0) == kListNumberElementType) {
            entry.m_fieldOffset = offset.U32At(ListNumberElementLayout::kLow);
          }
        }
        return count;
      }
      case kListIndexElementType: {
        ++count;
        if (mode != kFieldOfUnion) break;
        const SymbolKey member = UnionMemberName(element.U32At(ListIndexElementLayout::kTypeIndex));
        if (!member.Matches(cache, key)) break;
        entry.m_symbol.m_name = member;
        return count;
      }
      case kListNumberElementType:
        if (format20) {
          entry.m_flags |= kLookupRecordedOffsets;
        } else {
          ++count;
        }
        break;
      default:
        ++count;
        break;
    }
  }
  RaiseWithName(kMsgNotAFieldName, name);
}

namespace {

// The walk of MemberPlaces: `visit` takes each member's place in member order and
// answers whether the walk goes on, so that a caller after one member stops there.
template <typename Visit>
void WalkMemberPlaces(uint32_t aggregateTypeIndex, uint32_t mode, Visit visit) {
  const TypeEntryView aggregateType = GetTypeEntry(aggregateTypeIndex);
  if (aggregateType.Reference() == RecordHandle::kNone) return;
  PageCache& cache = Cache();
  const AggregateTypeRecordView aggregate = AggregateTypeRecordView::At(cache, RecordHandle(aggregateType.Reference()));
  ChainWalk walk(cache, MemberListStart(aggregate.SecondList(), mode), ChainWalk::Kind::ListElements);
  const uint32_t format = LoaderFormat();
  const bool bitsInEntry = format == kLoaderFormat19 || format == kLoaderFormat20;
  OrdinalValue offset;
  uint32_t bits = 0;
  for (;;) {
    const RecordView element = walk.Next();
    if (element.IsNull() || element.U32At(0) != kListIndexElementType) break;
    uint32_t type = element.U32At(ListIndexElementLayout::kTypeIndex);
    if (mode == kFieldOfUnion) type = UnionMemberType(type);
    const TypeEntryView memberType = GetTypeEntry(type);
    const bool bitField = memberType.Category() == kTypeBitField;
    MemberPlace place;
    place.m_offset = offset;
    place.m_type = type;
    if (bitField) place.m_bitPosition = static_cast<uint16_t>(bitsInEntry ? memberType.Size() & 0xFFFF : bits);
    if (!visit(place)) return;
    if (mode == kFieldOfUnion) continue;
    if (!bitField) {
      offset += memberType.Size();
    } else if (!bitsInEntry) {
      bits += memberType.Size() >> 16;
      if (bits % 8 == 0) {
        offset += bits / 8;
        bits = 0;
      }
    }
  }
}

}  // namespace

// The places of the members, from the member-type list: each member begins after the
// sizes of the members before it, bit fields collecting their bits into whole bytes
// (under loader formats 19 and 20 a bit field takes no room of its own and its
// position is in its entry); the members of a union all begin at its start. Any
// element other than a type ends the list.
std::vector<MemberPlace> MemberPlaces(uint32_t aggregateTypeIndex, uint32_t mode) {
  std::vector<MemberPlace> places;
  WalkMemberPlaces(aggregateTypeIndex, mode, [&](const MemberPlace& place) {
    places.push_back(place);
    return true;
  });
  return places;
}

bool MemberPlaceAt(uint32_t aggregateTypeIndex, uint32_t mode, uint32_t ordinal, MemberPlace& place) {
  uint32_t seen = 0;
  bool found = false;
  WalkMemberPlaces(aggregateTypeIndex, mode, [&](const MemberPlace& member) {
    if (++seen != ordinal) return true;
    place = member;
    found = true;
    return false;
  });
  return found;
}

// The offset of member `ordinal`; the member's type becomes the current type. A
// member is looked for as often as a path names one: the walk ends at it.
OrdinalValue FieldOffset(uint32_t ordinal, uint32_t mode) {
  SymbolEntry& entry = CurrentEntry();
  uint32_t category = 0;
  const RWCString name = SymbolNameText();
  CurrentAggregate(name, category);
  MemberPlace place;
  if (ordinal == 0 || !MemberPlaceAt(entry.m_symbol.m_typeIndex, mode, ordinal, place)) {
    RaiseWithName(kMsgFieldOffsetUnknown, name);
  }
  entry.m_symbol.m_typeIndex = place.m_type;
  entry.m_symbol.m_bitPosition = place.m_bitPosition;
  return place.m_offset;
}

RWCString MemberNameByOrdinal(uint32_t typeIndex, uint32_t ordinal) {
  PageCache& cache = Cache();
  const TypeEntryView type = GetTypeEntry(typeIndex);
  const uint32_t category = type.Category();
  if ((category != kTypeStructure && category != kTypeUnion && category != kTypeClass) ||
      type.Reference() == RecordHandle::kNone) {
    return RWCString();
  }
  const uint32_t mode = category == kTypeUnion ? kFieldOfUnion : kFieldOfStructure;
  const AggregateTypeRecordView aggregate = AggregateTypeRecordView::At(cache, RecordHandle(type.Reference()));
  ChainWalk walk(cache, MemberListStart(aggregate.FirstList(), mode), ChainWalk::Kind::ListElements);
  const bool format20 = LoaderFormat() == kLoaderFormat20;
  uint32_t count = 0;
  for (;;) {
    const RecordView element = walk.Next();
    if (element.IsNull()) break;
    const uint32_t kind = element.U32At(0);
    if (kind == kListNumberElementType && format20) continue;
    if (++count != ordinal) continue;
    if (kind == kListNameElementType) return SymbolKey::ReadFrom(element, ListNameElementLayout::kName).NameText(cache);
    if (kind == kListIndexElementType && mode == kFieldOfUnion) {
      return UnionMemberName(element.U32At(ListIndexElementLayout::kTypeIndex)).NameText(cache);
    }
    return RWCString();
  }
  return RWCString();
}

// Member selection:
// 1. The current record becomes the current symbol when only found by name.
// 2. Its type must be a structure, union or class with members.
// 3. The member's ordinal and offset; the member becomes the symbol's type and name.
// 4. The location moves to the member (by the recorded offset when the member list
//    records offsets).
void SelectStructureField(const RWCString& name, uint32_t mode) {
  RequireCurrentSymbol(kMsgNotAStructure);
  uint32_t category = 0;
  CurrentAggregate(name, category);
  if (mode == kFieldOfAggregate) mode = category == kTypeUnion ? kFieldOfUnion : kFieldOfStructure;
  const uint32_t ordinal = FindFieldOrdinal(name, mode);
  const OrdinalValue offset = FieldOffset(ordinal, mode);
  SymbolEntry& entry = CurrentEntry();
  AdvanceSymbolAddress(entry.m_symbol.m_location,
                       (entry.m_flags & kLookupRecordedOffsets) != 0 ? OrdinalValue(entry.m_fieldOffset) : offset);
}

// Subscript:
// 1. The current record becomes the current symbol when only found by name; a
//    procedure cannot be subscripted.
// 2. An array: the lower bound is taken off, the index checked against the number of
//    elements (when the array's size is known), the element becomes the symbol.
// 3. A pointer: followed, and the location moves by whole pointees.
void SubscriptSymbol(int32_t index) {
  RequireCurrentSymbol(kMsgNotAnArray);
  SymbolEntry& entry = CurrentEntry();
  const TypeEntryView type = GetTypeEntry(entry.m_symbol.m_typeIndex);
  if (type.Category() == kTypeArray && type.Reference() != RecordHandle::kNone) {
    const uint32_t arrayType = entry.m_symbol.m_typeIndex;
    const uint32_t arraySize = type.Size();
    const uint32_t elementType = ArrayTypeRecordView::At(Cache(), RecordHandle(type.Reference())).ElementType();
    const int64_t position = static_cast<int64_t>(index) - ArrayLowerBound(arrayType, entry.Target());
    const uint32_t elementSize = GetTypeEntry(elementType).Size();
    if (elementSize != 0 && arraySize != 0) {
      const int64_t elements = arraySize / elementSize;
      if (position < 0 || position >= elements) throw DVError(kMsgIndexInvalid, kSeverityError, kDisplayByFocus);
    }
    entry.m_symbol.m_typeIndex = elementType;
    ++entry.m_subscriptCount;
    MoveByElements(OrdinalValue(elementSize), position);
    return;
  }
  if (type.Category() == kTypePrimitive && IsPointerLikeKind(type) && type.Reference() != RecordHandle::kNone) {
    DereferenceSymbol();
    MoveByElements(OrdinalValue(GetTypeEntry(entry.m_symbol.m_typeIndex).Size()), index);
    return;
  }
  RaiseWithName(kMsgNotAnArray, SymbolNameText());
}

// Dereference: the pointer's value is read from the target and becomes the symbol's
// location, resolved and no longer a register; the pointee becomes its type. A
// symbol whose frame is not active has no value to follow.
void DereferenceSymbol() {
  RequireCurrentSymbol(kMsgNotAPointer);
  SymbolEntry& entry = CurrentEntry();
  const TypeEntryView type = GetTypeEntry(entry.m_symbol.m_typeIndex);
  if (type.Category() != kTypePrimitive || !IsPointerLikeKind(type) || type.Reference() == RecordHandle::kNone) {
    RaiseWithName(kMsgNotAPointer, SymbolNameText());
  }
  AddressExtent& location = entry.m_symbol.m_location;
  if (entry.m_symbol.m_active == 0 || IsUnresolvedFrameRelative(location) || location.m_address.IsNull()) {
    throw DVError(kMsgSymbolNotActive, kSeverityError, kDisplayByFocus);
  }
  const uint32_t pointee = PointeeTypeIndex(type);
  const DVPTypeInfo pointerType = DVPTypeInfo::FromCode(SymbolTypeCodeMap(type.PrimitiveCode()));
  const TypedLocation start(location.m_address, pointerType, OrdinalValue(pointerType.Size()), OrdinalValue(1));
  location.m_address = TargetMemory::ResolveIndirection(start, pointerType, 0);
  location.m_flags = static_cast<uint8_t>((location.m_flags | kLocationResolved) & ~kLocationRegister);
  entry.m_symbol.m_typeIndex = pointee;
  entry.m_symbol.m_bitPosition = 0;
}

void PushModuleLocation() {
  ModuleDescriptor* module = CurrentEntry().Target();
  if (module == nullptr) {
    DVErrorCode status;
    module = LookupModuleOfScope(status);
    if (module == nullptr) {
      DVError error(status.Number(), kSeverityError, kDisplayByFocus);
      throw error;
    }
  }
  if (module->Start().IsNull()) RaiseWithName(kMsgModuleAddressUnknown, module->NameText());
  PushCodeSpan(module->Start(), module->Extent() + 1u);
}

// A line of the lookup module (line 0: its lowest line) as a location carrying the
// line, spanning the code up to the next entry in offset order. Lines are those of
// the module's main source file.
void PushLineLocation(int32_t line) {
  if (line == -1) ZENTOR_INTERNAL_ERROR();
  ModuleDescriptor* module = CurrentEntry().Target();
  if (module == nullptr) {
    DVErrorCode status;
    module = LookupModuleOfScope(status);
    if (module == nullptr) {
      const uint32_t number =
          status.Number() == kMsgModuleUnknownForLocation ? kMsgDefaultModuleUnknown : status.Number();
      RaiseWithName(number, RWCString("Unknown"));
    }
  }
  LineTable& lines = module->Lines();
  if (lines.Count() <= lines.SentinelCount()) RaiseWithName(kMsgLinesNotLoaded, module->NameText());
  const bool anyFile = !module->MainSource().HasFile();
  const uint16_t file = module->MainSource().FileIndex();
  int64_t chosen = -1;
  for (uint32_t i = 0; i < lines.Count(); ++i) {
    const LineAddressEntry& entry = lines.EntryAt(i);
    if (!entry.HasLine() || (!anyFile && entry.Source().FileIndex() != file)) continue;
    if (line == 0) {
      if (chosen < 0 || entry.Source().Line() < lines.EntryAt(static_cast<uint32_t>(chosen)).Source().Line()) {
        chosen = i;
      }
    } else if (entry.Source().Line() == static_cast<uint32_t>(line)) {
      chosen = i;
      break;
    }
  }
  const auto raiseLine = [&](uint32_t number) {
    DVError error(number, kSeverityError, kDisplayByFocus);
    error.SetArg(0, module->NameText());
    error.SetArg(1, DecimalText(line));
    throw error;
  };
  if (chosen < 0) raiseLine(kMsgNotExecutableLine);
  if (module->Start().IsNull()) raiseLine(kMsgCannotEvaluateLine);
  const LineAddressEntry& entry = lines.EntryAt(static_cast<uint32_t>(chosen));
  AddressDescriptor address = module->Start() + entry.Offset();
  address.SetLine(OptionalLine::FromRaw(entry.Source().Line(), entry.Source().FileIndex()));
  OrdinalValue length(1);
  if (static_cast<uint32_t>(chosen) + 1 < lines.Count()) {
    const OrdinalValue next = lines.EntryAt(static_cast<uint32_t>(chosen) + 1).Offset();
    if (next > entry.Offset()) length = next - entry.Offset();
  }
  PushCodeSpan(address, length);
}

}  // namespace zentor
