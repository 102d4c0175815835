// Test double of a filter's own input pin as a seeking pass-through sees it: ConnectedTo answers `peer`
// with a reference for the caller, or VFW_E_NOT_CONNECTED while `peer` is null. A test reconnects the pin
// by assigning another peer; the double holds no reference on it. Every other IPin method is unexpected.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include "PinDouble.h"

class FakeSeekingInputPin : public PinDouble<> {
public:
    IPin* peer = nullptr;  // not counted: the test keeps the peer alive
    int connectedToCalls = 0;

    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override
    {
        ++connectedToCalls;
        return AnswerConnectedTo(peer, pin);
    }
};
