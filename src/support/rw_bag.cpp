#include "support/rw_bag.h"

#include <limits>
#include <new>

#include "support/rw_collectable_int.h"
#include "support/rw_factory.h"

namespace zentor {

namespace {

RW_REGISTER_COLLECTABLE(RWBag, kRWBagID);

// Counts are kept as positive 32-bit integers.
constexpr uint32_t kMaxCount = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());

uint32_t CountOf(const RWCollectable* count) {
  return static_cast<uint32_t>(static_cast<const RWCollectableInt*>(count)->value());
}

}  // namespace

RWBag::RWBag(const RWBag& other) : RWCollection(other), m_total(other.m_total), m_contents(other.m_contents) {
  // The dictionary copy shares the other bag's count objects: give each its own.
  RWHashDictionaryIterator next(m_contents);
  while (next() != nullptr) {
    RWCollectable* fresh = new RWCollectableInt(static_cast<int32_t>(CountOf(next.value())));
    next.value(fresh);
  }
}

RWBag& RWBag::operator=(const RWBag& other) {
  if (this == &other) return *this;
  clear();
  other.m_contents.applyToKeyAndValue(
      [](RWCollectable* item, RWCollectable* count, void* self) {
        static_cast<RWBag*>(self)->insertWithOccurrences(item, CountOf(count));
      },
      this);
  return *this;
}

RWBag::~RWBag() { DeleteCounts(); }

void RWBag::DeleteCounts() {
  m_contents.applyToKeyAndValue([](RWCollectable*, RWCollectable* count, void*) { delete count; }, nullptr);
  m_contents.clear();
}

RWCollectable* RWBag::newSpecies() const { return new (std::nothrow) RWBag(DEFAULT_CAPACITY); }
RWCollectable* RWBag::copy() const { return new (std::nothrow) RWBag(*this); }
RWClassID RWBag::isA() const { return kRWBagID; }

bool RWBag::isEqual(const RWCollectable* other) const {
  if (other == nullptr || other->isA() != kRWBagID) return false;
  const auto* bag = dynamic_cast<const RWBag*>(other);
  return bag != nullptr && *this == *bag;
}

bool RWBag::operator==(const RWBag& other) const { return m_total == other.m_total && m_contents == other.m_contents; }

void RWBag::apply(RWapplyCollectable function, void* argument) const {
  struct Visit {
    RWapplyCollectable function;
    void* argument;
  };
  Visit visit{function, argument};
  m_contents.applyToKeyAndValue(
      [](RWCollectable* item, RWCollectable* count, void* state) {
        auto* visit = static_cast<Visit*>(state);
        for (uint32_t n = CountOf(count); n > 0; --n) visit->function(item, visit->argument);
      },
      &visit);
}

void RWBag::clear() {
  DeleteCounts();
  m_total = 0;
}

void RWBag::clearAndDestroy() {
  m_contents.clearAndDestroy();
  m_total = 0;
}

RWCollectable* RWBag::find(const RWCollectable* item) const { return m_contents.find(item); }

RWCollectable* RWBag::insert(RWCollectable* item) { return insertWithOccurrences(item, 1); }

uint32_t RWBag::occurrencesOf(const RWCollectable* item) const {
  RWCollectable* count = m_contents.findValue(item);
  return count == nullptr ? 0 : CountOf(count);
}

RWCollectable* RWBag::insertWithOccurrences(RWCollectable* item, uint32_t n) {
  if (item == nullptr || n > kMaxCount) return nullptr;
  if (static_cast<uint64_t>(m_total) + n > std::numeric_limits<uint32_t>::max()) return nullptr;
  RWCollectable* count = nullptr;
  if (RWCollectable* stored = m_contents.findKeyAndValue(item, count)) {
    auto* counter = static_cast<RWCollectableInt*>(count);
    if (static_cast<uint64_t>(CountOf(counter)) + n > kMaxCount) return nullptr;
    counter->value(static_cast<int32_t>(CountOf(counter) + n));
    m_total += n;
    return stored;
  }
  // An item stored with no occurrences would be met by nothing but could not be
  // walked over either.
  if (n == 0) return nullptr;
  auto* counter = new (std::nothrow) RWCollectableInt(static_cast<int32_t>(n));
  if (counter == nullptr) return nullptr;
  if (m_contents.insertKeyAndValue(item, counter) == nullptr) {
    delete counter;
    return nullptr;
  }
  m_total += n;
  return item;
}

RWCollectable* RWBag::remove(const RWCollectable* item) {
  RWCollectable* count = nullptr;
  RWCollectable* stored = m_contents.findKeyAndValue(item, count);
  if (stored == nullptr) return nullptr;
  auto* counter = static_cast<RWCollectableInt*>(count);
  if (CountOf(counter) <= 1) {
    RWCollectable* removedCount = nullptr;
    m_contents.removeKeyAndValue(item, removedCount);
    delete removedCount;
  } else {
    counter->value(counter->value() - 1);
  }
  --m_total;
  return stored;
}

void RWBag::removeAndDestroy(const RWCollectable* item) {
  RWCollectable* stored = remove(item);
  if (stored != nullptr && occurrencesOf(stored) == 0) delete stored;
}

RWCollectable* RWBagIterator::Enter(RWCollectable* item) {
  if (item == nullptr) {
    m_current = nullptr;
    m_remaining = 0;
    return nullptr;
  }
  m_current = item;
  m_remaining = CountOf(m_iterator.value()) - 1;
  return item;
}

RWCollectable* RWBagIterator::operator()() {
  if (m_current != nullptr && m_remaining > 0) {
    --m_remaining;
    return m_current;
  }
  return Enter(m_iterator());
}

RWCollectable* RWBagIterator::findNext(const RWCollectable* item) {
  if (m_current != nullptr && m_remaining > 0 && RWStoredItemMatches(m_current, item)) {
    --m_remaining;
    return m_current;
  }
  return Enter(m_iterator.findNext(item));
}

void RWBagIterator::reset() {
  m_iterator.reset();
  m_remaining = 0;
  m_current = nullptr;
}

RWBag RWCollection::asBag() const {
  RWBag bag(entries() / 2);
  apply([](RWCollectable* item, void* target) { static_cast<RWBag*>(target)->insert(item); }, &bag);
  return bag;
}

}  // namespace zentor
