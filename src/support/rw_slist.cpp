#include "support/rw_slist.h"

#include "support/rw_defs.h"
#include "support/rw_link_cache.h"

#include <new>

namespace zentor {

namespace {

RWPSlink* AsItemLink(RWIsvSlink* link) { return static_cast<RWPSlink*>(link); }

}  // namespace

RWPSlink* RWSlist::NewLink(void* item) {
  auto link = new (RWLinkCacheAllocate(sizeof(RWPSlink))) RWPSlink();
  link->m_item = item;
  return link;
}

void RWSlist::FreeLink(RWIsvSlink* link) {
  if (link == nullptr) return;
  auto itemLink = AsItemLink(link);
  itemLink->~RWPSlink();
  RWLinkCacheRelease(itemLink, sizeof(RWPSlink));
}

RWSlist::RWSlist(const RWSlist& other) {
  for (RWIsvSlink* link = other.m_list.firstLink(); link != other.m_list.tailLink(); link = link->m_next) {
    append(AsItemLink(link)->m_item);
  }
}

RWSlist& RWSlist::operator=(const RWSlist& other) {
  if (this == &other) return *this;
  clear();
  for (RWIsvSlink* link = other.m_list.firstLink(); link != other.m_list.tailLink(); link = link->m_next) {
    append(AsItemLink(link)->m_item);
  }
  return *this;
}

void* RWSlist::append(void* item) {
  m_list.append(NewLink(item));
  return item;
}

void* RWSlist::prepend(void* item) {
  m_list.prepend(NewLink(item));
  return item;
}

void* RWSlist::insertAt(uint32_t i, void* item) {
  if (i > m_list.entries()) {
    m_list.insertAt(i, nullptr);  // raises the index error
    return nullptr;
  }
  m_list.insertAt(i, NewLink(item));
  return item;
}

void* RWSlist::insertAfter(uint32_t i, void* item) {
  RWIsvSlink* prev = m_list.at(i);
  if (prev == nullptr) return nullptr;
  m_list.insertAfterLink(prev, NewLink(item));
  return item;
}

void* RWSlist::get() {
  RWIsvSlink* link = m_list.get();
  if (link == nullptr) return nullptr;
  void* item = AsItemLink(link)->m_item;
  FreeLink(link);
  return item;
}

void* RWSlist::first() const { return m_list.isEmpty() ? nullptr : AsItemLink(m_list.firstLink())->m_item; }

void* RWSlist::last() const { return m_list.isEmpty() ? nullptr : AsItemLink(m_list.lastLink())->m_item; }

void*& RWSlist::at(uint32_t i) {
  RWIsvSlink* link = m_list.at(i);
  if (link == nullptr) {
    // The error handler returned: hand out a scratch slot, never a sentinel.
    static void* scratch;
    scratch = nullptr;
    return scratch;
  }
  return AsItemLink(link)->m_item;
}

void* RWSlist::at(uint32_t i) const {
  RWIsvSlink* link = m_list.at(i);
  return link == nullptr ? nullptr : AsItemLink(link)->m_item;
}

void* RWSlist::removeAt(uint32_t i) {
  RWIsvSlink* link = m_list.removeAt(i);
  if (link == nullptr) return nullptr;
  void* item = AsItemLink(link)->m_item;
  FreeLink(link);
  return item;
}

RWIsvSlink* RWSlist::FindPrevious(RWtestGeneric test, const void* argument) const {
  for (RWIsvSlink* prev = m_list.headLink(); prev->m_next != m_list.tailLink(); prev = prev->m_next) {
    if (test(AsItemLink(prev->m_next)->m_item, argument)) return prev;
  }
  return nullptr;
}

RWIsvSlink* RWSlist::FindPreviousReference(const void* item) const {
  for (RWIsvSlink* prev = m_list.headLink(); prev->m_next != m_list.tailLink(); prev = prev->m_next) {
    if (AsItemLink(prev->m_next)->m_item == item) return prev;
  }
  return nullptr;
}

void* RWSlist::find(RWtestGeneric test, const void* argument) const {
  RWIsvSlink* prev = FindPrevious(test, argument);
  return prev == nullptr ? nullptr : AsItemLink(prev->m_next)->m_item;
}

uint32_t RWSlist::index(RWtestGeneric test, const void* argument) const {
  uint32_t i = 0;
  for (RWIsvSlink* link = m_list.firstLink(); link != m_list.tailLink(); link = link->m_next, ++i) {
    if (test(AsItemLink(link)->m_item, argument)) return i;
  }
  return RW_NPOS;
}

uint32_t RWSlist::occurrencesOf(RWtestGeneric test, const void* argument) const {
  uint32_t count = 0;
  for (RWIsvSlink* link = m_list.firstLink(); link != m_list.tailLink(); link = link->m_next) {
    if (test(AsItemLink(link)->m_item, argument)) ++count;
  }
  return count;
}

void* RWSlist::remove(RWtestGeneric test, const void* argument) {
  RWIsvSlink* prev = FindPrevious(test, argument);
  if (prev == nullptr) return nullptr;
  RWIsvSlink* link = m_list.removeAfterLink(prev);
  void* item = AsItemLink(link)->m_item;
  FreeLink(link);
  return item;
}

void* RWSlist::findReference(const void* item) const {
  RWIsvSlink* prev = FindPreviousReference(item);
  return prev == nullptr ? nullptr : AsItemLink(prev->m_next)->m_item;
}

bool RWSlist::containsReference(const void* item) const { return FindPreviousReference(item) != nullptr; }

uint32_t RWSlist::occurrencesOfReference(const void* item) const {
  uint32_t count = 0;
  for (RWIsvSlink* link = m_list.firstLink(); link != m_list.tailLink(); link = link->m_next) {
    if (AsItemLink(link)->m_item == item) ++count;
  }
  return count;
}

void* RWSlist::removeReference(const void* item) {
  RWIsvSlink* prev = FindPreviousReference(item);
  if (prev == nullptr) return nullptr;
  RWIsvSlink* link = m_list.removeAfterLink(prev);
  void* stored = AsItemLink(link)->m_item;
  FreeLink(link);
  return stored;
}

void RWSlist::apply(RWapplyGeneric function, void* argument) const {
  for (RWIsvSlink* link = m_list.firstLink(); link != m_list.tailLink(); link = link->m_next) {
    function(AsItemLink(link)->m_item, argument);
  }
}

void RWSlist::applyReference(RWapplyGenericReference function, void* argument) {
  for (RWIsvSlink* link = m_list.firstLink(); link != m_list.tailLink(); link = link->m_next) {
    function(&AsItemLink(link)->m_item, argument);
  }
}

void RWSlist::clear() {
  RWIsvSlink* link = m_list.firstLink();
  while (link != m_list.tailLink()) {
    RWIsvSlink* next = link->m_next;
    FreeLink(link);
    link = next;
  }
  m_list.clear();
}

void* RWSlistIterator::operator()() {
  RWIsvSlink* link = RWIsvSlistIterator::operator()();
  return link == nullptr ? nullptr : AsItemLink(link)->m_item;
}

void* RWSlistIterator::operator+=(uint32_t n) {
  RWIsvSlink* link = RWIsvSlistIterator::operator+=(n);
  return link == nullptr ? nullptr : AsItemLink(link)->m_item;
}

void* RWSlistIterator::key() const {
  RWIsvSlink* link = RWIsvSlistIterator::key();
  return link == nullptr ? nullptr : AsItemLink(link)->m_item;
}

void* RWSlistIterator::findNext(RWtestGeneric test, const void* argument) {
  while (RWIsvSlistIterator::operator()() != nullptr) {
    if (test(AsItemLink(m_cursor)->m_item, argument)) return AsItemLink(m_cursor)->m_item;
  }
  return nullptr;
}

void* RWSlistIterator::findNextReference(const void* item) {
  while (RWIsvSlistIterator::operator()() != nullptr) {
    if (AsItemLink(m_cursor)->m_item == item) return AsItemLink(m_cursor)->m_item;
  }
  return nullptr;
}

void* RWSlistIterator::RemoveAfter(RWIsvSlink* prev) {
  RWIsvSlink* link = m_list->removeAfterLink(prev);
  if (link == nullptr) return nullptr;
  void* item = AsItemLink(link)->m_item;
  RWSlist::FreeLink(link);
  return item;
}

void* RWSlistIterator::removeNext(RWtestGeneric test, const void* argument) {
  if (m_cursor == m_list->tailLink()) return nullptr;
  for (RWIsvSlink* prev = m_cursor; prev->m_next != m_list->tailLink(); prev = prev->m_next) {
    if (test(AsItemLink(prev->m_next)->m_item, argument)) {
      m_cursor = prev;
      return RemoveAfter(prev);
    }
  }
  return nullptr;
}

void* RWSlistIterator::removeNextReference(const void* item) {
  if (m_cursor == m_list->tailLink()) return nullptr;
  for (RWIsvSlink* prev = m_cursor; prev->m_next != m_list->tailLink(); prev = prev->m_next) {
    if (AsItemLink(prev->m_next)->m_item == item) {
      m_cursor = prev;
      return RemoveAfter(prev);
    }
  }
  return nullptr;
}

void* RWSlistIterator::remove() {
  RWIsvSlink* link = RWIsvSlistIterator::remove();
  if (link == nullptr) return nullptr;
  void* item = AsItemLink(link)->m_item;
  RWSlist::FreeLink(link);
  return item;
}

void* RWSlistIterator::insertAfterPoint(void* item) {
  RWIsvSlistIterator::insertAfterPoint(RWSlist::NewLink(item));
  return item;
}

}  // namespace zentor
