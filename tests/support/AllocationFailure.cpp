#include "AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace {

thread_local FailureInjectionScope::Counter injection;

void* Allocate(std::size_t size)
{
    if (injection.CountRequest())
        return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

AllocationFailureScope::AllocationFailureScope(int failingAllocation, bool failAllFollowing)
    : FailureInjectionScope(injection, true, failingAllocation, failAllFollowing)
{
}

void* operator new(std::size_t size)
{
    void* p = Allocate(size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
