#pragma once
// RWGStack: a push-down stack of untyped item pointers over an RWSlist. The viewpoint
// stack keeps heap copies of viewpoint handles in one and the symbol-file loader keeps
// a stack of its state in another. The stack never owns its items: whoever pushes an
// item deletes it after popping it.

#include <cstdint>

#include "support/rw_slist.h"

namespace zentor {

class RWGStack {
 public:
  RWGStack() = default;
  RWGStack(const RWGStack&) = default;
  RWGStack& operator=(const RWGStack&) = default;
  // The links go back to the link cache; the items are not deleted.
  ~RWGStack() = default;

  void push(void* item) { m_list.prepend(item); }
  // Removes and returns the top item, null when the stack is empty.
  void* pop() { return m_list.get(); }
  // The top item, null when the stack is empty.
  void* top() const { return m_list.first(); }
  bool isEmpty() const { return m_list.isEmpty(); }
  uint32_t entries() const { return m_list.entries(); }
  // Drops every item (not deleting any).
  void clear() { m_list.clear(); }

 private:
  RWSlist m_list;
};

// The typed face of RWGStack for a stack of T pointers.
template <typename T>
class RWGStackOf {
 public:
  void push(T* item) { m_stack.push(item); }
  T* pop() { return static_cast<T*>(m_stack.pop()); }
  T* top() const { return static_cast<T*>(m_stack.top()); }
  bool isEmpty() const { return m_stack.isEmpty(); }
  uint32_t entries() const { return m_stack.entries(); }
  void clear() { m_stack.clear(); }

 private:
  RWGStack m_stack;
};

}  // namespace zentor
