#pragma once
// RWHashTable: the hashed collection of collectables. An array of buckets, each a
// linked list of collectables created on first use; an item lies in bucket
// hash() % bucket count. Equal items may repeat (RWSet refuses them). The table never
// resizes by itself: its owner calls resize when it chooses.

#include <cstdint>

#include "support/rw_collection.h"
#include "support/rw_gvector.h"

namespace zentor {

class RWSlistCollectables;
class RWSlistCollectablesIterator;

class RWHashTable : public RWCollection {
 public:
  // n buckets, 2 when n is 0.
  explicit RWHashTable(uint32_t buckets = DEFAULT_CAPACITY);
  // Same bucket count; every bucket list copied (items shared).
  RWHashTable(const RWHashTable& other);
  RWHashTable& operator=(const RWHashTable& other);
  ~RWHashTable() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The other's class ID is this table's class ID and operator== holds.
  bool isEqual(const RWCollectable* other) const override;

  // Buckets in index order, each in its list order.
  void apply(RWapplyCollectable function, void* argument) const override;
  // Deletes every bucket list (items untouched).
  void clear() override;
  uint32_t entries() const override { return m_entries; }
  RWCollectable* find(const RWCollectable* item) const override;
  // Always adds; a null item is refused (null returned).
  RWCollectable* insert(RWCollectable* item) override;
  bool isEmpty() const override { return m_entries == 0; }
  uint32_t occurrencesOf(const RWCollectable* item) const override;
  RWCollectable* remove(const RWCollectable* item) override;
  // Rebuilds the table with n buckets, re-inserting every item through insert. n = 0
  // picks 16 below 12 entries, else entries * 3 / 2.
  virtual void resize(uint32_t n = 0);

  // Every distinct item occurs here at most as often as in other.
  bool operator<=(const RWHashTable& other) const;
  bool operator==(const RWHashTable& other) const;
  bool operator!=(const RWHashTable& other) const { return !(*this == other); }
  uint32_t buckets() const { return m_table.length(); }

 protected:
  // The bucket an item belongs in.
  virtual uint32_t bucketOf(const RWCollectable* item) const;
  // Adds item to bucket i, creating the bucket list when needed.
  RWCollectable* insertIndex(uint32_t i, RWCollectable* item);
  RWSlistCollectables* bucket(uint32_t i) const { return m_table(i); }

  RWGVector<RWSlistCollectables*> m_table;
  uint32_t m_entries;

 private:
  friend class RWHashTableIterator;
  void CopyBucketsFrom(const RWHashTable& other);
};

// Walks the buckets in index order.
class RWHashTableIterator : public RWIterator {
 public:
  explicit RWHashTableIterator(RWHashTable& table);
  RWHashTableIterator(const RWHashTableIterator& other);
  RWHashTableIterator& operator=(const RWHashTableIterator& other);
  ~RWHashTableIterator() override;

  RWCollectable* findNext(const RWCollectable* item) override;
  RWCollectable* key() const override;
  RWCollectable* operator()() override;
  void reset() override;
  // Removes the current item; the table's entries go down when one was removed.
  RWCollectable* remove();
  // Finds and removes the next item equal to the argument.
  RWCollectable* removeNext(const RWCollectable* item);

 private:
  // Moves to the next non-null bucket after the current one, replacing the list
  // iterator; false when there is none.
  bool NextBucket();

  RWHashTable* m_table;
  uint32_t m_bucket;
  RWSlistCollectablesIterator* m_iterator;
};

}  // namespace zentor
