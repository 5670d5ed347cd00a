#include "support/AllocationCounter.h"

#include <cstdlib>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAZZLE_ADDRESS_SANITIZER 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define TAZZLE_ADDRESS_SANITIZER 1
#endif

namespace
{
thread_local bool counting = false;
thread_local std::size_t allocations = 0;
thread_local std::size_t largestAllocation = 0;

inline void noteAllocation (std::size_t size) noexcept
{
    if (counting)
    {
        ++allocations;
        largestAllocation = size > largestAllocation ? size : largestAllocation;
    }
}
} // namespace

#if TAZZLE_ADDRESS_SANITIZER
// AddressSanitizer owns the allocator, so it is asked to report each allocation instead of being interposed.
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*) (const volatile void*, std::size_t),
                                                          void (*) (const volatile void*));

namespace
{
[[maybe_unused]] const int allocationHookInstalled = __sanitizer_install_malloc_and_free_hooks (
    [] (const volatile void*, std::size_t size) { noteAllocation (size); }, [] (const volatile void*) {});
} // namespace
#else
// The C allocator is interposed, so operator new, JUCE's HeapBlock and plain malloc are all counted.
extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);
    void* __libc_memalign (std::size_t, std::size_t);
}

extern "C"
{
    void* malloc (std::size_t size)
    {
        noteAllocation (size);
        return __libc_malloc (size);
    }

    void* calloc (std::size_t count, std::size_t size)
    {
        noteAllocation (count * size);
        return __libc_calloc (count, size);
    }

    void* realloc (void* p, std::size_t size)
    {
        noteAllocation (size);
        return __libc_realloc (p, size);
    }

    void* aligned_alloc (std::size_t alignment, std::size_t size)
    {
        noteAllocation (size);
        return __libc_memalign (alignment, size);
    }

    void* memalign (std::size_t alignment, std::size_t size)
    {
        noteAllocation (size);
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** result, std::size_t alignment, std::size_t size)
    {
        noteAllocation (size);
        *result = __libc_memalign (alignment, size);
        return *result != nullptr ? 0 : 12; // ENOMEM
    }
}
#endif

namespace tz::test
{

AllocationCounter::AllocationCounter()
{
    allocations = 0;
    largestAllocation = 0;
    counting = true;
}

AllocationCounter::~AllocationCounter() { counting = false; }

std::size_t AllocationCounter::count() const noexcept { return allocations; }

std::size_t AllocationCounter::largest() const noexcept { return largestAllocation; }

} // namespace tz::test
