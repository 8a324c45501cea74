#include "symbols/list_holders.h"

#include "core/dv_error.h"
#include "support/rw_class_ids.h"

#include <algorithm>
#include <functional>
#include <unordered_set>
#include <vector>

namespace zentor {

void DestroyOwnedItems(RWCollection& collection) {
  std::vector<RWCollectable*> items;
  items.reserve(collection.entries());
  collection.apply([](RWCollectable* item, void* list) { static_cast<std::vector<RWCollectable*>*>(list)->push_back(item); },
                   &items);
  // Items made one after another usually lie in ascending or descending order (a
  // block recycler hands out its free blocks last given first): such a list holds no
  // item twice, and the sort that finds the repeats of any other is left out.
  if (!std::is_sorted(items.begin(), items.end(), std::less_equal<>()) &&
      !std::is_sorted(items.begin(), items.end(), std::greater_equal<>())) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
  }
  // The pointers are forgotten only after every item went, as clearAndDestroy does.
  for (RWCollectable* item : items) delete item;
  collection.clear();
}

// ---- OrderedListHolder ----

OrderedListHolder::OrderedListHolder() : m_items(std::make_unique<RWOrdered>()) {}

OrderedListHolder::~OrderedListHolder() { DestroyOwnedItems(*m_items); }

void OrderedListHolder::Clear() {
  DestroyOwnedItems(*m_items);
  m_cursor = 0;
}

// ---- SortedOnDemandHolder ----

bool SortedOnDemandHolder::IsSorted() const { return m_items->isA() == kRWSortedVectorID; }

RWCollectable* SortedOnDemandHolder::SortedItemAt(uint32_t i) {
  if (!IsSorted()) SortNow();
  return Items().at(i);
}

void SortedOnDemandHolder::Resort() {
  auto sorted = std::make_unique<RWSortedVector>(std::max<uint32_t>(m_items->entries(), 1));
  for (uint32_t i = 0; i < m_items->entries(); ++i) sorted->insert(Items()(i));
  // The items now belong to the new vector: the old one is emptied, not destroyed
  // with them.
  m_items->clear();
  m_items = std::move(sorted);
}

void SortedOnDemandHolder::SortNow() {
  Resort();
  std::unordered_set<uint64_t> seen;
  bool changed = false;
  for (uint32_t i = 0; i < m_items->entries(); ++i) {
    auto* item = dynamic_cast<LineKeyedItem*>(Items()(i));
    if (item == nullptr) ZENTOR_INTERNAL_ERROR();
    const uint64_t key = item->LineKey();
    if (key == 0) continue;
    if (!seen.insert(key).second) {
      item->DropLine();
      changed = true;
    }
  }
  if (changed) Resort();
}

// ---- ModuleCollection ----

ModuleCollection::ModuleCollection() : m_modules(std::make_unique<RWSortedVector>()) {}

ModuleCollection::~ModuleCollection() { DestroyOwnedItems(*m_modules); }

void ModuleCollection::Add(PageCache& cache, RWCollectable* module, const SymbolKey& name) {
  const uint32_t length = name.NameText(cache).length();
  m_modules->insert(module);
  m_longestName = std::max(m_longestName, length);
}

void ModuleCollection::Add(RWCollectable* module, const SymbolKey& name) { Add(CurrentPageCache(), module, name); }

int CompareModuleNames(const RWCString& a, const RWCString& b) {
  const int order = a.compareTo(b, RWCString::exact);
  return order == 0 ? 0 : order > 0 ? 1 : -1;
}

// ---- Records by handle ----

BlockRecordView BlockRecordAt(RecordHandle handle) { return BlockRecordView::At(CurrentPageCache(), handle); }
ProcedureRecordView ProcedureRecordAt(RecordHandle handle) { return ProcedureRecordView::At(CurrentPageCache(), handle); }
SymbolRecordView SymbolRecordAt(RecordHandle handle) { return SymbolRecordView::At(CurrentPageCache(), handle); }
QualifierTypeRecordView QualifierTypeRecordAt(RecordHandle handle) {
  return QualifierTypeRecordView::At(CurrentPageCache(), handle);
}
ArrayTypeRecordView ArrayTypeRecordAt(RecordHandle handle) { return ArrayTypeRecordView::At(CurrentPageCache(), handle); }
AggregateTypeRecordView AggregateTypeRecordAt(RecordHandle handle) {
  return AggregateTypeRecordView::At(CurrentPageCache(), handle);
}
EnumerationTypeRecordView EnumerationTypeRecordAt(RecordHandle handle) {
  return EnumerationTypeRecordView::At(CurrentPageCache(), handle);
}
SubrangeTypeRecordView SubrangeTypeRecordAt(RecordHandle handle) {
  return SubrangeTypeRecordView::At(CurrentPageCache(), handle);
}

// ---- UniqueKey

namespace {

// Absent lines first, then by file, then by line number.
uint32_t OrderWord(const OptionalLine& line) {
  return line.IsEmpty() ? 0u : (static_cast<uint32_t>(line.RawValid()) << 16) | line.RawLine();
}

}  // namespace

int UniqueKey::compareTo(const RWCollectable* other) const {
  const auto* key = dynamic_cast<const UniqueKey*>(other);
  if (key == nullptr) return RWCollectable::compareTo(other);
  const uint32_t mine = OrderWord(m_line);
  const uint32_t theirs = OrderWord(key->m_line);
  if (mine == theirs) return 0;
  return mine > theirs ? 1 : -1;
}

uint32_t UniqueKey::hash() const { return m_line.IsEmpty() ? 0xFFFFFFFFu : m_line.RawLine(); }

bool UniqueKey::isEqual(const RWCollectable* other) const {
  const auto* key = dynamic_cast<const UniqueKey*>(other);
  return key != nullptr && key->m_line == m_line;
}

}  // namespace zentor
