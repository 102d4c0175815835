// What the test source's two enumerators (TestSourcePinEnumerator, TestSourceTypeEnumerator) share: the
// reference count, QueryInterface, and walking a fixed list of items with Next, Skip, Reset and Clone. The
// derived class says how many items there are and hands one out (with the reference or the task memory the
// caller then owns). Created with a count of 1 for the caller; deletes itself at the last Release. One
// client thread at a time, as every enumerator.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <new>

template <class Derived, class Interface, class Item>
class TestSourceEnumerator : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, __uuidof(Interface))) {
            *ppv = static_cast<Interface*>(this);
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
            delete static_cast<Derived*>(this);
        return static_cast<ULONG>(now);
    }

    // Stops early (S_FALSE) at the end of the list or when an item cannot be handed out.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* items, ULONG* fetched) override
    {
        if (items == nullptr)
            return E_POINTER;
        if (count != 1 && fetched == nullptr)
            return E_INVALIDARG;
        ULONG done = 0;
        while (done < count && position < Self().ItemCount() && Self().HandOut(position, &items[done])) {
            ++done;
            ++position;
        }
        if (fetched != nullptr)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const ULONG left = Self().ItemCount() - position;
        if (count > left) {
            position += left;
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
    // The copy walks the same items from the same position.
    HRESULT STDMETHODCALLTYPE Clone(Interface** clone) override
    {
        if (clone == nullptr)
            return E_POINTER;
        *clone = new (std::nothrow) Derived(Self());
        return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
    }

protected:
    TestSourceEnumerator() = default;
    // A copy starts with its own count of 1 at the original's position.
    TestSourceEnumerator(const TestSourceEnumerator& other) : position(other.position) {}
    TestSourceEnumerator& operator=(const TestSourceEnumerator&) = delete;
    ~TestSourceEnumerator() = default;

private:
    Derived& Self() { return static_cast<Derived&>(*this); }

    volatile LONG references = 1;
    ULONG position = 0;
};
