#pragma once
// Small shared pieces of the symbol tables: holders of the ordered lists that lookups
// walk (search paths, module and scope lists, a module's line table sorted on first
// access), the module collection in name order, the search state of a scope walk, a
// vector of lookup work records, and typed access to records by handle through the
// current symbol context's page cache.

#include "symbols/page_cache.h"
#include "symbols/symbol_records.h"
#include "symbols/vst_file.h"

#include "support/rw_collectable.h"
#include "support/rw_ordered.h"
#include "support/rw_sorted_vector.h"
#include "support/rw_tval_vector.h"

#include <cstdint>
#include <memory>

namespace zentor {

class RWCollection;

// Destroys the items of a collection that owns them, each once however often it holds
// it, and empties the collection: what clearAndDestroy does, without the identity set
// that builds, which made letting go of a large program's tables a good part of the
// next load.
void DestroyOwnedItems(RWCollection& collection);

// A cursor word and an ordered collection of collectable items that the holder owns:
// clearing or destroying the holder destroys its items.
class OrderedListHolder {
 public:
  OrderedListHolder();
  virtual ~OrderedListHolder();
  OrderedListHolder(const OrderedListHolder&) = delete;
  OrderedListHolder& operator=(const OrderedListHolder&) = delete;

  uint32_t Count() const { return m_items->entries(); }
  // Item i; an index not below the count raises the class library's index error.
  RWCollectable* ItemAt(uint32_t i) const { return Items().at(i); }
  // Inserts an item (appends it, or, once the collection is sorted, puts it in order).
  void Insert(RWCollectable* item) { m_items->insert(item); }
  // Destroys every item, then empties the collection; the cursor goes back to 0.
  void Clear();

  uint32_t Cursor() const { return m_cursor; }
  void SetCursor(uint32_t cursor) { m_cursor = cursor; }
  bool CursorAtEnd() const { return m_cursor == Count(); }
  // Read access goes through the const collection: a sorted vector refuses writable
  // element access.
  const RWOrdered& Items() const { return *m_items; }

 protected:
  uint32_t m_cursor = 0;
  std::unique_ptr<RWOrdered> m_items;
};

// An item of a list that is sorted on first access and in which only the first entry
// for one line of one source file keeps its line (a module's line table). Items order
// themselves (compareTo: by code offset).
class LineKeyedItem : public RWCollectable {
 public:
  // The source file and line the item stands for as one key; 0 for an item without a
  // line.
  virtual uint64_t LineKey() const = 0;
  // Makes the item lineless and gives it the all-ones offset, which sorts it behind
  // every other item.
  virtual void DropLine() = 0;
};

// A holder of LineKeyedItems that sorts itself the first time an item is asked for
// after items were appended to the unsorted collection.
class SortedOnDemandHolder : public OrderedListHolder {
 public:
  // Item i of the sorted list (sorting first when needed); an index not below the
  // count raises the class library's index error.
  RWCollectable* SortedItemAt(uint32_t i);
  bool IsSorted() const;
  // Sorting:
  // 1. Every item moves into a new sorted vector (items in their own order).
  // 2. Walking in order, an item whose line was met before loses its line (and goes
  //    behind all others); items without a line are left alone.
  // 3. When any item changed, the items are sorted again.
  void SortNow();

 private:
  void Resort();
};

// The program's module descriptors in module-name order (case-sensitive), with the
// length of the longest module name added so far. The collection owns the modules.
class ModuleCollection {
 public:
  ModuleCollection();
  ~ModuleCollection();
  ModuleCollection(const ModuleCollection&) = delete;
  ModuleCollection& operator=(const ModuleCollection&) = delete;

  // Inserts a module whose name key is `name`; the name is read through `cache`.
  void Add(PageCache& cache, RWCollectable* module, const SymbolKey& name);
  void Add(RWCollectable* module, const SymbolKey& name);

  uint32_t LongestNameLength() const { return m_longestName; }
  uint32_t Count() const { return m_modules->entries(); }
  // Module i in name order; the class library's index error when i is not below the
  // count.
  RWCollectable* ModuleAt(uint32_t i) const { return Modules().at(i); }
  const RWSortedVector& Modules() const { return *m_modules; }

 private:
  uint32_t m_longestName = 0;
  std::unique_ptr<RWSortedVector> m_modules;
};

// The module-name order: 0 when the names are equal, 1 when `a` is greater, -1
// otherwise; case-sensitive.
int CompareModuleNames(const RWCString& a, const RWCString& b);

// The search state of one scope level of an address lookup: the enclosing procedure,
// the candidate record, whether the candidate is a procedure, and whether the scope
// address lies in the scope being walked.
class ScopeSearchState : public RWCollectable {
 public:
  ScopeSearchState() = default;
  ScopeSearchState(const ScopeSearchState& other) = default;
  ScopeSearchState& operator=(const ScopeSearchState& other) = default;
  RWCollectable* newSpecies() const override { return new ScopeSearchState(); }
  RWCollectable* copy() const override { return new ScopeSearchState(*this); }

  RecordHandle m_enclosingProcedure;
  RecordHandle m_candidate;
  uint32_t m_candidateIsProcedure = 0;
  uint32_t m_inside = 1;
};

// A source line as the key of a collection (the caches of line addresses): equal
// when both lines are absent, or both present with the same number in the same
// source file (the line's valid word names its file). Hashes to the line number,
// 0xFFFFFFFF for an absent line.
class UniqueKey : public RWCollectable {
 public:
  UniqueKey() = default;
  explicit UniqueKey(const OptionalLine& line) : m_line(line) {}
  RWCollectable* newSpecies() const override { return new UniqueKey(); }
  RWCollectable* copy() const override { return new UniqueKey(*this); }

  const OptionalLine& Line() const { return m_line; }
  int compareTo(const RWCollectable* other) const override;
  uint32_t hash() const override;
  bool isEqual(const RWCollectable* other) const override;

 private:
  OptionalLine m_line;
};

// A fixed number of default-constructed work records with a count of those in use
// (the lookups' vector of symbol entries). Access is bounds-checked.
template <typename T>
class EntryVector {
 public:
  explicit EntryVector(uint32_t count) : m_entries(count) {}

  uint32_t Length() const { return m_entries.length(); }
  T& operator[](uint32_t i) { return m_entries[i]; }
  const T& operator[](uint32_t i) const { return m_entries[i]; }
  uint32_t InUse() const { return m_inUse; }
  void SetInUse(uint32_t count) { m_inUse = count; }

 private:
  RWTValVector<T> m_entries;
  uint32_t m_inUse = 0;
};

// Records by handle through the current symbol context's page cache. Each view pins
// its page while it lives; a record of the wrong type raises 301 (symbol records) and
// a record outside a page's record area 302 (type records).
BlockRecordView BlockRecordAt(RecordHandle handle);
ProcedureRecordView ProcedureRecordAt(RecordHandle handle);
SymbolRecordView SymbolRecordAt(RecordHandle handle);
QualifierTypeRecordView QualifierTypeRecordAt(RecordHandle handle);
ArrayTypeRecordView ArrayTypeRecordAt(RecordHandle handle);
AggregateTypeRecordView AggregateTypeRecordAt(RecordHandle handle);
EnumerationTypeRecordView EnumerationTypeRecordAt(RecordHandle handle);
SubrangeTypeRecordView SubrangeTypeRecordAt(RecordHandle handle);

}  // namespace zentor
