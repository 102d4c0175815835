#include "CClassFactory.h"

#include "CUnknown.h"
#include "ModuleEntryPoints.h"

CClassFactory::CClassFactory(const ClassTableEntry* entry) : entry(entry), refCount(0)
{
}

HRESULT STDMETHODCALLTYPE CClassFactory::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, IID_IClassFactory))
        return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CClassFactory::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

ULONG STDMETHODCALLTYPE CClassFactory::Release()
{
    LONG count = InterlockedDecrement(&refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
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
    if (lock)
        InterlockedIncrement(&serverLockCount);
    else
        InterlockedDecrement(&serverLockCount);
    return S_OK;
}
