// The one IUnknown of the framework's small standalone COM objects (the enumerators, the class factory):
// answers IUnknown and the object's one interface (`interfaceId`), counts references in the object's own
// `refCount` field by interlocked operations (any thread), and deletes the object on the last Release. It
// adds no field, so the object's interface table and fields keep their places; the object names it a friend.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "CUnknown.h"

template <class Object, class Interface, const IID& interfaceId>
class CStandaloneUnknown : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, interfaceId))
            return E_NOINTERFACE;
        return ReturnInterface(static_cast<Interface*>(this), ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        return static_cast<ULONG>(InterlockedIncrement(&static_cast<Object*>(this)->refCount));
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG count = InterlockedDecrement(&static_cast<Object*>(this)->refCount);
        if (count == 0)
            delete static_cast<Object*>(this);
        return static_cast<ULONG>(count);
    }

protected:
    CStandaloneUnknown() = default;
    ~CStandaloneUnknown() = default;
};
