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
  };
  RecordHandle m_first;
  bool m_haveKind = false;
  uint16_t m_kind = 0;
  std::vector<Fixed> m_fixed;
  std::vector<Fixed> m_otherFixed;
  std::vector<Framed> m_framed;
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
            index->m_framed.push_back({order, view.Handle(), current.m_enclosing, current.m_start, current.m_length});
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
  return index;
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
bool SymbolIndexes::AddressCandidates(const ModuleDescriptor* module, const AddressDescriptor& address,
                                      const AddressDescriptor& scope, std::vector<AddressCandidate>& candidates) {
  candidates.clear();
  LoaderState* loader = CurrentLoaderStateOrNull();
  if (!g_enabled || loader == nullptr) return false;
  SymbolIndexData& data = DataOf(*loader);
  std::shared_ptr<AddressPassIndex> index;
  if (module != nullptr) {
    std::shared_ptr<AddressPassIndex>& kept = data.m_modulePasses[module->Id()];
    if (kept == nullptr || kept->m_first != module->FirstRecord()) kept = BuildPassIndex(module->FirstRecord());
    index = kept;
  } else {
    if (data.m_globalPass == nullptr || data.m_globalPassGeneration != loader->GlobalsGeneration()) {
      data.m_globalPass = BuildPassIndex(loader->GlobalChainHead());
      data.m_globalPassGeneration = loader->GlobalsGeneration();
    }
    index = data.m_globalPass;
  }
  std::vector<std::pair<uint32_t, AddressCandidate>> ordered;
  const auto take = [&ordered](const AddressPassIndex::Fixed& fixed) {
    ordered.push_back({fixed.m_order, AddressCandidate{fixed.m_record, fixed.m_enclosing, false}});
  };
  const TargetAddressRecord& wanted = address.Record();
  const bool byOffset = !address.IsNull() && wanted.m_addressClass == kAddressClassMemory && index->m_haveKind &&
                        wanted.m_addressKind == index->m_kind;
  if (byOffset) {
    auto end = std::upper_bound(index->m_fixed.begin(), index->m_fixed.end(), wanted.m_offset,
                                [](uint32_t offset, const auto& fixed) { return offset < fixed.m_offset; });
    while (end != index->m_fixed.begin()) {
      const uint32_t place = std::prev(end)->m_offset;
      auto begin = end;
      while (begin != index->m_fixed.begin() && std::prev(begin)->m_offset == place) --begin;
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
  for (const auto& fixed : index->m_otherFixed) take(fixed);
  for (const auto& framed : index->m_framed) {
    if (Inside(scope, framed.m_start, framed.m_length)) {
      ordered.push_back({framed.m_order, AddressCandidate{framed.m_record, framed.m_enclosing, true}});
    }
  }
  std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  candidates.reserve(ordered.size());
  for (const auto& entry : ordered) candidates.push_back(entry.second);
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
