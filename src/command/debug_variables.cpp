#include "command/debug_variables.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "command/command_scanner.h"
#include "command/debug_objects.h"
#include "command/procedure_call.h"
#include "command/type_words.h"
#include "console/cleanup_stack.h"
#include "core/address_range.h"
#include "core/collectable_record.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/operator_executor.h"
#include "core/program_counter.h"
#include "core/target_memory.h"
#include "core/token_record.h"
#include "core/typed_location.h"
#include "core/value_conversion.h"
#include "core/value_stack.h"
#include "support/little_endian.h"
#include "symbols/symbol_context.h"
#include "symbols/type_lookup.h"

namespace zentor {
namespace {

using value_bytes::LoadU32;
using value_bytes::StoreU16;
using value_bytes::StoreU32;

// The records that show values, marked changed after every store.
constexpr uint32_t kValueViewRecords = 6;
constexpr uint16_t kInitialNameColumnWidth = 10;

// The storage of one debug variable. Character and string variables keep their value
// in a buffer of its own (a NUL-terminated or a length-prefixed string, or the one
// character); address variables a location of their address type; every other kind
// the value in the kind's size.
struct VariableStorage {
  uint16_t kind = 0;
  std::vector<uint8_t> bytes;
};

bool IsStringKind(uint16_t kind) { return kind == kKindChar || kind == kKindNString || kind == kKindLString; }

// All module state: the storage of the variables by id, the scope of the next
// definition, the keep-locations mode and the name column width.
struct DebugVariableState {
  std::vector<std::unique_ptr<VariableStorage>> storage;  // id = index + 1
  uint16_t defineScope = kDefineAtCommandLevel;
  uint32_t keepLocationsMode = 0;
  uint16_t nameColumnWidth = kInitialNameColumnWidth;
};

DebugVariableState g_state;

uint32_t NewStorage(std::unique_ptr<VariableStorage> storage) {
  for (std::size_t i = 0; i < g_state.storage.size(); ++i) {
    if (g_state.storage[i] == nullptr) {
      g_state.storage[i] = std::move(storage);
      return static_cast<uint32_t>(i + 1);
    }
  }
  g_state.storage.push_back(std::move(storage));
  return static_cast<uint32_t>(g_state.storage.size());
}

VariableStorage* StorageOf(uint32_t id) {
  if (id == 0 || id > g_state.storage.size()) return nullptr;
  return g_state.storage[id - 1].get();
}

[[noreturn]] void Raise(uint32_t number, uint32_t severity) { throw DVError(number, severity, kDisplayByFocus); }

[[noreturn]] void RaiseWithName(uint32_t number, const std::string& name) {
  DVError error(number, kSeverityError, kDisplayByFocus);
  error.SetArg(0, name.c_str());
  throw error;
}

// The storage of the debug variable of that name; 41 when the name is no variable.
VariableStorage& LookUpVariable(const uint8_t* name, uint16_t length) {
  if (length > NameHashTable::kMaxNameLength) Raise(kMsgSymbolLookupFailed, kSeveritySevere);
  const uint32_t id = CommandScanner::Keywords().Find(length, name);
  if (id != 0) {
    const KeywordEntry& entry = CommandScanner::KeywordEntries().Get(id);
    VariableStorage* storage = IsTypeToken(entry.token) ? StorageOf(entry.value) : nullptr;
    if (storage != nullptr) return *storage;
  }
  Raise(kMsgSymbolLookupFailed, kSeveritySevere);
}

// The storage of the variable the name item (kind 0xFFFD) on top of the stack names;
// the item is popped. Every fetch and store of a variable starts here.
VariableStorage& PopVariable() {
  const uint16_t length = ValueStack::TopSize();
  uint8_t name[ValueStack::kMaxItemSize];
  ValueStack::Pop(name);
  return LookUpVariable(name, length);
}

std::size_t StringSize(uint16_t kind, const uint8_t* bytes, std::size_t available) {
  if (kind == kKindChar) return 1;
  if (kind == kKindLString) return static_cast<std::size_t>(bytes[0]) + 1;
  const void* nul = std::memchr(bytes, 0, available);
  return nul != nullptr ? static_cast<const uint8_t*>(nul) - bytes + 1 : available;
}

void MarkValuesChanged() { MarkRegisteredChanged(kValueViewRecords, CurrentViewpoint()); }

void PushWord(uint16_t kind, uint32_t value) {
  uint8_t bytes[4];
  StoreU32(bytes, value);
  ValueStack::PushSized(kind, static_cast<uint16_t>(GetValueKindSize(kind)), bytes);
}

TypedLocation OffsetTypeLocation(const AddressDescriptor& address) {
  return TypedLocation(address, DVPTypeInfo::FromCode(kKindOffset), OrdinalValue(1u), OrdinalValue(1u));
}

// ---- value fetch -------------------------------------------------------------------

void FetchVariable() {
  const VariableStorage& storage = PopVariable();
  std::size_t size = storage.bytes.size();
  if (IsStringKind(storage.kind)) size = StringSize(storage.kind, storage.bytes.data(), storage.bytes.size());
  if (size > kMaxFetchedVariableSize) Raise(kOperandSizeTooLarge, kSeverityInternal);
  ValueStack::PushSized(storage.kind, static_cast<uint16_t>(size), storage.bytes.data());
}

// A bit field's location carries the bit count in the low 16 bits of its element
// size and the bit position in the high 16 bits.
void FetchBitField(const TypedLocation& location) {
  const uint32_t sizeWord = location.ElementSize().Low();
  const uint32_t bits = sizeWord & 0xFFFFu;
  const uint32_t position = sizeWord >> 16;
  const TypedLocation word(location.Address(), DVPTypeInfo::FromCode(kKindOrd4), OrdinalValue(4u), OrdinalValue(1u));
  uint8_t bytes[ValueStack::kMaxItemSize];
  TargetMemory::ReadLocationValue(bytes, sizeof bytes, word);
  uint32_t value = position < 32 ? LoadU32(bytes) >> position : 0;
  if (bits < 32) value &= (1u << bits) - 1u;
  PushWord(bits <= 8 ? kKindOrd1 : (bits <= 16 ? kKindOrd2 : kKindOrd4), value);
}

void FetchLocation() {
  const TypedLocation location = ValueStack::PopLocation();
  const auto type = static_cast<uint16_t>(location.Type().Code());
  if (type == kKindNone) {
    ValueStack::PushSized(kKindNone, 0, nullptr);
    return;
  }
  if (type == kKindCode1) {
    FetchBitField(location);
    return;
  }
  uint8_t bytes[ValueStack::kMaxItemSize];
  if (type == kKindNString || type == kKindLString) {
    OrdinalValue read;
    const TypedLocation one(location.Address(), location.Type(), OrdinalValue(1u), OrdinalValue(1u));
    TargetMemory::ReadValue(&read, bytes, sizeof bytes, AddressRange::FromLength(one, OrdinalValue::One), 0);
    const std::size_t size = StringSize(type, bytes, read.Low() < sizeof bytes ? read.Low() : sizeof bytes);
    ValueStack::PushSized(type, static_cast<uint16_t>(size), bytes);
    return;
  }
  const uint32_t size = DVPTypeInfo::FromCode(type).Size();
  if (size == 0 || size > sizeof bytes) Raise(kMsgUnsupportedReference, kSeverityInternal);
  const TypedLocation one(location.Address(), location.Type(), OrdinalValue(size), OrdinalValue(1u));
  TargetMemory::ReadLocationValue(bytes, sizeof bytes, one);
  ValueStack::PushSized(type, static_cast<uint16_t>(size), bytes);
}

void CallPseudoVariable(uint32_t which, uint32_t fetch) {
  switch (which) {
    case kPseudoRegister: RegisterVariable(fetch); return;
    case kPseudoCurrentLocation: CurrentLocationVariable(fetch); return;
    case kPseudoExecutionAddress: ExecutionAddressVariable(fetch); return;
    default: ZENTOR_INTERNAL_ERROR();
  }
}

uint32_t PopPseudoVariable() {
  uint8_t bytes[ValueStack::kMaxItemSize];
  ValueStack::Pop(bytes);
  return LoadU32(bytes);
}

// ---- stores ------------------------------------------------------------------------

void StoreIntoVariable(const uint8_t* value, uint16_t kind) {
  VariableStorage& storage = PopVariable();
  uint8_t converted[kValueBufferSize];
  ConvertValue(value, kind, converted, storage.kind);
  if (IsStringKind(storage.kind)) {
    const std::size_t size = StringSize(storage.kind, converted, sizeof converted);
    storage.bytes.assign(converted, converted + size);
    return;
  }
  std::memcpy(storage.bytes.data(), converted, storage.bytes.size());
}

void StoreBitField(const TypedLocation& location, const uint8_t* value, uint16_t kind) {
  const uint32_t sizeWord = location.ElementSize().Low();
  const uint32_t bits = sizeWord & 0xFFFFu;
  const uint32_t position = sizeWord >> 16;
  uint8_t converted[kValueBufferSize];
  ConvertValue(value, kind, converted, kKindOrd4);
  const TypedLocation word(location.Address(), DVPTypeInfo::FromCode(kKindOrd4), OrdinalValue(4u), OrdinalValue(1u));
  uint8_t old[ValueStack::kMaxItemSize];
  TargetMemory::ReadLocationValue(old, sizeof old, word);
  const uint32_t ones = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u;
  const uint32_t mask = position < 32 ? ones << position : 0;
  const uint32_t shifted = position < 32 ? LoadU32(converted) << position : 0;
  uint8_t bytes[4];
  StoreU32(bytes, (LoadU32(old) & ~mask) | (shifted & mask));
  TargetMemory::WriteValue(bytes, 4, AddressRange::FromLength(word, OrdinalValue::One));
}

void StoreIntoLocation(const TypedLocation& location, const uint8_t* value, uint16_t kind) {
  const auto type = static_cast<uint16_t>(location.Type().Code());
  if (type == kKindCode1) {
    StoreBitField(location, value, kind);
    return;
  }
  uint8_t converted[kValueBufferSize];
  ConvertValue(value, kind, converted, type);
  uint32_t size = DVPTypeInfo::FromCode(type).Size();
  if (type == kKindNString || type == kKindLString) {
    size = static_cast<uint32_t>(StringSize(type, converted, sizeof converted));
  }
  if (size == 0 || size > sizeof converted) Raise(kMsgUnsupportedAssignment, kSeverityError);
  const TypedLocation one(location.Address(), location.Type(), OrdinalValue(size), OrdinalValue(1u));
  TargetMemory::WriteValue(converted, size, AddressRange::FromLength(one, OrdinalValue::One));
}

// Size of a new variable's storage, its kind on the stack, and its address type.
void DefineStorage(uint16_t valueKind, VariableStorage& storage) {
  if (IsStringKind(valueKind)) {
    storage.kind = valueKind;
    storage.bytes.assign(1, 0);
    return;
  }
  if (IsTargetAddressKind(valueKind)) {
    storage.kind = kKindTypedLocation;
    const uint32_t offset = 0;
    const TypedLocation location(AddressDescriptor::FromTypedOffset(DVPTypeInfo::FromCode(valueKind), &offset),
                                 DVPTypeInfo::FromCode(valueKind), OrdinalValue(DVPTypeInfo::FromCode(valueKind).Size()),
                                 OrdinalValue(1u));
    storage.bytes.assign(TypedLocation::kImageSize, 0);
    location.WriteImage(storage.bytes.data());
    return;
  }
  storage.kind = valueKind;
  storage.bytes.assign(GetValueKindSize(valueKind), 0);
}

void EndKeepLocationsRoutine() { g_state.keepLocationsMode = 0; }

// A kept scalar becomes a reference to it (kind 25), as a pointer symbol is: taken
// for a location it names the variable itself, while an operator, an index or a
// conversion reads its value. «int4 x» thus shows x, «int4 buf + n» and
// «br = a[i] wr» use the value of n and i. Locations of other types stay as they are.
void KeepAsReference() {
  const TypedLocation location = ValueStack::PopLocation();
  const int32_t type = location.Type().Code();
  if (type >= kKindBool1 && type <= kKindReal10) {
    ValueStack::PushPointerLocation(PointerLocation(location, location.Type(), location.ElementSize()));
  } else {
    ValueStack::PushLocation(location);
  }
}

}  // namespace

// ---- definitions ---------------------------------------------------------------------

void SelectDefineScopeAction() { (void)SelectDefineScope(); }

uint16_t SelectDefineScope() {
  const uint16_t depth = CommandScanner::BlockDepth();
  g_state.defineScope = depth != 0 ? kDefineInBlock : kDefineAtCommandLevel;
  return depth;
}

void SelectCommandDefineScope() { g_state.defineScope = kDefineAtCommandLevel; }

void ConvertTypeWordToken() {
  TokenRecord& token = CurrentToken();
  token.subcode = TypeTokenOfCode(static_cast<uint8_t>(token.subcode));
}

// 1. The type code comes from the stack; its value kind and type token follow.
// 2. The storage is made and zeroed (strings one zero byte, addresses a location).
// 3. At command level a definition of the same name and type is replaced (its storage
//    released), one of another type refused; inside a block the name is local to it.
void DefineDebugVariable() {
  TokenRecord& token = CurrentToken();
  const uint16_t typeCode = ValueStack::PopOrd2();
  token.subcode = typeCode;
  const uint16_t valueKind = SymbolTypeCodeToDVPTypeCode(typeCode);
  ConvertTypeWordToken();
  const auto typeToken = static_cast<uint8_t>(token.subcode);
  if (!IsTypeToken(typeToken) || valueKind == kKindNone) Raise(kMsgBadDefineScope, kSeverityInternal);
  const std::string name(token.text, token.textLength < TokenRecord::kTextCapacity ? token.textLength : 0);
  if (name.empty() || name.size() > NameHashTable::kMaxNameLength) RaiseWithName(kMsgNameUndefined, name);

  auto storage = std::make_unique<VariableStorage>();
  DefineStorage(valueKind, *storage);
  const uint16_t kind = storage->kind;
  if (g_state.defineScope == kDefineAtCommandLevel) {
    // Every earlier entry of the name and type goes: the placeholder the parse entered
    // for the rest of the line, and a definition made before.
    for (;;) {
      const uint32_t id = CommandScanner::Keywords().Find(static_cast<uint16_t>(name.size()), name.data());
      if (id == 0) break;
      const KeywordEntry entry = CommandScanner::KeywordEntries().Get(id);
      if (entry.token != typeToken) RaiseWithName(kMsgNameDefinedWithOtherType, name);
      const TokenRecord saved = token;
      CommandScanner::RemoveKeyword();
      token = saved;
    }
    RaiseNameColumnWidth(static_cast<uint32_t>(name.size()));
    const uint32_t id = NewStorage(std::move(storage));
    CommandScanner::AddKeywordEntry(typeToken, kind, kKeywordDefined, id, name.c_str());
    return;
  }
  if (g_state.defineScope != kDefineInBlock) Raise(kMsgBadDefineScope, kSeverityInternal);
  const uint32_t id = NewStorage(std::move(storage));
  CommandScanner::EnterLocalDefinition(typeToken, kind, id, name.c_str());
}

void ReleaseDebugVariable(uint8_t token, uint32_t value, const char* name) {
  if (TypeNameOfToken(token) == nullptr || token == kTypeTokenAlias || token == kTypeTokenProc) {
    RaiseWithName(kMsgNameUndefined, name != nullptr ? name : "");
  }
  if (StorageOf(value) != nullptr) g_state.storage[value - 1].reset();
}

void ReleaseDefinedObject(uint8_t token, uint32_t value, const char* name) {
  if (token == kTypeTokenProc) {
    ReleaseDefinedProcedure(token, value, name);
    return;
  }
  if (token == token_code::kMacroName) {
    ReleaseAlias(value);
    return;
  }
  ReleaseDebugVariable(token, value, name);
}

uint16_t NameColumnWidth() { return g_state.nameColumnWidth; }

void RaiseNameColumnWidth(uint32_t length) {
  if (length > g_state.nameColumnWidth) g_state.nameColumnWidth = static_cast<uint16_t>(length > 0xFFFF ? 0xFFFF : length);
}

void ResetDebugVariables() {
  g_state.storage.clear();
  ReleaseAllAliases();
  g_state.defineScope = kDefineAtCommandLevel;
  g_state.keepLocationsMode = 0;
  g_state.nameColumnWidth = kInitialNameColumnWidth;
}

uint32_t LiveDebugVariableCount() {
  uint32_t count = 0;
  for (const auto& storage : g_state.storage) count += storage != nullptr ? 1 : 0;
  return count;
}

// ---- fetch and assignment ------------------------------------------------------------

void DereferenceTopValue() {
  if (TakeTypeFoundFlag() != 0) return;
  const uint16_t kind = ValueStack::TopKind();
  switch (kind) {
    case kKindNone:
    case kKindNString:
    case kKindLString:
    case kKindSymbolValue:
    case kKindInactiveSymbol:
    case kKindReserved32: return;
    case kKindUnresolvedName: FetchVariable(); return;
    case kKindPointerLocation: {
      // Code is a location; a kept reference stays one; a pointer gives what it points
      // to, a reference to a scalar (kept before) its value.
      uint8_t image[ValueStack::kMaxItemSize];
      ValueStack::Peek(image);
      const PointerLocation reference = PointerLocation::ReadImage(image);
      const TypedLocation& location = reference.Location();
      if (g_state.keepLocationsMode == 1 && !location.IsOffsetType()) return;
      ValueStack::Drop();
      if (location.IsOffsetType()) {
        ValueStack::PushLocation(location);
      } else if (location.IsPointer()) {
        ValueStack::PushLocation(reference.Dereference());
      } else {
        ValueStack::PushLocation(location);
        FetchLocation();
      }
      return;
    }
    case kKindTypedLocation:
      if (g_state.keepLocationsMode == 0) {
        FetchLocation();
      } else {
        KeepAsReference();
      }
      return;
    case kKindRoutine: CallPseudoVariable(PopPseudoVariable(), 1); return;
    default: Raise(kMsgUnsupportedReference, kSeverityInternal);
  }
}

// 1. Pop the value with its kind.
// 2. Store it through the reference under it (popped too), converted to the
//    reference's type.
// 3. The views that show values are marked changed.
void AssignValue() {
  if (ValueStack::TopSize() > ValueStack::kMaxItemSize) Raise(kOperandSizeTooLarge, kSeverityInternal);
  const uint16_t kind = ValueStack::TopKind();
  const uint16_t size = ValueStack::TopSize();
  uint8_t value[kValueBufferSize] = {};
  ValueStack::Pop(value);
  switch (ValueStack::TopKind()) {
    case kKindUnresolvedName: StoreIntoVariable(value, kind); break;
    case kKindPointerLocation: {
      uint8_t image[ValueStack::kMaxItemSize];
      ValueStack::Pop(image);
      // The reference is the pointer object itself: the value (an address or an
      // integer) is stored into it in the pointer's own type.
      const PointerLocation reference = PointerLocation::ReadImage(image);
      if (reference.Location().IsOffsetType()) Raise(kMsgAssignToCode, kSeverityError);
      StoreIntoLocation(reference.Location(), value, kind);
      break;
    }
    case kKindTypedLocation: StoreIntoLocation(ValueStack::PopLocation(), value, kind); break;
    case kKindInactiveSymbol: Raise(kSymbolNotActive, kSeverityError);
    case kKindRoutine: {
      const uint32_t which = PopPseudoVariable();
      ValueStack::PushSized(kind, size, value);
      CallPseudoVariable(which, 0);
      break;
    }
    default: Raise(kMsgUnsupportedAssignment, kSeverityError);
  }
  MarkValuesChanged();
}

// A register reference is its register index with the routine reference above it; the
// two are duplicated together.
void PrepareCompoundAssignment(uint16_t operatorCode) {
  bool registerReference = false;
  if (ValueStack::TopKind() == kKindRoutine) {
    uint8_t routine[ValueStack::kMaxItemSize];
    ValueStack::Peek(routine);
    registerReference = LoadU32(routine) == kPseudoRegister;
  }
  if (registerReference) {
    uint8_t routine[ValueStack::kMaxItemSize];
    ValueStack::Pop(routine);
    const uint16_t indexKind = ValueStack::TopKind();
    const uint16_t indexSize = ValueStack::TopSize();
    uint8_t index[ValueStack::kMaxItemSize];
    ValueStack::Peek(index);
    ValueStack::PushSized(kKindRoutine, 4, routine);
    ValueStack::PushSized(indexKind, indexSize, index);
    ValueStack::PushSized(kKindRoutine, 4, routine);
  } else {
    ValueStack::DuplicateTop();
  }
  DereferenceTopValue();
  uint8_t code[2];
  StoreU16(code, operatorCode);
  ValueStack::PushSized(kKindOrd2, 2, code);
}

void PrepareAddAssignment() { PrepareCompoundAssignment(kOpAdd); }
void PrepareSubtractAssignment() { PrepareCompoundAssignment(kOpSubtract); }
void PrepareMultiplyAssignment() { PrepareCompoundAssignment(kOpMultiply); }
void PrepareDivideAssignment() { PrepareCompoundAssignment(kOpDivide); }
void PrepareRemainderAssignment() { PrepareCompoundAssignment(kOpRemainder); }
void PrepareAndAssignment() { PrepareCompoundAssignment(kOpAnd); }
void PrepareXorAssignment() { PrepareCompoundAssignment(kOpExclusiveOr); }
void PrepareOrAssignment() { PrepareCompoundAssignment(kOpInclusiveOr); }
void PrepareShiftRightAssignment() { PrepareCompoundAssignment(kOpShiftRight); }
void PrepareShiftLeftAssignment() { PrepareCompoundAssignment(kOpShiftLeft); }

void IncrementReference() {
  PrepareCompoundAssignment(kOpAdd);
  const uint8_t one = 1;
  ValueStack::PushSized(kKindOrd1, 1, &one);
  OperatorExecutor();
  AssignValue();
}

void DecrementReference() {
  PrepareCompoundAssignment(kOpSubtract);
  const uint8_t one = 1;
  ValueStack::PushSized(kKindOrd1, 1, &one);
  OperatorExecutor();
  AssignValue();
}

void BeginKeepLocations() {
  CleanupStack::Push(&EndKeepLocationsRoutine, "EndKeepLocations");
  g_state.keepLocationsMode = 1;
}

void EndKeepLocations() {
  g_state.keepLocationsMode = 0;
  CleanupStack::Drop();
}

// ---- pseudo-variables ------------------------------------------------------------------

void PushRegisterRoutine() { PushWord(kKindRoutine, kPseudoRegister); }
void PushCurrentLocationRoutine() { PushWord(kKindRoutine, kPseudoCurrentLocation); }
void PushExecutionAddressRoutine() { PushWord(kKindRoutine, kPseudoExecutionAddress); }

void RegisterVariable(uint32_t fetch) {
  if (ValueStack::TopSize() > ValueStack::kMaxItemSize) Raise(kMsgInvalidRegisterAssignment, kSeverityError);
  if (fetch != 0) {
    TargetMemory::PushRegisterValue(ValueStack::PopOrd2());
    return;
  }
  const uint16_t kind = ValueStack::TopKind();
  const uint16_t size = ValueStack::TopSize();
  uint8_t value[ValueStack::kMaxItemSize];
  ValueStack::Pop(value);
  const uint16_t registerIndex = ValueStack::PopOrd2();
  TargetMemory::WriteRegister(registerIndex, kind, value, size);
}

void CurrentLocationVariable(uint32_t fetch) {
  if (fetch != 0) {
    ValueStack::PushLocation(OffsetTypeLocation(GetCurrentSymbolContextOrDefault()->ScopeAddress()));
    return;
  }
  ValueStack::ConvertTopToLocation(0, AddressDescriptor::Null());
  GoToSourceLocation(ValueStack::PopLocation().Address());
}

void ExecutionAddressVariable(uint32_t fetch) {
  if (fetch != 0) {
    ValueStack::PushLocation(OffsetTypeLocation(ProgramCounterRegister::Read()));
    return;
  }
  ProgramCounterRegister::Write(ValueStack::PopLocation().Address());
}

}  // namespace zentor
