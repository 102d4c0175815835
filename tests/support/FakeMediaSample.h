// A media sample for tests of Receive paths: buffer, size, actual length, times, flags and a changed media
// type are scripted, and so are failures (GetPointer, GetTime, GetProperties). With `withProperties` it also
// answers IMediaSample2 (GetProperties builds the record from the same script); without it, QueryInterface
// for IMediaSample2 is refused, as for a plain IMediaSample. Every call on the sample is counted, so a test
// can assert that a pin did not touch it. Lives on the test's stack (never deletes itself); one thread.
//
//   FakeMediaSample sample;                 // plain IMediaSample
//   sample.syncPoint = true;
//   sample.SetChangedType(MakeTaggedVideoType(MEDIASUBTYPE_RGB24));
//   EXPECT_EQ(pin->Receive(&sample), S_OK);
//   sample.ExpectBalanced();
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "COwnedMediaType.h"
#include "CountingDouble.h"
#include "TaskMemoryFailure.h"

class FakeMediaSample : public CountingDouble<IMediaSample2> {
public:
    explicit FakeMediaSample(bool withProperties = false, LONG size = 64) : buffer(size > 0 ? size : 0)
    {
        actualLength = size;
        if (!withProperties)
            Refuse(IID_IMediaSample2);
    }

    // The sample carries a media type different from the connection's (GetMediaType answers S_OK with a
    // task-memory copy handed over past any failure injection; GetProperties sets AM_SAMPLE_TYPECHANGED and
    // points at the sample's own record).
    void SetChangedType(const COwnedMediaType& type)
    {
        changedType = type;
        hasChangedType = true;
    }

    BYTE* Data() { return buffer.empty() ? nullptr : buffer.data(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        // IMediaSample is a base of IMediaSample2 and is answered through it.
        if (ppv != nullptr && IsEqualGUID(riid, IID_IMediaSample)) {
            ++queryInterfaceCalls;
            *ppv = static_cast<IMediaSample*>(this);
            AddRef();
            return S_OK;
        }
        return CountingDouble<IMediaSample2>::QueryInterface(riid, ppv);
    }

    // IMediaSample
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** data) override
    {
        ++sampleCalls;
        if (data == nullptr)
            return E_POINTER;
        *data = nullptr;
        if (FAILED(pointerResult))
            return pointerResult;
        *data = Data();
        return S_OK;
    }
    LONG STDMETHODCALLTYPE GetSize() override
    {
        ++sampleCalls;
        return static_cast<LONG>(buffer.size());
    }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override
    {
        ++sampleCalls;
        if (start == nullptr || stop == nullptr)
            return E_POINTER;
        if (FAILED(timeResult))
            return timeResult;
        *start = timeStart;
        *stop = timeStop;
        return timeResult;
    }
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return Flag(syncPoint); }
    HRESULT STDMETHODCALLTYPE SetSyncPoint(WINBOOL) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE IsPreroll() override { return Flag(preroll); }
    HRESULT STDMETHODCALLTYPE SetPreroll(WINBOOL) override { UNEXPECTED_CALL(); }
    LONG STDMETHODCALLTYPE GetActualDataLength() override
    {
        ++sampleCalls;
        return actualLength;
    }
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** type) override
    {
        ++sampleCalls;
        if (type == nullptr)
            return E_POINTER;
        *type = nullptr;
        if (typeChangeWithoutType)
            return S_OK;
        if (!hasChangedType)
            return S_FALSE;
        *type = HandOverMediaTypeCopy(changedType);
        if (*type == nullptr)
            return E_OUTOFMEMORY;
        ++typesHandedOut;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return Flag(discontinuity); }
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(WINBOOL) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { UNEXPECTED_CALL(); }

    // IMediaSample2: the same script as one record. The media type pointer stays the sample's.
    HRESULT STDMETHODCALLTYPE GetProperties(DWORD size, BYTE* properties) override
    {
        ++sampleCalls;
        if (properties == nullptr)
            return E_POINTER;
        if (FAILED(propertiesResult))
            return propertiesResult;
        AM_SAMPLE2_PROPERTIES record = {};
        record.cbData = std::min<DWORD>(size, sizeof(record));
        record.dwTypeSpecificFlags = typeSpecificFlags;
        record.dwSampleFlags = (syncPoint ? AM_SAMPLE_SPLICEPOINT : 0) | (preroll ? AM_SAMPLE_PREROLL : 0) |
                               (discontinuity ? AM_SAMPLE_DATADISCONTINUITY : 0) |
                               (hasChangedType || typeChangeWithoutType ? AM_SAMPLE_TYPECHANGED : 0);
        if (SUCCEEDED(timeResult)) {
            record.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
            record.tStart = timeStart;
            record.tStop = timeStop;
        }
        record.lActual = actualLength;
        record.dwStreamId = streamId;
        record.pMediaType = hasChangedType ? &changedType : nullptr;
        record.pbBuffer = Data();
        record.cbBuffer = static_cast<LONG>(buffer.size());
        std::memcpy(properties, &record, record.cbData);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProperties(DWORD, const BYTE*) override { UNEXPECTED_CALL(); }

    // Scripting.
    HRESULT pointerResult = S_OK;
    HRESULT timeResult = VFW_E_SAMPLE_TIME_NOT_SET;  // set to S_OK (and the times) for a timed sample
    REFERENCE_TIME timeStart = 0;
    REFERENCE_TIME timeStop = 0;
    bool syncPoint = false;
    bool preroll = false;
    bool discontinuity = false;
    LONG actualLength = 0;
    HRESULT propertiesResult = S_OK;
    DWORD typeSpecificFlags = 0;
    DWORD streamId = AM_STREAM_MEDIA;
    // A broken sample: reports a type change (S_OK from GetMediaType, AM_SAMPLE_TYPECHANGED) without a type.
    bool typeChangeWithoutType = false;

    // What was asked: every IMediaSample/IMediaSample2 call, and the media type copies handed out (each
    // one belongs to the caller, who must free it).
    int sampleCalls = 0;
    int typesHandedOut = 0;

private:
    HRESULT Flag(bool set)
    {
        ++sampleCalls;
        return set ? S_OK : S_FALSE;
    }

    std::vector<BYTE> buffer;
    COwnedMediaType changedType;
    bool hasChangedType = false;
};
