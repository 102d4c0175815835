// The class factory that DllGetClassObject hands out: one per request, bound to one (constant) class table
// entry. It owns only its reference count and destroys itself on the last Release; while it lives it counts
// as an active object, so the module stays loaded. Every method may be called on any thread: the count and
// the module's server lock count change by interlocked operations, and no lock is taken.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "CBaseObject.h"
#include "CStandaloneUnknown.h"
#include "ClassTableEntry.h"

class CClassFactory final : public CStandaloneUnknown<CClassFactory, IClassFactory, IID_IClassFactory>,
                            public CBaseObject {
public:
    // The count starts at 0; the creator takes the first reference.
    explicit CClassFactory(const ClassTableEntry* entry);

    // An outer unknown is passed on to the creator, but then only IID_IUnknown may be asked for: an
    // aggregated object is held through its nondelegating unknown.
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    // Raises or lowers the module's server lock count; unbalanced unlocks drive it below zero.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

private:
    friend class CStandaloneUnknown<CClassFactory, IClassFactory, IID_IClassFactory>;

    ~CClassFactory() = default;  // only Release destroys a factory

    const ClassTableEntry* const entry;  // points into the module's constant class table
    volatile LONG refCount;
};
