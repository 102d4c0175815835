// The test source's enumerators, of its pins (IEnumPins over counted IPin references, which keep the filter
// alive) and of its pin's media types (IEnumMediaTypes over owned types, handed out as task-memory copies).
// Walks its own copy of the list it was made with, so later scripting does not disturb a walk. Created with a
// count of 1 for the caller; deletes itself at the last Release. One client thread at a time, as every
// enumerator.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <new>
#include <utility>
#include <vector>

#include "COwnedMediaType.h"
#include "ComPtr.h"

template <class Interface, class Item, class Stored>
class TestSourceEnumerator final : public Interface {
public:
    explicit TestSourceEnumerator(std::vector<Stored> items) : items(std::move(items)) {}
    // A copy walks the same items from the same position, with its own count of 1.
    TestSourceEnumerator(const TestSourceEnumerator& other) : items(other.items), position(other.position) {}
    TestSourceEnumerator& operator=(const TestSourceEnumerator&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, __uuidof(Interface)))
            return E_NOINTERFACE;
        *ppv = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG now = InterlockedDecrement(&references);
        if (now == 0)
            delete this;
        return static_cast<ULONG>(now);
    }

    // Stops early (S_FALSE) at the end of the list or when an item cannot be handed out.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (count != 1 && fetched == nullptr)
            return E_INVALIDARG;
        ULONG done = 0;
        while (done < count && position < items.size() && HandOut(items[position], &out[done])) {
            ++done;
            ++position;
        }
        if (fetched != nullptr)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const bool enough = count <= items.size() - position;
        position = enough ? position + count : items.size();
        return enough ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Interface** clone) override
    {
        if (clone == nullptr)
            return E_POINTER;
        *clone = new (std::nothrow) TestSourceEnumerator(*this);
        return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~TestSourceEnumerator() = default;

    static bool HandOut(const ComPtr<IPin>& pin, IPin** out)
    {
        pin.CopyTo(out);
        return true;
    }
    // False when the copy cannot be made: the walk stops there.
    static bool HandOut(const COwnedMediaType& type, AM_MEDIA_TYPE** out)
    {
        auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (record == nullptr || FAILED(MediaTypeDuplicate(record, &type))) {
            CoTaskMemFree(record);
            return false;
        }
        *out = record;
        return true;
    }

    volatile LONG references = 1;
    const std::vector<Stored> items;
    size_t position = 0;
};

using TestSourcePinEnumerator = TestSourceEnumerator<IEnumPins, IPin*, ComPtr<IPin>>;
using TestSourceTypeEnumerator = TestSourceEnumerator<IEnumMediaTypes, AM_MEDIA_TYPE*, COwnedMediaType>;
