#include "CBaseObject.h"

namespace {
LONG activeObjectCount = 0;
}

HMODULE automationLibrary = nullptr;

CBaseObject::CBaseObject()
{
    InterlockedIncrement(&activeObjectCount);
}

CBaseObject::~CBaseObject()
{
    if (InterlockedDecrement(&activeObjectCount) != 0)
        return;
    // Last object of the module: nothing can be using the automation library any more. The exchange makes
    // sure a handle is freed exactly once even if two "last" objects raced with a new load.
    HMODULE library = static_cast<HMODULE>(InterlockedExchangePointer(reinterpret_cast<PVOID*>(&automationLibrary), nullptr));
    if (library != nullptr)
        FreeLibrary(library);
}

LONG CBaseObject::ActiveObjectCount()
{
    return InterlockedCompareExchange(&activeObjectCount, 0, 0);
}
