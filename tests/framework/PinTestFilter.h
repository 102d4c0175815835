// A minimal filter around one ScriptedInputPin for the pin tests: owns its lock and the pin (and, on
// request, one output pin after it), answers the pin walk with them, and lets a test put it into a state
// directly or through the real Stop/Pause/Run. Created with one reference, held by the PinTestFilter::Ref
// that Create returns.
#pragma once

#include <new>

#include "CBaseFilter.h"
#include "ComPtr.h"
#include "ScriptedInputPin.h"

// {5E0B7F0A-3C51-4B8E-9E43-2D1C0A7B9F10}: a class id for the test filter only.
static const CLSID CLSID_PinTestFilter = {0x5e0b7f0a, 0x3c51, 0x4b8e, {0x9e, 0x43, 0x2d, 0x1c, 0x0a, 0x7b, 0x9f, 0x10}};

// An output pin on the base pin alone: it accepts every type and is connected through its
// ReceiveConnection by a test that plays the downstream input pin.
class TestOutputPin : public CBasePin {
public:
    TestOutputPin(CBaseFilter* filter, CRecursiveLock* lock)
        : CBasePin(L"TestOutputPin", filter, lock, nullptr, L"Output", PINDIR_OUTPUT)
    {
    }
    HRESULT CheckType(const AM_MEDIA_TYPE*) override { return S_OK; }
};

class PinTestFilter : public CBaseFilter {
public:
    // The one reference the test holds; releasing it destroys filter and pin.
    struct Ref {
        PinTestFilter* filter = nullptr;
        ComPtr<IBaseFilter> reference;
        PinTestFilter* operator->() const { return filter; }
    };

    static Ref Create(const wchar_t* pinName = L"Input")
    {
        Ref ref;
        ref.filter = new PinTestFilter(pinName);
        ref.filter->NonDelegatingAddRef();
        ref.reference.Attach(ref.filter->GetBaseFilterInterface());
        return ref;
    }

    ~PinTestFilter() override
    {
        delete outputPin;
        delete pin;
    }

    int CountPins() override { return outputPin != nullptr ? 2 : 1; }
    CBasePin* GetPinAt(int index) override
    {
        if (index == 0)
            return pin;
        return index == 1 ? outputPin : nullptr;
    }

    // Adds the output pin (once); the filter owns it from now on.
    TestOutputPin* AddOutputPin()
    {
        if (outputPin == nullptr)
            outputPin = new TestOutputPin(this, &lock);
        return outputPin;
    }

    ScriptedInputPin* Pin() const { return pin; }
    IPin* PinInterface() const { return static_cast<IPin*>(pin); }
    IMemInputPin* MemInputPin() const { return static_cast<IMemInputPin*>(pin); }

    // The filter's own count, read without changing it.
    ULONG References()
    {
        GetBaseFilterInterface()->AddRef();
        return GetBaseFilterInterface()->Release();
    }
    // Puts the filter into a state without calling its pins (for tests of one pin operation).
    void ForceState(FILTER_STATE state) { filterState = state; }

private:
    explicit PinTestFilter(const wchar_t* pinName)
        : CBaseFilter(L"PinTestFilter", nullptr, &lock, CLSID_PinTestFilter),
          pin(new ScriptedInputPin(this, &lock, pinName))
    {
    }

    CRecursiveLock lock;  // the filter lock, shared with the pin; the base only keeps its address
    ScriptedInputPin* pin;
    TestOutputPin* outputPin = nullptr;
};
