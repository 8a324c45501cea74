#include "support/rw_set.h"

#include "support/rw_factory.h"
#include "support/rw_slist_collectables.h"

#include <new>

namespace zentor {

RWCollectable* RWSet::newSpecies() const { return new (std::nothrow) RWSet(DEFAULT_CAPACITY); }

RWCollectable* RWSet::copy() const { return new (std::nothrow) RWSet(*this); }

RWClassID RWSet::isA() const { return kRWSetID; }

void RWSet::clearAndDestroy() {
  apply([](RWCollectable* item, void*) { delete item; }, nullptr);
  clear();
}

RWCollectable* RWSet::insert(RWCollectable* item) {
  if (item == nullptr) return nullptr;
  if (RWCollectable* held = find(item)) return held;
  return insertIndex(bucketOf(item), item);
}

uint32_t RWSet::occurrencesOf(const RWCollectable* item) const { return find(item) != nullptr ? 1 : 0; }

RWCollectable* RWIdentitySet::newSpecies() const { return new (std::nothrow) RWIdentitySet(DEFAULT_CAPACITY); }

RWCollectable* RWIdentitySet::copy() const { return new (std::nothrow) RWIdentitySet(*this); }

RWClassID RWIdentitySet::isA() const { return kRWIdentitySetID; }

uint32_t RWIdentitySet::bucketOf(const RWCollectable* item) const { return RWAddressHash(item) % buckets(); }

RWCollectable* RWIdentitySet::find(const RWCollectable* item) const {
  if (item == nullptr) return nullptr;
  RWSlistCollectables* list = bucket(bucketOf(item));
  return list == nullptr ? nullptr : list->findReference(item);
}

RWCollectable* RWIdentitySet::remove(const RWCollectable* item) {
  if (item == nullptr) return nullptr;
  RWSlistCollectables* list = bucket(bucketOf(item));
  RWCollectable* removed = list == nullptr ? nullptr : list->removeReference(item);
  if (removed != nullptr) --m_entries;
  return removed;
}

RW_REGISTER_COLLECTABLE(RWSet, kRWSetID);
RW_REGISTER_COLLECTABLE(RWIdentitySet, kRWIdentitySetID);

}  // namespace zentor
