#pragma once
// RWOrdered: the vector-based ordered collection of collectables, and its iterator.
// The viewpoint manager and the symbol tables keep their record lists in it, and
// persistence numbers the objects it reads in one. Capacity grows linearly by
// DEFAULT_RESIZE slots; items are shared, never copied or owned.

#include <cstdint>

#include "support/rw_collection.h"
#include "support/rw_gvector.h"

namespace zentor {

class RWOrdered : public RWSequenceable {
 public:
  explicit RWOrdered(uint32_t capacity = DEFAULT_CAPACITY);
  RWOrdered(const RWOrdered& other);
  RWOrdered& operator=(const RWOrdered& other);
  ~RWOrdered() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The other is an RWOrdered (class ID 0x8028) and operator== holds.
  bool isEqual(const RWCollectable* other) const override;

  void apply(RWapplyCollectable function, void* argument) const override;
  // Entries 0; a capacity above DEFAULT_CAPACITY shrinks back to it.
  void clear() override;
  uint32_t entries() const override { return m_entries; }
  RWCollectable* find(const RWCollectable* item) const override;
  RWCollectable* insert(RWCollectable* item) override;
  bool isEmpty() const override { return m_entries == 0; }
  uint32_t occurrencesOf(const RWCollectable* item) const override;
  RWCollectable* remove(const RWCollectable* item) override;

  RWCollectable* append(RWCollectable* item) override;
  // Checked: [INDEXERR] when i is not below entries.
  RWCollectable* at(uint32_t i) const override;
  RWCollectable*& at(uint32_t i) override;
  RWCollectable* first() const override;
  uint32_t index(const RWCollectable* item) const override;
  // i above entries raises [INDEX] (i, entries) and leaves the collection unchanged.
  RWCollectable* insertAt(uint32_t i, RWCollectable* item) override;
  RWCollectable* last() const override;
  RWCollectable* prepend(RWCollectable* item) override;

  // Same entries and, pairwise in order, each left item isEqual to the right one.
  bool operator==(const RWOrdered& other) const;
  bool operator!=(const RWOrdered& other) const { return !(*this == other); }
  // Removes and returns item i ([INDEXERR] when i is not below entries); the
  // capacity never shrinks here.
  RWCollectable* removeAt(uint32_t i);
  // Reshapes to n slots when n is not below entries; a smaller n is ignored.
  void resize(uint32_t n);
  uint32_t capacity() const { return m_vector.length(); }
  // Checked access.
  RWCollectable*& operator[](uint32_t i);
  RWCollectable* operator[](uint32_t i) const;
  // Unchecked access.
  RWCollectable*& operator()(uint32_t i) { return m_vector(i); }
  RWCollectable* operator()(uint32_t i) const { return m_vector(i); }

 protected:
  // Raises [INDEXERR] (i, entries) when i is not below entries; false when it did.
  bool boundsCheck(uint32_t i) const;

  uint32_t m_entries;
  RWGVector<RWCollectable*> m_vector;
};

class RWOrderedIterator : public RWIterator {
 public:
  explicit RWOrderedIterator(const RWOrdered& collection) : m_collection(&collection), m_index(RW_NPOS) {}

  RWCollectable* findNext(const RWCollectable* item) override;
  RWCollectable* key() const override;
  // Index + 1 and the item there, null once past the end (the index keeps counting).
  RWCollectable* operator()() override;
  void reset() override { m_index = RW_NPOS; }

 private:
  const RWOrdered* m_collection;
  uint32_t m_index;
};

}  // namespace zentor
