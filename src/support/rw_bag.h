#pragma once
// RWBag: an unordered collection that counts how often each distinct item was
// inserted. It maps each distinct item (by isEqual) to an RWCollectableInt count in a
// hash dictionary of its own; the counts are the bag's, the items are not.

#include <cstdint>

#include "support/rw_collection.h"
#include "support/rw_dictionary.h"

namespace zentor {

class RWBag : public RWCollection {
 public:
  explicit RWBag(uint32_t buckets = DEFAULT_CAPACITY) : m_contents(buckets) {}
  // Copies the contents with counts of their own: two bags never share a count.
  RWBag(const RWBag& other);
  RWBag& operator=(const RWBag& other);
  ~RWBag() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The other is a bag (0x801B) and operator== holds.
  bool isEqual(const RWCollectable* other) const override;

  // Calls function(item, argument) once per occurrence.
  void apply(RWapplyCollectable function, void* argument) const override;
  // Deletes the counts and forgets the items (not deleting them).
  void clear() override;
  // Deletes every distinct item once, and the counts.
  void clearAndDestroy() override;
  // The number of occurrences of all items.
  uint32_t entries() const override { return m_total; }
  // The stored item equal to the argument, null when none.
  RWCollectable* find(const RWCollectable* item) const override;
  // insertWithOccurrences(item, 1).
  RWCollectable* insert(RWCollectable* item) override;
  bool isEmpty() const override { return m_total == 0; }
  uint32_t occurrencesOf(const RWCollectable* item) const override;
  // Removes one occurrence and returns the stored item, null when absent.
  RWCollectable* remove(const RWCollectable* item) override;
  // remove, and deletes the stored item once its last occurrence is gone.
  void removeAndDestroy(const RWCollectable* item) override;

  // Adds n occurrences. An item already present gets n more and the stored item is
  // returned; otherwise the item is stored with count n and returned. Null is
  // returned, and nothing changes, for a null item, for n = 0 of an absent item, and
  // when a count or the total would pass its 32-bit range.
  RWCollectable* insertWithOccurrences(RWCollectable* item, uint32_t n);
  void resize(uint32_t n) { m_contents.resize(n); }
  uint32_t buckets() const { return m_contents.buckets(); }

  // Same total and the same items with the same counts.
  bool operator==(const RWBag& other) const;
  bool operator!=(const RWBag& other) const { return !(*this == other); }

 private:
  friend class RWBagIterator;
  void DeleteCounts();

  uint32_t m_total = 0;
  RWHashDictionary m_contents;
};

// Walks a bag, returning each item as many times as it occurs.
class RWBagIterator : public RWIterator {
 public:
  explicit RWBagIterator(RWBag& bag) : m_iterator(bag.m_contents) {}

  // The next item equal to the argument (the current item again while it has
  // occurrences left), null at the end.
  RWCollectable* findNext(const RWCollectable* item) override;
  // The current item, null before the first and after the end.
  RWCollectable* key() const override { return m_current; }
  RWCollectable* operator()() override;
  void reset() override;

 private:
  // Takes the item the dictionary iterator stands on as the current one.
  RWCollectable* Enter(RWCollectable* item);

  RWHashDictionaryIterator m_iterator;
  uint32_t m_remaining = 0;
  RWCollectable* m_current = nullptr;
};

}  // namespace zentor
