// The outer object of a sink filter: what the class factory creates. It owns, for its whole life, the filter
// object, the one input pin, the two locks and (created on the first request for IMediaSeeking or
// IMediaPosition) the seeking pass-through. The filter and the pass-through are aggregated into it, and the
// pin passes its counts to the filter, so this object's count keeps everything alive.
// The two locks it owns (`objectLock`, `receiveLock`) have their place in each module's lock table, which
// lives in the header of the module's outer object (CVidtap.h, CNullsinker.h).
#pragma once

#include <new>

#include "CLockGuard.h"
#include "CPosPassThru.h"
#include "CUnknown.h"

template <class Filter, class Pin>
class CSinkOuterObject : public CUnknown {
public:
    Pin* GetInputPin() const { return pin; }
    Filter* GetFilter() const { return filter; }

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        CLockGuard guard(&objectLock);
        if (SameGuid(riid, IID_IBaseFilter) || SameGuid(riid, IID_IMediaFilter) || SameGuid(riid, IID_IPersist))
            return filter->NonDelegatingQueryInterface(riid, ppv);
        if (SameGuid(riid, IID_IMediaPosition) || SameGuid(riid, IID_IMediaSeeking)) {
            HRESULT hr = CreateSeekingPassThru();
            if (FAILED(hr)) {
                *ppv = nullptr;
                return hr;
            }
            return seekingPassThru->NonDelegatingQueryInterface(riid, ppv);
        }
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

protected:
    // Failures (E_OUTOFMEMORY, or a failure of the framework constructors) go to `hr`, which is never set
    // to S_OK here; the creator then destroys the partly built object.
    CSinkOuterObject(IUnknown* outer, HRESULT* hr, REFCLSID classId)
        : CUnknown(nullptr, outer), filter(nullptr), pin(nullptr), seekingPassThru(nullptr)
    {
        filter = new (std::nothrow) Filter(static_cast<typename Filter::OwnerType*>(this), GetOwnerUnknown(),
                                           &objectLock, classId);
        if (filter == nullptr) {
            if (hr != nullptr)
                *hr = E_OUTOFMEMORY;
            return;
        }
        pin = new (std::nothrow) Pin(filter, &objectLock, &receiveLock, hr);
        if (pin == nullptr && hr != nullptr)
            *hr = E_OUTOFMEMORY;
    }

    // The pin goes before the filter it refers to, the pass-through (which refers to the pin) last of the
    // three; the locks go after everything that uses them.
    ~CSinkOuterObject() override
    {
        delete pin;
        delete filter;
        delete seekingPassThru;
    }

private:
    // Creates the pass-through on first need (under objectLock). A failed creation keeps nothing, so a later
    // request tries again.
    HRESULT CreateSeekingPassThru()
    {
        if (seekingPassThru != nullptr)
            return S_OK;
        HRESULT hr = S_OK;
        IPin* inputPin = pin != nullptr ? pin->GetPinInterface() : nullptr;
        CPosPassThru* created = new (std::nothrow) CPosPassThru(nullptr, GetOwnerUnknown(), &hr, inputPin);
        if (created == nullptr)
            return E_OUTOFMEMORY;
        if (FAILED(hr)) {
            delete created;
            return hr;
        }
        seekingPassThru = created;
        return S_OK;
    }

    Filter* filter;  // owned
    Pin* pin;        // owned
    // Declared after the parts that use them only by pointer; destroyed after the destructor body has
    // destroyed those parts: receiveLock first, then objectLock.
    CRecursiveLock objectLock;
    CRecursiveLock receiveLock;
    CPosPassThru* seekingPassThru;  // owned; null until first requested
};

// The creator of a sink's class table entry: a new `Outer` (as its nondelegating unknown), or null with
// E_OUTOFMEMORY in `hr`. An object whose construction reported a failure through `hr` is still returned,
// for the caller to destroy.
template <class Outer>
INonDelegatingUnknown* CreateSinkObject(IUnknown* outer, HRESULT* hr)
{
    Outer* object = new (std::nothrow) Outer(outer, hr);
    if (object == nullptr && hr != nullptr)
        *hr = E_OUTOFMEMORY;
    return object;
}
