// The framework tests' concrete filter: owns its lock and a ScriptedPin per name given (and any pin a test
// adds after them), records the derived Pause and the pins' state calls in one log (`calls`), and lets a test
// hide a pin (GetPinAt answers null at `missingPinAt`), change the pin-list version, give it setup data and
// put it into a state without calling its pins. Created on the heap with a count of 0, like every framework
// object; hold it in a ComPtr:
//
//   ComPtr<TestFilter> filter(new TestFilter({L"A", L"B"}));
//   filter->Pin(0)->SetConnected(&upstream);
//
// One test thread; the pins are deleted with the filter.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "CBaseFilter.h"
#include "CRecursiveLock.h"
#include "ScriptedPin.h"

// {6C1E40A1-5B3E-4C59-9E0E-7A4F2B1D9C01}: the class id of test filters; registered by no module.
static const CLSID CLSID_TestFilter = {0x6c1e40a1, 0x5b3e, 0x4c59, {0x9e, 0x0e, 0x7a, 0x4f, 0x2b, 0x1d, 0x9c, 0x01}};

class TestFilter : public CBaseFilter {
public:
    explicit TestFilter(std::initializer_list<const wchar_t*> pinNames = {}, REFCLSID classId = CLSID_TestFilter)
        : CBaseFilter(L"TestFilter", nullptr, &lock, classId)
    {
        for (const wchar_t* name : pinNames)
            pins.push_back(new ScriptedPin(this, &lock, name, &calls));
    }
    ~TestFilter() override
    {
        for (CBasePin* pin : addedPins)
            delete pin;
        for (ScriptedPin* pin : pins)
            delete pin;
    }

    int CountPins() override { return static_cast<int>(pins.size() + addedPins.size()); }
    CBasePin* GetPinAt(int index) override
    {
        if (index == missingPinAt || index < 0 || index >= CountPins())
            return nullptr;
        if (static_cast<size_t>(index) < pins.size())
            return pins[static_cast<size_t>(index)];
        return addedPins[static_cast<size_t>(index) - pins.size()];
    }
    const FilterSetupRecord* GetFilterSetupData() override { return setupData; }

    // Recorded so a test sees that Run reaches the derived Pause.
    HRESULT STDMETHODCALLTYPE Pause() override
    {
        calls.push_back("Filter.Pause");
        return CBaseFilter::Pause();
    }

    ScriptedPin* Pin(size_t index) const { return pins[index]; }
    // Adds a pin built on this filter and its lock after the scripted ones; the filter deletes it.
    void AddPin(CBasePin* pin) { addedPins.push_back(pin); }
    void ChangePinListVersion() { ++pinListVersion; }
    void ForceState(FILTER_STATE state) { filterState = state; }
    REFERENCE_TIME StartTime() const { return runStartTime; }
    // The filter's current count, read through an AddRef/Release pair.
    LONG References()
    {
        AddRef();
        return static_cast<LONG>(Release());
    }

    // Scripting.
    int missingPinAt = -1;
    const FilterSetupRecord* setupData = nullptr;

    std::vector<std::string> calls;

private:
    CRecursiveLock lock;  // the filter lock, shared with the pins; outlives them (pins go first)
    std::vector<ScriptedPin*> pins;
    std::vector<CBasePin*> addedPins;
};
