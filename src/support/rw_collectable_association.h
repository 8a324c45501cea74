#pragma once
// Associations: the key/value pairs a hash dictionary holds. An association stands
// for its key: it hashes, compares and equals as the key does, so the dictionary's
// table finds an association by its key. The identity association stands for its key
// object's address instead. Neither owns its key or value.

#include <cstdint>

#include "support/rw_collectable.h"

namespace zentor {

class RWCollectableAssociation : public RWCollectable {
 public:
  RWCollectableAssociation() = default;
  RWCollectableAssociation(RWCollectable* key, RWCollectable* value) : m_key(key), m_value(value) {}
  RWCollectableAssociation(const RWCollectableAssociation& other) = default;
  RWCollectableAssociation& operator=(const RWCollectableAssociation& other) = default;

  RWCollectable* key() const { return m_key; }
  RWCollectable* value() const { return m_value; }
  // Stores a new value and returns the old one.
  RWCollectable* value(RWCollectable* newValue) {
    RWCollectable* old = m_value;
    m_value = newValue;
    return old;
  }

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The stored sizes of the key and the value.
  uint32_t binaryStoreSize() const override;
  // The negation of the other's compareTo with the key.
  int compareTo(const RWCollectable* other) const override;
  // The key's hash (0 for a null key).
  uint32_t hash() const override;
  // The other's isEqual with the key. A null key equals nothing.
  bool isEqual(const RWCollectable* other) const override;
  // The key, then the value, as stored objects.
  void restoreGuts(RWvistream& stream) override;
  void restoreGuts(RWFile& file) override;
  void saveGuts(RWvostream& stream) const override;
  void saveGuts(RWFile& file) const override;

 protected:
  RWCollectable* m_key = nullptr;
  RWCollectable* m_value = nullptr;
};

// An association whose key is compared by address: it finds only the very key object
// it holds, never an equal copy.
class RWCollectableIDAssociation : public RWCollectableAssociation {
 public:
  RWCollectableIDAssociation() = default;
  RWCollectableIDAssociation(RWCollectable* key, RWCollectable* value) : RWCollectableAssociation(key, value) {}

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // -1, 0 or 1 as the key's address is below, equal to or above the other object's
  // address (unsigned).
  int compareTo(const RWCollectable* other) const override;
  // The address hash of the key.
  uint32_t hash() const override;
  // True for an identity association with the same key object, or for the key
  // object itself.
  bool isEqual(const RWCollectable* other) const override;
};

}  // namespace zentor
