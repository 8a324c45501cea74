#include "command/symbol_forwarding.h"

#include <string>

#include "command/value_output.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/dv_error.h"
#include "core/frame_list.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "support/little_endian.h"
#include "symbols/loader_library.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_handle.h"
#include "symbols/symbol_lookup.h"
#include "symbols/symbol_values.h"

namespace zentor {
namespace {

using value_bytes::LoadU16;
using value_bytes::LoadU32;
using value_bytes::StoreU32;

RWCString TokenText() {
  const TokenRecord& token = CurrentToken();
  return RWCString(token.text, token.textLength < TokenRecord::kTextCapacity ? token.textLength : 0);
}

void ThrowIfNotOkay(DVErrorCode status) {
  if (!status.IsOkay()) throw DVError(status);
}

// The name `name` gives of the symbol at the location on top of the stack.
void ShowNameOfLocation(RWCString (SymbolHandle::*name)() const) {
  const TypedLocation location = ValueStack::PopLocation();
  const SymbolHandle handle =
      SymbolHandle::SymbolHandle_AtAddress(GetCurrentSymbolContext(), location.Address(), kLevelSymbol);
  const RWCString text = handle.IsValid() ? (handle.*name)() : location.AddressRef().Text();
  OutputWriter::WriteString(text.data());
  OutputWriter::FreshLine();
}

// Categories of a procedure's description (its members are its parameters and locals).
constexpr uint32_t kCategoryProcedure = 1;
constexpr uint32_t kCategoryProcedureWithFrame = 2;
// Categories of the members whose values the listing shows.
constexpr uint32_t kCategoryScalar = 4;
constexpr uint32_t kCategoryPointer = 6;
constexpr uint32_t kCategoryEnumeration = 10;

// The access path cut to what follows its last '.' and precedes its last '+'.
std::string HeadingName(const RWCString& path) {
  std::string name(path.data(), path.length());
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(0, dot + 1);
  const size_t plus = name.rfind('+');
  if (plus != std::string::npos) name.erase(plus);
  return name;
}

// One member's line; the status of its address when that is not okay (an inactive
// member is shown as such and is no failure).
DVErrorCode ListProcedureMember(const SymbolHandle& member, const SymbolDescription& type) {
  AddressDescriptor address;
  DVErrorCode status = member.GetAddress(address);
  const RWCString name = member.ShortName();
  if (status.Number() == kMsgSymbolNotActive) {
    OutputWriter::Printf("  <Inactive> %s%s%s", type.m_typeText, name, type.m_typeSuffix);
    status.SetOkay();
  } else if (status.IsOkay()) {
    OutputWriter::Printf("  <%s> %s%s%s", address.Text(), type.m_typeText, name, type.m_typeSuffix);
    if (type.m_category == kCategoryScalar || type.m_category == kCategoryPointer ||
        type.m_category == kCategoryEnumeration) {
      uint16_t kind = 0;
      uint8_t value[ValueStack::kMaxItemSize] = {};
      if (member.Evaluate(kind, value).IsOkay() && kind != kKindNone) {
        OutputWriter::WriteString(" = ");
        ValueStack::PushSized(kind, static_cast<uint16_t>(GetValueKindSize(kind)), value);
        DisplayTopValue();
      }
    }
  }
  OutputWriter::FreshLine();
  return status;
}

[[noreturn]] void RaiseSingleCharacterIndexExpected() {
  DVError error(kMsgSingleCharacterIndexExpected, kSeverityError, kDisplayByFocus);
  error.SetArg(0, SymbolNameText());
  throw error;
}

}  // namespace

void PushLineLocationAction() {
  const TokenRecord& token = CurrentToken();
  PushLineLocation(LoadU16(reinterpret_cast<const uint8_t*>(token.text)));
}

void FindModuleByNameAction() {
  const RWCString name = TokenText();
  DVErrorCode status;
  (void)FindModuleByName(status, name);
  if (status.IsOkay()) return;
  DVError error(status);
  error.SetArg(0, name);
  throw error;
}

void PushModuleLocationAction() { PushModuleLocation(); }

void RequireNumericValue() {
  const uint16_t kind = ValueStack::TopKind();
  if (kind < kKindOrd1 || kind > kKindReal10) {
    throw DVError(kMsgNumericValueRequired, kSeverityError, kDisplayByFocus);
  }
}

void DereferenceSymbolAction() { DereferenceSymbol(); }

void FindSymbolByNameAction() { FindSymbolByName(TokenText()); }

// A character indexes an array of characters by its code: one character, or a
// length-prefixed string of exactly one; any other value is taken as an int4.
void SubscriptSymbolAction() {
  const uint16_t kind = ValueStack::TopKind();
  if (kind == kKindChar || kind == kKindNString || kind == kKindLString) {
    const uint16_t size = ValueStack::TopSize();
    uint8_t item[ValueStack::kMaxItemSize];
    ValueStack::Pop(item);
    if (kind == kKindLString) {
      if (size != 2) RaiseSingleCharacterIndexExpected();
      SubscriptSymbol(item[1]);
      return;
    }
    if (size != 1) RaiseSingleCharacterIndexExpected();
    SubscriptSymbol(item[0]);
    return;
  }
  uint8_t index[4] = {};
  ValueStack::PopAs(kKindInt4, index);
  SubscriptSymbol(static_cast<int32_t>(LoadU32(index)));
}

void DecodeCurrentSymbolLocation() {
  DVErrorCode status;
  DecodeSymbolRecordLocation(status, 0);
  ThrowIfNotOkay(status);
}

// A name that makes no valid symbol raises its status with the name (its size is not
// 0: it is not known).
void PushSymbolTypeSize() {
  const RWCString name = TokenText();
  const SymbolHandle handle = SymbolHandle::SymbolHandle_FromExpression(GetCurrentSymbolContext(), name.data());
  if (!handle.Status().IsOkay()) {
    DVError error(handle.Status());
    error.SetArg(0, name);
    throw error;
  }
  uint8_t size[4];
  StoreU32(size, handle.TypeSize());
  ValueStack::PushSized(kKindOrd4, 4, size);
}

void ShowLineName() { ShowNameOfLocation(&SymbolHandle::QualifiedName); }
void ShowProcedureName() { ShowNameOfLocation(&SymbolHandle::AccessPathName); }
void ShowSymbolName() { ShowNameOfLocation(&SymbolHandle::FullName); }

// 1. A program must be loaded.
// 2. The symbol of the procedure at the program counter of the current frame.
// 3. In one paged section: the heading (address, type and name), then each parameter
//    and local, stopping at the first member that cannot be made.
DVErrorCode ListCurrentProcedure() {
  if (ProgramLoaded() == 0) return DVErrorCode(kMsgNoProgramLoaded, kSeverityError);
  AddressPair frame;
  FillFrameFromRegisters(frame);
  const SymbolHandle procedure =
      SymbolHandle::SymbolHandle_AtAddress(GetCurrentSymbolContext(), frame.m_first, kLevelProcedure);
  DVErrorCode status = procedure.Status();
  if (!status.IsOkay()) return status;
  const PagedSection paged;
  SymbolDescription type;
  status = procedure.TypeName(type);
  const bool hasMembers = type.m_category == kCategoryProcedure || type.m_category == kCategoryProcedureWithFrame;
  const uint32_t count = hasMembers ? procedure.ReadValue() : 0;
  AddressDescriptor address;
  if (procedure.GetAddress(address).IsOkay()) {
    OutputWriter::Printf("<%s> %s%s%s\n", address.Text(), type.m_typeText, HeadingName(procedure.AccessPathName()),
                         type.m_typeSuffix);
  }
  for (uint32_t i = 0; i < count; ++i) {
    const SymbolHandle member = SymbolHandle::SymbolHandle_Member(procedure, i);
    SymbolDescription memberType;
    if (!member.Status().IsOkay() || !member.TypeName(memberType).IsOkay()) break;
    status = ListProcedureMember(member, memberType);
    if (!status.IsOkay()) break;
  }
  return status;
}

void ListCurrentProcedureAction() { ThrowIfNotOkay(ListCurrentProcedure()); }

}  // namespace zentor
