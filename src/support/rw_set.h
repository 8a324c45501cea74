#pragma once
// RWSet: a hash table in which an equal item is never held twice; RWIdentitySet: a set
// by object identity (an item is found only by its address). The factory, the
// persistence store table and the dictionaries build on RWSet; clearAndDestroy of
// every collection and the program's object registry use RWIdentitySet.

#include <cstdint>

#include "support/rw_hash_table.h"

namespace zentor {

class RWSet : public RWHashTable {
 public:
  explicit RWSet(uint32_t buckets = DEFAULT_CAPACITY) : RWHashTable(buckets) {}
  RWSet(const RWSet& other) = default;
  RWSet& operator=(const RWSet& other) = default;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;

  // Each item is distinct here, so each is deleted by apply, then clear.
  void clearAndDestroy() override;
  // Returns the equal item already held without adding; else adds.
  RWCollectable* insert(RWCollectable* item) override;
  // 1 when find succeeds, else 0.
  uint32_t occurrencesOf(const RWCollectable* item) const override;
};

class RWIdentitySet : public RWSet {
 public:
  explicit RWIdentitySet(uint32_t buckets = DEFAULT_CAPACITY) : RWSet(buckets) {}
  RWIdentitySet(const RWIdentitySet& other) = default;
  RWIdentitySet& operator=(const RWIdentitySet& other) = default;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;

  // The item at the same address.
  RWCollectable* find(const RWCollectable* item) const override;
  // Removes the same object only.
  RWCollectable* remove(const RWCollectable* item) override;

 protected:
  // RWAddressHash of the item's address.
  uint32_t bucketOf(const RWCollectable* item) const override;
};

class RWSetIterator : public RWHashTableIterator {
 public:
  explicit RWSetIterator(RWSet& set) : RWHashTableIterator(set) {}
};

}  // namespace zentor
