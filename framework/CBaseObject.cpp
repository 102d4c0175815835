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
    // Last object of the module: nothing can be using the automation library any more, unless a new object
    // was created meanwhile and already reached it. The exchange frees a handle at most once even when two
    // "last" objects race; a handle taken while an object is alive again is handed back to it.
    PVOID* slot = reinterpret_cast<PVOID*>(&automationLibrary);
    HMODULE library = static_cast<HMODULE>(InterlockedExchangePointer(slot, nullptr));
    if (library == nullptr)
        return;
    if (ActiveObjectCount() != 0 && InterlockedCompareExchangePointer(slot, library, nullptr) == nullptr)
        return;
    // Either no object lives, or a newer load is already published and ours is one module reference too many.
    FreeLibrary(library);
}

LONG CBaseObject::ActiveObjectCount()
{
    return InterlockedCompareExchange(&activeObjectCount, 0, 0);
}
