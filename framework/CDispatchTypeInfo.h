// The IDispatch support of an object whose interface is described in the platform's type library: loads
// the interface's ITypeInfo on first use (the registered library by LIBID version 1.0, else "control.tlb",
// through the automation library loaded at run time) and keeps it until destroyed. Not a COM object: a
// member of the object it serves. Two threads may make their first call at once: one loaded type info is
// kept and the other released, so nothing leaks and nothing is released twice.
#pragma once

#include <windows.h>
#include <oaidl.h>

class CDispatchTypeInfo {
public:
    CDispatchTypeInfo() = default;
    ~CDispatchTypeInfo();
    CDispatchTypeInfo(const CDispatchTypeInfo&) = delete;
    CDispatchTypeInfo& operator=(const CDispatchTypeInfo&) = delete;

    HRESULT GetTypeInfo(REFIID iid, UINT index, LCID locale, ITypeInfo** out);
    HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids);

private:
    HRESULT EnsureLoaded(REFIID iid, LCID locale);

    ITypeInfo* volatile typeInfo = nullptr;  // counted; set once
};

// The module's automation library ("OleAut32.dll"), loaded on first need by name (never linked, so the
// module does not import it); null when it cannot be loaded. Freed when the module's last object goes.
HMODULE LoadAutomationLibrary();

// Frees the automation library; called by the module's last live object as it goes (CBaseObject). A handle
// loaded by an object that came alive meanwhile is handed back to it instead.
void ReleaseAutomationLibrary();
