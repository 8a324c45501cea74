#include "support/rw_hash_table.h"

#include "support/rw_factory.h"
#include "support/rw_slist_collectables.h"

#include <new>

namespace zentor {

namespace {

uint32_t BucketCount(uint32_t requested) { return requested == 0 ? 2 : requested; }

}  // namespace

RWHashTable::RWHashTable(uint32_t buckets) : m_table(BucketCount(buckets), nullptr), m_entries(0) {}

RWHashTable::RWHashTable(const RWHashTable& other)
    : RWCollection(other), m_table(other.m_table.length(), nullptr), m_entries(0) {
  CopyBucketsFrom(other);
}

RWHashTable& RWHashTable::operator=(const RWHashTable& other) {
  if (this == &other) return *this;
  clear();
  m_table.reshape(other.m_table.length());
  m_table = static_cast<RWSlistCollectables*>(nullptr);
  CopyBucketsFrom(other);
  return *this;
}

void RWHashTable::CopyBucketsFrom(const RWHashTable& other) {
  for (uint32_t i = 0; i < other.m_table.length(); ++i) {
    if (RWSlistCollectables* list = other.m_table(i)) m_table(i) = new RWSlistCollectables(*list);
  }
  m_entries = other.m_entries;
}

RWHashTable::~RWHashTable() { clear(); }

RWCollectable* RWHashTable::newSpecies() const { return new (std::nothrow) RWHashTable(DEFAULT_CAPACITY); }

RWCollectable* RWHashTable::copy() const { return new (std::nothrow) RWHashTable(*this); }

RWClassID RWHashTable::isA() const { return kRWHashTableID; }

bool RWHashTable::isEqual(const RWCollectable* other) const {
  // Every kind of table compares only with its own kind: a set never equals an
  // identity set holding the same items.
  return other != nullptr && other->isA() == isA() && *this == *static_cast<const RWHashTable*>(other);
}

void RWHashTable::apply(RWapplyCollectable function, void* argument) const {
  for (uint32_t i = 0; i < m_table.length(); ++i) {
    if (RWSlistCollectables* list = m_table(i)) list->apply(function, argument);
  }
}

void RWHashTable::clear() {
  for (uint32_t i = 0; i < m_table.length(); ++i) {
    delete m_table(i);
    m_table(i) = nullptr;
  }
  m_entries = 0;
}

uint32_t RWHashTable::bucketOf(const RWCollectable* item) const { return item->hash() % m_table.length(); }

RWCollectable* RWHashTable::find(const RWCollectable* item) const {
  if (item == nullptr) return nullptr;
  RWSlistCollectables* list = m_table(bucketOf(item));
  return list == nullptr ? nullptr : list->find(item);
}

RWCollectable* RWHashTable::insertIndex(uint32_t i, RWCollectable* item) {
  RWSlistCollectables*& list = m_table(i);
  if (list == nullptr) {
    list = new (std::nothrow) RWSlistCollectables();
    if (list == nullptr) return nullptr;
  }
  ++m_entries;
  return list->insert(item);
}

RWCollectable* RWHashTable::insert(RWCollectable* item) {
  // A null item has no hash and could never be found again.
  if (item == nullptr) return nullptr;
  return insertIndex(bucketOf(item), item);
}

uint32_t RWHashTable::occurrencesOf(const RWCollectable* item) const {
  if (item == nullptr) return 0;
  RWSlistCollectables* list = m_table(bucketOf(item));
  return list == nullptr ? 0 : list->occurrencesOf(item);
}

RWCollectable* RWHashTable::remove(const RWCollectable* item) {
  if (item == nullptr) return nullptr;
  RWSlistCollectables* list = m_table(bucketOf(item));
  RWCollectable* removed = list == nullptr ? nullptr : list->remove(item);
  if (removed != nullptr) --m_entries;
  return removed;
}

void RWHashTable::resize(uint32_t n) {
  if (n == 0) n = m_entries < 12 ? 16 : static_cast<uint32_t>((static_cast<uint64_t>(m_entries) * 3) / 2);
  RWGVector<RWSlistCollectables*> old(m_table);
  m_table.reshape(n);
  m_table = static_cast<RWSlistCollectables*>(nullptr);
  m_entries = 0;
  for (uint32_t i = 0; i < old.length(); ++i) {
    RWSlistCollectables* list = old(i);
    if (list == nullptr) continue;
    // Through the virtual insert, so a set keeps its uniqueness rule.
    list->apply([](RWCollectable* item, void* table) { static_cast<RWHashTable*>(table)->insert(item); }, this);
    delete list;
  }
}

bool RWHashTable::operator<=(const RWHashTable& other) const {
  struct Check {
    const RWHashTable* self;
    const RWHashTable* other;
    bool holds;
  };
  Check check{this, &other, true};
  apply(
      [](RWCollectable* item, void* state) {
        auto check = static_cast<Check*>(state);
        if (check->holds && check->self->occurrencesOf(item) > check->other->occurrencesOf(item)) check->holds = false;
      },
      &check);
  return check.holds;
}

bool RWHashTable::operator==(const RWHashTable& other) const { return m_entries == other.m_entries && *this <= other; }

RWHashTableIterator::RWHashTableIterator(RWHashTable& table) : m_table(&table), m_bucket(0), m_iterator(nullptr) {
  reset();
}

RWHashTableIterator::RWHashTableIterator(const RWHashTableIterator& other)
    : RWIterator(other),
      m_table(other.m_table),
      m_bucket(other.m_bucket),
      m_iterator(other.m_iterator != nullptr ? new RWSlistCollectablesIterator(*other.m_iterator) : nullptr) {}

RWHashTableIterator& RWHashTableIterator::operator=(const RWHashTableIterator& other) {
  if (this == &other) return *this;
  delete m_iterator;
  m_table = other.m_table;
  m_bucket = other.m_bucket;
  m_iterator = other.m_iterator != nullptr ? new RWSlistCollectablesIterator(*other.m_iterator) : nullptr;
  return *this;
}

RWHashTableIterator::~RWHashTableIterator() { delete m_iterator; }

void RWHashTableIterator::reset() {
  delete m_iterator;
  m_iterator = nullptr;
  m_bucket = 0;
  uint32_t slots = m_table->m_table.length();
  while (m_bucket < slots && m_table->m_table(m_bucket) == nullptr) ++m_bucket;
  if (m_bucket < slots) m_iterator = new RWSlistCollectablesIterator(*m_table->m_table(m_bucket));
}

bool RWHashTableIterator::NextBucket() {
  delete m_iterator;
  m_iterator = nullptr;
  uint32_t slots = m_table->m_table.length();
  if (m_bucket >= slots) return false;
  ++m_bucket;
  while (m_bucket < slots && m_table->m_table(m_bucket) == nullptr) ++m_bucket;
  if (m_bucket >= slots) return false;
  m_iterator = new RWSlistCollectablesIterator(*m_table->m_table(m_bucket));
  return true;
}

RWCollectable* RWHashTableIterator::operator()() {
  while (m_iterator != nullptr) {
    if (RWCollectable* item = (*m_iterator)()) return item;
    if (!NextBucket()) break;
  }
  return nullptr;
}

RWCollectable* RWHashTableIterator::findNext(const RWCollectable* item) {
  while (m_iterator != nullptr) {
    if (RWCollectable* found = m_iterator->findNext(item)) return found;
    if (!NextBucket()) break;
  }
  return nullptr;
}

RWCollectable* RWHashTableIterator::key() const { return m_iterator != nullptr ? m_iterator->key() : nullptr; }

RWCollectable* RWHashTableIterator::remove() {
  if (m_iterator == nullptr) return nullptr;
  RWCollectable* removed = m_iterator->remove();
  if (removed != nullptr) --m_table->m_entries;
  return removed;
}

RWCollectable* RWHashTableIterator::removeNext(const RWCollectable* item) {
  while (m_iterator != nullptr) {
    if (RWCollectable* removed = m_iterator->removeNext(item)) {
      --m_table->m_entries;
      return removed;
    }
    if (!NextBucket()) break;
  }
  return nullptr;
}

RW_REGISTER_COLLECTABLE(RWHashTable, kRWHashTableID);

}  // namespace zentor
