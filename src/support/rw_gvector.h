#pragma once
// RWGVector: a fixed-length heap array of items (pointers in every use) with explicit
// reshaping. It has no virtual operations; RWOrdered keeps its items in one and the
// hash table its buckets.

#include <cstdint>

#include "support/rw_messages.h"

namespace zentor {

template <typename T>
class RWGVector {
 public:
  explicit RWGVector(uint32_t n = 0, T fill = T()) : m_length(n), m_array(n ? new T[n] : nullptr) {
    for (uint32_t i = 0; i < n; ++i) m_array[i] = fill;
  }
  RWGVector(const RWGVector& other) : m_length(other.m_length), m_array(other.m_length ? new T[other.m_length] : nullptr) {
    for (uint32_t i = 0; i < m_length; ++i) m_array[i] = other.m_array[i];
  }
  RWGVector& operator=(const RWGVector& other) {
    if (this == &other) return *this;
    T* array = other.m_length ? new T[other.m_length] : nullptr;
    for (uint32_t i = 0; i < other.m_length; ++i) array[i] = other.m_array[i];
    delete[] m_array;
    m_array = array;
    m_length = other.m_length;
    return *this;
  }
  // Sets every slot.
  RWGVector& operator=(T fill) {
    for (uint32_t i = 0; i < m_length; ++i) m_array[i] = fill;
    return *this;
  }
  ~RWGVector() { delete[] m_array; }

  // A new array of n slots receives the first min(length, n) slots; the others are
  // value-initialised (null for pointers).
  void reshape(uint32_t n) {
    if (n == m_length) return;
    T* array = n ? new T[n]() : nullptr;
    uint32_t keep = n < m_length ? n : m_length;
    for (uint32_t i = 0; i < keep; ++i) array[i] = m_array[i];
    delete[] m_array;
    m_array = array;
    m_length = n;
  }

  uint32_t length() const { return m_length; }
  // Unchecked access.
  T& operator()(uint32_t i) { return m_array[i]; }
  const T& operator()(uint32_t i) const { return m_array[i]; }
  const T* data() const { return m_array; }
  // Raises [INDEXERR] with i and the length when i is not below the length.
  void boundsCheck(uint32_t i) const {
    if (i >= m_length) RWRaiseIndexErr(i, m_length);
  }

 private:
  uint32_t m_length;
  T* m_array;
};

}  // namespace zentor
