#include "symbols/symbol_index.h"

#include <memory>
#include <string>
#include <unordered_map>

#include "symbols/loader_library.h"
#include "symbols/page_cache.h"
#include "symbols/symbol_context.h"
#include "symbols/symbol_lookup.h"

#include "core/dv_error.h"

namespace zentor {

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
  data.m_globalGeneration = loader.Generation();
  data.m_globalBuilt = true;
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
  if (!data.m_globalBuilt || data.m_globalGeneration != loader->Generation()) BuildGlobalNames(*loader, data);
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
    SetCurrentScopeRecord(RecordHandle());
    SymbolEntry& entry = CurrentEntry();
    entry.m_symbolSet = 0;
    entry.m_currentRecord = handle;
    entry.SetLookupMode(kLookupSymbol);
    return true;
  }
  return false;
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
