#include "AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace {

struct InjectionState {
    bool active = false;
    int seen = 0;
    int failAt = -1;
    bool failAllFollowing = false;
    bool injected = false;
};

thread_local InjectionState injection;

// True when this allocation must fail.
bool CountAllocation()
{
    if (!injection.active)
        return false;
    int index = injection.seen++;
    bool fail = index == injection.failAt || (injection.failAllFollowing && index > injection.failAt);
    if (fail)
        injection.injected = true;
    return fail;
}

void* Allocate(std::size_t size)
{
    if (CountAllocation())
        return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

AllocationFailureScope::AllocationFailureScope(int failingAllocation, bool failAllFollowing)
{
    injection = InjectionState{true, 0, failingAllocation, failAllFollowing, false};
}

AllocationFailureScope::~AllocationFailureScope()
{
    injection.active = false;
}

int AllocationFailureScope::AllocationsSeen() const { return injection.seen; }
bool AllocationFailureScope::FailureInjected() const { return injection.injected; }

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
