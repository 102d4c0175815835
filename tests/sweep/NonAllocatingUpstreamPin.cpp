#include "NonAllocatingUpstreamPin.h"

#include <cstring>

#include <vfwmsgs.h>

#include <gtest/gtest.h>

#include "PinDouble.h"
#include "TaskMemoryFailure.h"

NonAllocatingUpstreamPin::NonAllocatingUpstreamPin(const AM_MEDIA_TYPE* const* offered, ULONG offeredCount)
    : offered(offered), offeredCount(offeredCount)
{
}

NonAllocatingUpstreamPin::~NonAllocatingUpstreamPin()
{
    if (references != 1)
        ADD_FAILURE() << "the upstream pin went with " << (references - 1) << " reference(s) not given back";
}

HRESULT NonAllocatingUpstreamPin::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPin))
        *ppv = static_cast<IPin*>(this);
    else if (IsEqualGUID(riid, IID_IEnumMediaTypes))
        *ppv = static_cast<IEnumMediaTypes*>(this);
    else if (IsEqualGUID(riid, IID_IMediaSeeking))
        *ppv = static_cast<IMediaSeeking*>(this);
    else if (IsEqualGUID(riid, IID_IMediaPosition))
        *ppv = static_cast<IMediaPosition*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG NonAllocatingUpstreamPin::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&references));
}

ULONG NonAllocatingUpstreamPin::Release()
{
    const LONG now = InterlockedDecrement(&references);
    if (now < 1)
        ADD_FAILURE() << "the upstream pin was released more often than it was referenced";
    return static_cast<ULONG>(now);
}

HRESULT NonAllocatingUpstreamPin::ConnectedTo(IPin** pin)
{
    // The sinks' pins connect by ReceiveConnection alone; this side keeps no peer.
    return AnswerConnectedTo(nullptr, pin);
}

HRESULT NonAllocatingUpstreamPin::QueryDirection(PIN_DIRECTION* direction)
{
    return ScriptedAnswer(direction, PINDIR_OUTPUT);
}

HRESULT NonAllocatingUpstreamPin::EnumMediaTypes(IEnumMediaTypes** types)
{
    if (types == nullptr)
        return E_POINTER;
    position = 0;
    AddRef();
    *types = static_cast<IEnumMediaTypes*>(this);
    return S_OK;
}

AM_MEDIA_TYPE* NonAllocatingUpstreamPin::HandOverCopy(const AM_MEDIA_TYPE& type)
{
    auto* record = static_cast<AM_MEDIA_TYPE*>(AllocateHandedOverTaskMemory(sizeof(AM_MEDIA_TYPE)));
    if (record == nullptr)
        return nullptr;
    *record = type;
    record->pUnk = nullptr;
    if (type.cbFormat != 0) {
        record->pbFormat = static_cast<BYTE*>(AllocateHandedOverTaskMemory(type.cbFormat));
        if (record->pbFormat == nullptr) {
            CoTaskMemFree(record);
            return nullptr;
        }
        std::memcpy(record->pbFormat, type.pbFormat, type.cbFormat);
    }
    return record;
}

HRESULT NonAllocatingUpstreamPin::Next(ULONG count, AM_MEDIA_TYPE** records, ULONG* fetched)
{
    if (records == nullptr)
        return E_POINTER;
    ULONG done = 0;
    while (done < count && position < offeredCount) {
        AM_MEDIA_TYPE* record = HandOverCopy(*offered[position]);
        if (record == nullptr)
            break;
        ++position;
        records[done++] = record;
    }
    if (fetched != nullptr)
        *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT NonAllocatingUpstreamPin::Reset()
{
    position = 0;
    return S_OK;
}

HRESULT NonAllocatingUpstreamPin::GetDuration(LONGLONG* duration)
{
    return ScriptedAnswer(duration, kDuration);
}

HRESULT NonAllocatingUpstreamPin::get_Duration(REFTIME* length)
{
    return ScriptedAnswer(length, kDurationSeconds);
}
