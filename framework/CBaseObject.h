// Every live framework object (and every class factory) counts in the module-wide active-object count,
// which decides whether the module may be unloaded. The count changes only by interlocked operations, so
// objects may be created and destroyed on any thread. The last object to go also frees the automation
// library that the seeking pass-through loads on demand.
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

// The automation library (OleAut32) loaded at run time for IDispatch support; null until first needed.
// Written by the loader and by the destructor of the module's last live object; see CDispatchTypeInfo for
// how concurrent first loads are kept to one handle.
extern HMODULE automationLibrary;
