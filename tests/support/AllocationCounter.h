#pragma once

#include <cstddef>

namespace tz::test
{

// Counts heap allocations made by the current thread while an instance is alive.
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();

    std::size_t count() const noexcept;
    // The largest single allocation, in bytes.
    std::size_t largest() const noexcept;

    AllocationCounter (const AllocationCounter&) = delete;
    AllocationCounter& operator= (const AllocationCounter&) = delete;
};

} // namespace tz::test
