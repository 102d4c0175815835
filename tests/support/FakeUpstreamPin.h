// The tests' one upstream OUTPUT pin double, for tests of input pins, of the sinks and of the seeking
// pass-through. What it is depends on its kind: a push source (IPin alone), a file reader's pin that serves
// data only when asked (IAsyncReader too, every read failing the test), or a seekable source (IMediaSeeking
// and IMediaPosition too, every seeking call recorded with its arguments). Its media type list,
// QueryDirection, EnumMediaTypes and ReceiveConnection answers are scripted, and every call that
// negotiation makes is recorded. Like a real pin it holds a counted reference on the pin that connected to it
// (ReceiveConnection answered with a success) until its Disconnect, so a test that connects must disconnect it
// again to balance. The records its enumerator hands out are allocated past any failure injection, and with
// `recordsCalls` off it records nothing either: an allocation sweep then counts only the code under test's
// requests. Lives on the test's stack (never deletes itself); one thread.
//
//   FakeUpstreamPin upstream;
//   upstream.AddType(MakeTaggedVideoType(MEDIASUBTYPE_YUY2));
//   EXPECT_EQ(inputPin->Connect(&upstream, nullptr), S_OK);
//   upstream.Disconnect();
//   upstream.ExpectBalanced();
#pragma once

#include <windows.h>
#include <control.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "COwnedMediaType.h"
#include "ComPtr.h"
#include "CountingDouble.h"
#include "PinDouble.h"
#include "PlatformAdditions.h"
#include "TaskMemoryFailure.h"
#include "VideoMediaType.h"

// The media type enumerator of a FakeUpstreamPin: walks the pin's list, handing out task-memory copies that
// the caller frees with MediaTypeDestroy (handed over past any failure injection). One object per pin,
// handed out with a new reference on each EnumMediaTypes, which starts it over as Reset does.
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
            AM_MEDIA_TYPE* copy = HandOverMediaTypeCopy(types[index]);
            if (copy == nullptr)
                break;
            records[done++] = copy;
        }
        if (fetched != nullptr)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        if (FAILED(resetResult))
            return resetResult;
        position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes**) override { UNEXPECTED_CALL(); }

    // A new walk from the first type, as a pin's fresh enumerator would start.
    void StartOver() { position = 0; }

    // Scripting: Reset fails with this code; the record at this index is handed out as null; the first
    // `outOfSyncAnswers` calls to Next answer VFW_E_ENUM_OUT_OF_SYNC (the list changed); a list that
    // `repeatsForever` starts over instead of ending.
    HRESULT resetResult = S_OK;
    size_t nullRecordAt = static_cast<size_t>(-1);
    int outOfSyncAnswers = 0;
    bool repeatsForever = false;

    int nextCalls = 0;

private:
    const std::vector<COwnedMediaType>& types;
    size_t position = 0;
};

// One seeking or position call as the seekable kind recorded it.
struct UpstreamCall {
    std::string method;
    std::vector<const void*> pointers = {};  // pointer arguments, in order
    std::vector<LONGLONG> integers = {};     // LONGLONG, DWORD and LONG arguments, in order
    std::vector<double> doubles = {};        // REFTIME and rate arguments, in order

    bool operator==(const UpstreamCall& other) const
    {
        // Doubles are compared bit for bit so that a NaN rate can be recognised as delivered unchanged.
        const bool sameDoubles = doubles.size() == other.doubles.size() &&
                                 (doubles.empty() || memcmp(doubles.data(), other.doubles.data(),
                                                            doubles.size() * sizeof(double)) == 0);
        return sameDoubles && method == other.method && pointers == other.pointers && integers == other.integers;
    }
};

inline std::ostream& operator<<(std::ostream& out, const UpstreamCall& call)
{
    out << call.method << "(pointers:";
    for (const void* p : call.pointers)
        out << ' ' << p;
    out << "; integers:";
    for (LONGLONG v : call.integers)
        out << ' ' << v;
    out << "; doubles:";
    for (double d : call.doubles)
        out << ' ' << d;
    return out << ')';
}

enum class UpstreamKind { PushSource, PullSource, Seekable };

class FakeUpstreamPin : public PinDouble<IAsyncReader, IMediaSeeking, IMediaPosition> {
    // First, so that it exists before the enumerator that walks it.
    std::vector<COwnedMediaType> types;

public:
    explicit FakeUpstreamPin(UpstreamKind kind = UpstreamKind::PushSource) : kind(kind), enumerator(types)
    {
        if (kind != UpstreamKind::PullSource)
            Refuse(IID_IAsyncReader);
        if (kind != UpstreamKind::Seekable) {
            Refuse(IID_IMediaSeeking);
            Refuse(IID_IMediaPosition);
        }
    }
    ~FakeUpstreamPin() override
    {
        // A test that forgot to disconnect fails here rather than leaking the input pin's filter.
        if (connector != nullptr) {
            ADD_FAILURE() << "FakeUpstreamPin destroyed while connected";
            ReleaseCounted(connector);
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
        ReplaceCounted(connector, pin);
        return receiveConnectionResult;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override
    {
        ++disconnectCalls;
        if (connector == nullptr)
            return S_FALSE;
        ReleaseCounted(connector);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override { return AnswerConnectedTo(connector, pin); }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* dir) override
    {
        return ScriptedAnswer(dir, direction, queryDirectionResult);
    }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** e) override
    {
        ++enumMediaTypesCalls;
        if (e == nullptr)
            return E_POINTER;
        *e = nullptr;
        if (FAILED(enumMediaTypesResult))
            return enumMediaTypesResult;
        enumerator.StartOver();
        enumerator.AddRef();
        *e = &enumerator;
        return S_OK;
    }

    // IAsyncReader (PullSource): a sink must never read from it.
    HRESULT STDMETHODCALLTYPE RequestAllocator(IMemAllocator*, ALLOCATOR_PROPERTIES*, IMemAllocator**) override
    {
        UNEXPECTED_CALL();
    }
    HRESULT STDMETHODCALLTYPE Request(IMediaSample*, DWORD_PTR) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE WaitForNext(DWORD, IMediaSample**, DWORD_PTR*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE SyncReadAligned(IMediaSample*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE SyncRead(LONGLONG, LONG, BYTE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Length(LONGLONG*, LONGLONG*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE EndFlush() override { UNEXPECTED_CALL(); }

    // IMediaSeeking (Seekable): every call is recorded under its method's name and answers `seekingResult`;
    // the time queries write `timeAnswer` or `secondsAnswer` through their out-pointer when it is not null.
    HRESULT STDMETHODCALLTYPE GetCapabilities(DWORD* capabilities) override { return Record(__func__, {capabilities}); }
    HRESULT STDMETHODCALLTYPE CheckCapabilities(DWORD* wanted) override { return Record(__func__, {wanted}); }
    HRESULT STDMETHODCALLTYPE IsFormatSupported(const GUID* format) override { return Record(__func__, {format}); }
    HRESULT STDMETHODCALLTYPE QueryPreferredFormat(GUID* format) override { return Record(__func__, {format}); }
    // Named by hand: the platform's headers make GetTimeFormat a macro, which __func__ would show.
    HRESULT STDMETHODCALLTYPE GetTimeFormat(GUID* format) override { return Record("GetTimeFormat", {format}); }
    HRESULT STDMETHODCALLTYPE IsUsingTimeFormat(const GUID* format) override { return Record(__func__, {format}); }
    HRESULT STDMETHODCALLTYPE SetTimeFormat(const GUID* format) override { return Record(__func__, {format}); }
    HRESULT STDMETHODCALLTYPE GetDuration(LONGLONG* duration) override { return AnswerTime(__func__, duration); }
    HRESULT STDMETHODCALLTYPE GetStopPosition(LONGLONG* stop) override { return AnswerTime(__func__, stop); }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LONGLONG* current) override { return AnswerTime(__func__, current); }
    HRESULT STDMETHODCALLTYPE ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                                const GUID* sourceFormat) override
    {
        return Record(__func__, {target, targetFormat, sourceFormat}, {source});
    }
    HRESULT STDMETHODCALLTYPE SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                                           DWORD stopFlags) override
    {
        return Record(__func__, {current, stop}, {currentFlags, stopFlags});
    }
    HRESULT STDMETHODCALLTYPE GetPositions(LONGLONG* current, LONGLONG* stop) override
    {
        return Record(__func__, {current, stop});
    }
    HRESULT STDMETHODCALLTYPE GetAvailable(LONGLONG* earliest, LONGLONG* latest) override
    {
        return Record(__func__, {earliest, latest});
    }
    HRESULT STDMETHODCALLTYPE SetRate(double rate) override { return Record(__func__, {}, {}, {rate}); }
    HRESULT STDMETHODCALLTYPE GetRate(double* rate) override { return Record(__func__, {rate}); }
    HRESULT STDMETHODCALLTYPE GetPreroll(LONGLONG* preroll) override { return AnswerTime(__func__, preroll); }

    // IDispatch of IMediaPosition: a pass-through must never ask the upstream for it.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        UNEXPECTED_CALL();
    }

    // IMediaPosition
    HRESULT STDMETHODCALLTYPE get_Duration(REFTIME* length) override { return AnswerSeconds(__func__, length); }
    HRESULT STDMETHODCALLTYPE put_CurrentPosition(REFTIME time) override { return Record(__func__, {}, {}, {time}); }
    HRESULT STDMETHODCALLTYPE get_CurrentPosition(REFTIME* time) override { return AnswerSeconds(__func__, time); }
    HRESULT STDMETHODCALLTYPE get_StopTime(REFTIME* time) override { return AnswerSeconds(__func__, time); }
    HRESULT STDMETHODCALLTYPE put_StopTime(REFTIME time) override { return Record(__func__, {}, {}, {time}); }
    HRESULT STDMETHODCALLTYPE get_PrerollTime(REFTIME* time) override { return AnswerSeconds(__func__, time); }
    HRESULT STDMETHODCALLTYPE put_PrerollTime(REFTIME time) override { return Record(__func__, {}, {}, {time}); }
    HRESULT STDMETHODCALLTYPE put_Rate(double rate) override { return Record(__func__, {}, {}, {rate}); }
    HRESULT STDMETHODCALLTYPE get_Rate(double* rate) override { return Record(__func__, {rate}); }
    HRESULT STDMETHODCALLTYPE CanSeekForward(LONG* canSeek) override { return Record(__func__, {canSeek}); }
    HRESULT STDMETHODCALLTYPE CanSeekBackward(LONG* canSeek) override { return Record(__func__, {canSeek}); }

    // The pin, the enumerator and their counts together.
    void ExpectBalanced() const
    {
        PinDouble<IAsyncReader, IMediaSeeking, IMediaPosition>::ExpectBalanced();
        enumerator.ExpectBalanced();
    }
    bool IsConnected() const { return connector != nullptr; }
    IPin* Connector() const { return connector; }

    // Scripting.
    const UpstreamKind kind;
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    HRESULT queryDirectionResult = S_OK;
    HRESULT enumMediaTypesResult = S_OK;
    HRESULT receiveConnectionResult = S_OK;
    FakeMediaTypeEnumerator enumerator;

    // What was asked.
    int enumMediaTypesCalls = 0;
    int receiveConnectionCalls = 0;
    int disconnectCalls = 0;
    std::vector<COwnedMediaType> receivedTypes;

    // The seekable kind's script and record.
    std::vector<UpstreamCall> calls;
    HRESULT seekingResult = S_OK;
    LONGLONG timeAnswer = 0;
    REFTIME secondsAnswer = 0.0;

private:
    HRESULT Record(const char* method, std::initializer_list<const void*> pointers,
                   std::initializer_list<LONGLONG> integers = {}, std::initializer_list<double> doubles = {})
    {
        if (recordsCalls)
            calls.push_back(UpstreamCall{method, pointers, integers, doubles});
        return seekingResult;
    }
    HRESULT AnswerTime(const char* method, LONGLONG* time)
    {
        if (time != nullptr)
            *time = timeAnswer;
        return Record(method, {time});
    }
    HRESULT AnswerSeconds(const char* method, REFTIME* time)
    {
        if (time != nullptr)
            *time = secondsAnswer;
        return Record(method, {time});
    }

    IPin* connector = nullptr;  // counted while connected, like a real pin's peer
};
