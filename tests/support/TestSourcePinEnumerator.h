// The pin enumerator of TestSourceFilter: walks the filter's single output pin. Holds a counted reference on
// the filter (and so on the pin it hands out) for its whole life. Counting, walking and cloning as
// TestSourceEnumerator.
#pragma once

#include "TestSourceEnumerator.h"

class TestSourcePinEnumerator final : public TestSourceEnumerator<TestSourcePinEnumerator, IEnumPins, IPin*> {
public:
    TestSourcePinEnumerator(IBaseFilter* filter, IPin* pin) : filter(filter), pin(pin) { filter->AddRef(); }
    TestSourcePinEnumerator(const TestSourcePinEnumerator& other)
        : TestSourceEnumerator(other), filter(other.filter), pin(other.pin)
    {
        filter->AddRef();
    }

private:
    friend class TestSourceEnumerator<TestSourcePinEnumerator, IEnumPins, IPin*>;
    ~TestSourcePinEnumerator() { filter->Release(); }

    ULONG ItemCount() const { return 1; }
    bool HandOut(ULONG, IPin** out)
    {
        *out = pin;
        pin->AddRef();
        return true;
    }

    IBaseFilter* const filter;  // counted: keeps the pin alive
    IPin* const pin;            // part of the filter
};
