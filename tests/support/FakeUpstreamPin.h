// An upstream OUTPUT pin for tests of input pins: its media type list, QueryDirection, EnumMediaTypes,
// ReceiveConnection and Disconnect answers are scripted, and every call that negotiation makes is recorded.
// Like a real pin it holds a counted reference on the pin that connected to it (ReceiveConnection answered
// with a success) until its Disconnect, so a test that connects must disconnect it again to balance.
// Lives on the test's stack (never deletes itself); one thread.
//
//   FakeUpstreamPin upstream;
//   upstream.AddType(MakeVideoType(MEDIASUBTYPE_YUY2));
//   EXPECT_EQ(inputPin->Connect(&upstream, nullptr), S_OK);
//   upstream.Disconnect();
//   upstream.ExpectBalanced();
#pragma once

#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <vector>

#include "COwnedMediaType.h"
#include "CountingDouble.h"
#include "PinDouble.h"

// A complete media type (major type Video, FORMAT_VideoInfo) of the given subtype with a zeroed
// VIDEOINFOHEADER-sized format block whose first byte is `formatTag`, so that types can be told apart by
// their block as well.
inline COwnedMediaType MakeVideoType(REFGUID subtype, BYTE formatTag = 0)
{
    AM_MEDIA_TYPE raw;
    MediaTypeReset(&raw);
    raw.majortype = MEDIATYPE_Video;
    raw.subtype = subtype;
    raw.formattype = FORMAT_VideoInfo;
    BYTE block[88] = {};
    block[0] = formatTag;
    raw.cbFormat = sizeof(block);
    raw.pbFormat = block;
    COwnedMediaType type;
    type = raw;  // deep copy: the block above stays on the stack
    return type;
}

// The media type enumerator of a FakeUpstreamPin: walks the pin's list, handing out task-memory copies that
// the caller frees with MediaTypeDestroy. One object per pin, handed out with a new reference on each
// EnumMediaTypes; Reset starts it over.
class FakeMediaTypeEnumerator : public CountingDouble<IEnumMediaTypes> {
public:
    explicit FakeMediaTypeEnumerator(const std::vector<COwnedMediaType>& types) : types(types) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** records, ULONG* fetched) override
    {
        ++nextCalls;
        if (records == nullptr)
            return E_POINTER;
        if (fetched != nullptr)
            *fetched = 0;
        if (outOfSyncAnswers > 0) {
            --outOfSyncAnswers;
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        if (repeatsForever && position == types.size())
            position = 0;
        ULONG done = 0;
        while (done < count && position < types.size()) {
            size_t index = position++;
            if (index == nullRecordAt) {
                // A broken enumerator: claims a record but hands out none.
                records[done++] = nullptr;
                continue;
            }
            auto copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
            if (copy == nullptr)
                break;
            if (FAILED(MediaTypeDuplicate(copy, &types[index]))) {
                CoTaskMemFree(copy);
                break;
            }
            records[done++] = copy;
            ++recordsHandedOut;
        }
        if (fetched != nullptr)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        ++resetCalls;
        if (FAILED(resetResult))
            return resetResult;
        position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes**) override { UNEXPECTED_CALL(); }

    // Scripting: Reset fails with this code; the record at this index is handed out as null; the first
    // `outOfSyncAnswers` calls to Next answer VFW_E_ENUM_OUT_OF_SYNC (the list changed); a list that
    // `repeatsForever` starts over instead of ending.
    HRESULT resetResult = S_OK;
    size_t nullRecordAt = static_cast<size_t>(-1);
    int outOfSyncAnswers = 0;
    bool repeatsForever = false;

    int nextCalls = 0;
    int resetCalls = 0;
    int recordsHandedOut = 0;

private:
    const std::vector<COwnedMediaType>& types;
    size_t position = 0;
};

class FakeUpstreamPin : public PinDouble<> {
    // First, so that it exists before the enumerator that walks it.
    std::vector<COwnedMediaType> types;

public:
    FakeUpstreamPin() : enumerator(types) {}
    ~FakeUpstreamPin() override
    {
        // A test that forgot to disconnect fails here rather than leaking the input pin's filter.
        if (connector != nullptr) {
            ADD_FAILURE() << "FakeUpstreamPin destroyed while connected";
            connector->Release();
        }
    }

    void AddType(const COwnedMediaType& type) { types.push_back(type); }

    // IPin: what an input pin and a graph ask of an upstream pin (PinDouble fails every other call).
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pin, const AM_MEDIA_TYPE* type) override
    {
        ++receiveConnectionCalls;
        if (type != nullptr) {
            COwnedMediaType copy;
            copy = *type;
            receivedTypes.push_back(copy);
        }
        if (FAILED(receiveConnectionResult))
            return receiveConnectionResult;
        if (connector != nullptr)
            return VFW_E_ALREADY_CONNECTED;
        connector = pin;
        connector->AddRef();
        return receiveConnectionResult;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override
    {
        ++disconnectCalls;
        if (connector == nullptr)
            return S_FALSE;
        IPin* was = connector;
        connector = nullptr;
        was->Release();
        return disconnectResult;
    }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override
    {
        if (pin == nullptr)
            return E_POINTER;
        *pin = connector;
        if (connector == nullptr)
            return VFW_E_NOT_CONNECTED;
        connector->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* dir) override
    {
        ++queryDirectionCalls;
        if (dir == nullptr)
            return E_POINTER;
        if (FAILED(queryDirectionResult))
            return queryDirectionResult;
        *dir = direction;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** e) override
    {
        ++enumMediaTypesCalls;
        if (e == nullptr)
            return E_POINTER;
        *e = nullptr;
        if (FAILED(enumMediaTypesResult))
            return enumMediaTypesResult;
        enumerator.AddRef();
        *e = &enumerator;
        return S_OK;
    }

    // The pin, the enumerator and their counts together.
    void ExpectBalanced() const
    {
        PinDouble<>::ExpectBalanced();
        enumerator.ExpectBalanced();
    }
    bool IsConnected() const { return connector != nullptr; }
    IPin* Connector() const { return connector; }

    // Scripting.
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    HRESULT queryDirectionResult = S_OK;
    HRESULT enumMediaTypesResult = S_OK;
    HRESULT receiveConnectionResult = S_OK;
    HRESULT disconnectResult = S_OK;
    FakeMediaTypeEnumerator enumerator;

    // What was asked.
    int queryDirectionCalls = 0;
    int enumMediaTypesCalls = 0;
    int receiveConnectionCalls = 0;
    int disconnectCalls = 0;
    std::vector<COwnedMediaType> receivedTypes;

private:
    IPin* connector = nullptr;  // counted while connected, like a real pin's peer
};
