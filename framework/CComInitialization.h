// COM for the length of a scope, as registration needs it: initialised on entry; on exit, unused libraries
// are freed and COM is uninitialised only if this scope's own initialisation succeeded. A caller already in
// another apartment gets RPC_E_CHANGED_MODE on entry, and uninitialising then would tear down the caller's
// COM. Interfaces obtained inside the scope must be released before it ends (declare them after it).
#pragma once

#include <objbase.h>

class CComInitialization {
public:
    CComInitialization() : initialised(CoInitialize(nullptr)) {}
    ~CComInitialization()
    {
        CoFreeUnusedLibraries();
        if (SUCCEEDED(initialised))
            CoUninitialize();
    }
    CComInitialization(const CComInitialization&) = delete;
    CComInitialization& operator=(const CComInitialization&) = delete;

private:
    const HRESULT initialised;
};
