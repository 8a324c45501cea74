#pragma once
// RWSlistCollectables: the linked list of collectables that follows the sequenceable
// interface (the hash tables' buckets are these lists), its stack variant
// RWSlistCollectablesStack, and its iterator.

#include <cstdint>

#include "support/rw_collection.h"
#include "support/rw_slist.h"

namespace zentor {

class RWSlistCollectables : public RWSequenceable {
 public:
  RWSlistCollectables() = default;
  // A list of one item.
  explicit RWSlistCollectables(RWCollectable* item);
  RWSlistCollectables(const RWSlistCollectables& other) = default;  // items shared
  RWSlistCollectables& operator=(const RWSlistCollectables& other) = default;
  ~RWSlistCollectables() override = default;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The other is an RWSlistCollectables (0x8033) and operator== holds.
  bool isEqual(const RWCollectable* other) const override;

  void apply(RWapplyCollectable function, void* argument) const override;
  void clear() override { m_list.clear(); }
  uint32_t entries() const override { return m_list.entries(); }
  RWCollectable* find(const RWCollectable* item) const override;
  // Appends.
  RWCollectable* insert(RWCollectable* item) override;
  bool isEmpty() const override { return m_list.isEmpty(); }
  uint32_t occurrencesOf(const RWCollectable* item) const override;
  RWCollectable* remove(const RWCollectable* item) override;

  RWCollectable* append(RWCollectable* item) override;
  RWCollectable* at(uint32_t i) const override;
  RWCollectable*& at(uint32_t i) override;
  RWCollectable* first() const override;
  uint32_t index(const RWCollectable* item) const override;
  RWCollectable* insertAt(uint32_t i, RWCollectable* item) override;
  RWCollectable* last() const override;
  RWCollectable* prepend(RWCollectable* item) override;
  // After the item at i ([INDEXERR] when i is not below entries).
  RWCollectable* insertAfter(uint32_t i, RWCollectable* item) override;

  // Removes and returns the first item, null when empty.
  RWCollectable* get() { return static_cast<RWCollectable*>(m_list.get()); }
  // Identity forms.
  RWCollectable* removeReference(const RWCollectable* item) {
    return static_cast<RWCollectable*>(m_list.removeReference(item));
  }
  bool containsReference(const RWCollectable* item) const { return m_list.containsReference(item); }
  RWCollectable* findReference(const RWCollectable* item) const {
    return static_cast<RWCollectable*>(m_list.findReference(item));
  }

  // Same length and each pair isEqual, walking both lists together.
  bool operator==(const RWSlistCollectables& other) const;
  bool operator!=(const RWSlistCollectables& other) const { return !(*this == other); }

 protected:
  friend class RWSlistCollectablesIterator;
  RWSlist m_list;
};

// A push-down stack: insert pushes at the head and remove pops it.
class RWSlistCollectablesStack : public RWSlistCollectables {
 public:
  RWSlistCollectablesStack() = default;
  explicit RWSlistCollectablesStack(RWCollectable* item) : RWSlistCollectables(item) {}

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  bool isEqual(const RWCollectable* other) const override;
  // Reads the count and appends each item read, in stored order, without clearing.
  void restoreGuts(RWvistream& stream) override;
  void restoreGuts(RWFile& file) override;

  // Pushes at the head.
  RWCollectable* insert(RWCollectable* item) override;
  // Pops the head and returns it, whatever the argument.
  RWCollectable* remove(const RWCollectable* item) override;
  // Does nothing: a stack gives up items only by popping.
  void removeAndDestroy(const RWCollectable* item) override;
  // Adds nothing and returns null.
  RWCollectable* append(RWCollectable* item) override;

  RWCollectable* push(RWCollectable* item) { return prepend(item); }
  RWCollectable* pop() { return get(); }
  RWCollectable* top() const { return first(); }
};

class RWSlistCollectablesIterator : public RWIterator {
 public:
  explicit RWSlistCollectablesIterator(RWSlistCollectables& list) : m_iterator(list.m_list) {}

  // The next item isEqual to the argument.
  RWCollectable* findNext(const RWCollectable* item) override;
  RWCollectable* key() const override { return static_cast<RWCollectable*>(m_iterator.key()); }
  RWCollectable* operator()() override { return static_cast<RWCollectable*>(m_iterator()); }
  void reset() override { m_iterator.reset(); }
  // Removes the current item, moving back to its predecessor.
  RWCollectable* remove() { return static_cast<RWCollectable*>(m_iterator.remove()); }
  // Removes the next item isEqual to the argument (the cursor moves up to the
  // removed item's predecessor).
  RWCollectable* removeNext(const RWCollectable* item);
  bool atFirst() const { return m_iterator.atFirst(); }
  bool atLast() const { return m_iterator.atLast(); }
  void toFirst() { m_iterator.toFirst(); }
  void toLast() { m_iterator.toLast(); }

 private:
  RWSlistIterator m_iterator;
};

}  // namespace zentor
