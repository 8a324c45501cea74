#pragma once
// RWCollectableInt: a 32-bit integer as a collectable, so that it can be a key or a
// value of the library's collections. Bags keep their occurrence counts in them.

#include <cstdint>

#include "support/rw_collectable.h"

namespace zentor {

class RWCollectableInt : public RWCollectable {
 public:
  RWCollectableInt() = default;
  explicit RWCollectableInt(int32_t value) : m_value(value) {}

  int32_t value() const { return m_value; }
  // Stores a new value and returns the old one.
  int32_t value(int32_t newValue) {
    int32_t old = m_value;
    m_value = newValue;
    return old;
  }

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  uint32_t binaryStoreSize() const override { return 4; }
  // This value minus the other's, as a wrapping 32-bit difference. Against an object
  // that is not an integer collectable the order is the base class's (by address).
  int compareTo(const RWCollectable* other) const override;
  uint32_t hash() const override { return static_cast<uint32_t>(m_value); }
  // The other is an integer collectable (0x800A) with the same value.
  bool isEqual(const RWCollectable* other) const override;
  void restoreGuts(RWvistream& stream) override;
  void restoreGuts(RWFile& file) override;
  void saveGuts(RWvostream& stream) const override;
  void saveGuts(RWFile& file) const override;

 private:
  int32_t m_value = 0;
};

}  // namespace zentor
