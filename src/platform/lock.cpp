#include "platform/lock.h"

#include "platform/thread.h"

namespace zentor::platform {

void Lock::Enter() {
  uint32_t self = CurrentThreadId();
  if (m_owner.load(std::memory_order_relaxed) == self) {
    ++m_depth;
    return;
  }
  EnterNative();
  m_owner.store(self, std::memory_order_relaxed);
  m_depth = 1;
}

bool Lock::TryEnter() {
  uint32_t self = CurrentThreadId();
  if (m_owner.load(std::memory_order_relaxed) == self) {
    ++m_depth;
    return true;
  }
  if (!TryEnterNative()) return false;
  m_owner.store(self, std::memory_order_relaxed);
  m_depth = 1;
  return true;
}

void Lock::Leave() {
  // Leaving a lock the caller does not hold would release somebody else's: ignore it.
  if (!IsHeldByCurrentThread()) return;
  if (--m_depth != 0) return;
  m_owner.store(0, std::memory_order_relaxed);
  LeaveNative();
}

uint32_t Lock::LeaveAll() {
  if (!IsHeldByCurrentThread()) return 0;
  uint32_t depth = m_depth;
  m_depth = 0;
  m_owner.store(0, std::memory_order_relaxed);
  LeaveNative();
  return depth;
}

void Lock::EnterTimes(uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) Enter();
}

bool Lock::IsHeldByCurrentThread() const {
  return m_owner.load(std::memory_order_relaxed) == CurrentThreadId();
}

uint32_t Lock::DepthForCurrentThread() const { return IsHeldByCurrentThread() ? m_depth : 0; }

}  // namespace zentor::platform
