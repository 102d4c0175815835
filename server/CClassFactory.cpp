#include "CClassFactory.h"

#include "CUnknown.h"
#include "ModuleEntryPoints.h"

CClassFactory::CClassFactory(const ClassTableEntry* entry) : entry(entry), refCount(0)
{
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr && !SameGuid(riid, IID_IUnknown))
        return E_NOINTERFACE;

    HRESULT hr = S_OK;
    INonDelegatingUnknown* object = entry->creator(outer, &hr);
    if (object == nullptr)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        // Nobody has referenced the half-made object yet, so it is destroyed directly, not released.
        delete static_cast<CUnknown*>(object);
        return hr;
    }
    // The temporary reference keeps the object alive across the QueryInterface and destroys it when the
    // QueryInterface hands out nothing.
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock)
{
    ChangeServerLock(lock);
    return S_OK;
}
