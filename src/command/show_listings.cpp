#include "command/show_listings.h"

#include <cstring>
#include <string>

#include "command/command_scanner.h"
#include "command/debug_objects.h"
#include "command/debug_variables.h"
#include "command/type_words.h"
#include "console/output_writer.h"
#include "console/pager.h"
#include "core/dv_error.h"
#include "core/dvp_types.h"
#include "core/token_record.h"
#include "core/value_stack.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_handle.h"
#include "symbols/symbol_listings.h"
#include "symbols/symbol_lookup.h"

namespace zentor {
namespace {

enum class ShowLister { kSymbols, kDebugVariables };

// The show command being parsed and run.
struct ShowListState {
  uint16_t selector = kShowEverything;
  uint8_t scope = 0;  // 0 global symbols, 1 the current scope
  ShowLister lister = ShowLister::kSymbols;
  bool headerPrinted = false;
  BreakpointListing breakpoints = nullptr;
};

ShowListState g_show;

constexpr uint16_t kListingWidth = 83;
constexpr int32_t kAnyCategory = -1;

struct ShowTypeFilter {
  uint8_t typeCode;
  int32_t category;
  uint32_t dvpType;
};

// Type words by their codes and the symbols they select. The string type words
// select the character symbols, as "char" does.
constexpr ShowTypeFilter kShowTypeFilterTable[] = {
    {2, kSymbolScalar, 2},   {9, kSymbolScalar, 8},    {10, kSymbolScalar, 9},   {11, kSymbolScalar, 10},
    {12, kSymbolScalar, 11}, {13, kSymbolScalar, 12},  {14, kSymbolScalar, 13},  {15, kSymbolScalar, 14},
    {16, kSymbolScalar, 15}, {17, kSymbolScalar, 16},  {18, kSymbolScalar, 17},  {19, kSymbolScalar, 18},
    {24, kSymbolScalar, 19}, {25, kSymbolScalar, 20},  {26, kSymbolScalar, 21},  {106, kSymbolScalar, 6},
    {128, kSymbolScalar, 6}, {127, kSymbolScalar, 6},  {40, kSymbolEnumeration, 0}, {31, kSymbolArray, 0},
    {32, kSymbolStructure, 0}, {42, kSymbolUnion, 0},  {33, kSymbolProcedure, 0}, {34, kSymbolLabel, 0},
    {43, kSymbolPointer, 0}, {44, kSymbolPointer, 0},  {45, kSymbolPointer, 0},  {46, kSymbolPointer, 0},
    {47, kSymbolPointer, 0}, {48, kSymbolPointer, 0},  {49, kSymbolPointer, 0},  {50, kSymbolPointer, 0},
};

const ShowTypeFilter* FindFilter(uint16_t selector) {
  for (const ShowTypeFilter& row : kShowTypeFilterTable) {
    if (row.typeCode == selector) return &row;
  }
  return nullptr;
}

void ThrowIfNotOkay(const DVErrorCode& status) {
  if (!status.IsOkay()) throw DVError(status.Number(), status.Severity(), kDisplayByFocus);
}

// What a member of a filtered listing is qualified by: its full name, or for a full
// name that begins with ':' the text between its first '.' and the separator before
// the short name.
std::string Qualifier(const SymbolHandle& member) {
  const RWCString full = member.FullName();
  const std::string name(full.data(), full.length());
  if (name.empty() || name[0] != ':') return name;
  const RWCString shortName = member.ShortName();
  if (name.size() < shortName.length() + 1) ZENTOR_INTERNAL_ERROR();
  const std::string module = name.substr(0, name.size() - shortName.length() - 1);
  const std::size_t dot = module.find('.');
  return dot == std::string::npos ? std::string() : module.substr(dot + 1);
}

void ListSymbolMembers(const SymbolHandle& handle, uint32_t count, uint8_t indentation, int32_t category,
                       uint32_t dvpType) {
  for (uint32_t i = 0; i < count; ++i) {
    const SymbolHandle member = SymbolHandle::SymbolHandle_Member(handle, i);
    SymbolDescription type;
    if (!member.Status().IsOkay() || !member.TypeName(type).IsOkay()) return;
    const auto memberCategory = static_cast<int32_t>(type.m_category);
    const bool matches = category == kAnyCategory ||
                         (memberCategory == category && (category != kSymbolScalar || type.m_detail == dvpType));
    if (matches) {
      OutputWriter::TabToColumn(indentation);
      if (category != kAnyCategory) {
        const std::string qualifier = Qualifier(member);
        if (!qualifier.empty()) OutputWriter::Printf("%s: ", qualifier);
      }
      if (type.m_storageClass[0] != '\0') OutputWriter::Printf("%s ", type.m_storageClass);
      OutputWriter::Printf("%s%s%s\n", type.m_typeText, member.ShortName(), type.m_typeSuffix);
    }
    const bool descend = (category == kAnyCategory && memberCategory != kSymbolLabel &&
                          memberCategory != kSymbolScalar && memberCategory != kSymbolEnumeration &&
                          memberCategory != kSymbolOtherType) ||
                         memberCategory == kSymbolModule || memberCategory == kSymbolProcedure;
    const bool hasMembers = memberCategory == kSymbolProcedure || memberCategory == kSymbolStructure ||
                            memberCategory == kSymbolUnion || memberCategory == kSymbolClass;
    if (descend && hasMembers) {
      const uint8_t deeper = category == kAnyCategory ? static_cast<uint8_t>(indentation + 3) : indentation;
      ListSymbolMembers(member, member.ReadValue(), deeper, category, dvpType);
    }
  }
}

DVErrorCode ListSymbolScope(bool global, int32_t category, uint32_t dvpType) {
  SymbolContext* context = GetCurrentSymbolContext();
  const SymbolHandle handle =
      global ? SymbolHandle::SymbolHandle_FromRecord(context, nullptr,
                                                     CurrentEntry().HasTarget() ? kLevelModule : kLevelProgram)
             : SymbolHandle::SymbolHandle_AtAddress(context, context->ScopeAddress(), kLevelProcedure);
  const DVErrorCode status = handle.Status();
  if (!status.IsOkay()) return status;
  const PagedSection paged;
  SymbolDescription type;
  DVErrorCode described = handle.TypeName(type);
  if (!described.IsOkay()) return described;
  const uint32_t count = type.m_category == kSymbolPointer ? 1 : handle.ReadValue();
  ListSymbolMembers(handle, count, 2, category, dvpType);
  return DVErrorCode();
}

void ListSymbols() {
  const uint16_t selector = g_show.selector;
  const bool global = g_show.scope == 0;
  DVErrorCode status;
  if (selector == kShowEverything) {
    status = ListSymbolScope(global, kAnyCategory, 0);
  } else if (selector == kShowLines && global) {
    ListModuleLines(kListingWidth);
  } else if (selector == kShowModules) {
    ListModules(status, kListingWidth);
  } else {
    const ShowTypeFilter* filter = FindFilter(selector);
    if (filter == nullptr) throw DVError(kMsgTypeIncompatibleWithDirectory, kSeverityError, kDisplayByFocus);
    status = ListSymbolScope(global, filter->category, filter->dvpType);
  }
  ThrowIfNotOkay(status);
}

// The dotted leader from after the name to the name column.
void WriteLeader() {
  OutputWriter::PutChar(' ');
  while (OutputWriter::OutputColumn() <= NameColumnWidth() && OutputWriter::OutputColumn() < 71) {
    OutputWriter::PutChar(OutputWriter::OutputColumn() % 2 == 1 ? '.' : ' ');
  }
  if (OutputWriter::OutputColumn() % 2 == 0) OutputWriter::PutChar(' ');
}

void ShowDebugEntry(const char* name, const KeywordEntry& entry, const char* typeName, bool everything) {
  if (!g_show.headerPrinted) {
    OutputWriter::WriteString("--- Debug Var's ---");
    OutputWriter::FreshLine();
    g_show.headerPrinted = true;
  }
  OutputWriter::WriteString(name);
  const bool alias = entry.token == kTypeTokenAlias;
  if (everything || alias) {
    WriteLeader();
    if (!alias) {
      OutputWriter::WriteString(typeName);
    } else if (entry.value == kNullMemoryFile) {
      OutputWriter::WriteString(" error null pointer");
    } else {
      const std::string text = AliasText(entry.value);
      if (text.size() > 1) OutputWriter::WriteString(std::string_view(text).substr(1));
    }
  }
  OutputWriter::PutChar('\n');
}

}  // namespace

BreakpointListing InstallBreakpointListing(BreakpointListing listing) {
  const BreakpointListing previous = g_show.breakpoints;
  g_show.breakpoints = listing;
  return previous;
}

void ListDebugVariables(uint16_t selector) {
  if (selector != kShowEverything && (selector & kShowSectionBit) != 0) {
    if (g_show.breakpoints != nullptr) g_show.breakpoints(static_cast<uint8_t>(selector));
    return;
  }
  if (selector == kShowEverything && g_show.breakpoints != nullptr) g_show.breakpoints(255);
  const bool everything = selector == kShowEverything;
  const bool byElement = selector == 106 || selector == 127 || selector == 128;
  uint16_t token = selector;
  if (!everything && !byElement) {
    const uint8_t typeToken = selector <= 0xFF ? TypeTokenOfCode(static_cast<uint8_t>(selector)) : 0;
    if (typeToken != 0) token = typeToken;
  }
  NameHashTable& table = CommandScanner::Keywords();
  KeywordEntryPool& entries = CommandScanner::KeywordEntries();
  table.ForEach([&](uint32_t id, bool&) {
    const KeywordEntry entry = entries.Get(id);
    if (!IsDebugObject(entry)) return;
    const char* typeName = DebugObjectTypeName(entry);
    bool matches = false;
    if (everything) {
      matches = typeName != nullptr;
    } else if (byElement) {
      matches = entry.token == kTypeTokenChar && DVPTypeCodeToSymbolTypeCode(entry.subcode) == selector;
    } else {
      matches = entry.token == token;
    }
    if (!matches) return;
    if (typeName == nullptr) throw DVError(kMsgInvalidShowDebugType, kSeverityError, kDisplayByFocus);
    char name[NameHashTable::kMaxNameLength + 1];
    uint16_t length = 0;
    table.CurrentName(&length, name, sizeof name);
    ShowDebugEntry(name, entry, typeName, everything);
  });
}

void ShowBegin() {
  BeginNestedSymbolLookup();
  CurrentEntry().m_targetSet = 0;
  CurrentEntry().m_targetModuleId = 0;
}

// The lookup entry saved by ShowBegin is put back also when the listing fails, so a
// failed show leaves no saved entry behind.
void ShowRun() {
  try {
    if (g_show.selector != kShowNothing) {
      if (g_show.lister == ShowLister::kDebugVariables) {
        ListDebugVariables(g_show.selector);
      } else {
        ListSymbols();
      }
    }
  } catch (...) {
    EndNestedSymbolLookup();
    throw;
  }
  EndNestedSymbolLookup();
}

void SelectShowKind() { g_show.selector = ValueStack::PopOrd2(); }

void SelectShowProcedures() {
  g_show.selector = ValueStack::PopOrd2();
  g_show.lister = ShowLister::kDebugVariables;
}

void SelectShowKindWide() {
  g_show.selector = static_cast<uint16_t>(ValueStack::PopOrd2() | kShowSectionBit);
  g_show.lister = ShowLister::kDebugVariables;
}

void SelectShowAll() { g_show.selector = kShowEverything; }

void ShowDebugVariables() {
  g_show.lister = ShowLister::kDebugVariables;
  g_show.headerPrinted = false;
}

void ShowSymbols() {
  g_show.scope = 0;
  g_show.lister = ShowLister::kSymbols;
}

void ShowPublics() {
  g_show.scope = 1;
  g_show.lister = ShowLister::kSymbols;
}

}  // namespace zentor
