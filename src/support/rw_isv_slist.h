#pragma once
// RWIsvSlist: the intrusive singly linked list the library's lists are built on.
// Links are chained through their first word; a head sentinel and a tail sentinel
// (whose next pointer points to itself) bracket the real links, so insertion and
// removal after a link need no special cases. The list neither allocates nor frees
// links.

#include <cstdint>

namespace zentor {

struct RWIsvSlink {
  RWIsvSlink* m_next = nullptr;
};

class RWIsvSlist {
 public:
  RWIsvSlist() { init(); }
  RWIsvSlist(const RWIsvSlist&) = delete;
  RWIsvSlist& operator=(const RWIsvSlist&) = delete;

  // link goes after prev (a link of this list or the head sentinel).
  void insertAfterLink(RWIsvSlink* prev, RWIsvSlink* link);
  // Unlinks and returns the link after prev; null for a null prev or when prev has
  // no real link after it.
  RWIsvSlink* removeAfterLink(RWIsvSlink* prev);

  void append(RWIsvSlink* link) { insertAfterLink(m_last, link); }
  void prepend(RWIsvSlink* link) { insertAfterLink(&m_head, link); }
  // Removes and returns the first link, null when empty.
  RWIsvSlink* get() { return removeAfterLink(&m_head); }

  // Positional access: [INDEXERR] (i, entries) when i is not below entries (for
  // insertAt: above entries). After a raised error that the handler returned from,
  // at and removeAt give null and insertAt does nothing.
  RWIsvSlink* at(uint32_t i) const;
  void insertAt(uint32_t i, RWIsvSlink* link);
  RWIsvSlink* removeAt(uint32_t i);

  // Removes that very link when it is in the list; null otherwise.
  RWIsvSlink* removeReference(RWIsvSlink* link);
  bool containsReference(const RWIsvSlink* link) const;
  // The predecessor of link (possibly the head sentinel); null when link is null or
  // not in the list.
  RWIsvSlink* findLeftLink(const RWIsvSlink* link) const;

  bool isEmpty() const { return m_entries == 0; }
  uint32_t entries() const { return m_entries; }
  // Forgets every link (they are not freed).
  void clear() { init(); }

  RWIsvSlink* firstLink() const { return m_head.m_next; }
  RWIsvSlink* lastLink() const { return m_last; }
  RWIsvSlink* headLink() const { return const_cast<RWIsvSlink*>(&m_head); }
  RWIsvSlink* tailLink() const { return const_cast<RWIsvSlink*>(&m_tail); }
  bool isSentinel(const RWIsvSlink* link) const { return link == &m_head || link == &m_tail; }

 private:
  void init();

  RWIsvSlink m_head;
  // Its next pointer points to itself, except while removeReference borrows it as
  // the stop mark of its walk.
  RWIsvSlink m_tail;
  RWIsvSlink* m_last;  // the last real link, or the head sentinel when empty
  uint32_t m_entries;
};

// A cursor over an RWIsvSlist, starting on the head sentinel.
class RWIsvSlistIterator {
 public:
  explicit RWIsvSlistIterator(RWIsvSlist& list) : m_list(&list), m_cursor(list.headLink()) {}

  // Advances and returns the link reached, null at the tail.
  RWIsvSlink* operator()();
  // Advances n times and returns the link reached (the current one for n = 0).
  RWIsvSlink* operator+=(uint32_t n);
  // The link at the cursor, null on a sentinel.
  RWIsvSlink* key() const;
  bool atFirst() const;
  bool atLast() const;
  // Cursor on the first or last link; on the tail sentinel when the list is empty.
  void toFirst();
  void toLast();
  void reset() { m_cursor = m_list->headLink(); }
  void reset(RWIsvSlist& list) {
    m_list = &list;
    reset();
  }
  // Removes the link at the cursor and moves the cursor to its predecessor.
  RWIsvSlink* remove();
  // Inserts link after the cursor (first when the cursor is on the head sentinel).
  void insertAfterPoint(RWIsvSlink* link);

  RWIsvSlist* container() const { return m_list; }

 protected:
  RWIsvSlist* m_list;
  RWIsvSlink* m_cursor;
};

}  // namespace zentor
