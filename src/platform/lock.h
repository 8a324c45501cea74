#pragma once
// A recursive critical section: the one lock of the program's own code (memory pools,
// the memory manager's global tables, the error-handler record). It knows its owner and
// how often the owner entered it, so a caller can leave it completely before calling
// out (an error handler that might allocate) and enter it again as deeply afterwards.

#include <atomic>
#include <cstdint>

namespace zentor::platform {

class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Enter();
  bool TryEnter();
  void Leave();

  // Leaves every level the calling thread holds and returns how many there were
  // (0 when the calling thread does not hold the lock).
  uint32_t LeaveAll();
  // Enters `count` times: the counterpart of LeaveAll.
  void EnterTimes(uint32_t count);

  bool IsHeldByCurrentThread() const;
  // How often the calling thread has entered the lock (0 when it does not hold it).
  uint32_t DepthForCurrentThread() const;

 private:
  void EnterNative();
  bool TryEnterNative();
  void LeaveNative();

  // The native mutex (pthread mutex or CRITICAL_SECTION) lives here so that this header
  // needs neither <pthread.h> nor <windows.h>.
  alignas(8) unsigned char m_native[64];
  std::atomic<uint32_t> m_owner{0};  // thread id of the owner, 0 when free; read by others
  uint32_t m_depth = 0;  // written only by the owner
};

// Holds a Lock for the length of a scope.
class LockGuard {
 public:
  explicit LockGuard(Lock& lock) : m_lock(lock) { m_lock.Enter(); }
  ~LockGuard() { m_lock.Leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Lock& m_lock;
};

}  // namespace zentor::platform
