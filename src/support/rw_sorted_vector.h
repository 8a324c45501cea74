#pragma once
// RWSortedVector: an ordered collection that keeps its items in ascending compareTo
// order and finds them by binary search. Items that compare equal keep their
// insertion order. Positional insertion and writable element access are refused
// ([NOTALLOW]) because they could break the order. RWbsearch is the library's binary
// search, usable on any array.

#include <cstddef>
#include <cstdint>

#include "support/rw_ordered.h"

namespace zentor {

// compare(element address, key address): negative, 0 or positive as the element is
// below, equal to or above the key.
using RWcompare = int (*)(const void* element, const void* key);

// Binary search of count elements of width bytes from base. True when an element
// comparing equal was found; index is always set: to the element found, or to where
// the search ended (0 for an empty array, otherwise a valid element position next to
// where the key belongs).
bool RWbsearch(const void* key, const void* base, size_t count, size_t width, RWcompare compare, size_t& index);

class RWSortedVector : public RWOrdered {
 public:
  explicit RWSortedVector(uint32_t capacity = DEFAULT_CAPACITY) : RWOrdered(capacity) {}
  RWSortedVector(const RWSortedVector& other) = default;
  RWSortedVector& operator=(const RWSortedVector& other) = default;

  RWCollectable* newSpecies() const override;
  RWCollectable* copy() const override;
  RWClassID isA() const override;
  // The other is a sorted vector (0x804A) and the ordered operator== holds.
  bool isEqual(const RWCollectable* other) const override;

  // Inserts after every item that compares equal to it; null items are refused.
  RWCollectable* insert(RWCollectable* item) override;
  // The length of the run of items comparing equal to the argument.
  uint32_t occurrencesOf(const RWCollectable* item) const override;
  // Position of the first of the items comparing equal, RW_NPOS when none.
  uint32_t index(const RWCollectable* item) const override;

  // Refused: each raises [NOTALLOW] and returns null, leaving the vector unchanged.
  RWCollectable* append(RWCollectable* item) override;
  RWCollectable* insertAt(uint32_t i, RWCollectable* item) override;
  RWCollectable* prepend(RWCollectable* item) override;
  RWCollectable* insertAfter(uint32_t i, RWCollectable* item) override;
  // The writable form is refused with [NOTALLOW]; should the error handler return,
  // the reference is to a scratch slot outside the vector.
  RWCollectable*& at(uint32_t i) override;
  RWCollectable* at(uint32_t i) const override { return RWOrdered::at(i); }

  // Read-only element access (the writable forms of the ordered collection are
  // hidden, since a write could break the order).
  RWCollectable* operator[](uint32_t i) const { return RWOrdered::operator[](i); }
  RWCollectable* operator()(uint32_t i) const { return RWOrdered::operator()(i); }
};

}  // namespace zentor
