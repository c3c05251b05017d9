// Replaces the global allocation functions for this program alone. Kept in a
// file of its own so that the compiler does not inline them into the callers
// and judge the size header in front of each block as out of bounds.

#include "CountingAllocator.h"

#include <cstdlib>
#include <new>

namespace {

// Each block carries its size in front; the header keeps the alignment that
// operator new promises.
constexpr std::size_t HeaderBytes = alignof(std::max_align_t);

std::size_t inUse = 0;
std::size_t peak = 0;

void* Allocate(std::size_t size)
{
    void* block = std::malloc(size + HeaderBytes);
    if (!block)
        return nullptr;
    *static_cast<std::size_t*>(block) = size;
    inUse += size;
    if (inUse > peak)
        peak = inUse;
    return static_cast<char*>(block) + HeaderBytes;
}

void Release(void* p) noexcept
{
    if (!p)
        return;
    void* block = static_cast<char*>(p) - HeaderBytes;
    inUse -= *static_cast<std::size_t*>(block);
    std::free(block);
}

} // namespace

namespace quorin::test {

std::size_t BytesInUse() { return inUse; }
void ResetPeak() { peak = inUse; }
std::size_t PeakBytes() { return peak; }

} // namespace quorin::test

void* operator new(std::size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
