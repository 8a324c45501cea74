#include "support/rw_dictionary.h"

#include <new>

#include "support/rw_factory.h"

namespace zentor {

namespace {

RW_REGISTER_COLLECTABLE(RWHashDictionary, kRWHashDictionaryID);

// Every item of a dictionary is an association: insert lets nothing else in.
RWCollectableAssociation* AsAssociation(RWCollectable* item) { return static_cast<RWCollectableAssociation*>(item); }

}  // namespace

RWHashDictionary::RWHashDictionary(const RWHashDictionary& other) : RWSet(2) { InsertCopiesOf(other); }

RWHashDictionary& RWHashDictionary::operator=(const RWHashDictionary& other) {
  if (this == &other) return *this;
  clear();
  InsertCopiesOf(other);
  return *this;
}

RWHashDictionary::~RWHashDictionary() { DeleteAssociations(); }

void RWHashDictionary::InsertCopiesOf(const RWHashDictionary& other) {
  other.apply(
      [](RWCollectable* item, void* self) {
        RWCollectable* duplicate = item->copy();
        if (duplicate == nullptr) return;
        if (static_cast<RWHashDictionary*>(self)->insert(duplicate) != duplicate) delete duplicate;
      },
      this);
}

void RWHashDictionary::DeleteAssociations() {
  apply([](RWCollectable* item, void*) { delete item; }, nullptr);
  RWHashTable::clear();
}

RWCollectable* RWHashDictionary::newSpecies() const { return new (std::nothrow) RWHashDictionary(DEFAULT_CAPACITY); }
RWCollectable* RWHashDictionary::copy() const { return new (std::nothrow) RWHashDictionary(*this); }
RWClassID RWHashDictionary::isA() const { return kRWHashDictionaryID; }

bool RWHashDictionary::isEqual(const RWCollectable* other) const {
  if (other == nullptr || other->isA() != kRWHashDictionaryID) return false;
  const auto* dictionary = dynamic_cast<const RWHashDictionary*>(other);
  return dictionary != nullptr && *this == *dictionary;
}

bool RWHashDictionary::operator==(const RWHashDictionary& other) const {
  if (entries() != other.entries()) return false;
  struct Check {
    const RWHashDictionary* other;
    bool holds;
  };
  Check check{&other, true};
  apply(
      [](RWCollectable* item, void* state) {
        auto* check = static_cast<Check*>(state);
        if (!check->holds) return;
        RWCollectableAssociation* mine = AsAssociation(item);
        RWCollectableAssociation* theirs = check->other->findAssociation(mine->key());
        if (theirs == nullptr) {
          check->holds = false;
        } else if (mine->value() == nullptr || theirs->value() == nullptr) {
          check->holds = mine->value() == theirs->value();
        } else {
          check->holds = mine->value()->isEqual(theirs->value());
        }
      },
      &check);
  return check.holds;
}

void RWHashDictionary::clear() { DeleteAssociations(); }

void RWHashDictionary::clearAndDestroy() {
  // An object may be the key of one association and the value of others: gather
  // them by identity first so that each is deleted once.
  RWIdentitySet doomed(entries() / 4);
  apply(
      [](RWCollectable* item, void* set) {
        RWCollectableAssociation* association = AsAssociation(item);
        auto* doomed = static_cast<RWIdentitySet*>(set);
        if (association->key() != nullptr) doomed->insert(association->key());
        if (association->value() != nullptr) doomed->insert(association->value());
      },
      &doomed);
  doomed.clearAndDestroy();
  DeleteAssociations();
}

RWCollectableAssociation* RWHashDictionary::findAssociation(const RWCollectable* key) const {
  if (key == nullptr) return nullptr;
  return AsAssociation(RWHashTable::find(key));
}

RWCollectable* RWHashDictionary::find(const RWCollectable* key) const {
  RWCollectableAssociation* association = findAssociation(key);
  return association == nullptr ? nullptr : association->key();
}

RWCollectable* RWHashDictionary::insert(RWCollectable* item) {
  auto* association = dynamic_cast<RWCollectableAssociation*>(item);
  // A keyless association could never be found again.
  if (association == nullptr || association->key() == nullptr) return nullptr;
  if (RWCollectable* held = RWHashTable::find(association)) return held;
  return insertIndex(bucketOf(association), association);
}

RWCollectableAssociation* RWHashDictionary::removeAssociation(const RWCollectable* key) {
  if (key == nullptr) return nullptr;
  return AsAssociation(RWHashTable::remove(key));
}

RWCollectable* RWHashDictionary::remove(const RWCollectable* key) {
  RWCollectableAssociation* association = removeAssociation(key);
  if (association == nullptr) return nullptr;
  RWCollectable* storedKey = association->key();
  delete association;
  return storedKey;
}

void RWHashDictionary::removeAndDestroy(const RWCollectable* key) {
  RWCollectableAssociation* association = removeAssociation(key);
  if (association == nullptr) return;
  RWCollectable* storedKey = association->key();
  RWCollectable* value = association->value();
  delete association;
  if (value != storedKey) delete value;
  delete storedKey;
}

RWCollection* RWHashDictionary::select(RWtestCollectable test, const void* argument) const {
  RWCollectable* species = newSpecies();
  auto* result = dynamic_cast<RWHashDictionary*>(species);
  if (result == nullptr) {
    delete species;
    return nullptr;
  }
  struct Selection {
    RWtestCollectable test;
    const void* argument;
    RWHashDictionary* result;
  };
  Selection selection{test, argument, result};
  apply(
      [](RWCollectable* item, void* state) {
        auto* selection = static_cast<Selection*>(state);
        if (!selection->test(item, selection->argument)) return;
        RWCollectable* duplicate = item->copy();
        if (duplicate != nullptr && selection->result->insert(duplicate) != duplicate) delete duplicate;
      },
      &selection);
  return result;
}

RWCollectableAssociation* RWHashDictionary::newAssociation(RWCollectable* key, RWCollectable* value) const {
  return new (std::nothrow) RWCollectableAssociation(key, value);
}

// 1. Make the association.
// 2. Insert it by the set rule; when the set keeps it, the key is the answer.
// 3. Otherwise an equal key is present: the new association goes and the stored value
//    stays.
RWCollectable* RWHashDictionary::insertKeyAndValue(RWCollectable* key, RWCollectable* value) {
  if (key == nullptr) return nullptr;
  RWCollectableAssociation* association = newAssociation(key, value);
  if (association == nullptr) return nullptr;
  if (insert(association) == association) return key;
  delete association;
  return nullptr;
}

RWCollectable* RWHashDictionary::findValue(const RWCollectable* key) const {
  RWCollectableAssociation* association = findAssociation(key);
  return association == nullptr ? nullptr : association->value();
}

RWCollectable* RWHashDictionary::findValue(const RWCollectable* key, RWCollectable* newValue) {
  RWCollectableAssociation* association = findAssociation(key);
  return association == nullptr ? nullptr : association->value(newValue);
}

RWCollectable* RWHashDictionary::findKeyAndValue(const RWCollectable* key, RWCollectable*& value) const {
  RWCollectableAssociation* association = findAssociation(key);
  if (association == nullptr) {
    value = nullptr;
    return nullptr;
  }
  value = association->value();
  return association->key();
}

RWCollectable* RWHashDictionary::removeKeyAndValue(const RWCollectable* key, RWCollectable*& value) {
  RWCollectableAssociation* association = removeAssociation(key);
  if (association == nullptr) {
    value = nullptr;
    return nullptr;
  }
  value = association->value();
  RWCollectable* storedKey = association->key();
  delete association;
  return storedKey;
}

void RWHashDictionary::applyToKeyAndValue(RWapplyKeyAndValue function, void* argument) const {
  struct Visit {
    RWapplyKeyAndValue function;
    void* argument;
  };
  Visit visit{function, argument};
  apply(
      [](RWCollectable* item, void* state) {
        auto* visit = static_cast<Visit*>(state);
        RWCollectableAssociation* association = AsAssociation(item);
        visit->function(association->key(), association->value(), visit->argument);
      },
      &visit);
}

RWCollectableAssociation* RWHashDictionaryIterator::CurrentAssociation() const {
  return AsAssociation(RWHashTableIterator::key());
}

RWCollectable* RWHashDictionaryIterator::operator()() {
  RWCollectable* item = RWHashTableIterator::operator()();
  return item == nullptr ? nullptr : AsAssociation(item)->key();
}

RWCollectable* RWHashDictionaryIterator::findNext(const RWCollectable* key) {
  if (key == nullptr) return nullptr;
  RWCollectable* item = RWHashTableIterator::findNext(key);
  return item == nullptr ? nullptr : AsAssociation(item)->key();
}

RWCollectable* RWHashDictionaryIterator::key() const {
  RWCollectableAssociation* association = CurrentAssociation();
  return association == nullptr ? nullptr : association->key();
}

RWCollectable* RWHashDictionaryIterator::value() const {
  RWCollectableAssociation* association = CurrentAssociation();
  return association == nullptr ? nullptr : association->value();
}

RWCollectable* RWHashDictionaryIterator::value(RWCollectable* newValue) {
  RWCollectableAssociation* association = CurrentAssociation();
  return association == nullptr ? nullptr : association->value(newValue);
}

RWCollectable* RWHashDictionaryIterator::remove() {
  RWCollectable* item = RWHashTableIterator::remove();
  if (item == nullptr) return nullptr;
  RWCollectable* storedKey = AsAssociation(item)->key();
  delete item;
  return storedKey;
}

RWCollectable* RWHashDictionaryIterator::removeNext(const RWCollectable* key) {
  if (key == nullptr) return nullptr;
  RWCollectable* item = RWHashTableIterator::removeNext(key);
  if (item == nullptr) return nullptr;
  RWCollectable* storedKey = AsAssociation(item)->key();
  delete item;
  return storedKey;
}

}  // namespace zentor
