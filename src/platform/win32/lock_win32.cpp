#include "platform/lock.h"

#include <windows.h>

#include <new>

namespace zentor::platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "native critical section storage too small");

static CRITICAL_SECTION* Native(unsigned char* storage) {
  return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

Lock::Lock() { InitializeCriticalSection(new (m_native) CRITICAL_SECTION); }
Lock::~Lock() { DeleteCriticalSection(Native(m_native)); }

void Lock::EnterNative() { EnterCriticalSection(Native(m_native)); }
bool Lock::TryEnterNative() { return TryEnterCriticalSection(Native(m_native)) != 0; }
void Lock::LeaveNative() { LeaveCriticalSection(Native(m_native)); }

}  // namespace zentor::platform
