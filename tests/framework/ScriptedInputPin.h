// A concrete rendered input pin for the framework's pin tests: CheckType, the pin's own type list,
// SetConnectionType, FinishConnection and Receive answers are scripted, the calls that negotiation and the
// filter make are recorded, and the protected state is readable. Owned by PinTestFilter; one test thread
// (the real-graph test also receives on the graph's streaming thread, which only counts samples).
#pragma once

#include <functional>
#include <vector>

#include "CRenderedInputPin.h"

class ScriptedInputPin : public CRenderedInputPin {
public:
    ScriptedInputPin(CBaseFilter* filter, CRecursiveLock* lock, const wchar_t* name)
        : CRenderedInputPin(L"ScriptedInputPin", filter, lock, nullptr, name)
    {
    }

    HRESULT CheckType(const AM_MEDIA_TYPE* type) override
    {
        checkedSubtypes.push_back(type->subtype);
        return checkType ? checkType(type) : S_OK;
    }
    HRESULT GetOfferedType(int index, COwnedMediaType* type) override
    {
        if (index < 0 || static_cast<size_t>(index) >= offeredTypes.size())
            return CRenderedInputPin::GetOfferedType(index, type);
        return type->AssignFrom(offeredTypes[index]);
    }
    HRESULT SetConnectionType(const AM_MEDIA_TYPE* type) override
    {
        if (FAILED(setConnectionTypeResult))
            return setConnectionTypeResult;
        return CRenderedInputPin::SetConnectionType(type);
    }
    HRESULT FinishConnection(IPin* peer) override
    {
        ++finishConnectionCalls;
        return finishConnectionResult != S_OK ? finishConnectionResult : CRenderedInputPin::FinishConnection(peer);
    }
    HRESULT ReleaseConnection() override
    {
        ++releaseConnectionCalls;
        return CRenderedInputPin::ReleaseConnection();
    }
    HRESULT Activate() override
    {
        ++activateCalls;
        return CRenderedInputPin::Activate();
    }
    HRESULT STDMETHODCALLTYPE EndOfStream() override
    {
        ++endOfStreamCalls;
        return CRenderedInputPin::EndOfStream();
    }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override
    {
        InterlockedIncrement(&receiveCalls);
        if (!receiveResults.empty()) {
            HRESULT scripted = receiveResults.front();
            receiveResults.erase(receiveResults.begin());
            return scripted;
        }
        return CRenderedInputPin::Receive(sample);
    }

    // Protected state, read by the tests.
    const AM_SAMPLE2_PROPERTIES& SampleProps() const { return sampleProps; }
    const AM_MEDIA_TYPE& ConnectionType() const { return connectionType; }
    IMemAllocator* HeldAllocator() const { return allocator; }
    bool IsReadOnly() const { return readOnly; }
    bool IsFlushing() const { return flushing; }
    bool HasRuntimeError() const { return runtimeError; }
    bool IsAtEndOfStream() const { return atEndOfStream != FALSE; }
    void SetRuntimeError() { runtimeError = true; }
    REFERENCE_TIME SegmentStart() const { return segmentStart; }
    REFERENCE_TIME SegmentStop() const { return segmentStop; }
    double SegmentRate() const { return segmentRate; }

    // Scripting.
    std::function<HRESULT(const AM_MEDIA_TYPE*)> checkType;  // empty: every type is accepted
    std::vector<COwnedMediaType> offeredTypes;                // the pin's own list (empty like the base's)
    HRESULT setConnectionTypeResult = S_OK;
    HRESULT finishConnectionResult = S_OK;  // anything but S_OK is answered instead of the base's
    std::vector<HRESULT> receiveResults;  // answered in order before falling back to the base Receive

    // What was asked.
    std::vector<GUID> checkedSubtypes;
    int finishConnectionCalls = 0;
    int releaseConnectionCalls = 0;
    int activateCalls = 0;
    int endOfStreamCalls = 0;
    volatile LONG receiveCalls = 0;
};
