#include "support/rw_sorted_vector.h"

#include "support/rw_factory.h"
#include "support/rw_messages.h"

namespace zentor {

namespace {

RW_REGISTER_COLLECTABLE(RWSortedVector, kRWSortedVectorID);

// The vector's comparison: the stored item's compareTo with the searched item.
int CompareStoredItem(const void* element, const void* key) {
  const RWCollectable* stored = *static_cast<RWCollectable* const*>(element);
  const RWCollectable* searched = *static_cast<const RWCollectable* const*>(key);
  return stored->compareTo(searched);
}

void RaiseNotAllowed() {
  RWMessage message(RWTOOL_NOTALLOW());
  RWInternalErr error(message);
  RWThrow(error);
}

}  // namespace

// 1. An empty array: index 0, not found.
// 2. Search [lo, hi]; an element equal to the key ends the search at once.
// 3. When the range closes, the answer is whether element lo is equal. Every element
//    below lo is below the key and every element above hi is above it, and lo never
//    passes count - 1, so index always names a real element.
bool RWbsearch(const void* key, const void* base, size_t count, size_t width, RWcompare compare, size_t& index) {
  index = 0;
  if (count == 0) return false;
  const char* bytes = static_cast<const char*>(base);
  size_t lo = 0;
  size_t hi = count - 1;
  while (lo < hi) {
    size_t mid = (lo + hi) >> 1;
    index = mid;
    int result = compare(bytes + mid * width, key);
    if (result == 0) return true;
    if (result < 0) {
      lo = mid + 1;
    } else {
      hi = mid == 0 ? 0 : mid - 1;
    }
  }
  index = lo;
  return compare(bytes + lo * width, key) == 0;
}

RWCollectable* RWSortedVector::newSpecies() const { return new RWSortedVector(DEFAULT_CAPACITY); }
RWCollectable* RWSortedVector::copy() const { return new RWSortedVector(*this); }
RWClassID RWSortedVector::isA() const { return kRWSortedVectorID; }

bool RWSortedVector::isEqual(const RWCollectable* other) const {
  if (other == nullptr || other->isA() != kRWSortedVectorID) return false;
  const auto* ordered = dynamic_cast<const RWOrdered*>(other);
  return ordered != nullptr && RWOrdered::operator==(*ordered);
}

uint32_t RWSortedVector::index(const RWCollectable* item) const {
  if (item == nullptr) return RW_NPOS;
  size_t position = 0;
  if (!RWbsearch(&item, m_vector.data(), m_entries, sizeof(RWCollectable*), &CompareStoredItem, position)) {
    return RW_NPOS;
  }
  uint32_t first = static_cast<uint32_t>(position);
  while (first > 0 && m_vector(first - 1)->compareTo(item) == 0) --first;
  return first;
}

uint32_t RWSortedVector::occurrencesOf(const RWCollectable* item) const {
  uint32_t first = index(item);
  if (first == RW_NPOS) return 0;
  uint32_t end = first;
  while (end < m_entries && m_vector(end)->compareTo(item) == 0) ++end;
  return end - first;
}

// 1. The binary search leaves a position p.
// 2. Not found: p moves past the items below the new one.
// 3. Found: p moves past every equal item, so equal items keep insertion order.
// 4. The ordered collection's insertAt puts it there (growing by DEFAULT_RESIZE).
RWCollectable* RWSortedVector::insert(RWCollectable* item) {
  // A null item has no compareTo and could never be ordered.
  if (item == nullptr) return nullptr;
  size_t position = 0;
  const RWCollectable* key = item;
  bool found = RWbsearch(&key, m_vector.data(), m_entries, sizeof(RWCollectable*), &CompareStoredItem, position);
  uint32_t p = static_cast<uint32_t>(position);
  if (found) {
    while (p < m_entries && m_vector(p)->compareTo(item) == 0) ++p;
  } else {
    while (p < m_entries && m_vector(p)->compareTo(item) < 0) ++p;
  }
  return RWOrdered::insertAt(p, item);
}

RWCollectable* RWSortedVector::append(RWCollectable*) {
  RaiseNotAllowed();
  return nullptr;
}

RWCollectable* RWSortedVector::insertAt(uint32_t, RWCollectable*) {
  RaiseNotAllowed();
  return nullptr;
}

RWCollectable* RWSortedVector::prepend(RWCollectable*) {
  RaiseNotAllowed();
  return nullptr;
}

RWCollectable* RWSortedVector::insertAfter(uint32_t, RWCollectable*) {
  RaiseNotAllowed();
  return nullptr;
}

RWCollectable*& RWSortedVector::at(uint32_t) {
  RaiseNotAllowed();
  static RWCollectable* scratch = nullptr;
  scratch = nullptr;
  return scratch;
}

}  // namespace zentor
