// Every live framework object (and every class factory) counts in the module-wide active-object count,
// which decides whether the module may be unloaded. The count changes only by interlocked operations, so
// objects may be created and destroyed on any thread. The last object to go also has the automation
// library that the seeking pass-through loads on demand freed (ReleaseAutomationLibrary, CDispatchTypeInfo.h).
#pragma once

#include <windows.h>

class CBaseObject {
public:
    CBaseObject();
    ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    // Number of live CBaseObject instances in this module.
    static LONG ActiveObjectCount();
};
