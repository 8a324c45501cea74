// The members of aggregate symbol objects: the cursor each object keeps over its
// list, fields or elements, the member count with its cache, the construction of
// member objects, and the quoted string values of character arrays and pointers.

#include "symbols/symbol_object.h"

#include <algorithm>
#include <cstdio>

#include "symbols/interpreter_services.h"
#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_load_target.h"
#include "symbols/symbol_lookup.h"
#include "symbols/type_lookup.h"

#include "core/dv_error.h"
#include "core/target_memory.h"

namespace zentor {
namespace {

// The longest text a string value shows.
constexpr uint32_t kLongestStringValue = 1024;

PageCache& Cache() { return GetCurrentSymbolContext()->Cache(); }

bool UnicodeOn() { return InstalledSymbolLoadTarget().UnicodeOption() != 0; }

uint32_t RecordTypeAt(RecordHandle handle) {
  return RecordView::Open(Cache(), handle, kBareRecordSize, RecordAccess::Read).U32At(0);
}

bool IsListCategory(int32_t category) {
  return category == kSymbolProgram || category == kSymbolModule || category == kSymbolProcedure;
}

bool IsFieldCategory(int32_t category) {
  return category == kSymbolStructure || category == kSymbolUnion || category == kSymbolClass;
}

// The pointee's place of the pointer described by the current entry.
AddressDescriptor FollowPointer() {
  DereferenceSymbol();
  return CurrentEntry().m_symbol.m_location.m_address;
}

}  // namespace

// ---- setup

// Member setup by category:
//   lists (program, module, procedure): where the list starts (none listed under
//   the program); arrays: the element, their count and size, the lower bound;
//   pointers: the pointee (see SetUpPointerCount); fields: where the names start.
void SymbolObject::SetUpMembers() {
  const auto cacheCount = [this](const OrdinalValue& count) {
    m_memberCount = count;
    m_flags.setBit(kMemberCountCached);
  };
  if (IsListCategory(m_category) || IsFieldCategory(m_category)) {
    if (m_flags.testBit(kListedUnderProgram)) {
      cacheCount(OrdinalValue());
      return;
    }
    m_flags.clearBit(kMemberCountCached);
  }
  switch (m_category) {
    case kSymbolProgram:
      m_listStart = GlobalChainHead().Value();
      break;
    case kSymbolModule: {
      const ModuleDescriptor* module = m_description.Target();
      m_listStart = module != nullptr ? module->FirstRecord().Value() : RecordHandle::kNone;
      break;
    }
    case kSymbolProcedure:
      m_listStart = m_description.m_scope.m_record.Value();
      break;
    case kSymbolArray: {
      const TypeEntryView array = GetTypeEntry(m_typeIndex);
      const uint32_t element =
          array.Reference() != RecordHandle::kNone
              ? ArrayTypeRecordView::At(Cache(), RecordHandle(array.Reference())).ElementType()
              : m_typeIndex;
      const uint32_t elementSize = GetTypeEntry(element).Size();
      cacheCount(array.Size() == 0 ? OrdinalValue() : OrdinalValue(elementSize == 0 ? 1 : array.Size() / elementSize));
      m_currentIndex = OrdinalValue();
      m_currentMember = element;
      m_elementSize = elementSize;
      m_lowerBound = ArrayLowerBound(m_typeIndex, m_description.Target());
      break;
    }
    case kSymbolPointer:
      m_currentIndex = OrdinalValue();
      m_lowerBound = m_language == kLanguageFortran ? 1 : 0;
      SetUpPointerCount();
      break;
    case kSymbolStructure:
    case kSymbolUnion:
    case kSymbolClass: {
      const TypeEntryView type = GetTypeEntry(m_typeIndex);
      if (type.Reference() == RecordHandle::kNone) {
        cacheCount(OrdinalValue());
        break;
      }
      const uint32_t first = AggregateTypeRecordView::At(Cache(), RecordHandle(type.Reference())).FirstList();
      m_listStart = m_category == kSymbolUnion ? first : GetTypeEntry(first).Reference();
      break;
    }
    default:
      break;
  }
}

// A pointer's count: none while its frame is not active or when it points nowhere;
// a character string measured in target memory when asked (uncached) for a pointer to
// characters of C; one pointee otherwise.
void SymbolObject::SetUpPointerCount() {
  const auto none = [this] {
    m_memberCount = OrdinalValue();
    m_flags.setBit(kMemberCountCached);
    m_currentMember = 1;
    m_elementSize = 1;
  };
  if (m_resolveState == kResolveInactive) {
    none();
    return;
  }
  try {
    NestedLookupScope nested;
    ReloadDescription();
    const AddressDescriptor target = FollowPointer();
    const uint32_t element = CurrentEntry().m_symbol.m_typeIndex;
    const TypeEntryView pointee = GetTypeEntry(element);
    m_currentMember = element;
    m_elementSize = pointee.Size();
    m_flags.setBit(kMemberCountCached);
    m_memberCount = OrdinalValue(1);
    if (target.IsNull() || target.IsZero()) {
      m_memberCount = OrdinalValue();
      return;
    }
    const uint16_t code = pointee.Category() == kTypePrimitive ? pointee.PrimitiveCode() : 0;
    const bool characters = code == 6 || code == 8 || code == 15 || (UnicodeOn() && code == 9);
    if (m_language == kLanguageC && characters) m_flags.clearBit(kMemberCountCached);
  } catch (const DVError&) {
    none();
  }
}

// ---- walks

// The list walk over the records of the program, a module or a procedure. Restart:
// from the list's start (a procedure reads its own record first, at depth 0), then to
// member 0. Advance: blocks open a level unlisted; a procedure is listed when it is at
// most as deep as the first procedure met (which fixes that depth), and opens a
// level; a symbol is listed before the first procedure, and after it when no deeper;
// a scope end closes a level and the walk at level 0.
bool SymbolObject::RestartList() {
  m_cursor.Init(RecordHandle(m_listStart));
  m_listingDepth = 0;
  bool ok = true;
  if (m_category == kSymbolProcedure) {
    m_nestingDepth = 0;
    ok = AdvanceList();
  } else {
    m_nestingDepth = 1;
  }
  if (ok) ok = AdvanceList();
  m_currentIndex = OrdinalValue();
  return ok;
}

bool SymbolObject::AdvanceList() {
  PageCache& cache = Cache();
  const uint32_t limit = cache.FileLength() / kBareRecordSize + 1;
  for (uint32_t steps = 0; steps <= limit; ++steps) {
    const RecordView view = m_cursor.NextSymbolRecord(cache);
    if (view.IsNull()) break;
    bool accepted = false;
    switch (view.U32At(0)) {
      case kBlockRecordType:
        ++m_nestingDepth;
        break;
      case kProcedureRecordType:
        if (m_listingDepth == 0) m_listingDepth = m_nestingDepth;
        accepted = m_nestingDepth <= m_listingDepth;
        ++m_nestingDepth;
        break;
      case kSymbolRecordType:
        accepted = m_listingDepth == 0 || m_nestingDepth <= m_listingDepth;
        break;
      case kScopeEndRecordType:
        if (--m_nestingDepth <= 0) {
          ++m_currentIndex;
          return false;
        }
        break;
      default:
        break;
    }
    if (accepted) {
      m_currentMember = view.Handle().Value();
      ++m_currentIndex;
      return true;
    }
  }
  ++m_currentIndex;
  return false;
}

bool SymbolObject::RestartFields() {
  m_cursor.Init(RecordHandle(m_listStart));
  const bool ok = AdvanceFields();
  m_currentIndex = OrdinalValue();
  return ok;
}

// The next named field: a named member, or in a union a member named by its group.
bool SymbolObject::AdvanceFields() {
  PageCache& cache = Cache();
  const uint32_t limit = cache.FileLength() / kBareRecordSize + 1;
  for (uint32_t steps = 0; steps <= limit; ++steps) {
    RWCString name;
    {
      const RecordView element = m_cursor.NextTypeRecord(cache);
      if (element.IsNull()) break;
      if (element.U32At(0) == kListNameElementType) {
        name = SymbolKey::ReadFrom(element, ListNameElementLayout::kName).NameText(cache);
      } else if (element.U32At(0) == kListIndexElementType && m_category == kSymbolUnion) {
        name = UnionMemberName(element.U32At(ListIndexElementLayout::kTypeIndex)).NameText(cache);
      }
    }
    if (name.length() == 0) continue;
    m_fieldName = name;
    ++m_currentIndex;
    return true;
  }
  ++m_currentIndex;
  return false;
}

bool SymbolObject::Restart() { return IsListCategory(m_category) ? RestartList() : RestartFields(); }

bool SymbolObject::Advance() { return IsListCategory(m_category) ? AdvanceList() : AdvanceFields(); }

OrdinalValue SymbolObject::CountMembers() {
  OrdinalValue count;
  for (bool ok = Restart(); ok; ok = Advance()) ++count;
  return count;
}

// ---- counts

// The member count: a pointer whose target may have changed counts again; a cached
// count is answered; otherwise lists and fields are counted, and a pointer measures
// the string at its target (of 16-bit characters when its pointee is named so and the
// unicode option is on), registering to hear of target changes.
OrdinalValue SymbolObject::MemberCount() {
  SymbolContext* context = Context();
  if (context == nullptr) return OrdinalValue();
  const bool valueChanged = m_valueChanges.TestAndClearChanged() != 0;
  const bool memoryChanged = m_memoryChanges.TestAndClearChanged() != 0;
  const bool targetChanged = m_targetChanges.TestAndClearChanged() != 0;
  if ((valueChanged || memoryChanged || targetChanged) && m_category == kSymbolPointer) {
    m_flags.clearBit(kMemberCountCached);
  }
  Resolve();
  if (m_flags.testBit(kMemberCountCached)) return m_memberCount;
  OrdinalValue count;
  try {
    const CurrentSymbolContextScope current(context);
    if (IsListCategory(m_category) || IsFieldCategory(m_category)) {
      count = CountMembers();
    } else if (m_category == kSymbolPointer && m_resolveState != kResolveInactive) {
      SymbolDescription description;
      Describe(description);
      const bool wide = UnicodeOn() && RWCString(description.m_typeText).index("unsigned short int") == 0;
      NestedLookupScope nested;
      ReloadDescription();
      const AddressDescriptor target = FollowPointer();
      const uint16_t type = wide ? kKindWideString : kKindNString;
      count = OrdinalValue(TargetMemory::StringLength(
                  TypedLocation(target, DVPTypeInfo::FromCode(type), OrdinalValue(1), OrdinalValue(1)))) +
              1u;
      if (!m_changeRecordsRegistered) {
        m_valueChanges.Register();
        m_memoryChanges.Register();
        m_targetChanges.Register();
        m_changeRecordsRegistered = true;
      }
    }
  } catch (const DVError&) {
    count = OrdinalValue();
  }
  m_memberCount = count;
  m_flags.setBit(kMemberCountCached);
  return count;
}

OrdinalValue SymbolObject::WideMemberCount() {
  if (m_category != kSymbolPointer) {
    return m_flags.testBit(kMemberCountCached) ? m_memberCount : OrdinalValue();
  }
  SymbolContext* context = Context();
  Resolve();
  if (context == nullptr || m_resolveState == kResolveInactive) return OrdinalValue();
  try {
    const CurrentSymbolContextScope current(context);
    NestedLookupScope nested;
    ReloadDescription();
    const AddressDescriptor target = FollowPointer();
    if (target.IsNull() || target.IsZero()) return OrdinalValue();
    return OrdinalValue(TargetMemory::StringLength(
               TypedLocation(target, DVPTypeInfo::FromCode(kKindWideString), OrdinalValue(1), OrdinalValue(1)))) +
           1u;
  } catch (const DVError&) {
    return OrdinalValue();
  }
}

// ---- members

// The parent's cursor moved to a member: lists and fields walk (from the start again
// for an earlier member), elements are counted by index. 316 past the members.
bool SymbolObject::PositionAt(uint32_t index) {
  const OrdinalValue count = MemberCount();
  if (!(OrdinalValue(index) < count) && index != 0) return false;
  if (IsListCategory(m_category) || IsFieldCategory(m_category)) {
    if (OrdinalValue(index) < m_currentIndex && !Restart()) return false;
    if (m_currentIndex == 0u && index == 0 && !Restart()) return false;
    while (m_currentIndex < OrdinalValue(index)) {
      if (!Advance()) return false;
    }
    return true;
  }
  m_currentIndex = OrdinalValue(index);
  return true;
}

// A member:
// 1. The parent must be an aggregate (322) with that many members (316).
// 2. A list's member is the record under the parent's cursor made current, decoded
//    and named as a root object; an element the parent's element type at its index
//    (through the pointer for a pointer), a field the parent's field by name; both
//    member objects that hold a use of their parent.
// 3. The parent's cursor moves on.
SymbolObject* SymbolObject::Member(SymbolObject* parent, uint32_t index) {
  auto* object = new SymbolObject(parent->m_context);
  SymbolContext* context = parent->Context();
  if (context == nullptr) {
    object->m_status.Set(kMsgNoProgramLoaded, kSeverityError);
    return object;
  }
  try {
    const CurrentSymbolContextScope current(context);
    if (!parent->IsAggregate()) {
      object->m_status.Set(kMsgNotAnAggregate, kSeverityInternal);
      return object;
    }
    if (!parent->PositionAt(index) || !(OrdinalValue(index) < parent->MemberCount())) {
      object->m_status.Set(kMsgEndOfSymbolList, kSeverityError);
      return object;
    }
    const auto linkParent = [&] {
      parent->AddUse();
      object->m_parent = parent;
    };
    if (IsListCategory(parent->m_category)) {
      {
        NestedLookupScope nested;
        parent->ReloadDescription();
        const RecordHandle record(parent->m_currentMember);
        const uint32_t type = RecordTypeAt(record);
        SymbolEntry& entry = CurrentEntry();
        if (type == kProcedureRecordType) {
          entry.m_symbolSet = 0;
          SetCurrentScopeRecord(record);
          entry.SetLookupMode(kLookupProcedure);
        } else if (type == kSymbolRecordType) {
          SetCurrentSymbolRecord(record);
          entry.SetLookupMode(kLookupSymbol);
        } else {
          object->m_status.Set(kMsgSymbolAnomaly, kSeverityInternal);
          return object;
        }
        object->DecodeAndBecomeRoot(*context, parent);
      }
      parent->AdvanceList();
      return object;
    }
    if (parent->m_category == kSymbolArray || parent->m_category == kSymbolPointer) {
      NestedLookupScope nested;
      parent->ReloadDescription();
      if (parent->m_category == kSymbolPointer) FollowPointer();
      SymbolEntry& entry = CurrentEntry();
      entry.m_symbol.m_typeIndex = parent->m_currentMember;
      entry.m_symbol.m_bitPosition = 0;
      AdvanceSymbolAddress(entry.m_symbol.m_location, OrdinalValue(parent->m_elementSize) * OrdinalValue(index));
      object->Initialise(1, parent, parent->m_resolveState);
      linkParent();
      object->m_index = OrdinalValue(index);
      if (parent->m_category == kSymbolArray) {
        const bool c = parent->m_language == 0 || parent->m_language == 6;
        char text[32];
        std::snprintf(text, sizeof text, c ? "[%lld]" : "(%lld)",
                      static_cast<long long>(index) + static_cast<long long>(parent->m_lowerBound));
        object->m_memberText = text;
      }
      parent->m_currentIndex += 1u;
      return object;
    }
    NestedLookupScope nested;
    parent->ReloadDescription();
    SelectStructureField(parent->m_fieldName,
                         parent->m_category == kSymbolUnion ? kFieldOfUnion : kFieldOfStructure);
    object->Initialise(1, parent, parent->m_resolveState);
    linkParent();
    object->m_memberText = RWCString(".") + parent->m_fieldName;
    parent->AdvanceFields();
  } catch (const DVError& error) {
    object->m_status = DVErrorCode(error.Number(), error.Severity() != 0 ? error.Severity() : kSeverityError);
  }
  return object;
}

// ---- string values

// The quoted text at a place of C: characters up to the first zero (at most the
// member count, at most 1024), or with the unicode option 16-bit characters shown as
// themselves when printable and as "." otherwise. Other element types give nothing.
RWCString SymbolObject::QuotedText(const AddressDescriptor& at, uint32_t elementType, bool pointer) {
  if (m_language != 0 && m_language != 6) return RWCString();
  const TypeEntryView element = GetTypeEntry(elementType);
  if (element.Category() != kTypePrimitive) return RWCString();
  const uint16_t code = element.PrimitiveCode();
  const bool bytes = code == 6 || code == 8 || code == 15;
  const bool wide = code == 9 && UnicodeOn();
  if (!bytes && !wide) return RWCString();
  const OrdinalValue counted = wide && pointer ? WideMemberCount() : MemberCount();
  const uint32_t n = counted.High() != 0 ? kLongestStringValue : std::min(counted.Low(), kLongestStringValue);
  std::vector<uint8_t> data(static_cast<size_t>(n) * (wide ? 2 : 1));
  TargetMemory::ReadBytesAt(at, data.data(), static_cast<uint32_t>(data.size()));
  RWCString text("\"");
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t character = wide ? static_cast<uint32_t>(data[2 * i] | (data[2 * i + 1] << 8)) : data[i];
    if (character == 0) break;
    const char shown = !wide ? static_cast<char>(character)
                             : (character >= 0x20 && character <= 0x7E ? static_cast<char>(character) : '.');
    text += RWCString(&shown, 1);
  }
  text += "\"";
  return text;
}

DVErrorCode SymbolObject::StringValue(RWCString& text) {
  text = RWCString();
  if (IsListCategory(m_category) || IsFieldCategory(m_category)) return DVErrorCode();
  if (m_category != kSymbolArray && m_category != kSymbolPointer) {
    return DVErrorCode(kMsgNotAnAggregate, kSeverityInternal);
  }
  SymbolContext* context = nullptr;
  if (const DVErrorCode usable = ResolveForUse(context); !usable.IsOkay()) return usable;
  try {
    const CurrentSymbolContextScope current(context);
    if (m_category == kSymbolArray) {
      text = QuotedText(m_location, m_currentMember, false);
      return DVErrorCode();
    }
    AddressDescriptor target;
    {
      NestedLookupScope nested;
      ReloadDescription();
      target = FollowPointer();
    }
    if (target.IsNull() || target.IsZero()) return DVErrorCode();
    text = QuotedText(target, m_currentMember, true);
    return DVErrorCode();
  } catch (const DVError& error) {
    text = RWCString();
    return DVErrorCode(error.Number(), error.Severity() != 0 ? error.Severity() : kSeverityError);
  }
}

}  // namespace zentor
