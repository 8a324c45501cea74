#include "symbols/address_lookup.h"

#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/source_location.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_index.h"
#include "symbols/symbol_lookup.h"

#include "core/dv_error.h"
#include "core/frame_list.h"
#include "core/value_display.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace zentor {
namespace {

// Type chains (arrays of arrays, members of members) deeper than this can only be a
// type that refers to itself.
constexpr uint32_t kDeepestTypePath = 64;
// Enclosing-scope chains longer than this can only be a damaged chain.
constexpr uint32_t kDeepestScopeNesting = 1024;

PageCache& Cache() { return GetCurrentSymbolContext()->Cache(); }

uint32_t RecordTypeAt(RecordHandle handle) {
  if (handle.IsNone()) return 0xFFFFFFFFu;
  return RecordView::Open(Cache(), handle, kBareRecordSize, RecordAccess::Read).U32At(0);
}

bool Inside(const AddressDescriptor& address, const AddressDescriptor& start, const OrdinalValue& length) {
  if (address.IsNull() || start.IsNull() || length == 0u) return false;
  return address.IsWithinLength(start, length) != kOutsideRange;
}

uint32_t SymbolCategory(uint32_t typeIndex) { return GetTypeEntry(typeIndex).Category(); }

RWCString DecimalText(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  return RWCString(text);
}

// The state of one nearest-symbol search.
struct NearestSearch {
  AddressDescriptor m_address;
  AddressNames* m_names = nullptr;
  OrdinalValue m_best = OrdinalValue::AllOnes;
  // No symbol farther than this is the answer (SymbolIndexes::NearestFixedBound).
  OrdinalValue m_bound = OrdinalValue::AllOnes;
  RecordHandle m_bestSymbol;
  RecordHandle m_bestProcedure;
  ModuleDescriptor* m_bestModule = nullptr;
  bool m_foundInGlobal = false;
  bool m_done = false;
  uint32_t m_isCode = 0;
  // The frame the frame-relative candidates are resolved for: found at the first such
  // candidate, and the same for all of one search.
  std::optional<AddressPair> m_frame;
};

// One symbol record of a pass (a module pass, or the global pass when `passModule`
// is null). Frame-relative symbols count only inside their scope; the location is
// resolved for the frame and its distance to the address taken (a register only at
// distance 0, a symbol above the address never). A symbol not farther than the best becomes the best (of equal ones the
// later), unless it lies farther below the address than its module reaches. At
// distance 0 the names are filled and the symbol's kind decides whether the search
// ends: a procedure, a data symbol and a label end it, except a label whose name
// begins with '?', for which a better name is looked for.
void Consider(NearestSearch& search, ModuleDescriptor* passModule, const AddressCandidate& candidate) {
  AddressExtent location;
  uint32_t typeIndex = 0;
  {
    const SymbolRecordView record = SymbolRecordView::At(Cache(), candidate.m_record);
    location = record.Location();
    typeIndex = record.TypeIndex();
  }
  if (IsFrameRelative(location) && !candidate.m_inside) return;
  // A static location is active and stays as it is.
  uint32_t active = 1;
  if (IsFrameRelative(location)) {
    if (!search.m_frame.has_value()) search.m_frame = SelectedOrCurrentFrame();
    ResolveFrameRelativeLocation(location, active, *search.m_frame);
  }
  if (location.m_address.IsNull()) return;
  const OrdinalValue distance = DistanceTo(location.m_address, search.m_address);
  if (location.m_address.IsRegister() && distance != 0u) return;
  // A symbol above the address (or not comparable with it) has no distance to it: it
  // never names the address, not even when nothing else does.
  if (distance == OrdinalValue::AllOnes) return;
  if (distance > search.m_best) return;
  ModuleDescriptor* module = passModule;
  if (passModule == nullptr) {
    DVErrorCode ignored;
    module = FindModuleAtAddress(location.m_address, ignored);
  }
  if (module != nullptr && distance > module->Extent()) return;
  search.m_best = distance;
  search.m_bestSymbol = candidate.m_record;
  // A global symbol carries no procedure of a module pass with it.
  search.m_bestModule = module;
  search.m_bestProcedure = passModule != nullptr ? candidate.m_enclosing : RecordHandle();
  search.m_foundInGlobal = passModule == nullptr;
  if (distance != 0u) return;
  const bool globalPass = passModule == nullptr;
  FillAddressNames(globalPass, module != nullptr ? module->NameText() : RWCString(), candidate.m_enclosing,
                   candidate.m_record, *search.m_names);
  const uint32_t category = SymbolCategory(typeIndex);
  if (category == kTypeProcedure) {
    search.m_isCode = 1;
    search.m_done = true;
  } else if (category == kTypeLabel) {
    search.m_isCode = 1;
    const RWCString& label = globalPass ? search.m_names->m_procedure : search.m_names->m_label;
    search.m_done = label.length() == 0 || label.data()[0] != '?';
  } else {
    search.m_isCode = 0;
    search.m_done = true;
  }
}

// A pass over a chain, walked as the Parts walk it: blocks and procedures open scopes
// (inside: the scope address lies in them), scope ends close them; every symbol
// record is a candidate.
void WalkPass(NearestSearch& search, ModuleDescriptor* passModule, RecordHandle first,
              const AddressDescriptor& scope) {
  struct Saved {
    RecordHandle m_enclosing;
    bool m_inside;
  };
  std::vector<Saved> saved;
  RecordHandle enclosing;
  bool inside = false;
  ChainWalk walk(Cache(), first);
  while (!search.m_done) {
    RecordHandle handle;
    uint32_t type = 0;
    AddressDescriptor start;
    OrdinalValue length;
    {
      const RecordView view = walk.Next();
      if (view.IsNull()) return;
      type = view.U32At(0);
      handle = view.Handle();
      ReadScopeExtent(view, start, length);
    }
    switch (type) {
      case kBlockRecordType:
      case kProcedureRecordType:
        saved.push_back({enclosing, inside});
        inside = Inside(scope, start, length);
        enclosing = handle;
        break;
      case kSymbolRecordType:
        Consider(search, passModule, AddressCandidate{handle, enclosing, inside});
        break;
      case kScopeEndRecordType:
        if (!saved.empty()) {
          enclosing = saved.back().m_enclosing;
          inside = saved.back().m_inside;
          saved.pop_back();
        }
        break;
      default:
        break;
    }
  }
}

// A pass: the index's candidates in record order, or the walk when the index is off.
void SearchPass(NearestSearch& search, ModuleDescriptor* passModule, RecordHandle first,
                const AddressDescriptor& scope) {
  // The candidates' list is kept from one pass to the next (every search makes a pass
  // for each module); a pass begun while another still goes through the kept list
  // (none does: considering a candidate looks nothing up by address) takes its own.
  static std::vector<AddressCandidate> kept;
  static bool keptInUse = false;
  std::vector<AddressCandidate> own;
  const bool useKept = !keptInUse;
  std::vector<AddressCandidate>& candidates = useKept ? kept : own;
  struct KeptRelease {
    bool m_active;
    ~KeptRelease() {
      if (m_active) keptInUse = false;
    }
  } release{useKept};
  keptInUse = true;
  const OrdinalValue best = search.m_best < search.m_bound ? search.m_best : search.m_bound;
  if (!SymbolIndexes::AddressCandidates(passModule, search.m_address, scope, best, candidates)) {
    WalkPass(search, passModule, first, scope);
    return;
  }
  for (const AddressCandidate& candidate : candidates) {
    Consider(search, passModule, candidate);
    if (search.m_done) return;
  }
}

// The nearest symbol of a type category at or below the address on a chain (of equal
// ones the first; an exact one ends the walk): the labels of a module for the label
// search, the code symbols of the global list for the procedure search, which takes
// only those within their module's reach.
RecordHandle NearestOfCategory(RecordHandle first, uint32_t category, bool withinModuleReach,
                               const AddressDescriptor& address, OrdinalValue& distance) {
  RecordHandle found;
  distance = OrdinalValue::AllOnes;
  ChainWalk walk(Cache(), first);
  while (distance != 0u) {
    RecordHandle handle;
    AddressExtent location;
    uint32_t typeIndex = 0;
    {
      const RecordView view = walk.Next();
      if (view.IsNull()) break;
      if (view.U32At(0) != kSymbolRecordType) continue;
      handle = view.Handle();
      location = AddressExtent::ReadFrom(view, SymbolRecordLayout::kLocation);
      typeIndex = view.U32At(SymbolRecordLayout::kTypeIndex) & ~SymbolRecordLayout::kUntranslatedBit;
    }
    if (SymbolCategory(typeIndex) != category) continue;
    const OrdinalValue here = DistanceTo(location.m_address, address);
    if (!(here < distance)) continue;
    if (withinModuleReach) {
      DVErrorCode ignored;
      const ModuleDescriptor* module = FindModuleAtAddress(location.m_address, ignored);
      if (module != nullptr && here > module->Extent()) continue;
    }
    found = handle;
    distance = here;
  }
  return found;
}

bool AppendArrayElementPath(const ModuleDescriptor* module, RWCString& text, OrdinalValue& offset,
                            uint32_t& typeIndex) {
  const TypeEntryView array = GetTypeEntry(typeIndex);
  if (array.Reference() == RecordHandle::kNone) return false;
  const uint32_t element = ArrayTypeRecordView::At(Cache(), RecordHandle(array.Reference())).ElementType();
  const uint32_t elementSize = GetTypeEntry(element).Size();
  if (!(offset < array.Size()) || elementSize == 0) return false;
  const int64_t index = static_cast<int64_t>((offset / elementSize).Low()) + ArrayLowerBound(typeIndex, module);
  offset = offset % elementSize;
  text += "[";
  text += DisplayIntegerText(MakeDisplayInteger_Int32(static_cast<int32_t>(index)));
  text += "]";
  typeIndex = element;
  return true;
}

// The member that holds the offset: the first that begins exactly there, else the one
// that begins last below it (of equal beginnings the first); in a union the first.
bool AppendAggregateMemberPath(RWCString& text, OrdinalValue& offset, uint32_t& typeIndex) {
  const bool isUnion = GetTypeEntry(typeIndex).Category() == kTypeUnion;
  const std::vector<MemberPlace> places = MemberPlaces(typeIndex, isUnion ? kFieldOfUnion : kFieldOfStructure);
  int64_t chosen = -1;
  for (size_t i = 0; i < places.size(); ++i) {
    if (isUnion) {
      chosen = 0;
      break;
    }
    if (places[i].m_offset > offset) break;
    if (places[i].m_offset == offset) {
      chosen = static_cast<int64_t>(i);
      break;
    }
    if (chosen < 0 || places[i].m_offset > places[static_cast<size_t>(chosen)].m_offset) chosen = static_cast<int64_t>(i);
  }
  // A member before the offset must exist: an aggregate whose first member begins
  // beyond it ends the path.
  if (chosen < 0) return false;
  const MemberPlace& place = places[static_cast<size_t>(chosen)];
  text += ".";
  text += MemberNameByOrdinal(typeIndex, static_cast<uint32_t>(chosen) + 1);
  offset = offset - place.m_offset;
  typeIndex = place.m_type;
  return true;
}

}  // namespace

OrdinalValue DistanceTo(const AddressDescriptor& location, const AddressDescriptor& address) {
  // A symbol without an address (a damaged file can give a label or procedure none) is
  // at no distance from anything: it is never the nearest one.
  if (location.IsNull() || address.IsNull()) return OrdinalValue::AllOnes;
  switch (location.Compare(address)) {
    case kAddressEqual:
      return OrdinalValue();
    case kAddressLess:
      return address - location;
    default:
      return OrdinalValue::AllOnes;
  }
}

// The nearest symbol:
// 1. A program must be loaded and hold modules or a global list (324, 325).
// 2. Each module with records is searched, then the global list, until an exact match
//    ends the search.
// 3. The offset is the best distance.
// 4. Without an exact match the procedure that holds the address is preferred; failing
//    that the best symbol is made current and named, data with its member path.
// 5. An exact match is made current (a global code symbol is replaced by the procedure
//    search); code gets its line, data its member path.
void FindSymbolAtAddress(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                         OrdinalValue& offset, OrdinalValue& procedureInfo, uint32_t& isCode) {
  status.SetOkay();
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (loader == nullptr || loader->ProgramLoaded() == 0) {
    status.Set(kMsgNoProgramLoaded, kSeverityError);
    return;
  }
  const RecordHandle globals = loader->GlobalChainHead();
  if (loader->Modules().Count() == 0 && globals.IsNone()) {
    status.Set(kMsgProgramSymbolsNotLoaded, kSeverityError);
    return;
  }
  NearestSearch search;
  search.m_address = address;
  search.m_names = &names;
  search.m_bound = SymbolIndexes::NearestFixedBound(address);
  const AddressDescriptor scope = GetCurrentSymbolContext()->ScopeAddress();
  const ModuleCollection& modules = loader->Modules();
  for (uint32_t i = 0; i < modules.Count() && !search.m_done; ++i) {
    auto* module = dynamic_cast<ModuleDescriptor*>(modules.ModuleAt(i));
    if (module == nullptr || module->FirstRecord().IsNone()) continue;
    SearchPass(search, module, module->FirstRecord(), scope);
  }
  if (!search.m_done && !globals.IsNone()) SearchPass(search, nullptr, globals, scope);
  offset = search.m_best;
  isCode = search.m_isCode;

  const auto makeBestCurrent = [&] {
    SetLookupTarget(search.m_bestModule);
    if (RecordTypeAt(search.m_bestProcedure) == kProcedureRecordType) SetCurrentScopeRecord(search.m_bestProcedure);
    SetCurrentSymbolRecord(search.m_bestSymbol);
  };
  const auto appendPath = [&] {
    AppendMemberPath(search.m_bestModule, names.m_variable, offset, CurrentEntry().m_symbol.m_typeIndex);
  };
  if (!search.m_done) {
    FindProcedureAtAddress(status, address, names, offset, procedureInfo);
    if (status.IsOkay()) {
      isCode = 1;
      if (const ModuleDescriptor* module = CurrentEntry().Target()) names.m_module = module->NameText();
      return;
    }
    if (search.m_bestSymbol.IsNone()) return;
    status.SetOkay();
    offset = search.m_best;
    makeBestCurrent();
    FillAddressNames(search.m_foundInGlobal,
                     search.m_bestModule != nullptr ? search.m_bestModule->NameText() : RWCString(),
                     search.m_bestProcedure, search.m_bestSymbol, names);
    const uint32_t category = SymbolCategory(CurrentEntry().m_symbol.m_typeIndex);
    isCode = category == kTypeProcedure || category == kTypeLabel ? 1 : 0;
    if (isCode == 0) appendPath();
    return;
  }
  if (!search.m_foundInGlobal) {
    makeBestCurrent();
  } else if (isCode == 0) {
    SetCurrentSymbolRecord(search.m_bestSymbol);
  } else {
    FindProcedureAtAddress(status, address, names, offset, procedureInfo);
  }
  if (CurrentEntry().m_symbolSet == 0) return;
  if (isCode != 0) {
    // A code symbol without line information is still the answer.
    DVErrorCode lineStatus;
    AddressLineText(lineStatus, address, names, procedureInfo);
  }
  appendPath();
}

AddressAnswer SymbolAtAddress(const AddressDescriptor& address) {
  AddressAnswer answer;
  FindSymbolAtAddress(answer.m_status, address, answer.m_names, answer.m_offset, answer.m_procedureInfo,
                      answer.m_isCode);
  return answer;
}

// The procedure search:
// 1. The module of the address (324 and 325 as they are); its records, or the global
//    list when it has none (326 without one) or no module holds the address (335
//    without one).
// 2. The first procedure record that holds the address (the outermost of nested
//    ones); in the global list the nearest code symbol at or below it.
// 3. Found: the line text follows, and the nearest label when there is no line or the
//    address is the procedure's first byte.
void FindProcedureAtAddress(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                            OrdinalValue& offset, OrdinalValue& procedureInfo) {
  status.SetOkay();
  ModuleDescriptor* module = FindModuleAtAddress(address, status);
  if (status.Number() == kMsgNoProgramLoaded || status.Number() == kMsgProgramSymbolsNotLoaded) return;
  status.SetOkay();
  const RecordHandle globals = GlobalChainHead();
  bool found = false;
  if (module != nullptr) {
    SetLookupTarget(module);
    if (module->FirstRecord().IsNone() && globals.IsNone()) {
      status.Set(kMsgModuleSymbolsNotLoaded, kSeverityError);
      return;
    }
    RecordHandle holding;
    if (SymbolIndexes::FirstProcedureHolding(*module, address, holding)) {
      found = !holding.IsNone() && ProcedureHoldsAddress(holding, *module, address, names, offset);
    } else {
      ChainWalk walk(Cache(), module->FirstRecord());
      for (;;) {
        RecordHandle procedure;
        {
          const RecordView view = walk.Next();
          if (view.IsNull()) break;
          if (view.U32At(0) != kProcedureRecordType) continue;
          procedure = view.Handle();
        }
        if (ProcedureHoldsAddress(procedure, *module, address, names, offset)) {
          found = true;
          break;
        }
      }
    }
  } else if (globals.IsNone()) {
    status.Set(kMsgSymbolNotKnown, kSeverityError);
    return;
  }
  if (!found && !globals.IsNone()) {
    OrdinalValue distance;
    RecordHandle code;
    if (!SymbolIndexes::NearestGlobalOfCategory(kTypeProcedure, address, code, distance)) {
      code = NearestOfCategory(globals, kTypeProcedure, true, address, distance);
    }
    if (!code.IsNone()) {
      names.m_procedure = SymbolRecordView::At(Cache(), code).Name().NameText(Cache());
      offset = distance;
      found = true;
    }
  }
  if (!found) {
    status.Set(kMsgSymbolNotKnown, kSeverityError);
    return;
  }
  DVErrorCode lineStatus;
  AddressLineText(lineStatus, address, names, procedureInfo);
  if (!lineStatus.IsOkay() || offset == 0u) {
    DVErrorCode labelStatus;
    OrdinalValue labelInfo;
    FindNearestLabel(labelStatus, address, names, labelInfo);
  }
}

bool ProcedureHoldsAddress(RecordHandle procedure, const ModuleDescriptor& module, const AddressDescriptor& address,
                           AddressNames& names, OrdinalValue& offset) {
  AddressDescriptor entry;
  {
    const ProcedureRecordView record = ProcedureRecordView::At(Cache(), procedure);
    if (!Inside(address, record.Entry(), record.Length())) return false;
    entry = record.Entry();
  }
  names.m_module = module.NameText();
  names.m_procedure = RWCString();
  ProcedurePathText(procedure, false, false, true, names.m_procedure);
  offset = address - entry;
  SetCurrentScopeRecord(procedure);
  return true;
}

void FindNearestLabel(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                      OrdinalValue& labelInfo) {
  status.SetOkay();
  ModuleDescriptor* module = FindModuleAtAddress(address, status);
  if (module == nullptr) return;
  if (module->FirstRecord().IsNone()) {
    status.Set(kMsgModuleSymbolsNotLoaded, kSeverityError);
    return;
  }
  OrdinalValue bestDistance;
  RecordHandle best;
  if (!SymbolIndexes::NearestInModuleOfCategory(*module, kTypeLabel, address, best, bestDistance)) {
    best = NearestOfCategory(module->FirstRecord(), kTypeLabel, false, address, bestDistance);
  }
  if (best.IsNone()) {
    status.Set(kMsgSymbolNotKnown, kSeverityError);
    return;
  }
  SetCurrentSymbolRecord(best);
  names.m_label = SymbolRecordView::At(Cache(), best).Name().NameText(Cache());
  labelInfo = bestDistance;
}

// The names of a found symbol. In the global pass a procedure or label names the
// procedure, anything else the variable and the label. In a module pass the module
// and the enclosing procedures are named; a label names the label unless it only
// repeats the procedure's name, other data the variable.
void FillAddressNames(bool globalPass, const RWCString& moduleName, RecordHandle procedure, RecordHandle symbol,
                      AddressNames& names) {
  RWCString name;
  uint32_t typeIndex = 0;
  {
    const SymbolRecordView record = SymbolRecordView::At(Cache(), symbol);
    name = record.Name().NameText(Cache());
    typeIndex = record.TypeIndex();
  }
  const uint32_t category = SymbolCategory(typeIndex);
  const bool code = category == kTypeProcedure || category == kTypeLabel;
  if (globalPass) {
    if (code) {
      names.m_procedure = name;
    } else {
      names.m_variable = name;
      names.m_label = name;
    }
    return;
  }
  names.m_module = moduleName;
  names.m_procedure = RWCString();
  ProcedurePathText(procedure, false, false, true, names.m_procedure);
  if (category == kTypeProcedure) return;
  if (category == kTypeLabel) {
    if (name != names.m_procedure) names.m_label = name;
    return;
  }
  names.m_variable = name;
}

void AddressLineText(DVErrorCode& status, const AddressDescriptor& address, AddressNames& names,
                     OrdinalValue& procedureInfo) {
  status.SetOkay();
  const AddressLineInfo info(address, nullptr);
  if (info.ModuleName().length() != 0 && !info.IsFound()) {
    status.Set(kMsgLinesNotLoaded, kSeverityError);
    return;
  }
  procedureInfo = info.Offset();
  if (info.IsFound()) names.m_variable = DecimalText(static_cast<uint32_t>(info.LineValue()));
}

void AppendMemberPath(const ModuleDescriptor* module, RWCString& text, OrdinalValue& offset, uint32_t typeIndex) {
  for (uint32_t depth = 0;; ++depth) {
    if (depth > kDeepestTypePath) throw DVError(kMsgInvalidTypeRecord, kSeverityInternal, kDisplayByFocus);
    CurrentEntry().m_symbol.m_typeIndex = typeIndex;
    const uint32_t category = SymbolCategory(typeIndex);
    bool more = false;
    if (category == kTypeArray) {
      more = AppendArrayElementPath(module, text, offset, typeIndex);
    } else if (category == kTypeStructure || category == kTypeUnion || category == kTypeClass) {
      more = AppendAggregateMemberPath(text, offset, typeIndex);
    }
    if (!more) return;
  }
}

void ProcedurePathText(RecordHandle procedure, bool leadingDot, bool trailingDot, bool trailingOnlyIfEmpty,
                       RWCString& text) {
  std::vector<RWCString> path;
  RecordHandle at = procedure;
  for (uint32_t depth = 0; !at.IsNone(); ++depth) {
    if (depth > kDeepestScopeNesting) throw DVError(kMsgSymbolAnomaly, kSeverityInternal, kDisplayByFocus);
    const uint32_t type = RecordTypeAt(at);
    if (type == kProcedureRecordType) {
      const ProcedureRecordView record = ProcedureRecordView::At(Cache(), at);
      path.push_back(record.Name().NameText(Cache()));
      at = record.Enclosing();
    } else if (type == kBlockRecordType) {
      at = BlockRecordView::At(Cache(), at).Enclosing();
    } else {
      break;
    }
  }
  if (leadingDot && !path.empty()) text += ".";
  for (size_t i = path.size(); i > 0; --i) {
    text += path[i - 1];
    if (i > 1) text += ".";
  }
  if (trailingDot && (!path.empty() || !trailingOnlyIfEmpty)) text += ".";
}

// ---- AddressLineInfo

AddressLineInfo::AddressLineInfo(const AddressDescriptor& address, ModuleDescriptor* module) : m_address(address) {
  if (module == nullptr && !address.IsNull()) {
    DVErrorCode ignored;
    module = GetCurrentSymbolContext()->ModuleAtAddress(address, ignored);
  }
  if (module == nullptr) return;
  m_moduleKey = module->Name();
  m_moduleName = module->NameText();
  GetCurrentSymbolContext()->Loader().LineAt(*module, address, m_line, m_offset);
  m_secondOffset = m_offset;
  m_found = m_line.IsEmpty() ? 0 : 1;
}

AddressDescriptor AddressLineInfo::LineStart() const {
  if (!IsFound() || m_offset == 0u || m_address.IsNull()) return m_address;
  return m_address - m_offset;
}

RWCString LineInfoText(const AddressLineInfo& info) {
  if (info.ModuleName().length() == 0) return info.Address().Text();
  RWCString text = info.ModuleName();
  text += ":";
  if (info.IsFound()) {
    text += "#";
    text += DecimalText(static_cast<uint32_t>(info.LineValue()));
  }
  if (info.Offset() != 0u) {
    text += " + ";
    text += AddressOffsetText(info.Offset());
  }
  return text;
}

}  // namespace zentor
