#include "support/rw_collectable_association.h"

#include <new>

#include "support/rw_factory.h"
#include "support/rw_ordered.h"
#include "support/rw_vstream.h"

namespace zentor {

RW_REGISTER_COLLECTABLE(RWCollectableAssociation, kRWCollectableAssociationID);
RW_REGISTER_COLLECTABLE(RWCollectableIDAssociation, kRWCollectableIDAssociationID);

RWCollectable* RWCollectableAssociation::newSpecies() const { return new (std::nothrow) RWCollectableAssociation(); }
RWCollectable* RWCollectableAssociation::copy() const {
  return new (std::nothrow) RWCollectableAssociation(*this);
}
RWClassID RWCollectableAssociation::isA() const { return kRWCollectableAssociationID; }

uint32_t RWCollectableAssociation::binaryStoreSize() const {
  // Key and value are sized within one store, as saveGuts writes them inside a
  // store: a value that is the key itself counts as a reference, and no magic number
  // is counted. A collection sizes its items that way, so the pair is sized as a
  // two-item collection less its 4-byte count.
  RWOrdered pair(2);
  pair.append(m_key);
  pair.append(m_value);
  return pair.binaryStoreSize() - 4;
}

int RWCollectableAssociation::compareTo(const RWCollectable* other) const {
  if (other == nullptr || m_key == nullptr) return RWCollectable::compareTo(other);
  return -other->compareTo(m_key);
}

uint32_t RWCollectableAssociation::hash() const { return m_key == nullptr ? 0 : m_key->hash(); }

bool RWCollectableAssociation::isEqual(const RWCollectable* other) const {
  if (other == nullptr || m_key == nullptr) return false;
  return other->isEqual(m_key);
}

void RWCollectableAssociation::saveGuts(RWFile& file) const {
  rwSaveObject(file, m_key);
  rwSaveObject(file, m_value);
}

void RWCollectableAssociation::saveGuts(RWvostream& stream) const {
  rwSaveObject(stream, m_key);
  rwSaveObject(stream, m_value);
}

void RWCollectableAssociation::restoreGuts(RWFile& file) {
  m_key = recursiveRestoreFrom(file);
  m_value = restoreFailed() ? nullptr : recursiveRestoreFrom(file);
}

void RWCollectableAssociation::restoreGuts(RWvistream& stream) {
  m_key = recursiveRestoreFrom(stream);
  m_value = stream.good() ? recursiveRestoreFrom(stream) : nullptr;
}

RWCollectable* RWCollectableIDAssociation::newSpecies() const {
  return new (std::nothrow) RWCollectableIDAssociation();
}
RWCollectable* RWCollectableIDAssociation::copy() const {
  return new (std::nothrow) RWCollectableIDAssociation(*this);
}
RWClassID RWCollectableIDAssociation::isA() const { return kRWCollectableIDAssociationID; }

int RWCollectableIDAssociation::compareTo(const RWCollectable* other) const {
  uintptr_t key = reinterpret_cast<uintptr_t>(m_key);
  uintptr_t that = reinterpret_cast<uintptr_t>(other);
  if (key == that) return 0;
  return key < that ? -1 : 1;
}

uint32_t RWCollectableIDAssociation::hash() const { return RWAddressHash(m_key); }

bool RWCollectableIDAssociation::isEqual(const RWCollectable* other) const {
  if (other == nullptr) return false;
  if (other == m_key) return true;
  const auto* association = dynamic_cast<const RWCollectableIDAssociation*>(other);
  return association != nullptr && association->m_key == m_key;
}

}  // namespace zentor
