#pragma once

#include <cstddef>

namespace tz::test
{

// Counts the mutex locks taken by the current thread while an instance is alive, in this executable and in every
// library it loads (pthread_mutex_lock is interposed here): a lock on the audio thread can wait on another thread.
class LockCounter
{
public:
    LockCounter();
    ~LockCounter();

    std::size_t count() const noexcept;

    LockCounter (const LockCounter&) = delete;
    LockCounter& operator= (const LockCounter&) = delete;
};

} // namespace tz::test
