#include "support/rw_collectable.h"

#include "support/rw_factory.h"

#include <new>

namespace zentor {

RWCollectable* RWCollectable::newSpecies() const { return new (std::nothrow) RWCollectable(); }

RWCollectable* RWCollectable::copy() const { return new (std::nothrow) RWCollectable(*this); }

RWClassID RWCollectable::isA() const { return kRWCollectableID; }

RWCollectable::~RWCollectable() = default;

uint32_t RWCollectable::binaryStoreSize() const { return 0; }

int RWCollectable::compareTo(const RWCollectable* other) const {
  // Unsigned address order, whatever the host's pointer comparison rules.
  uintptr_t self = reinterpret_cast<uintptr_t>(this);
  uintptr_t that = reinterpret_cast<uintptr_t>(other);
  if (self == that) return 0;
  return self > that ? 1 : -1;
}

uint32_t RWCollectable::hash() const { return RWAddressHash(this); }

bool RWCollectable::isEqual(const RWCollectable* other) const { return this == other; }

void RWCollectable::restoreGuts(RWvistream&) {}
void RWCollectable::restoreGuts(RWFile&) {}
void RWCollectable::saveGuts(RWvostream&) const {}
void RWCollectable::saveGuts(RWFile&) const {}

RWCollectable* RWCollectable::nilObject() {
  // Never destroyed: stored data may be read or written during static destruction.
  static RWCollectable* const nil = new RWCollectable();
  return nil;
}

RW_REGISTER_COLLECTABLE(RWCollectable, kRWCollectableID);

}  // namespace zentor
