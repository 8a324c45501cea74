#include "support/rw_collection.h"

#include "support/rw_ordered.h"
#include "support/rw_set.h"

namespace zentor {

RWClassID RWCollection::isA() const { return kRWCollectionID; }

void RWCollection::clearAndDestroy() {
  // An object held several times must be deleted once: gather the distinct objects
  // first, delete them, and only then forget the (now dangling) pointers.
  RWIdentitySet distinct(entries() / 4);
  addContentsTo(distinct);
  distinct.apply([](RWCollectable* item, void*) { delete item; }, nullptr);
  distinct.clear();
  clear();
}

bool RWCollection::contains(const RWCollectable* item) const { return find(item) != nullptr; }

bool RWCollection::isEmpty() const { return entries() == 0; }

void RWCollection::removeAndDestroy(const RWCollectable* item) { delete remove(item); }

RWOrdered RWCollection::asOrderedCollection() const {
  RWOrdered result(entries());
  addContentsTo(result);
  return result;
}

RWSet RWCollection::asSet() const {
  RWSet result(entries() / 2);
  addContentsTo(result);
  return result;
}

RWCollection* RWCollection::select(RWtestCollectable test, const void* argument) const {
  struct Selection {
    RWtestCollectable test;
    const void* argument;
    RWCollection* result;
  };
  auto result = static_cast<RWCollection*>(newSpecies());
  if (result == nullptr) return nullptr;
  Selection selection{test, argument, result};
  apply(
      [](RWCollectable* item, void* state) {
        auto selection = static_cast<Selection*>(state);
        if (selection->test(item, selection->argument)) selection->result->insert(item);
      },
      &selection);
  return result;
}

void RWCollection::addContents(const RWCollection& source) { source.addContentsTo(*this); }

void RWCollection::addContentsTo(RWCollection& target) const {
  apply([](RWCollectable* item, void* target) { static_cast<RWCollection*>(target)->insert(item); }, &target);
}

void RWCollection::copyContentsTo(RWCollection& target) const {
  apply(
      [](RWCollectable* item, void* target) {
        if (item == nullptr) return;
        RWCollectable* duplicate = item->copy();
        // A copy the target refuses (a set already holding an equal item) is nobody's.
        if (duplicate != nullptr && static_cast<RWCollection*>(target)->insert(duplicate) != duplicate) {
          delete duplicate;
        }
      },
      &target);
}

void RWCollection::removeContents(const RWCollection& other) {
  // Taking the items out of this collection while walking it would disturb the walk.
  if (&other == this) {
    clear();
    return;
  }
  other.apply([](RWCollectable* item, void* self) { static_cast<RWCollection*>(self)->remove(item); }, this);
}

RWCollectable* RWSequenceable::insertAfter(uint32_t i, RWCollectable* item) { return insertAt(i + 1, item); }

}  // namespace zentor
