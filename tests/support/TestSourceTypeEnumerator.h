// The media type enumerator of TestSourcePin: hands out task-memory copies of the types the pin offered when
// the enumerator was made (the list is copied, so later scripting does not disturb a walk). Created with a
// count of 1 for the caller; deletes itself at the last Release. One client thread at a time.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <new>
#include <vector>

#include "COwnedMediaType.h"

class TestSourceTypeEnumerator final : public IEnumMediaTypes {
public:
    TestSourceTypeEnumerator(const std::vector<COwnedMediaType>& types, ULONG position = 0)
        : types(types), position(position)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IEnumMediaTypes)) {
            *ppv = static_cast<IEnumMediaTypes*>(this);
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

    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** records, ULONG* fetched) override
    {
        if (records == nullptr)
            return E_POINTER;
        if (count != 1 && fetched == nullptr)
            return E_INVALIDARG;
        ULONG done = 0;
        while (done < count && position < types.size()) {
            auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            if (record == nullptr || FAILED(MediaTypeDuplicate(record, &types[position]))) {
                CoTaskMemFree(record);
                break;
            }
            records[done++] = record;
            ++position;
        }
        if (fetched != nullptr)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        if (count > types.size() - position) {
            position = static_cast<ULONG>(types.size());
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
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** clone) override
    {
        if (clone == nullptr)
            return E_POINTER;
        *clone = new (std::nothrow) TestSourceTypeEnumerator(types, position);
        return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~TestSourceTypeEnumerator() = default;

    volatile LONG references = 1;
    const std::vector<COwnedMediaType> types;
    ULONG position;
};
