#include "support/rw_ordered.h"

#include "support/rw_factory.h"
#include "support/rw_messages.h"

#include <new>

namespace zentor {

RWOrdered::RWOrdered(uint32_t capacity) : m_entries(0), m_vector(capacity, nullptr) {}

RWOrdered::RWOrdered(const RWOrdered& other) = default;

RWOrdered& RWOrdered::operator=(const RWOrdered& other) {
  if (this != &other) {
    m_vector = other.m_vector;
    m_entries = other.m_entries;
  }
  return *this;
}

RWOrdered::~RWOrdered() = default;

RWCollectable* RWOrdered::newSpecies() const { return new (std::nothrow) RWOrdered(DEFAULT_CAPACITY); }

RWCollectable* RWOrdered::copy() const { return new (std::nothrow) RWOrdered(*this); }

RWClassID RWOrdered::isA() const { return kRWOrderedID; }

bool RWOrdered::isEqual(const RWCollectable* other) const {
  return other != nullptr && other->isA() == kRWOrderedID && *this == *static_cast<const RWOrdered*>(other);
}

bool RWOrdered::operator==(const RWOrdered& other) const {
  if (m_entries != other.m_entries) return false;
  for (uint32_t i = 0; i < m_entries; ++i) {
    if (!RWStoredItemMatches(m_vector(i), other.m_vector(i))) return false;
  }
  return true;
}

void RWOrdered::apply(RWapplyCollectable function, void* argument) const {
  for (uint32_t i = 0; i < m_entries; ++i) function(m_vector(i), argument);
}

void RWOrdered::clear() {
  m_entries = 0;
  if (m_vector.length() > DEFAULT_CAPACITY) m_vector.reshape(DEFAULT_CAPACITY);
}

RWCollectable* RWOrdered::find(const RWCollectable* item) const {
  uint32_t i = index(item);
  return i == RW_NPOS ? nullptr : m_vector(i);
}

RWCollectable* RWOrdered::insert(RWCollectable* item) { return insertAt(m_entries, item); }

uint32_t RWOrdered::occurrencesOf(const RWCollectable* item) const {
  uint32_t count = 0;
  for (uint32_t i = index(item); i < m_entries; ++i) {
    if (RWStoredItemMatches(m_vector(i), item)) ++count;
  }
  return count;
}

RWCollectable* RWOrdered::remove(const RWCollectable* item) {
  uint32_t i = index(item);
  return i == RW_NPOS ? nullptr : removeAt(i);
}

RWCollectable* RWOrdered::append(RWCollectable* item) { return insertAt(m_entries, item); }

bool RWOrdered::boundsCheck(uint32_t i) const {
  if (i < m_entries) return true;
  RWRaiseIndexErr(i, m_entries);
  return false;
}

RWCollectable* RWOrdered::at(uint32_t i) const { return boundsCheck(i) ? m_vector(i) : nullptr; }

RWCollectable*& RWOrdered::at(uint32_t i) { return (*this)[i]; }

RWCollectable*& RWOrdered::operator[](uint32_t i) {
  if (!boundsCheck(i)) {
    // The error handler returned: hand out a scratch slot, never one outside the
    // vector.
    static RWCollectable* scratch;
    scratch = nullptr;
    return scratch;
  }
  return m_vector(i);
}

RWCollectable* RWOrdered::operator[](uint32_t i) const { return at(i); }

RWCollectable* RWOrdered::first() const { return m_entries == 0 ? nullptr : m_vector(0); }

RWCollectable* RWOrdered::last() const { return m_entries == 0 ? nullptr : m_vector(m_entries - 1); }

uint32_t RWOrdered::index(const RWCollectable* item) const {
  for (uint32_t i = 0; i < m_entries; ++i) {
    if (RWStoredItemMatches(m_vector(i), item)) return i;
  }
  return RW_NPOS;
}

RWCollectable* RWOrdered::insertAt(uint32_t i, RWCollectable* item) {
  if (i > m_entries) {
    RWRaiseIndex(i, m_entries);
    return nullptr;
  }
  if (m_entries >= m_vector.length()) m_vector.reshape(m_vector.length() + DEFAULT_RESIZE);
  for (uint32_t j = m_entries; j > i; --j) m_vector(j) = m_vector(j - 1);
  m_vector(i) = item;
  ++m_entries;
  return item;
}

RWCollectable* RWOrdered::prepend(RWCollectable* item) { return insertAt(0, item); }

RWCollectable* RWOrdered::removeAt(uint32_t i) {
  if (!boundsCheck(i)) return nullptr;
  RWCollectable* item = m_vector(i);
  for (uint32_t j = i + 1; j < m_entries; ++j) m_vector(j - 1) = m_vector(j);
  --m_entries;
  return item;
}

void RWOrdered::resize(uint32_t n) {
  if (n >= m_entries) m_vector.reshape(n);
}

RWCollectable* RWOrderedIterator::operator()() {
  ++m_index;
  return m_index < m_collection->entries() ? (*m_collection)(m_index) : nullptr;
}

RWCollectable* RWOrderedIterator::key() const {
  return m_index < m_collection->entries() ? (*m_collection)(m_index) : nullptr;
}

RWCollectable* RWOrderedIterator::findNext(const RWCollectable* item) {
  // Walks by position: a null item held in the collection does not end the search.
  while (++m_index < m_collection->entries()) {
    RWCollectable* candidate = (*m_collection)(m_index);
    if (RWStoredItemMatches(candidate, item)) return candidate;
  }
  return nullptr;
}

RW_REGISTER_COLLECTABLE(RWOrdered, kRWOrderedID);

}  // namespace zentor
