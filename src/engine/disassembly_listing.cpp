#include "engine/disassembly_listing.h"

#include <algorithm>
#include <cstring>

#include "command/action_table.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/current_viewpoint.h"
#include "core/dv_error.h"
#include "core/target_memory.h"
#include "core/target_status.h"
#include "core/typed_location.h"
#include "core/value_bytes.h"
#include "core/value_stack.h"
#include "symbols/symbol_context.h"
#include "target/disassembler.h"

namespace zentor {
namespace {

uint32_t g_listForm = kListFormBytes;

// Texts longer than this are cut for the packed lines.
constexpr uint32_t kPackedTextLimit = 255;
constexpr uint32_t kPackedOffsetBytes = 8;

// Where an instruction lies in the loaded program: its module (null outside every
// module) and whether it starts a source line. The symbol context answers from the
// loaded modules' address ranges and line tables; with no program loaded every
// address lies outside. The module's name is looked up only when the module is not
// the last one listed: a listing names a module where it changes.
struct ListingPlace {
  const ModuleDescriptor* m_module = nullptr;
  RWCString m_moduleName;
  int32_t m_lineStarted = -1;  // the line number when the address starts a line
};

ListingPlace LocateForListing(const AddressDescriptor& address, const ModuleDescriptor* lastModule) {
  ListingPlace place;
  SymbolContext* context = GetCurrentSymbolContext();
  DVErrorCode status;
  ModuleDescriptor* module = context->ModuleAtAddress(address, status);
  if (module == nullptr) return place;
  place.m_module = module;
  if (module != lastModule) place.m_moduleName = context->Loader().ModuleName(*module);
  OptionalLine line;
  OrdinalValue offset;
  context->Loader().LineAt(*module, address, line, offset);
  if (!line.IsEmpty() && offset == 0u) place.m_lineStarted = line.Get();
  return place;
}

// A listing that reads nothing would never move on.
[[noreturn]] void RaiseEmptyRead() { throw DVError(kMemoryReadFailed, kSeverityError, kDisplayByFocus); }

}  // namespace

uint32_t DisassemblyListForm() { return g_listForm; }

void SetDisassemblyListForm(uint32_t form) { g_listForm = form; }

namespace {

// The instruction's text as the disassembler holds it, until its next instruction.
const char* DisassembleInPlace(const AddressDescriptor& address, uint32_t addressForm, uint32_t* length) {
  TargetStatus status;
  const char* line = "";
  *length = 0;
  const TargetAddressRecord* record = address.IsNull() ? nullptr : &address.Record();
  if (TmiDisassemble(&status, GetCurrentViewpointValue(), record, addressForm, &line, length) != 0) {
    ThrowIfError(DVError::DVError_FromTargetStatus(status));
  }
  return line;
}

}  // namespace

uint32_t DisassembleOne(const AddressDescriptor& address, uint32_t addressForm, RWCString* text) {
  uint32_t length = 0;
  *text = DisassembleInPlace(address, addressForm, &length);
  return length;
}

// Steps of the listing:
// 1. The range's length counts down by each instruction's length (byte form) or by
//    one (count form); the byte form stops once the length is used up, listing an
//    instruction that crosses the end whole.
// 2. Before each instruction: where the module differs from the last one, ":" and
//    the module's name open a label line; " #" and the number follow where the
//    instruction starts a source line, and the label line ends.
// 3. The instruction's text on its own line.
void ListDisassembly(const AddressRange& range, uint32_t addressForm) {
  OrdinalValue remaining = range.Length();
  AddressDescriptor address = range.Start().AddressRef();
  const OrdinalValue limit = g_listForm == kListFormBytes ? OrdinalValue::One : OrdinalValue();
  const ModuleDescriptor* lastModule = nullptr;
  bool labelOpen = false;
  PagedSection paging;
  while (remaining >= limit && remaining > 0u) {
    // The text is kept in a copy of its own while the labels are looked up and
    // printed, and written as a "%s" print writes it (cut to the print buffer).
    uint32_t length = 0;
    const char* line = DisassembleInPlace(address, addressForm, &length);
    char text[OutputWriter::kPrintfBufferSize];
    const size_t textLength = strnlen(line, sizeof text - 1);
    std::memcpy(text, line, textLength);
    if (length == 0) RaiseEmptyRead();
    if (g_listForm == kListFormCount) {
      remaining -= OrdinalValue::One;
    } else {
      remaining = remaining < OrdinalValue(length) ? OrdinalValue() : remaining - OrdinalValue(length);
    }
    const ListingPlace place = LocateForListing(address, lastModule);
    if (place.m_module != nullptr) {
      if (place.m_module != lastModule) {
        OutputWriter::Printf(":%s", place.m_moduleName);
        lastModule = place.m_module;
        labelOpen = true;
      }
      if (place.m_lineStarted >= 0) {
        OutputWriter::Printf(" #%d", place.m_lineStarted);
        OutputWriter::FreshLine();
      } else if (labelOpen) {
        OutputWriter::FreshLine();
        labelOpen = false;
      }
    }
    OutputWriter::WriteString(std::string_view(text, textLength));
    OutputWriter::FreshLine();
    address += OrdinalValue(length);
  }
}

int32_t DisassembleIntoBuffer(const AddressDescriptor& start, int32_t byteCount, const PackedLineBuffer& out) {
  uint32_t used = 0;
  int32_t lines = 0;
  const uint32_t addressForm = start.SpaceKind();
  AddressDescriptor address = start;
  while (byteCount > 0) {
    uint32_t length = 0;
    const char* text = DisassembleInPlace(address, addressForm, &length);
    if (length == 0) RaiseEmptyRead();
    const uint32_t textLength = static_cast<uint32_t>(strnlen(text, kPackedTextLimit));
    if (used + textLength + kPackedOffsetBytes + 1 > out.m_capacity) return -lines;
    const OrdinalValue offset = address - start;
    value_bytes::StoreOrdinal(out.m_buffer + used, offset);
    std::memcpy(out.m_buffer + used + kPackedOffsetBytes, text, textLength);
    out.m_buffer[used + kPackedOffsetBytes + textLength] = '\0';
    used += kPackedOffsetBytes + textLength + 1;
    ++lines;
    byteCount = length >= static_cast<uint32_t>(byteCount) ? 0 : byteCount - static_cast<int32_t>(length);
    address += OrdinalValue(length);
  }
  return lines;
}

void SetListFormCount() { g_listForm = kListFormCount; }

void SetListFormBytes() { g_listForm = kListFormBytes; }

void CheckDisassemblyStart() {
  if (ValueStack::TopKind() == kKindInactiveSymbol) {
    ValueStack::Drop();
    throw DVError(kSymbolNotActive, kSeverityError, kDisplayByFocus);
  }
  ValueStack::ConvertTopToLocation(1, AddressDescriptor::Null());
}

// With neither an end nor a length the range is the start location alone: one
// element of an offset type, else one byte.
void BuildDisassemblyRange() {
  AddressRange range;
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
    const TypedLocation start = ValueStack::PopLocation();
    const OrdinalValue length = start.Type().Code() == kKindOffset ? start.ElementSize() : OrdinalValue::One;
    range.SetFromLength(start, length);
  } else {
    range.SetFromValueStack(1, AddressDescriptor::Null());
    if (range.IsNull()) throw DVError(kAddressesOfDifferentType, kSeverityError, kDisplayByFocus);
  }
  ValueStack::PushRange(range);
}

void DisassembleCommand() {
  bool formGiven = false;
  uint32_t addressForm = 0;
  if (ValueStack::TopKind() == kKindNone) {
    ValueStack::Drop();
  } else {
    addressForm = ValueStack::PopOrd2();
    if (addressForm > 2) ZENTOR_INTERNAL_ERROR();
    formGiven = true;
  }
  if (ValueStack::TopKind() != kKindAddressRange) ZENTOR_INTERNAL_ERROR();
  const AddressRange range = ValueStack::PopRange();
  if (range.IsNull()) throw DVError(kAddressesOfDifferentType, kSeverityError, kDisplayByFocus);
  if (!formGiven) addressForm = range.Start().AddressRef().SpaceKind();
  ListDisassembly(range, addressForm);
}

void BindDisassemblyActions() {
  ActionTable::Bind(kSlotListFormCount, &SetListFormCount, "SetListFormCount");
  ActionTable::Bind(kSlotListFormBytes, &SetListFormBytes, "SetListFormBytes");
  ActionTable::Bind(kSlotDisassemble, &DisassembleCommand, "DisassembleCommand");
  ActionTable::Bind(kSlotDisassemblyRange, &BuildDisassemblyRange, "DisassemblyRange");
  ActionTable::Bind(kSlotDisassemblyStart, &CheckDisassemblyStart, "DisassemblyStart");
}

}  // namespace zentor
