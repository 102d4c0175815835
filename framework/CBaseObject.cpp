#include "CBaseObject.h"

#include "CDispatchTypeInfo.h"

namespace {
LONG activeObjectCount = 0;
}

CBaseObject::CBaseObject()
{
    InterlockedIncrement(&activeObjectCount);
}

CBaseObject::~CBaseObject()
{
    if (InterlockedDecrement(&activeObjectCount) == 0)
        ReleaseAutomationLibrary();
}

LONG CBaseObject::ActiveObjectCount()
{
    return InterlockedCompareExchange(&activeObjectCount, 0, 0);
}
