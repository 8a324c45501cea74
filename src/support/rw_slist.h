#pragma once
// RWSlist: a singly linked list of untyped item pointers, with links of two words
// {next, item} drawn from the link cache. The collectable lists and the generic stack
// are built on it. The list never owns its items.

#include <cstdint>

#include "support/rw_isv_slist.h"

namespace zentor {

// A tester answers nonzero when item matches argument.
using RWtestGeneric = int (*)(const void* item, const void* argument);
using RWapplyGeneric = void (*)(void* item, void* argument);
using RWapplyGenericReference = void (*)(void** itemSlot, void* argument);

struct RWPSlink : RWIsvSlink {
  void* m_item = nullptr;
};

class RWSlist {
 public:
  RWSlist() = default;
  RWSlist(const RWSlist& other);
  RWSlist& operator=(const RWSlist& other);
  ~RWSlist() { clear(); }

  void* append(void* item);
  void* prepend(void* item);
  // Before position i; i equal to entries appends, i above entries raises [INDEXERR].
  void* insertAt(uint32_t i, void* item);
  // After the item at position i ([INDEXERR] when i is not below entries).
  void* insertAfter(uint32_t i, void* item);

  // Removes the first link and returns its item, null when empty.
  void* get();
  void* first() const;
  void* last() const;
  // Checked: [INDEXERR] (i, entries) when i is not below entries.
  void*& at(uint32_t i);
  void* at(uint32_t i) const;
  // Removes the item at position i ([INDEXERR] when i is not below entries).
  void* removeAt(uint32_t i);

  void* find(RWtestGeneric test, const void* argument) const;
  // RW_NPOS when none.
  uint32_t index(RWtestGeneric test, const void* argument) const;
  uint32_t occurrencesOf(RWtestGeneric test, const void* argument) const;
  // Removes the first match and returns its item, null when none.
  void* remove(RWtestGeneric test, const void* argument);
  bool contains(RWtestGeneric test, const void* argument) const { return find(test, argument) != nullptr; }

  // Identity forms: compare item pointers.
  void* findReference(const void* item) const;
  uint32_t occurrencesOfReference(const void* item) const;
  void* removeReference(const void* item);
  bool containsReference(const void* item) const;

  void apply(RWapplyGeneric function, void* argument) const;
  // Passes the address of each stored item pointer.
  void applyReference(RWapplyGenericReference function, void* argument);

  // Returns every link to the link cache; items are untouched.
  void clear();
  bool isEmpty() const { return m_list.isEmpty(); }
  uint32_t entries() const { return m_list.entries(); }

 private:
  friend class RWSlistIterator;

  static RWPSlink* NewLink(void* item);
  static void FreeLink(RWIsvSlink* link);
  // The link before the first match, null when none.
  RWIsvSlink* FindPrevious(RWtestGeneric test, const void* argument) const;
  RWIsvSlink* FindPreviousReference(const void* item) const;

  RWIsvSlist m_list;
};

// A cursor over an RWSlist, starting before the first item.
class RWSlistIterator : private RWIsvSlistIterator {
 public:
  explicit RWSlistIterator(RWSlist& list) : RWIsvSlistIterator(list.m_list), m_slist(&list) {}

  // Advances and returns the item reached, null at the end.
  void* operator()();
  // Advances n times and returns the item reached (the current one for n = 0).
  void* operator+=(uint32_t n);
  // The current item, null before the first and after the last.
  void* key() const;
  void* findNext(RWtestGeneric test, const void* argument);
  void* findNextReference(const void* item);
  // Remove the next matching link after the cursor and return its item; the cursor
  // moves to the removed link's predecessor, so the next advance returns the item
  // that followed it.
  void* removeNext(RWtestGeneric test, const void* argument);
  void* removeNextReference(const void* item);
  // Removes the item at the cursor, moving the cursor to its predecessor.
  void* remove();
  void* insertAfterPoint(void* item);

  using RWIsvSlistIterator::atFirst;
  using RWIsvSlistIterator::atLast;
  using RWIsvSlistIterator::toFirst;
  using RWIsvSlistIterator::toLast;
  void reset() { RWIsvSlistIterator::reset(); }
  void reset(RWSlist& list) {
    m_slist = &list;
    RWIsvSlistIterator::reset(list.m_list);
  }

 private:
  // Unlinks the link after prev, gives it back to the cache and returns its item.
  void* RemoveAfter(RWIsvSlink* prev);

  RWSlist* m_slist;
};

}  // namespace zentor
