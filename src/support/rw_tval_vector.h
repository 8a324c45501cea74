#pragma once
// Value vectors of the class library: RWTValVector<T>, a fixed-length array of T held
// by value, and RWTValOrderedVector<T>, a list of T in a vector that grows by 64
// elements at a time. The program keeps lists of its own value types in them (the
// argument vector of an error, the symbol lookup stack, the breakpoint lists, the
// loader's type-translation stack). Elements are copied in with T's assignment and
// compared with T's operator==, which for some element types is object identity.
//
// Every index is checked: an index out of range raises the library's bounds error
// "[INDEXERR] Illegal Index (%u) for collection with %u elements" and the vector is
// left unchanged.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <utility>

#include "support/rw_defs.h"
#include "support/rw_messages.h"

namespace zentor {

// Growth step of RWTValOrderedVector: a literal, not the library's resize variable.
inline constexpr uint32_t kRWTValVectorGrowth = 64;
inline constexpr uint32_t kRWTValDefaultCapacity = 64;

// Reports an element access outside the vector. The library's error handler does not
// return in the program; should a replaced handler return, there is no element to
// refer to and the access cannot go on.
[[noreturn]] inline void RWTValAccessOutOfRange(uint32_t index, uint32_t count) {
  RWRaiseIndexErr(index, count);
  std::abort();
}

template <typename T>
class RWTValVector {
 public:
  RWTValVector() = default;
  // n default-constructed elements.
  explicit RWTValVector(uint32_t n) : m_length(n), m_array(Allocate(n)) {}
  // n elements, each assigned value.
  RWTValVector(uint32_t n, const T& value) : m_length(n), m_array(Allocate(n)) {
    for (uint32_t i = 0; i < n; ++i) m_array[i] = value;
  }
  RWTValVector(const RWTValVector& other) : m_length(other.m_length), m_array(Allocate(other.m_length)) {
    for (uint32_t i = 0; i < m_length; ++i) m_array[i] = other.m_array[i];
  }
  RWTValVector& operator=(const RWTValVector& other) {
    if (this == &other) return *this;
    std::unique_ptr<T[]> fresh = Allocate(other.m_length);
    for (uint32_t i = 0; i < other.m_length; ++i) fresh[i] = other.m_array[i];
    m_array = std::move(fresh);
    m_length = other.m_length;
    return *this;
  }
  // Assigns value to every element.
  RWTValVector& operator=(const T& value) {
    for (uint32_t i = 0; i < m_length; ++i) m_array[i] = value;
    return *this;
  }
  ~RWTValVector() = default;

  uint32_t length() const { return m_length; }

  // Changes the length to n: the first min(length, n) elements are kept (assigned
  // into a new array), any new ones are default-constructed, dropped ones destroyed.
  void reshape(uint32_t n) {
    if (n == m_length) return;
    std::unique_ptr<T[]> fresh = Allocate(n);
    const uint32_t kept = n < m_length ? n : m_length;
    for (uint32_t i = 0; i < kept; ++i) fresh[i] = m_array[i];
    m_array = std::move(fresh);
    m_length = n;
  }

  void boundsCheck(uint32_t i) const {
    if (i >= m_length) RWRaiseIndexErr(i, m_length);
  }

  T& operator[](uint32_t i) { return At(i); }
  const T& operator[](uint32_t i) const { return At(i); }
  // Checked as well: an index that a caller failed to keep in range raises the
  // bounds error instead of reaching memory outside the array.
  T& operator()(uint32_t i) { return At(i); }
  const T& operator()(uint32_t i) const { return At(i); }

  T* data() { return m_array.get(); }
  const T* data() const { return m_array.get(); }

 protected:
  static std::unique_ptr<T[]> Allocate(uint32_t n) {
    // Array new builds every element with T's default constructor (plain types are
    // zeroed); the array's delete destroys each one.
    return n == 0 ? nullptr : std::unique_ptr<T[]>(new T[n]());
  }

  T& At(uint32_t i) const {
    if (i >= m_length) RWTValAccessOutOfRange(i, m_length);
    return m_array[i];
  }

  uint32_t m_length = 0;
  std::unique_ptr<T[]> m_array;
};

// A list of T held in an RWTValVector whose length is the capacity. A full vector
// grows by exactly 64 elements, copying every element into the new array.
template <typename T>
class RWTValOrderedVector : public RWTValVector<T> {
  using Base = RWTValVector<T>;

 public:
  explicit RWTValOrderedVector(uint32_t capacity = kRWTValDefaultCapacity) : Base(capacity) {}
  RWTValOrderedVector(const RWTValOrderedVector& other) = default;
  RWTValOrderedVector& operator=(const RWTValOrderedVector& other) = default;

  uint32_t entries() const { return m_entries; }
  // The number of elements in the list (not the capacity).
  uint32_t length() const { return m_entries; }
  uint32_t capacity() const { return Base::m_length; }
  bool isEmpty() const { return m_entries == 0; }

  // Position of the first element equal to value (T's operator==), RW_NPOS when none.
  uint32_t index(const T& value) const {
    for (uint32_t i = 0; i < m_entries; ++i) {
      if (Base::m_array[i] == value) return i;
    }
    return RW_NPOS;
  }
  bool contains(const T& value) const { return index(value) != RW_NPOS; }

  void insert(const T& value) { insertAt(m_entries, value); }
  void append(const T& value) { insertAt(m_entries, value); }

  // Inserts before position i (i equal to entries appends). An i above entries
  // raises the bounds error and inserts nothing.
  void insertAt(uint32_t i, const T& value) {
    if (i > m_entries) {
      RWRaiseIndexErr(i, m_entries);
      return;
    }
    // The value may be an element of this very vector: keep a copy before the
    // elements move and the array is replaced.
    T copy;
    copy = value;
    if (Base::m_length <= m_entries) resize(m_entries + kRWTValVectorGrowth);
    for (uint32_t j = m_entries; j > i; --j) Base::m_array[j] = Base::m_array[j - 1];
    Base::m_array[i] = copy;
    ++m_entries;
  }

  // Removes the element at i, moving the later ones down. The slot that falls out of
  // the list is reset to a default element so that it holds no copy of a removed
  // element (and nothing it refers to). An i not below entries raises the bounds
  // error and removes nothing. The capacity never shrinks.
  void removeAt(uint32_t i) {
    if (i >= m_entries) {
      RWRaiseIndexErr(i, m_entries);
      return;
    }
    for (uint32_t j = i + 1; j < m_entries; ++j) Base::m_array[j - 1] = Base::m_array[j];
    --m_entries;
    ResetSlot(m_entries);
  }

  // Empties the list; every used slot is reset to a default element.
  void clear() {
    for (uint32_t i = 0; i < m_entries; ++i) ResetSlot(i);
    m_entries = 0;
  }

  // Reshapes to n only when n is above entries; otherwise nothing.
  void resize(uint32_t n) {
    if (n > m_entries) Base::reshape(n);
  }
  // Reshaping below the entry count drops the elements past the new capacity.
  void reshape(uint32_t n) {
    Base::reshape(n);
    if (m_entries > n) m_entries = n;
  }

  void boundsCheck(uint32_t i) const {
    if (i >= m_entries) RWRaiseIndexErr(i, m_entries);
  }

  T& operator[](uint32_t i) { return At(i); }
  const T& operator[](uint32_t i) const { return At(i); }
  T& operator()(uint32_t i) { return At(i); }
  const T& operator()(uint32_t i) const { return At(i); }

  // Every slot of the capacity gets value; the entry count is unchanged.
  RWTValOrderedVector& operator=(const T& value) {
    Base::operator=(value);
    return *this;
  }

 private:
  // A slot that leaves the list gets a default element, so a removed element's
  // resources (strings, parsed expressions) are released now and not when the slot
  // is next written. Element types without a destructor hold nothing to release.
  void ResetSlot(uint32_t i) {
    if constexpr (!std::is_trivially_destructible_v<T>) Base::m_array[i] = T();
  }

  T& At(uint32_t i) const {
    if (i >= m_entries) RWTValAccessOutOfRange(i, m_entries);
    return Base::m_array[i];
  }

  uint32_t m_entries = 0;
};

}  // namespace zentor
