// The framework tests' concrete pin: a rendered input pin whose answers are scripted and whose calls are
// recorded. Activate, Deactivate and StartRunning go to its filter's call log and answer the scripted results
// instead of the rendered pin's own, unless `baseStateCalls` lets them through; CheckType, the pin's own type
// list, SetConnectionType, FinishConnection and Receive answer what the test scripts; the protected state is
// open. A test may connect it by hand, handing it a peer. Owned and deleted by its filter (TestFilter);
// one test thread (the real-graph test also receives on the graph's streaming thread, which only counts).
//
//   pin->SetConnected(&upstream);     // counted, released by SetConnected(nullptr) or the destructor
//   pin->deactivateResult = E_FAIL;
#pragma once

#include <windows.h>
#include <strmif.h>

#include <functional>
#include <string>
#include <vector>

#include "COwnedMediaType.h"
#include "CRenderedInputPin.h"
#include "ComPtr.h"

class ScriptedPin : public CRenderedInputPin {
public:
    // `calls` (may be null) receives "<name>.Activate", "<name>.Deactivate" and "<name>.StartRunning";
    // pin names are plain ASCII in the tests.
    ScriptedPin(CBaseFilter* filter, CRecursiveLock* lock, const wchar_t* name,
                std::vector<std::string>* calls = nullptr)
        : CRenderedInputPin(L"ScriptedPin", filter, lock, nullptr, name), calls(calls)
    {
        for (const wchar_t* c = name; c != nullptr && *c != L'\0'; ++c)
            label.push_back(static_cast<char>(*c));
    }
    ~ScriptedPin() override { SetConnected(nullptr); }

    // Connects the pin to `peer` (a counted reference, as a real connection holds) or, with null,
    // disconnects it.
    void SetConnected(IPin* peer) { ReplaceCounted(connectedPin, peer); }
    // Announces a change of the offered type list, as a pin whose list changed would.
    void ChangeTypeListVersion() { ++typeVersion; }

    HRESULT Activate() override
    {
        Record("Activate");
        ++activateCalls;
        return baseStateCalls ? CRenderedInputPin::Activate() : activateResult;
    }
    HRESULT Deactivate() override
    {
        Record("Deactivate");
        return baseStateCalls ? CRenderedInputPin::Deactivate() : deactivateResult;
    }
    HRESULT StartRunning(REFERENCE_TIME start) override
    {
        Record("StartRunning");
        startTimes.push_back(start);
        return baseStateCalls ? CRenderedInputPin::StartRunning(start) : startRunningResult;
    }
    HRESULT CheckType(const AM_MEDIA_TYPE* type) override
    {
        checkedSubtypes.push_back(type->subtype);
        return checkType ? checkType(type) : S_OK;
    }
    // Past the pin's own list the base answers, as it does for every pin of the product.
    HRESULT GetOfferedType(int index, COwnedMediaType* type) override
    {
        offeredTypeRequests.push_back(index);
        if (index < 0 || static_cast<size_t>(index) >= offeredTypes.size())
            return CRenderedInputPin::GetOfferedType(index, type);
        return type->AssignFrom(offeredTypes[static_cast<size_t>(index)]);
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

    // Protected state, open to the tests.
    using CBaseInputPin::allocator, CBaseInputPin::flushing, CBaseInputPin::readOnly, CBaseInputPin::sampleProps;
    using CBasePin::connectionType, CBasePin::runtimeError, CBasePin::segmentRate, CBasePin::segmentStart;
    using CBasePin::segmentStop, CRenderedInputPin::atEndOfStream;

    // Scripting.
    bool baseStateCalls = false;  // true: the state calls are the rendered pin's own (still recorded)
    HRESULT activateResult = S_OK;
    HRESULT deactivateResult = S_OK;
    HRESULT startRunningResult = S_OK;
    std::function<HRESULT(const AM_MEDIA_TYPE*)> checkType;  // empty: every type is accepted
    std::vector<COwnedMediaType> offeredTypes;                // the pin's own list
    HRESULT setConnectionTypeResult = S_OK;
    HRESULT finishConnectionResult = S_OK;  // anything but S_OK is answered instead of the base's
    std::vector<HRESULT> receiveResults;    // answered in order before falling back to the base Receive

    // What was asked.
    int activateCalls = 0;
    std::vector<REFERENCE_TIME> startTimes;
    std::vector<int> offeredTypeRequests;
    std::vector<GUID> checkedSubtypes;
    int finishConnectionCalls = 0;
    int releaseConnectionCalls = 0;
    int endOfStreamCalls = 0;
    volatile LONG receiveCalls = 0;

private:
    void Record(const char* operation)
    {
        if (calls != nullptr)
            calls->push_back(label + "." + operation);
    }

    std::vector<std::string>* const calls;  // not owned: the filter's log
    std::string label;
};
