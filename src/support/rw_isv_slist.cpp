#include "support/rw_isv_slist.h"

#include "support/rw_messages.h"

namespace zentor {

void RWIsvSlist::init() {
  m_head.m_next = &m_tail;
  m_tail.m_next = &m_tail;
  m_last = &m_head;
  m_entries = 0;
}

void RWIsvSlist::insertAfterLink(RWIsvSlink* prev, RWIsvSlink* link) {
  link->m_next = prev->m_next;
  prev->m_next = link;
  if (prev == m_last) m_last = link;
  ++m_entries;
}

RWIsvSlink* RWIsvSlist::removeAfterLink(RWIsvSlink* prev) {
  if (prev == nullptr || prev == &m_tail) return nullptr;
  RWIsvSlink* link = prev->m_next;
  if (link == &m_tail) return nullptr;
  prev->m_next = link->m_next;
  if (link == m_last) m_last = prev;
  --m_entries;
  link->m_next = nullptr;
  return link;
}

RWIsvSlink* RWIsvSlist::at(uint32_t i) const {
  if (i >= m_entries) {
    RWRaiseIndexErr(i, m_entries);
    return nullptr;
  }
  RWIsvSlink* link = m_head.m_next;
  while (i-- > 0) link = link->m_next;
  return link;
}

void RWIsvSlist::insertAt(uint32_t i, RWIsvSlink* link) {
  if (i > m_entries) {
    RWRaiseIndexErr(i, m_entries);
    return;
  }
  insertAfterLink(i == 0 ? headLink() : at(i - 1), link);
}

RWIsvSlink* RWIsvSlist::removeAt(uint32_t i) {
  if (i >= m_entries) {
    RWRaiseIndexErr(i, m_entries);
    return nullptr;
  }
  return removeAfterLink(i == 0 ? headLink() : at(i - 1));
}

RWIsvSlink* RWIsvSlist::findLeftLink(const RWIsvSlink* link) const {
  if (link == nullptr || isSentinel(link)) return nullptr;
  for (RWIsvSlink* prev = headLink(); prev->m_next != &m_tail; prev = prev->m_next) {
    if (prev->m_next == link) return prev;
  }
  return nullptr;
}

RWIsvSlink* RWIsvSlist::removeReference(RWIsvSlink* link) {
  if (link == nullptr || isSentinel(link)) return nullptr;
  // The tail sentinel briefly points at the link sought, so the walk below stops at
  // the link or, when it is not in the list, at the tail, without an end test.
  m_tail.m_next = link;
  RWIsvSlink* prev = &m_head;
  while (prev->m_next != link) prev = prev->m_next;
  m_tail.m_next = &m_tail;
  return prev == &m_tail ? nullptr : removeAfterLink(prev);
}

bool RWIsvSlist::containsReference(const RWIsvSlink* link) const { return findLeftLink(link) != nullptr; }

RWIsvSlink* RWIsvSlistIterator::operator()() {
  m_cursor = m_cursor->m_next;
  return m_cursor == m_list->tailLink() ? nullptr : m_cursor;
}

RWIsvSlink* RWIsvSlistIterator::operator+=(uint32_t n) {
  while (n-- > 0 && (*this)() != nullptr) {
  }
  return key();
}

RWIsvSlink* RWIsvSlistIterator::key() const { return m_list->isSentinel(m_cursor) ? nullptr : m_cursor; }

bool RWIsvSlistIterator::atFirst() const { return !m_list->isEmpty() && m_cursor == m_list->firstLink(); }

bool RWIsvSlistIterator::atLast() const { return !m_list->isEmpty() && m_cursor == m_list->lastLink(); }

void RWIsvSlistIterator::toFirst() { m_cursor = m_list->firstLink(); }

void RWIsvSlistIterator::toLast() { m_cursor = m_list->isEmpty() ? m_list->tailLink() : m_list->lastLink(); }

RWIsvSlink* RWIsvSlistIterator::remove() {
  RWIsvSlink* prev = m_list->findLeftLink(m_cursor);
  if (prev == nullptr) return nullptr;
  RWIsvSlink* link = m_list->removeAfterLink(prev);
  m_cursor = prev;
  return link;
}

void RWIsvSlistIterator::insertAfterPoint(RWIsvSlink* link) {
  // Past the end, "after the cursor" can only mean the end of the list.
  m_list->insertAfterLink(m_cursor == m_list->tailLink() ? m_list->lastLink() : m_cursor, link);
}

}  // namespace zentor
