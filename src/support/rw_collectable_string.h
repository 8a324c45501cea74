#pragma once
// RWCollectableString: an RWCString that is also a collectable, so that strings can be
// items, keys and values of the library's collections and be stored with them. It
// orders, hashes and compares by its characters, exactly (case counts).

#include <cstdint>

#include "support/rw_collectable.h"
#include "support/rw_cstring.h"

namespace zentor {

class RWCollectableString : public RWCollectable, public RWCString {
 public:
  RWCollectableString() = default;
  RWCollectableString(const RWCString& text) : RWCString(text) {}         // NOLINT: like the string
  RWCollectableString(const RWCSubString& stretch) : RWCString(stretch) {}  // NOLINT
  RWCollectableString(const char* text) : RWCString(text) {}              // NOLINT
  RWCollectableString(const RWCollectableString& other) = default;
  RWCollectableString& operator=(const RWCollectableString& other) = default;
  RWCollectableString& operator=(const RWCString& text) {
    RWCString::operator=(text);
    return *this;
  }

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The stored length word and the characters.
  uint32_t binaryStoreSize() const override { return length() + 4; }
  // Exact string comparison with the other collectable string. Against an object
  // that is not a collectable string the order is the base class's (by address).
  int compareTo(const RWCollectable* other) const override;
  using RWCString::compareTo;
  // The exact string hash.
  uint32_t hash() const override;
  // The other is a collectable string (0x800B) with the same characters.
  bool isEqual(const RWCollectable* other) const override;

  // Stored as an unsigned length, then the characters. A length that runs past the
  // end of the data is not trusted for an allocation: the characters are read in
  // pieces; a file cut short raises [READERR] and a stream cut short is left failed,
  // with what was read kept.
  void restoreGuts(RWvistream& stream) override;
  void restoreGuts(RWFile& file) override;
  void saveGuts(RWvostream& stream) const override;
  void saveGuts(RWFile& file) const override;
};

}  // namespace zentor
