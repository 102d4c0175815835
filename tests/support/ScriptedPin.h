// A pin for tests of the base filter and the enumerators: Activate, Deactivate and StartRunning answer
// scripted results and are recorded (in its filter's call log when given one), its offered media types are
// a list the test fills, and a test connects it by handing it a peer. Owned and deleted by its filter
// (TestFilter); one thread.
//
//   pin->SetConnected(&upstream);     // counted, released by SetConnected(nullptr) or the destructor
//   pin->deactivateResult = E_FAIL;
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include <string>
#include <vector>

#include "CBasePin.h"
#include "COwnedMediaType.h"
#include "ComPtr.h"

class ScriptedPin : public CBasePin {
public:
    // `calls` (may be null) receives "<name>.Activate", "<name>.Deactivate" and "<name>.StartRunning";
    // pin names are plain ASCII in the tests.
    ScriptedPin(CBaseFilter* filter, CRecursiveLock* lock, const wchar_t* name, std::vector<std::string>* calls)
        : CBasePin(L"ScriptedPin", filter, lock, &constructionResult, name, PINDIR_INPUT), calls(calls)
    {
        for (const wchar_t* c = name; c != nullptr && *c != L'\0'; ++c)
            label.push_back(static_cast<char>(*c));
    }
    ~ScriptedPin() override { SetConnected(nullptr); }

    // Connects the pin to `peer` (a counted reference, as a real connection holds) or, with null,
    // disconnects it.
    void SetConnected(IPin* peer) { ReplaceCounted(connectedPin, peer); }
    void OfferType(const COwnedMediaType& type) { offeredTypes.push_back(type); }
    // Announces a change of the offered type list, as a pin whose list changed would.
    void ChangeTypeListVersion() { ++typeVersion; }

    HRESULT Activate() override
    {
        Record("Activate");
        ++activateCalls;
        return activateResult;
    }
    HRESULT Deactivate() override
    {
        Record("Deactivate");
        ++deactivateCalls;
        return deactivateResult;
    }
    HRESULT StartRunning(REFERENCE_TIME start) override
    {
        Record("StartRunning");
        startTimes.push_back(start);
        return startRunningResult;
    }
    HRESULT CheckType(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT GetOfferedType(int index, COwnedMediaType* type) override
    {
        offeredTypeRequests.push_back(index);
        if (index < 0 || static_cast<size_t>(index) >= offeredTypes.size())
            return VFW_S_NO_MORE_ITEMS;
        return type->AssignFrom(offeredTypes[static_cast<size_t>(index)]);
    }

    // Scripting.
    HRESULT activateResult = S_OK;
    HRESULT deactivateResult = S_OK;
    HRESULT startRunningResult = S_OK;
    std::vector<COwnedMediaType> offeredTypes;

    // What was asked.
    int activateCalls = 0;
    int deactivateCalls = 0;
    std::vector<REFERENCE_TIME> startTimes;
    std::vector<int> offeredTypeRequests;

private:
    void Record(const char* operation)
    {
        if (calls != nullptr)
            calls->push_back(label + "." + operation);
    }

    HRESULT constructionResult = S_OK;
    std::vector<std::string>* const calls;  // not owned: the filter's log
    std::string label;
};
