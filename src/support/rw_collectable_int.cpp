#include "support/rw_collectable_int.h"

#include <new>

#include "support/rw_factory.h"
#include "support/rw_file.h"
#include "support/rw_vstream.h"

namespace zentor {

RW_REGISTER_COLLECTABLE(RWCollectableInt, kRWCollectableIntID);

RWCollectable* RWCollectableInt::newSpecies() const { return new (std::nothrow) RWCollectableInt(); }
RWCollectable* RWCollectableInt::copy() const { return new (std::nothrow) RWCollectableInt(*this); }
RWClassID RWCollectableInt::isA() const { return kRWCollectableIntID; }

int RWCollectableInt::compareTo(const RWCollectable* other) const {
  const auto* that = dynamic_cast<const RWCollectableInt*>(other);
  if (that == nullptr) return RWCollectable::compareTo(other);
  // The difference wraps at 32 bits, as the comparison always has.
  return static_cast<int32_t>(static_cast<uint32_t>(m_value) - static_cast<uint32_t>(that->m_value));
}

bool RWCollectableInt::isEqual(const RWCollectable* other) const {
  if (other == nullptr || other->isA() != kRWCollectableIntID) return false;
  const auto* that = dynamic_cast<const RWCollectableInt*>(other);
  return that != nullptr && that->m_value == m_value;
}

void RWCollectableInt::restoreGuts(RWvistream& stream) {
  int value = 0;
  stream >> value;
  if (!stream.fail()) m_value = value;
}

void RWCollectableInt::restoreGuts(RWFile& file) {
  int value = 0;
  if (file.Read(value)) m_value = value;
}

void RWCollectableInt::saveGuts(RWvostream& stream) const { stream << static_cast<int>(m_value); }

void RWCollectableInt::saveGuts(RWFile& file) const { file.Write(static_cast<int>(m_value)); }

}  // namespace zentor
