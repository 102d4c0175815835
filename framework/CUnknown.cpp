#include "CUnknown.h"

namespace {

// A live object never reports a count of 0: callers read 0 as "destroyed".
ULONG AtLeastOne(LONG count)
{
    ULONG value = static_cast<ULONG>(count);
    return value != 0 ? value : 1u;
}

}  // namespace

CUnknown::CUnknown(const wchar_t* /*objectName*/, IUnknown* outer)
    : ownerUnknown(outer != nullptr ? outer
                                    : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))),
      refCount(0)
{
}

CUnknown::~CUnknown() = default;

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (SameGuid(riid, IID_IUnknown)) {
        *ppv = static_cast<INonDelegatingUnknown*>(this);
        NonDelegatingAddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef()
{
    // The value the increment produced, not a second read: another thread may change the count in between.
    return AtLeastOne(InterlockedIncrement(&refCount));
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease()
{
    LONG count = InterlockedDecrement(&refCount);
    if (count == 0) {
        // No other reference exists now. The count is parked at 1 so that references taken and dropped
        // again during destruction (an aggregated part releasing through its owner) cannot re-enter here.
        refCount = 1;
        delete this;
        return 0;
    }
    return AtLeastOne(count);
}

HRESULT ReturnInterface(IUnknown* p, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = p;
    p->AddRef();
    return S_OK;
}
