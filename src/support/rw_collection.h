#pragma once
// The collection interface every heterogeneous collection of the class library
// follows (RWCollection, and RWSequenceable for collections with positions), and the
// iterator interface RWIterator. Items are pointers to collectables; a collection owns
// none of them except through clearAndDestroy and removeAndDestroy. Searches decide
// equality by calling the stored item's isEqual with the searched item.

#include <cstdint>

#include "support/rw_collectable.h"
#include "support/rw_defs.h"

namespace zentor {

class RWBag;
class RWOrdered;
class RWSet;

// Capacity given by newSpecies and the size RWOrdered::clear shrinks back to, and the
// growth step of RWOrdered (growth is linear, never doubling).
inline constexpr uint32_t DEFAULT_CAPACITY = 64;
inline constexpr uint32_t DEFAULT_RESIZE = 64;

using RWapplyCollectable = void (*)(RWCollectable* item, void* argument);
using RWtestCollectable = bool (*)(const RWCollectable* item, const void* argument);

class RWCollection : public RWCollectable {
 public:
  // The abstract bases answer 0x801D; every concrete collection overrides it.
  RWClassID isA() const override;
  // 4 for the count plus the stored size of each item (shared items count as
  // references, as the store would write them).
  uint32_t binaryStoreSize() const override;
  // The entries as an unsigned count, then each item in apply order as a stored
  // object (a null item as the nil object).
  void saveGuts(RWvostream& stream) const override;
  void saveGuts(RWFile& file) const override;
  // clear, the count, then each item read and passed to insert. Reading stops when
  // the stream goes bad or the file reports an error; an item whose read failed is
  // not inserted.
  void restoreGuts(RWvistream& stream) override;
  void restoreGuts(RWFile& file) override;

  virtual void apply(RWapplyCollectable function, void* argument) const = 0;
  virtual void clear() = 0;
  // Deletes every distinct item once (an object held several times is deleted once),
  // then clears.
  virtual void clearAndDestroy();
  virtual bool contains(const RWCollectable* item) const;
  virtual uint32_t entries() const = 0;
  virtual RWCollectable* find(const RWCollectable* item) const = 0;
  // Adds the item and returns it; null when refused.
  virtual RWCollectable* insert(RWCollectable* item) = 0;
  virtual bool isEmpty() const;
  virtual uint32_t occurrencesOf(const RWCollectable* item) const = 0;
  // Removes the first equal item and returns the stored pointer; null when none.
  virtual RWCollectable* remove(const RWCollectable* item) = 0;
  // remove, then deletes what was removed.
  virtual void removeAndDestroy(const RWCollectable* item);

  // Copies of the contents in other collection kinds (items shared, not copied).
  RWOrdered asOrderedCollection() const;  // capacity entries, in iteration order
  RWSet asSet() const;                    // entries / 2 buckets (2 when that is 0)
  RWBag asBag() const;                    // defined with RWBag

  // A new collection of the same species holding every item for which
  // test(item, argument) is true. The caller owns the result (not its items).
  RWCollection* select(RWtestCollectable test, const void* argument) const;

  // Inserts every item of source into this collection.
  void addContents(const RWCollection& source);
  // Inserts every item of this collection into target.
  void addContentsTo(RWCollection& target) const;
  // Inserts a copy (copy()) of every non-null item of this collection into target;
  // a copy the target refuses is deleted.
  void copyContentsTo(RWCollection& target) const;
  // Removes from this collection every item of other (one remove per item of other).
  void removeContents(const RWCollection& other);

 protected:
  using RWItemAdder = void (*)(RWCollection& collection, RWCollectable* item);
  // Reads a stored count and that many stored items, passing each to add; what
  // restoreGuts does after clearing. A file whose count is cut short raises
  // [READERR].
  void restoreItems(RWFile& file, RWItemAdder add);
  void restoreItems(RWvistream& stream, RWItemAdder add);
};

class RWSequenceable : public RWCollection {
 public:
  virtual RWCollectable* append(RWCollectable* item) = 0;
  virtual RWCollectable* at(uint32_t i) const = 0;
  virtual RWCollectable*& at(uint32_t i) = 0;
  // Null when empty.
  virtual RWCollectable* first() const = 0;
  // Position of the first equal item, RW_NPOS when none.
  virtual uint32_t index(const RWCollectable* item) const = 0;
  // Inserts before position i (i equal to entries appends).
  virtual RWCollectable* insertAt(uint32_t i, RWCollectable* item) = 0;
  // Null when empty.
  virtual RWCollectable* last() const = 0;
  virtual RWCollectable* prepend(RWCollectable* item) = 0;
  // insertAt(i + 1, item).
  virtual RWCollectable* insertAfter(uint32_t i, RWCollectable* item);
};

// Walks a collection. operator() advances and returns the next item, null at the end.
class RWIterator {
 public:
  virtual ~RWIterator() = default;
  // Advances to the next item equal to the argument and returns it, null at the end.
  virtual RWCollectable* findNext(const RWCollectable* item) = 0;
  // The item at the current position, null when there is none.
  virtual RWCollectable* key() const = 0;
  virtual RWCollectable* operator()() = 0;
  virtual void reset() = 0;
};

// Equality as every search of the library decides it: the stored item's isEqual with
// the searched item. A null stored item equals only a null searched item.
inline bool RWStoredItemMatches(const RWCollectable* stored, const RWCollectable* searched) {
  return stored == nullptr ? searched == nullptr : stored->isEqual(searched);
}

}  // namespace zentor
