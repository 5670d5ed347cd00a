#include "support/LockCounter.h"

#include <dlfcn.h>
#include <pthread.h>

namespace
{
thread_local bool counting = false;
thread_local std::size_t locks = 0;

using LockFunction = int (*) (pthread_mutex_t*);
LockFunction libcLock = nullptr;

// Looked up before main; a lock taken by an earlier static initialiser looks it up itself.
[[maybe_unused]] const bool lookedUp = (libcLock = (LockFunction) dlsym (RTLD_NEXT, "pthread_mutex_lock")) != nullptr;
} // namespace

extern "C" int pthread_mutex_lock (pthread_mutex_t* mutex)
{
    if (counting)
        ++locks;
    if (libcLock == nullptr)
        libcLock = (LockFunction) dlsym (RTLD_NEXT, "pthread_mutex_lock");
    return libcLock (mutex);
}

namespace tz::test
{

LockCounter::LockCounter()
{
    locks = 0;
    counting = true;
}

LockCounter::~LockCounter() { counting = false; }

std::size_t LockCounter::count() const noexcept { return locks; }

} // namespace tz::test
