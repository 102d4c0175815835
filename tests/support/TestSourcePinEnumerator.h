// The pin enumerator of TestSourceFilter: walks the filter's single output pin. Holds a counted reference on
// the filter (and so on the pin it hands out) for its whole life; created with a count of 1 for the caller.
// One client thread at a time, as every enumerator.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <new>

class TestSourcePinEnumerator final : public IEnumPins {
public:
    TestSourcePinEnumerator(IBaseFilter* filter, IPin* pin, ULONG position = 0)
        : filter(filter), pin(pin), position(position)
    {
        filter->AddRef();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IEnumPins)) {
            *ppv = static_cast<IEnumPins*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG now = InterlockedDecrement(&references);
        if (now == 0)
            delete this;
        return static_cast<ULONG>(now);
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override
    {
        if (pins == nullptr)
            return E_POINTER;
        if (count != 1 && fetched == nullptr)
            return E_INVALIDARG;
        ULONG done = 0;
        if (count > 0 && position < kPinCount) {
            pins[0] = pin;
            pin->AddRef();
            ++position;
            done = 1;
        }
        if (fetched != nullptr)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        if (count > kPinCount - position) {
            position = kPinCount;
            return S_FALSE;
        }
        position += count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override
    {
        if (clone == nullptr)
            return E_POINTER;
        *clone = new (std::nothrow) TestSourcePinEnumerator(filter, pin, position);
        return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~TestSourcePinEnumerator() { filter->Release(); }

    static constexpr ULONG kPinCount = 1;
    volatile LONG references = 1;
    IBaseFilter* const filter;  // counted: keeps the pin alive
    IPin* const pin;            // part of the filter
    ULONG position;
};
