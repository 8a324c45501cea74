#pragma once
// RWHashDictionary: a set of key/value associations, hashed and compared by key. It
// owns its associations, never its keys or values, except that clearAndDestroy and
// removeAndDestroy delete those too. Bags keep their counts in one; the program uses
// it wherever a collectable key maps to a collectable value.

#include <cstdint>

#include "support/rw_collectable_association.h"
#include "support/rw_set.h"

namespace zentor {

using RWapplyKeyAndValue = void (*)(RWCollectable* key, RWCollectable* value, void* argument);

class RWHashDictionary : public RWSet {
 public:
  explicit RWHashDictionary(uint32_t buckets = DEFAULT_CAPACITY) : RWSet(buckets) {}
  // The copy starts from a table of 2 buckets and receives a copy of each association
  // (sharing key and value).
  RWHashDictionary(const RWHashDictionary& other);
  // clear, then a copy of each of the other's associations; nothing on self-assignment.
  RWHashDictionary& operator=(const RWHashDictionary& other);
  // Deletes the associations.
  ~RWHashDictionary() override;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The other is a dictionary (0x8022) and operator== holds.
  bool isEqual(const RWCollectable* other) const override;

  // apply (inherited) visits the associations in table order.
  // Deletes every association, never a key or a value.
  void clear() override;
  // Deletes every key and every value (an object met several times is deleted once)
  // and every association.
  void clearAndDestroy() override;
  // The stored key equal to the argument, null when none.
  RWCollectable* find(const RWCollectable* key) const override;
  // Inserts an association by the set rule: the association already held with an
  // equal key is returned and nothing is added. Only associations are accepted: any
  // other item is refused (null).
  RWCollectable* insert(RWCollectable* association) override;
  // Removes the key's association, deleting it, and returns the stored key.
  RWCollectable* remove(const RWCollectable* key) override;
  // Removes the key's association and deletes it, its key and its value (once when
  // key and value are the same object).
  void removeAndDestroy(const RWCollectable* key) override;

  // A new dictionary of the same species holding copies of the associations for
  // which test(association, argument) is true. The caller owns the result.
  RWCollection* select(RWtestCollectable test, const void* argument) const;
  // The association whose key equals the argument, null when none.
  virtual RWCollectableAssociation* findAssociation(const RWCollectable* key) const;
  // A new association for key and value; dictionaries by identity answer an
  // identity association.
  virtual RWCollectableAssociation* newAssociation(RWCollectable* key, RWCollectable* value) const;
  // Removes and returns the key's association (the caller deletes it), null when none.
  virtual RWCollectableAssociation* removeAssociation(const RWCollectable* key);

  // Adds key with value and returns the key. When an equal key is already present,
  // nothing changes (the stored value is kept) and null is returned. A null key is
  // refused (null).
  RWCollectable* insertKeyAndValue(RWCollectable* key, RWCollectable* value);
  // The key's value, null when the key is absent.
  RWCollectable* findValue(const RWCollectable* key) const;
  // Replaces the key's value and returns the old one; null and no change when the
  // key is absent.
  RWCollectable* findValue(const RWCollectable* key, RWCollectable* newValue);
  // The stored key, and its value through value; both null when absent.
  RWCollectable* findKeyAndValue(const RWCollectable* key, RWCollectable*& value) const;
  // The same, removing the association (and deleting it).
  RWCollectable* removeKeyAndValue(const RWCollectable* key, RWCollectable*& value);
  void applyToKeyAndValue(RWapplyKeyAndValue function, void* argument) const;

  // Same entries, and for every association here the other holds the key with a
  // value isEqual to this one's (two null values are equal).
  bool operator==(const RWHashDictionary& other) const;
  bool operator!=(const RWHashDictionary& other) const { return !(*this == other); }

 private:
  void InsertCopiesOf(const RWHashDictionary& other);
  void DeleteAssociations();
};

// Walks the associations of a dictionary; operator(), findNext and key answer keys.
class RWHashDictionaryIterator : public RWSetIterator {
 public:
  explicit RWHashDictionaryIterator(RWHashDictionary& dictionary) : RWSetIterator(dictionary) {}

  // The key of the next association (equal to the argument), null at the end.
  RWCollectable* findNext(const RWCollectable* key) override;
  RWCollectable* key() const override;
  RWCollectable* operator()() override;

  // The current association's value, null without a current association.
  RWCollectable* value() const;
  // Replaces the current association's value and returns the old one (null, and no
  // change, without a current association).
  RWCollectable* value(RWCollectable* newValue);
  // Removes the current association, deletes it and returns its key.
  RWCollectable* remove();
  // Removes the next association with a key equal to the argument, deletes it and
  // returns its key.
  RWCollectable* removeNext(const RWCollectable* key);

 private:
  RWCollectableAssociation* CurrentAssociation() const;
};

}  // namespace zentor
