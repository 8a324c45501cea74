#include "platform/lock.h"

#include <pthread.h>

#include <new>

namespace zentor::platform {

static_assert(sizeof(pthread_mutex_t) <= 64, "native mutex storage too small");

static pthread_mutex_t* Native(unsigned char* storage) { return std::launder(reinterpret_cast<pthread_mutex_t*>(storage)); }

// The native mutex is a plain one: recursion is counted by Lock itself.
Lock::Lock() { pthread_mutex_init(new (m_native) pthread_mutex_t, nullptr); }
Lock::~Lock() { pthread_mutex_destroy(Native(m_native)); }

void Lock::EnterNative() { pthread_mutex_lock(Native(m_native)); }
bool Lock::TryEnterNative() { return pthread_mutex_trylock(Native(m_native)) == 0; }
void Lock::LeaveNative() { pthread_mutex_unlock(Native(m_native)); }

}  // namespace zentor::platform
