#include "symbols/symbol_object.h"

#include "symbols/interpreter_services.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_lookup.h"
#include "symbols/symbol_values.h"
#include "symbols/type_lookup.h"

#include "core/dv_error.h"
#include "core/value_stack.h"

namespace zentor {
namespace {

// The cause of a raised error as the status the object keeps.
DVErrorCode StatusOf(const DVError& error) {
  return DVErrorCode(error.Number(), error.Severity() != 0 ? error.Severity() : kSeverityError);
}

// Clears in the current entry what lies below a level.
void ClearBelowLevel(uint32_t level) {
  if (level >= kLevelSymbol) return;
  if (level < kLevelModule) SetLookupTarget(nullptr);
  if (level < kLevelProcedure) SetCurrentScopeRecord(RecordHandle());
  SymbolEntry& entry = CurrentEntry();
  entry.m_symbolSet = 0;
  if (level == kLevelProcedure && entry.m_scopeSet != 0) {
    entry.m_currentRecord = entry.m_scope.m_record;
    entry.SetLookupMode(kLookupProcedure);
  } else if (level < kLevelProcedure) {
    entry.m_currentRecord = RecordHandle();
    entry.SetLookupMode(kLookupNothing);
  }
}

// A symbol found by name but not yet made current describes no symbol: make it.
void MakeFoundSymbolCurrent() {
  SymbolEntry& entry = CurrentEntry();
  if (entry.m_symbolSet == 0 && entry.LookupMode() == kLookupSymbol && !entry.m_currentRecord.IsNone()) {
    SetCurrentSymbolRecord(entry.m_currentRecord);
  }
}

}  // namespace

SymbolObject::SymbolObject(SymbolContext* context)
    : m_flags(6),
      m_context(context),
      m_contextSerial(context != nullptr ? context->Serial() : 0),
      m_valueChanges(kRecordTargetMemory),
      m_memoryChanges(kRecordRegisters),
      m_targetChanges(kRecordExecutionState) {
  m_flags = false;
}

SymbolObject::~SymbolObject() = default;

void SymbolObject::AddUse() { ++m_useCount; }

void SymbolObject::DropUse() {
  if (m_useCount > 1) {
    --m_useCount;
    return;
  }
  SymbolObject* parent = m_parent;
  delete this;
  if (parent != nullptr) parent->DropUse();
}

SymbolContext* SymbolObject::Context() const {
  SymbolContext* live = SymbolContext::Live(m_contextSerial);
  return live == m_context ? live : nullptr;
}

bool SymbolObject::IsAggregate() const {
  return m_category != kSymbolLabel && m_category != kSymbolScalar && m_category != kSymbolEnumeration &&
         m_category != kSymbolOtherType;
}

bool SymbolObject::HasValue() const {
  return m_category == kSymbolScalar || m_category == kSymbolPointer || m_category == kSymbolEnumeration;
}

bool SymbolObject::IsScoped() const {
  return m_category == kSymbolModule || m_category == kSymbolProcedure || m_category == kSymbolLabel;
}

// ---- construction

// At an address:
// 1. In a bracketed lookup: the program must be loaded; above level 0 the address is
//    looked up (names, offsets and status land in the stamp).
// 2. What lies below the level is cleared from the entry; the object is the rest, at
//    the address, with a fixed place.
SymbolObject* SymbolObject::AtAddress(SymbolContext* context, const AddressDescriptor& address, uint32_t level) {
  auto* object = new SymbolObject(context);
  try {
    const CurrentSymbolContextScope current(context);
    BracketedLookupScope bracket;
    if (level == kLevelProgram) {
      if (ProgramLoaded() == 0) object->m_status.Set(kMsgNoProgramLoaded, kSeverityError);
    } else {
      uint32_t isCode = 0;
      FindSymbolAtAddress(object->m_status, address, object->m_stamp, object->m_firstOffset, object->m_secondOffset,
                          isCode);
    }
    if (object->m_status.IsOkay()) {
      ClearBelowLevel(level);
      object->m_location = address;
      object->m_stampAddress = context->Location().CurrentExecutionAddress();
      object->Initialise(0, nullptr, kResolveFixed);
    }
  } catch (const DVError& error) {
    object->m_status = StatusOf(error);
  }
  return object;
}

// From a description: made current in a nested lookup; the module is required above
// level 0; what lies below the level is cleared; the location decoded; the stamp and
// its texts taken.
SymbolObject* SymbolObject::FromRecord(SymbolContext* context, const SymbolDescriptor* description, uint32_t level) {
  auto* object = new SymbolObject(context);
  try {
    const CurrentSymbolContextScope current(context);
    NestedLookupScope nested;
    if (description != nullptr) SetCurrentSymbolDescriptor(*description);
    MakeFoundSymbolCurrent();
    if (level == kLevelProgram) {
      if (ProgramLoaded() == 0) object->m_status.Set(kMsgNoProgramLoaded, kSeverityError);
    } else {
      RequireLookupModule();
    }
    if (object->m_status.IsOkay()) {
      ClearBelowLevel(level);
      object->DecodeAndBecomeRoot(*context, nullptr);
    }
  } catch (const DVError& error) {
    object->m_status = StatusOf(error);
  }
  return object;
}

// From an expression: evaluated in a bracketed lookup in the address context; the
// description is what the evaluation left current. An inactive symbol is kept, to be
// resolved when its frame is active.
SymbolObject* SymbolObject::FromExpression(SymbolContext* context, const char* text) {
  auto* object = new SymbolObject(context);
  try {
    const CurrentSymbolContextScope current(context);
    BracketedLookupScope bracket;
    uint32_t locationClass = 0;
    TypedLocation location;
    object->m_status = InstalledSymbolInterpreter().EvaluateTextToLocation(
        text != nullptr ? text : "", kEvaluateAddressContext, locationClass, location);
    if (object->m_status.IsOkay() && locationClass != kLocationClassOrdinalPointer &&
        locationClass != kLocationClassCode && locationClass != kLocationClassTyped &&
        locationClass != kLocationClassInactive) {
      object->m_status.Set(kMsgSymbolNotKnown, kSeverityError);
    }
    if (object->m_status.IsOkay()) {
      const SymbolEntry& entry = CurrentSymbolEntry();
      const int32_t state = locationClass == kLocationClassInactive ? kResolveInactive
                            : IsFrameRelative(entry.m_symbol.m_location) && entry.m_symbolSet != 0
                                ? kResolveActive
                                : kResolveFixed;
      object->BecomeRoot(*context, locationClass, state, nullptr);
    }
  } catch (const DVError& error) {
    object->m_status = StatusOf(error);
  }
  return object;
}

// Location decoding: a description without symbol record is a code place, fixed;
// otherwise the symbol's value is decoded in location mode, and the item it becomes
// tells its class: a pointer location 0 for "ord1", 1 for the offset type, else 2; a
// typed location 1 for the offset type, else 2; an inactive symbol 5; anything else
// cannot be a place (153).
bool SymbolObject::DecodeLocation(uint32_t& locationClass, int32_t& resolveState) {
  const SymbolEntry& current = CurrentEntry();
  if (current.m_symbolSet == 0) {
    locationClass = kLocationClassCode;
    resolveState = kResolveFixed;
    return true;
  }
  const bool frameRelative = IsFrameRelative(current.m_symbol.m_location);
  NestedLookupScope nested;
  SetStickyLookupFlag();
  DVErrorCode status;
  DecodeSymbolRecordLocation(status, 0);
  if (!status.IsOkay()) {
    m_status = status;
    return false;
  }
  const uint16_t kind = ValueStack::TopKind();
  uint8_t item[ValueStack::kMaxItemSize];
  ValueStack::Pop(item);
  if (kind == kKindPointerLocation) {
    const int32_t code = PointerLocation::ReadImage(item).Location().Type().Code();
    locationClass = code == kKindOrd1 ? kLocationClassOrdinalPointer
                                      : (code == kKindOffset ? kLocationClassCode : kLocationClassTyped);
  } else if (kind == kKindTypedLocation) {
    locationClass =
        TypedLocation::ReadImage(item).Type().Code() == kKindOffset ? kLocationClassCode : kLocationClassTyped;
  } else if (kind == kKindInactiveSymbol) {
    locationClass = kLocationClassInactive;
  } else {
    m_status.Set(kMsgNoAddressForSymbol, kSeverityError);
    return false;
  }
  resolveState = locationClass == kLocationClassInactive ? kResolveInactive
                 : frameRelative                          ? kResolveActive
                                                          : kResolveFixed;
  return true;
}

void SymbolObject::BecomeRoot(SymbolContext& context, uint32_t locationClass, int32_t state,
                              const SymbolObject* origin) {
  m_stampAddress = context.Location().CurrentExecutionAddress();
  FillStampTexts(locationClass);
  Initialise(0, origin, state);
}

void SymbolObject::DecodeAndBecomeRoot(SymbolContext& context, const SymbolObject* origin) {
  uint32_t locationClass = kLocationClassCode;
  int32_t state = kResolveFixed;
  if (DecodeLocation(locationClass, state)) BecomeRoot(context, locationClass, state, origin);
}

// The stamp texts of a described object: the module and, in it, the procedure path;
// the symbol's name as the label of a code place and as the variable otherwise (as the
// procedure of a code place without module).
void SymbolObject::FillStampTexts(uint32_t locationClass) {
  m_stamp = AddressNames();
  m_firstOffset = OrdinalValue();
  m_secondOffset = OrdinalValue();
  const SymbolEntry& entry = CurrentEntry();
  const RWCString symbolName =
      entry.m_symbolSet != 0 ? SymbolRecordView::At(GetCurrentSymbolContext()->Cache(), entry.m_symbol.m_record)
                                   .Name()
                                   .NameText(GetCurrentSymbolContext()->Cache())
                             : RWCString();
  const bool code = locationClass == kLocationClassCode;
  if (const ModuleDescriptor* module = entry.Target()) {
    m_stamp.m_module = module->NameText();
    if (entry.m_scopeSet != 0) ProcedurePathText(entry.m_scope.m_record, false, false, true, m_stamp.m_procedure);
    if (entry.m_symbolSet != 0) (code ? m_stamp.m_label : m_stamp.m_variable) = symbolName;
    return;
  }
  if (entry.m_symbolSet != 0) (code ? m_stamp.m_procedure : m_stamp.m_variable) = symbolName;
}

// Initialising from the current entry's description:
// 1. The language of its module, or of the program.
// 2. Its place and type: the symbol's, else the procedure's, else the module's start
//    (a module), else none (the program).
// 3. The category from the type (a usable pointer, a scalar, an aggregate, ...);
//    members listed under the program are marked so.
// 4. Mode, use count, category, resolve state; the place when none was given.
// 5. Type, language and the description kept; the members set up.
void SymbolObject::Initialise(uint32_t mode, const SymbolObject* origin, int32_t resolveState) {
  const SymbolEntry& entry = CurrentSymbolEntry();
  const ModuleDescriptor* module = entry.Target();
  m_language = module != nullptr ? module->Language() : ProgramLanguage();
  AddressDescriptor place;
  uint32_t type = 1;
  bool open = true;
  if (entry.m_symbolSet != 0) {
    place = entry.m_symbol.m_location.m_address;
    type = entry.m_symbol.m_typeIndex;
  } else if (entry.m_scopeSet != 0) {
    place = entry.m_scope.m_start;
    type = entry.m_scope.m_typeIndex;
  } else if (module != nullptr) {
    place = module->Start();
    m_category = kSymbolModule;
    open = false;
  } else {
    m_category = kSymbolProgram;
    open = false;
  }
  if (open) {
    if (origin != nullptr && origin->m_category == kSymbolProgram) m_flags.setBit(kListedUnderProgram);
    const TypeEntryView entryType = GetTypeEntry(type);
    switch (entryType.Category()) {
      case kTypePrimitive:
        m_category = IsPointerLikeKind(entryType) && entryType.Reference() != RecordHandle::kNone ? kSymbolPointer
                                                                                                 : kSymbolScalar;
        break;
      case kTypeStructure:
        m_category = kSymbolStructure;
        break;
      case kTypeEnumeration:
        m_category = kSymbolEnumeration;
        break;
      case kTypeProcedure:
        m_category = kSymbolProcedure;
        break;
      case kTypeArray:
        m_category = kSymbolArray;
        break;
      case kTypeLabel:
        m_category = kSymbolLabel;
        break;
      case kTypeUndefined:
      case kTypeNull:
        m_category = kSymbolOtherType;
        break;
      case kTypeUnion:
        m_category = kSymbolUnion;
        break;
      case kTypeClass:
        m_category = kSymbolClass;
        break;
      default:
        m_category = kSymbolScalar;
        break;
    }
  }
  m_mode = mode;
  m_useCount = 1;
  m_resolveState = resolveState;
  if (m_location.IsNull()) m_location = place;
  m_typeIndex = type;
  m_description = entry.Descriptor();
  SetUpMembers();
}

// ---- resolving

// The current entry made what the object describes, its symbol at the object's place.
void SymbolObject::ReloadDescription() const {
  SetCurrentSymbolDescriptor(m_description);
  SymbolEntry& entry = CurrentEntry();
  if (entry.m_symbolSet != 0 && !m_location.IsNull()) {
    entry.m_symbol.m_location.m_address = m_location;
    if (IsFrameRelative(entry.m_symbol.m_location)) entry.m_symbol.m_location.m_flags |= kLocationResolved;
  }
}

// Before every use of the place, value or member count: a fixed place stays; any
// other is brought up to the current execution address.
void SymbolObject::Resolve() {
  if (m_resolveState == kResolveFixed) return;
  if (m_resolveState != kResolveActive && m_resolveState != kResolveInactive) {
    m_resolveState = kResolveInactive;
    return;
  }
  if (m_mode == 0) {
    ResolveRoot();
  } else {
    ResolveMember();
  }
}

// A root object: unchanged while the execution address is the stamp's and the
// object is active. Otherwise its full name is evaluated again: found, it is active
// at the place found (a pointer sets its count up again); the stamp moves on. A
// failed evaluation leaves it inactive.
void SymbolObject::ResolveRoot() {
  SymbolContext* context = Context();
  if (context == nullptr) {
    m_resolveState = kResolveInactive;
    return;
  }
  const CurrentSymbolContextScope current(context);
  const AddressDescriptor execution = context->Location().CurrentExecutionAddress();
  if (execution.Compare(m_stampAddress) == kAddressEqual && m_resolveState != kResolveInactive) return;
  m_resolveState = kResolveInactive;
  const RWCString name = FullName();
  try {
    BracketedLookupScope bracket;
    uint32_t locationClass = 0;
    TypedLocation location;
    const DVErrorCode status =
        InstalledSymbolInterpreter().EvaluateTextToLocation(name.data(), kEvaluateAddressContext, locationClass, location);
    if (!status.IsOkay()) return;
    if (locationClass == kLocationClassOrdinalPointer || locationClass == kLocationClassCode ||
        locationClass == kLocationClassTyped) {
      m_location = location.Address();
      m_description.m_symbol.m_location.m_address = m_location;
      m_resolveState = kResolveActive;
      if (m_category == kSymbolPointer) SetUpPointerCount();
    }
    m_stampAddress = execution;
  } catch (const DVError&) {
    m_resolveState = kResolveInactive;
  }
}

// A member follows its parent: resolved with it, and placed again from it when
// active (an element by its index, a pointee through the pointer, a field by name).
void SymbolObject::ResolveMember() {
  if (m_parent == nullptr) ZENTOR_INTERNAL_ERROR();
  m_parent->Resolve();
  m_resolveState = m_parent->m_resolveState;
  if (m_resolveState != kResolveActive) return;
  SymbolContext* context = m_parent->Context();
  if (context == nullptr) {
    m_resolveState = kResolveInactive;
    return;
  }
  try {
    const CurrentSymbolContextScope current(context);
    NestedLookupScope nested;
    m_parent->ReloadDescription();
    const OrdinalValue offset = OrdinalValue(m_parent->m_elementSize) * m_index;
    switch (m_parent->m_category) {
      case kSymbolArray:
        m_location = m_parent->m_location + offset;
        break;
      case kSymbolPointer:
        DereferenceSymbol();
        m_location = CurrentEntry().m_symbol.m_location.m_address + offset;
        break;
      case kSymbolStructure:
      case kSymbolUnion:
      case kSymbolClass: {
        RWCString field = m_memberText;
        if (field.length() != 0 && field.data()[0] == '.') field.remove(0, 1);
        SelectStructureField(field, m_parent->m_category == kSymbolUnion ? kFieldOfUnion : kFieldOfStructure);
        m_location = CurrentEntry().m_symbol.m_location.m_address;
        break;
      }
      default:
        break;
    }
    m_description.m_symbol.m_location.m_address = m_location;
    if (m_category == kSymbolPointer) SetUpPointerCount();
  } catch (const DVError&) {
    m_resolveState = kResolveInactive;
  }
}

// ---- values and places

// The value of an object that has one: pushed at its place (as its type says),
// fetched by the interpreter and handed out. A type without a value form is no
// error: the kind is 0.
DVErrorCode SymbolObject::Evaluate(uint16_t& kind, uint8_t* value) {
  kind = 0;
  if (!HasValue()) return DVErrorCode(kMsgAggregateValue, kSeverityInternal);
  SymbolContext* context = nullptr;
  if (const DVErrorCode usable = ResolveForUse(context); !usable.IsOkay()) return usable;
  try {
    const CurrentSymbolContextScope current(context);
    NestedLookupScope nested;
    ReloadDescription();
    ClearStickyLookupFlag();
    DVErrorCode status;
    PushCurrentSymbolValue(status, 0);
    if (status.Number() == kMsgSymbolTypeUnrecognized) return DVErrorCode();
    if (!status.IsOkay()) return status;
    InstalledSymbolInterpreter().DereferenceTopValue();
    kind = ValueStack::TopKind();
    ValueStack::Pop(value);
    return DVErrorCode();
  } catch (const DVError& error) {
    return StatusOf(error);
  }
}

DVErrorCode SymbolObject::WriteValue(uint16_t kind, const uint8_t* value) {
  if (!HasValue()) return DVErrorCode(kMsgAggregateValue, kSeverityInternal);
  SymbolContext* context = nullptr;
  if (const DVErrorCode usable = ResolveForUse(context); !usable.IsOkay()) return usable;
  const uint32_t depth = ValueStack::Depth();
  try {
    const CurrentSymbolContextScope current(context);
    NestedLookupScope nested;
    ReloadDescription();
    SetStickyLookupFlag();
    DVErrorCode status;
    PushCurrentSymbolValue(status, 0);
    if (!status.IsOkay()) return status;
    ValueStack::Push(kind, value);
    InstalledSymbolInterpreter().AssignValue();
    return DVErrorCode();
  } catch (const DVError& error) {
    // Nothing of a failed write stays on the stack.
    while (ValueStack::Depth() > depth) ValueStack::Drop();
    return StatusOf(error);
  }
}

DVErrorCode SymbolObject::ResolveForUse(SymbolContext*& context) {
  Resolve();
  if (m_resolveState == kResolveInactive) return DVErrorCode(kMsgSymbolNotActive, kSeverityError);
  context = Context();
  if (context == nullptr) return DVErrorCode(kMsgNoProgramLoaded, kSeverityError);
  return DVErrorCode();
}

DVErrorCode SymbolObject::GetAddress(AddressDescriptor& address) {
  SymbolContext* context = nullptr;
  if (const DVErrorCode usable = ResolveForUse(context); !usable.IsOkay()) return usable;
  address = m_location;
  return DVErrorCode();
}

uint32_t SymbolObject::TypeSize() {
  SymbolContext* context = Context();
  if (context == nullptr) return 0;
  try {
    const CurrentSymbolContextScope current(context);
    return GetTypeEntry(m_typeIndex).Size();
  } catch (const DVError&) {
    return 0;
  }
}

}  // namespace zentor
