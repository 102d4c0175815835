// Test double of a filter's own input pin as a seeking pass-through sees it: ConnectedTo answers `peer`
// with a reference for the caller, or VFW_E_NOT_CONNECTED while `peer` is null. A test reconnects the pin
// by assigning another peer; the double holds no reference on it. Every other IPin method is unexpected.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

#include "CountingDouble.h"

class FakeSeekingInputPin : public CountingDouble<IPin> {
public:
    IPin* peer = nullptr;  // not counted: the test keeps the peer alive
    int connectedToCalls = 0;

    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override
    {
        ++connectedToCalls;
        if (pin == nullptr)
            return E_POINTER;
        *pin = peer;
        if (peer == nullptr)
            return VFW_E_NOT_CONNECTED;
        peer->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Disconnect() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE EndFlush() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { UNEXPECTED_CALL(); }
};
