#include "symbols/symbol_index.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>

#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "symbols/address_lookup.h"
#include "symbols/symbol_lookup.h"

#include "core/dv_error.h"

namespace zentor {

// The symbol records of one pass of the nearest-symbol search, as the walk meets
// them: those at fixed memory places by place (and record order), those at other
// fixed places, and the frame-relative ones with the scope that encloses them.
struct AddressPassIndex {
  struct Fixed {
    uint32_t m_offset = 0;
    uint32_t m_order = 0;
    AddressDescriptor m_address;
    RecordHandle m_record;
    RecordHandle m_enclosing;
  };
  struct Framed {
    uint32_t m_order = 0;
    RecordHandle m_record;
    RecordHandle m_enclosing;
    AddressDescriptor m_start;
    OrdinalValue m_length;
    // A scope at a memory place: its kind and the offsets of its first and last byte
    // (the last as the target adds the length to the start), so that the scope
    // address is weighed without the target.
    bool m_byOffset = false;
    uint16_t m_kind = 0;
    uint32_t m_first = 0;
    uint32_t m_last = 0;
  };
  // The symbols of one category: positions in m_fixed (in its order) with the running
  // highest reach, and the other records of the category in record order.
  struct CategoryList {
    std::vector<size_t> m_fixed;
    std::vector<uint64_t> m_highestReach;
    std::vector<Fixed> m_others;
  };
  RecordHandle m_first;
  bool m_haveKind = false;
  uint16_t m_kind = 0;
  std::vector<Fixed> m_fixed;
  std::vector<Fixed> m_otherFixed;
  std::vector<Framed> m_framed;
  // When every framed symbol's scope is at a memory place of one kind: that kind and
  // the lowest first and highest last byte of those scopes.
  bool m_framedByOffset = true;
  uint16_t m_framedKind = 0;
  uint32_t m_framedFirst = UINT32_MAX;
  uint32_t m_framedLast = 0;
  // Frame-relative records outside every scope (only the category walk sees them).
  std::vector<Fixed> m_unscoped;
  // Frame-relative records inside a scope, at the place their own record names: the
  // category walk of a module weighs that place, as it weighs every symbol's.
  std::vector<Fixed> m_framedPlaces;
  // The procedure records in record order with their code ranges (as Framed, the
  // record in m_record): the procedure search's module pass takes the first that holds
  // the address.
  std::vector<Framed> m_procedures;
  // A module pass's lists by category (without reach), built for one key: the loader's
  // generation and type count, since a type entry's category may change while the
  // tables grow.
  uint64_t m_categoryKey = UINT64_MAX;
  std::unordered_map<uint32_t, CategoryList> m_moduleByCategory;

  // The global pass only, while the module ranges are regular and disjoint and no
  // module waits for its symbols: the highest offset each fixed memory place may name
  // (its module's range reaches that far above it; no limit outside every module), the
  // running highest of those, and the lists by category. Built for one key.
  bool m_reachBuilt = false;
  uint64_t m_reachKey = 0;
  bool m_reachUsable = false;
  std::vector<uint64_t> m_reach;
  std::vector<uint64_t> m_highestReach;
  std::unordered_map<uint32_t, CategoryList> m_byCategory;
};

// The module collection's code ranges by start, for modules whose range begins at a
// memory place; regular when every started module's range is such a place of one
// kind, disjoint when no two ranges share a place.
struct ModuleRangeIndex {
  struct Range {
    uint32_t m_start = 0;
    uint32_t m_last = 0;
    uint32_t m_position = 0;
    ModuleDescriptor* m_module = nullptr;
  };
  bool m_built = false;
  uint32_t m_generation = 0;
  uint32_t m_count = 0;
  bool m_regular = false;
  bool m_disjoint = false;
  bool m_haveKind = false;
  uint16_t m_kind = 0;
  bool m_waiting = false;  // a module still waits for its symbols
  std::vector<Range> m_ranges;
  std::vector<uint32_t> m_highestLast;
  // Each indexed module's place in m_ranges.
  std::unordered_map<const ModuleDescriptor*, size_t> m_rangeOf;
};

// What the indexes of one loader state hold, with the generation of the tables they
// were built from.
struct SymbolIndexData {
  uint32_t m_globalGeneration = 0xFFFFFFFFu;
  bool m_globalBuilt = false;
  // Upper-cased name -> global symbol records of that name in chain order (names
  // compare without regard to case when a key says so, so the folded name finds
  // every candidate).
  std::unordered_map<std::string, std::vector<RecordHandle>> m_globalsByName;

  uint32_t m_typesIndexed = 0;
  std::unordered_map<std::string, std::vector<uint32_t>> m_typesByName;

  // By module id; a module's records never change once written.
  std::unordered_map<uint32_t, std::shared_ptr<AddressPassIndex>> m_modulePasses;
  std::shared_ptr<AddressPassIndex> m_globalPass;
  uint32_t m_globalPassGeneration = 0xFFFFFFFFu;

  ModuleRangeIndex m_moduleRanges;
};

namespace {

bool g_enabled = true;

std::string Folded(const RWCString& text) {
  std::string folded(text.data(), text.length());
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

SymbolIndexData& DataOf(LoaderState& loader) {
  std::shared_ptr<SymbolIndexData>& data = loader.IndexData();
  if (data == nullptr) data = std::make_shared<SymbolIndexData>();
  return *data;
}

// The same walk as the global pass: every symbol record up to the first end.
void BuildGlobalNames(LoaderState& loader, SymbolIndexData& data) {
  PageCache& cache = GetCurrentSymbolContext()->Cache();
  data.m_globalsByName.clear();
  ChainWalk walk(cache, loader.GlobalChainHead());
  for (;;) {
    const RecordView view = walk.Next();
    if (view.IsNull()) break;
    if (view.U32At(0) != kSymbolRecordType) continue;
    const SymbolKey name = SymbolKey::ReadFrom(view, SymbolRecordLayout::kName);
    data.m_globalsByName[Folded(name.NameText(cache))].push_back(view.Handle());
  }
  data.m_globalGeneration = loader.GlobalsGeneration();
  data.m_globalBuilt = true;
}

bool Inside(const AddressDescriptor& address, const AddressDescriptor& start, const OrdinalValue& length) {
  if (address.IsNull() || start.IsNull() || length == 0u) return false;
  return address.IsWithinLength(start, length) != kOutsideRange;
}

AddressPassIndex::Framed FramedSymbol(uint32_t order, RecordHandle record, RecordHandle enclosing,
                                      const AddressDescriptor& start, const OrdinalValue& length) {
  AddressPassIndex::Framed framed{order, record, enclosing, start, length};
  if (start.IsNull() || start.IsRegister() || length == 0u) return framed;
  const TargetAddressRecord& first = start.Record();
  if (first.m_addressClass != kAddressClassMemory) return framed;
  const AddressDescriptor end = start + OrdinalValue(length - 1u);
  const TargetAddressRecord& last = end.Record();
  if (last.m_addressClass != kAddressClassMemory || last.m_addressKind != first.m_addressKind) return framed;
  framed.m_byOffset = true;
  framed.m_kind = first.m_addressKind;
  framed.m_first = first.m_offset;
  framed.m_last = last.m_offset;
  return framed;
}

// A procedure's code range for the procedure search. Its last byte is worked out as
// the walk's Inside works it out; when that fails here, the range is weighed by Inside
// itself when it is asked about, which fails there as the walk would.
AddressPassIndex::Framed ProcedureRange(uint32_t order, RecordHandle record, const AddressDescriptor& entry,
                                        const OrdinalValue& length) {
  try {
    return FramedSymbol(order, record, RecordHandle(), entry, length);
  } catch (const DVError&) {
    return AddressPassIndex::Framed{order, record, RecordHandle(), entry, length};
  }
}

// Whether a frame-relative symbol's scope holds the scope address: as Inside weighs
// it (the address at the start, or above the start and not above the last byte).
bool ScopeHolds(const AddressPassIndex::Framed& framed, const AddressDescriptor& scope) {
  if (!framed.m_byOffset || scope.IsNull()) return Inside(scope, framed.m_start, framed.m_length);
  const TargetAddressRecord& place = scope.Record();
  if (place.m_addressClass != kAddressClassMemory) return Inside(scope, framed.m_start, framed.m_length);
  if (place.m_addressKind != framed.m_kind) return false;
  return place.m_offset == framed.m_first || (place.m_offset > framed.m_first && place.m_offset <= framed.m_last);
}

// The same walk as a pass of the search: scopes opened by blocks and procedures and
// closed by scope ends; frame-relative symbols at module level never count.
std::shared_ptr<AddressPassIndex> BuildPassIndex(RecordHandle first) {
  auto index = std::make_shared<AddressPassIndex>();
  index->m_first = first;
  struct Open {
    RecordHandle m_enclosing;
    AddressDescriptor m_start;
    OrdinalValue m_length;
  };
  std::vector<Open> open;
  Open current;
  PageCache& cache = GetCurrentSymbolContext()->Cache();
  ChainWalk walk(cache, first);
  uint32_t order = 0;
  for (;; ++order) {
    const RecordView view = walk.Next();
    if (view.IsNull()) break;
    switch (view.U32At(0)) {
      case kBlockRecordType:
      case kProcedureRecordType:
        open.push_back(current);
        current = Open{view.Handle(), {}, {}};
        ReadScopeExtent(view, current.m_start, current.m_length);
        if (view.U32At(0) == kProcedureRecordType) {
          index->m_procedures.push_back(
              ProcedureRange(order, view.Handle(), current.m_start, current.m_length));
        }
        break;
      case kScopeEndRecordType:
        if (!open.empty()) {
          current = open.back();
          open.pop_back();
        }
        break;
      case kSymbolRecordType: {
        const AddressExtent location = AddressExtent::ReadFrom(view, SymbolRecordLayout::kLocation);
        if (IsFrameRelative(location)) {
          if (!current.m_enclosing.IsNone()) {
            index->m_framed.push_back(
                FramedSymbol(order, view.Handle(), current.m_enclosing, current.m_start, current.m_length));
            if (!location.m_address.IsNull()) {
              index->m_framedPlaces.push_back({0, order, location.m_address, view.Handle(), current.m_enclosing});
            }
          } else if (!location.m_address.IsNull()) {
            index->m_unscoped.push_back({0, order, location.m_address, view.Handle(), RecordHandle()});
          }
          break;
        }
        const AddressDescriptor& address = location.m_address;
        if (address.IsNull()) break;
        AddressPassIndex::Fixed fixed{0, order, address, view.Handle(), current.m_enclosing};
        const TargetAddressRecord& record = address.Record();
        if (record.m_addressClass == kAddressClassMemory && (!index->m_haveKind || record.m_addressKind == index->m_kind)) {
          index->m_haveKind = true;
          index->m_kind = record.m_addressKind;
          fixed.m_offset = record.m_offset;
          index->m_fixed.push_back(fixed);
        } else {
          index->m_otherFixed.push_back(fixed);
        }
        break;
      }
      default:
        break;
    }
  }
  std::sort(index->m_fixed.begin(), index->m_fixed.end(), [](const auto& a, const auto& b) {
    return a.m_offset != b.m_offset ? a.m_offset < b.m_offset : a.m_order < b.m_order;
  });
  for (const auto& framed : index->m_framed) {
    if (!framed.m_byOffset || (framed.m_kind != index->m_framed.front().m_kind)) {
      index->m_framedByOffset = false;
      break;
    }
    index->m_framedKind = framed.m_kind;
    index->m_framedFirst = std::min(index->m_framedFirst, framed.m_first);
    index->m_framedLast = std::max({index->m_framedLast, framed.m_first, framed.m_last});
  }
  return index;
}

// Whether an address is a memory place of a kind, and its offset.
bool MemoryPlaceOfKind(const AddressDescriptor& address, uint16_t kind, uint32_t& offset) {
  if (address.IsNull()) return false;
  const TargetAddressRecord& record = address.Record();
  if (record.m_addressClass != kAddressClassMemory || record.m_addressKind != kind) return false;
  offset = record.m_offset;
  return true;
}

// The module index, built again when the collection or a range changed. A module's
// last place is worked out as ModuleDescriptor::Holds works it out.
ModuleRangeIndex& ModuleRangesOf(LoaderState& loader) {
  ModuleRangeIndex& index = DataOf(loader).m_moduleRanges;
  const ModuleCollection& modules = loader.Modules();
  if (index.m_built && index.m_generation == loader.ModuleRangesGeneration() && index.m_count == modules.Count()) {
    return index;
  }
  index = ModuleRangeIndex();
  index.m_built = true;
  index.m_generation = loader.ModuleRangesGeneration();
  index.m_count = modules.Count();
  index.m_regular = true;
  for (uint32_t i = 0; i < modules.Count(); ++i) {
    auto* module = dynamic_cast<ModuleDescriptor*>(modules.ModuleAt(i));
    if (module == nullptr) continue;
    if (module->HasDeferredToken()) index.m_waiting = true;
    const AddressDescriptor& start = module->Start();
    if (start.IsNull()) continue;
    if (!index.m_haveKind) {
      index.m_haveKind = true;
      index.m_kind = start.Record().m_addressKind;
    }
    ModuleRangeIndex::Range range{0, 0, i, module};
    if (start.IsRegister() || !MemoryPlaceOfKind(start, index.m_kind, range.m_start)) {
      index.m_regular = false;
      continue;
    }
    const AddressDescriptor spaceEnd = start.SpaceEnd();
    const AddressDescriptor last = module->Extent() > OrdinalValue(spaceEnd - start) ? spaceEnd : start + module->Extent();
    if (!MemoryPlaceOfKind(last, index.m_kind, range.m_last) || range.m_last < range.m_start) {
      index.m_regular = false;
      continue;
    }
    index.m_ranges.push_back(range);
  }
  std::sort(index.m_ranges.begin(), index.m_ranges.end(), [](const auto& a, const auto& b) {
    return a.m_start != b.m_start ? a.m_start < b.m_start : a.m_position < b.m_position;
  });
  index.m_disjoint = true;
  uint32_t highest = 0;
  for (size_t i = 0; i < index.m_ranges.size(); ++i) index.m_rangeOf[index.m_ranges[i].m_module] = i;
  for (size_t i = 0; i < index.m_ranges.size(); ++i) {
    if (i > 0 && index.m_ranges[i].m_start <= highest) index.m_disjoint = false;
    highest = i == 0 ? index.m_ranges[i].m_last : std::max(highest, index.m_ranges[i].m_last);
    index.m_highestLast.push_back(highest);
  }
  return index;
}

// The first module in collection order whose range holds an offset, null for none.
ModuleDescriptor* ModuleHoldingOffset(const ModuleRangeIndex& index, uint32_t offset) {
  const ModuleRangeIndex::Range* best = nullptr;
  auto end = std::upper_bound(index.m_ranges.begin(), index.m_ranges.end(), offset,
                              [](uint32_t place, const auto& range) { return place < range.m_start; });
  for (size_t i = static_cast<size_t>(end - index.m_ranges.begin()); i > 0 && index.m_highestLast[i - 1] >= offset;
       --i) {
    const ModuleRangeIndex::Range& range = index.m_ranges[i - 1];
    if (range.m_last >= offset && (best == nullptr || range.m_position < best->m_position)) best = &range;
  }
  return best != nullptr ? best->m_module : nullptr;
}

uint64_t SaturatingReach(uint32_t offset, const OrdinalValue& extent) {
  const uint64_t wide = (static_cast<uint64_t>(extent.High()) << 32) | extent.Low();
  return wide > UINT64_MAX - offset ? UINT64_MAX : offset + wide;
}

// The reach of the global pass's fixed places (see AddressPassIndex), when the module
// search the walk makes for each of them has one answer and loads nothing: a program
// is loaded, the module ranges are regular and disjoint and no module waits for its
// symbols.
bool GlobalReachUsable(LoaderState& loader, AddressPassIndex& index) {
  if (loader.ProgramLoaded() == 0) return false;
  const ModuleRangeIndex& modules = ModuleRangesOf(loader);
  if (!modules.m_regular || !modules.m_disjoint || modules.m_waiting) return false;
  if (loader.Modules().Count() != 0 && modules.m_haveKind && index.m_haveKind && modules.m_kind != index.m_kind) {
    return false;
  }
  const uint64_t key = (static_cast<uint64_t>(loader.Generation()) << 32) | loader.ModuleRangesGeneration();
  if (index.m_reachBuilt && index.m_reachKey == key) return index.m_reachUsable;
  index.m_reachBuilt = true;
  index.m_reachKey = key;
  index.m_reachUsable = true;
  index.m_reach.clear();
  index.m_highestReach.clear();
  index.m_byCategory.clear();
  uint64_t highest = 0;
  for (const auto& fixed : index.m_fixed) {
    const ModuleDescriptor* holder =
        loader.Modules().Count() != 0 ? ModuleHoldingOffset(modules, fixed.m_offset) : nullptr;
    const uint64_t reach = holder != nullptr ? SaturatingReach(fixed.m_offset, holder->Extent()) : UINT64_MAX;
    index.m_reach.push_back(reach);
    highest = std::max(highest, reach);
    index.m_highestReach.push_back(highest);
  }
  return true;
}

uint32_t CategoryOfRecord(RecordHandle record) {
  uint32_t typeIndex = 0;
  {
    const SymbolRecordView view = SymbolRecordView::At(GetCurrentSymbolContext()->Cache(), record);
    typeIndex = view.TypeIndex() & ~SymbolRecordLayout::kUntranslatedBit;
  }
  return GetTypeEntry(typeIndex).Category();
}

const AddressPassIndex::CategoryList& CategoryListOf(AddressPassIndex& index, uint32_t category) {
  const auto kept = index.m_byCategory.find(category);
  if (kept != index.m_byCategory.end()) return kept->second;
  AddressPassIndex::CategoryList list;
  uint64_t highest = 0;
  for (size_t i = 0; i < index.m_fixed.size(); ++i) {
    if (CategoryOfRecord(index.m_fixed[i].m_record) != category) continue;
    list.m_fixed.push_back(i);
    highest = std::max(highest, index.m_reach[i]);
    list.m_highestReach.push_back(highest);
  }
  for (const auto* others : {&index.m_otherFixed, &index.m_unscoped}) {
    for (const auto& fixed : *others) {
      if (CategoryOfRecord(fixed.m_record) == category) list.m_others.push_back(fixed);
    }
  }
  std::sort(list.m_others.begin(), list.m_others.end(),
            [](const auto& a, const auto& b) { return a.m_order < b.m_order; });
  return index.m_byCategory.emplace(category, std::move(list)).first->second;
}

// A module pass's index; a module's records never change once written.
std::shared_ptr<AddressPassIndex> ModulePassOf(LoaderState& loader, const ModuleDescriptor& module) {
  std::shared_ptr<AddressPassIndex>& kept = DataOf(loader).m_modulePasses[module.Id()];
  if (kept == nullptr || kept->m_first != module.FirstRecord()) kept = BuildPassIndex(module.FirstRecord());
  return kept;
}

// A module pass's symbols of one category: positions in m_fixed, and every other
// record with a place (other places, frame-relative ones in and outside scopes) in
// record order.
const AddressPassIndex::CategoryList& ModuleCategoryListOf(LoaderState& loader, AddressPassIndex& index,
                                                           uint32_t category) {
  const uint64_t key = (static_cast<uint64_t>(loader.Generation()) << 32) | loader.TypeCount();
  if (index.m_categoryKey != key) {
    index.m_moduleByCategory.clear();
    index.m_categoryKey = key;
  }
  const auto kept = index.m_moduleByCategory.find(category);
  if (kept != index.m_moduleByCategory.end()) return kept->second;
  AddressPassIndex::CategoryList list;
  for (size_t i = 0; i < index.m_fixed.size(); ++i) {
    if (CategoryOfRecord(index.m_fixed[i].m_record) == category) list.m_fixed.push_back(i);
  }
  for (const auto* others : {&index.m_otherFixed, &index.m_unscoped, &index.m_framedPlaces}) {
    for (const auto& fixed : *others) {
      if (CategoryOfRecord(fixed.m_record) == category) list.m_others.push_back(fixed);
    }
  }
  std::sort(list.m_others.begin(), list.m_others.end(),
            [](const auto& a, const auto& b) { return a.m_order < b.m_order; });
  return index.m_moduleByCategory.emplace(category, std::move(list)).first->second;
}

// The global pass's index, built again after a load.
std::shared_ptr<AddressPassIndex> GlobalPassOf(LoaderState& loader) {
  SymbolIndexData& data = DataOf(loader);
  if (data.m_globalPass == nullptr || data.m_globalPassGeneration != loader.GlobalsGeneration()) {
    data.m_globalPass = BuildPassIndex(loader.GlobalChainHead());
    data.m_globalPassGeneration = loader.GlobalsGeneration();
  }
  return data.m_globalPass;
}

}  // namespace

void SymbolIndexes::SetEnabled(bool enabled) { g_enabled = enabled; }

bool SymbolIndexes::Enabled() { return g_enabled; }

bool SymbolIndexes::FindGlobalByName(const NameKey& key) {
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (!g_enabled || loader == nullptr) return SearchGlobalChainForName(key);
  // The data are held while they are used: a module loaded on the way may replace
  // the loader state's indexes.
  DataOf(*loader);
  const std::shared_ptr<SymbolIndexData> held = loader->IndexData();
  SymbolIndexData& data = *held;
  if (!data.m_globalBuilt || data.m_globalGeneration != loader->GlobalsGeneration()) BuildGlobalNames(*loader, data);
  const auto found = data.m_globalsByName.find(Folded(key.Text()));
  if (found == data.m_globalsByName.end()) return false;
  PageCache& cache = GetCurrentSymbolContext()->Cache();
  for (const RecordHandle handle : found->second) {
    uint32_t pendingModule = 0;
    {
      const SymbolRecordView symbol = SymbolRecordView::At(cache, handle);
      if (!symbol.Name().Matches(cache, key)) continue;
      pendingModule = symbol.PendingModule();
    }
    if (pendingModule != 0) LoadDeferredModule(loader->ModuleById(pendingModule));
    SetLookupTarget(nullptr);
    SetCurrentScopeRecord(RecordHandle());
    SymbolEntry& entry = CurrentEntry();
    entry.m_symbolSet = 0;
    entry.m_currentRecord = handle;
    entry.SetLookupMode(kLookupSymbol);
    return true;
  }
  return false;
}

// The candidates of a pass:
// 1. Of the fixed memory places at or below the address, the nearest group (equal
//    places); in the global list the nearest group whose module reaches the address
//    (a module the place lies in that does not reach so far skips the group, as the
//    walk skips each of its symbols).
// 2. Fixed places the address cannot be compared with a memory place by offset go in
//    whole; so do all fixed places when the address is of another kind.
// 3. Frame-relative symbols whose enclosing scope holds the scope address.
// 4. In record order.
// A group farther from the address than `best` is left out: it cannot change the
// outcome.
bool SymbolIndexes::AddressCandidates(const ModuleDescriptor* module, const AddressDescriptor& address,
                                      const AddressDescriptor& scope, const OrdinalValue& best,
                                      std::vector<AddressCandidate>& candidates) {
  candidates.clear();
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (!g_enabled || loader == nullptr) return false;
  const std::shared_ptr<AddressPassIndex> index = module != nullptr ? ModulePassOf(*loader, *module) : GlobalPassOf(*loader);
  // The candidates with their record order, gathered here and sorted: kept from one
  // call to the next (every pass of every nearest-symbol search comes here, and
  // nothing this gathering calls comes back here), so it grows only while it is
  // smaller than a pass has ever needed.
  static std::vector<std::pair<uint32_t, AddressCandidate>> ordered;
  ordered.clear();
  const auto take = [](const AddressPassIndex::Fixed& fixed) {
    ordered.push_back({fixed.m_order, AddressCandidate{fixed.m_record, fixed.m_enclosing, false}});
  };
  const TargetAddressRecord& wanted = address.Record();
  const bool byOffset = !address.IsNull() && wanted.m_addressClass == kAddressClassMemory && index->m_haveKind &&
                        wanted.m_addressKind == index->m_kind;
  const bool reachKnown = byOffset && module == nullptr && GlobalReachUsable(*loader, *index);
  if (reachKnown) {
    // The nearest place whose reach takes in the address, with the records before it
    // at the same place.
    const auto& fixed = index->m_fixed;
    auto end = std::upper_bound(fixed.begin(), fixed.end(), wanted.m_offset,
                                [](uint32_t offset, const auto& entry) { return offset < entry.m_offset; });
    for (size_t i = static_cast<size_t>(end - fixed.begin()); i > 0 && index->m_highestReach[i - 1] >= wanted.m_offset;
         --i) {
      if (index->m_reach[i - 1] < wanted.m_offset) continue;
      if (OrdinalValue(wanted.m_offset - fixed[i - 1].m_offset) > best) break;
      size_t first = i - 1;
      while (first > 0 && fixed[first - 1].m_offset == fixed[i - 1].m_offset) --first;
      for (size_t j = first; j < i; ++j) take(fixed[j]);
      break;
    }
  } else if (byOffset) {
    auto end = std::upper_bound(index->m_fixed.begin(), index->m_fixed.end(), wanted.m_offset,
                                [](uint32_t offset, const auto& fixed) { return offset < fixed.m_offset; });
    while (end != index->m_fixed.begin()) {
      const uint32_t place = std::prev(end)->m_offset;
      auto begin = end;
      while (begin != index->m_fixed.begin() && std::prev(begin)->m_offset == place) --begin;
      if (OrdinalValue(wanted.m_offset - place) > best) break;
      bool reaches = true;
      if (module == nullptr) {
        DVErrorCode ignored;
        const ModuleDescriptor* holder = FindModuleAtAddress(begin->m_address, ignored);
        reaches = holder == nullptr || !(DistanceTo(begin->m_address, address) > holder->Extent());
      }
      if (reaches) {
        for (auto it = begin; it != end; ++it) take(*it);
        break;
      }
      end = begin;
    }
  } else {
    for (const auto& fixed : index->m_fixed) take(fixed);
  }
  // Places of another kind than the address are not comparable with it: they are at
  // no distance from it.
  for (const auto& fixed : index->m_otherFixed) {
    if (address.IsNull() || fixed.m_address.Record().m_addressKind == wanted.m_addressKind) take(fixed);
  }
  // A scope address at a memory place outside every framed symbol's scope skips them.
  const bool noScopeHolds = !index->m_framed.empty() && index->m_framedByOffset && !scope.IsNull() &&
                            scope.Record().m_addressClass == kAddressClassMemory &&
                            (scope.Record().m_addressKind != index->m_framedKind ||
                             scope.Record().m_offset < index->m_framedFirst ||
                             scope.Record().m_offset > index->m_framedLast);
  if (!noScopeHolds) {
    for (const auto& framed : index->m_framed) {
      if (ScopeHolds(framed, scope)) {
        ordered.push_back({framed.m_order, AddressCandidate{framed.m_record, framed.m_enclosing, true}});
      }
    }
  }
  std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  candidates.reserve(ordered.size());
  for (const auto& entry : ordered) candidates.push_back(entry.second);
  return true;
}

// A symbol at a fixed memory place that the search takes when it meets it (at or
// below the address, within its module's range) is met in every search that does not
// end at an exact match first; no symbol farther than the least such distance can be
// the answer, and every one farther is replaced when that one is met.
OrdinalValue SymbolIndexes::NearestFixedBound(const AddressDescriptor& address) {
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (!g_enabled || loader == nullptr || address.IsNull()) return OrdinalValue::AllOnes;
  const TargetAddressRecord& wanted = address.Record();
  if (wanted.m_addressClass != kAddressClassMemory) return OrdinalValue::AllOnes;
  uint64_t bound = UINT64_MAX;
  const auto nearest = [&wanted](const AddressPassIndex& index) -> const AddressPassIndex::Fixed* {
    if (!index.m_haveKind || index.m_kind != wanted.m_addressKind) return nullptr;
    auto end = std::upper_bound(index.m_fixed.begin(), index.m_fixed.end(), wanted.m_offset,
                                [](uint32_t offset, const auto& fixed) { return offset < fixed.m_offset; });
    return end == index.m_fixed.begin() ? nullptr : &*std::prev(end);
  };
  const ModuleCollection& modules = loader->Modules();
  for (uint32_t i = 0; i < modules.Count(); ++i) {
    auto* module = dynamic_cast<ModuleDescriptor*>(modules.ModuleAt(i));
    if (module == nullptr || module->FirstRecord().IsNone()) continue;
    const AddressPassIndex::Fixed* fixed = nearest(*ModulePassOf(*loader, *module));
    if (fixed == nullptr) continue;
    const uint32_t distance = wanted.m_offset - fixed->m_offset;
    if (OrdinalValue(distance) > module->Extent()) continue;
    bound = std::min<uint64_t>(bound, distance);
  }
  const std::shared_ptr<AddressPassIndex> globals = GlobalPassOf(*loader);
  if (globals->m_haveKind && globals->m_kind == wanted.m_addressKind && GlobalReachUsable(*loader, *globals)) {
    const auto& fixed = globals->m_fixed;
    auto end = std::upper_bound(fixed.begin(), fixed.end(), wanted.m_offset,
                                [](uint32_t offset, const auto& entry) { return offset < entry.m_offset; });
    for (size_t i = static_cast<size_t>(end - fixed.begin());
         i > 0 && globals->m_highestReach[i - 1] >= wanted.m_offset; --i) {
      if (globals->m_reach[i - 1] < wanted.m_offset) continue;
      bound = std::min<uint64_t>(bound, wanted.m_offset - fixed[i - 1].m_offset);
      break;
    }
  }
  return bound == UINT64_MAX ? OrdinalValue::AllOnes : OrdinalValue(static_cast<uint32_t>(bound));
}

bool SymbolIndexes::ModuleHolding(LoaderState& loader, const AddressDescriptor& address, ModuleDescriptor*& module) {
  module = nullptr;
  if (!g_enabled) return false;
  const ModuleRangeIndex& index = ModuleRangesOf(loader);
  uint32_t offset = 0;
  if (!index.m_regular) return false;
  if (index.m_ranges.empty()) return true;
  if (!MemoryPlaceOfKind(address, index.m_kind, offset)) return false;
  module = ModuleHoldingOffset(index, offset);
  return true;
}

bool SymbolIndexes::ModuleHoldsAddress(LoaderState& loader, const ModuleDescriptor& module,
                                       const AddressDescriptor& address, bool& holds) {
  holds = false;
  if (!g_enabled) return false;
  const ModuleRangeIndex& index = ModuleRangesOf(loader);
  uint32_t offset = 0;
  if (!index.m_regular || !MemoryPlaceOfKind(address, index.m_kind, offset)) return false;
  // A regular collection indexes every module with a start; one without holds nothing.
  if (module.Start().IsNull()) return true;
  const auto found = index.m_rangeOf.find(&module);
  if (found == index.m_rangeOf.end()) return false;
  const ModuleRangeIndex::Range& range = index.m_ranges[found->second];
  holds = range.m_start <= offset && offset <= range.m_last;
  return true;
}

// The walk takes, of the records of the category at a distance and within their
// module's reach, the one at the least distance, of equal ones the first: here the
// nearest memory place whose reach takes in the address (the first record there),
// weighed against the records at other places as the walk weighs them.
bool SymbolIndexes::NearestGlobalOfCategory(uint32_t category, const AddressDescriptor& address, RecordHandle& found,
                                            OrdinalValue& distance) {
  found = RecordHandle();
  distance = OrdinalValue::AllOnes;
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (!g_enabled || loader == nullptr) return false;
  const std::shared_ptr<AddressPassIndex> index = GlobalPassOf(*loader);
  uint32_t offset = 0;
  if (!index->m_haveKind || !MemoryPlaceOfKind(address, index->m_kind, offset)) return false;
  if (!GlobalReachUsable(*loader, *index)) return false;
  const AddressPassIndex::CategoryList& list = CategoryListOf(*index, category);
  uint32_t bestOrder = 0;
  const auto fixed = [&index, &list](size_t i) -> const AddressPassIndex::Fixed& {
    return index->m_fixed[list.m_fixed[i]];
  };
  auto end = std::upper_bound(list.m_fixed.begin(), list.m_fixed.end(), offset,
                              [&index](uint32_t place, size_t at) { return place < index->m_fixed[at].m_offset; });
  for (size_t i = static_cast<size_t>(end - list.m_fixed.begin()); i > 0 && list.m_highestReach[i - 1] >= offset;
       --i) {
    if (index->m_reach[list.m_fixed[i - 1]] < offset) continue;
    size_t first = i - 1;
    while (first > 0 && fixed(first - 1).m_offset == fixed(i - 1).m_offset) --first;
    found = fixed(first).m_record;
    bestOrder = fixed(first).m_order;
    distance = OrdinalValue(offset - fixed(first).m_offset);
    break;
  }
  for (const auto& other : list.m_others) {
    const OrdinalValue here = DistanceTo(other.m_address, address);
    if (here == OrdinalValue::AllOnes) continue;
    if (here > distance || (here == distance && !found.IsNone() && other.m_order > bestOrder)) continue;
    DVErrorCode ignored;
    const ModuleDescriptor* module = FindModuleAtAddress(other.m_address, ignored);
    if (module != nullptr && here > module->Extent()) continue;
    found = other.m_record;
    bestOrder = other.m_order;
    distance = here;
  }
  return true;
}

bool SymbolIndexes::NearestInModuleOfCategory(const ModuleDescriptor& module, uint32_t category,
                                              const AddressDescriptor& address, RecordHandle& found,
                                              OrdinalValue& distance) {
  found = RecordHandle();
  distance = OrdinalValue::AllOnes;
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (!g_enabled || loader == nullptr) return false;
  const std::shared_ptr<AddressPassIndex> index = ModulePassOf(*loader, module);
  uint32_t offset = 0;
  if (!index->m_haveKind || !MemoryPlaceOfKind(address, index->m_kind, offset)) return false;
  // A record whose category cannot be told is left to the walk, which meets it (and
  // fails there) only when no exact match comes first.
  const AddressPassIndex::CategoryList* listFound = nullptr;
  try {
    listFound = &ModuleCategoryListOf(*loader, *index, category);
  } catch (const DVError&) {
    return false;
  }
  const AddressPassIndex::CategoryList& list = *listFound;
  uint32_t bestOrder = 0;
  // The nearest place at or below the address, the first record there.
  auto end = std::upper_bound(list.m_fixed.begin(), list.m_fixed.end(), offset,
                              [&index](uint32_t place, size_t at) { return place < index->m_fixed[at].m_offset; });
  if (end != list.m_fixed.begin()) {
    auto first = std::prev(end);
    const uint32_t place = index->m_fixed[*first].m_offset;
    while (first != list.m_fixed.begin() && index->m_fixed[*std::prev(first)].m_offset == place) --first;
    found = index->m_fixed[*first].m_record;
    bestOrder = index->m_fixed[*first].m_order;
    distance = OrdinalValue(offset - place);
  }
  for (const auto& other : list.m_others) {
    const OrdinalValue here = DistanceTo(other.m_address, address);
    if (here == OrdinalValue::AllOnes) continue;
    if (here > distance || (here == distance && !found.IsNone() && other.m_order > bestOrder)) continue;
    found = other.m_record;
    bestOrder = other.m_order;
    distance = here;
  }
  return true;
}

bool SymbolIndexes::FirstProcedureHolding(const ModuleDescriptor& module, const AddressDescriptor& address,
                                          RecordHandle& procedure) {
  procedure = RecordHandle();
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (!g_enabled || loader == nullptr) return false;
  const std::shared_ptr<AddressPassIndex> index = ModulePassOf(*loader, module);
  for (const auto& range : index->m_procedures) {
    if (ScopeHolds(range, address)) {
      procedure = range.m_record;
      break;
    }
  }
  return true;
}

std::vector<uint32_t> SymbolIndexes::TypeIndicesNamed(const RWCString& name) {
  LoaderState* loader = CurrentLoaderStateOrNull();
  std::vector<uint32_t> indices;
  if (loader == nullptr) return indices;
  const uint32_t count = loader->TypeCount();
  if (!g_enabled) {
    indices.reserve(count);
    for (uint32_t i = 1; i <= count; ++i) indices.push_back(i);
    return indices;
  }
  SymbolIndexData& data = DataOf(*loader);
  // Types are only ever added: the index takes in those defined since it last looked.
  PageCache& cache = GetCurrentSymbolContext()->Cache();
  if (data.m_typesIndexed > count) {
    data.m_typesByName.clear();
    data.m_typesIndexed = 0;
  }
  for (uint32_t i = data.m_typesIndexed + 1; i <= count; ++i) {
    const RWCString text = loader->Types().GetTypeEntryRaw(cache, i).Name().NameText(cache);
    if (text.length() != 0) data.m_typesByName[std::string(text.data(), text.length())].push_back(i);
    data.m_typesIndexed = i;
  }
  const auto found = data.m_typesByName.find(std::string(name.data(), name.length()));
  if (found != data.m_typesByName.end()) indices = found->second;
  return indices;
}

}  // namespace zentor
