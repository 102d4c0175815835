// Base of the tests' pin doubles: a CountingDouble of IPin (and of any further interfaces the pin answers)
// whose every IPin method fails the test when called. A double overrides only the methods its tests script,
// so a call nobody expected is reported instead of answered. Lives on the test's stack; one thread.
//
//   struct PinThatOnlyKnowsItsPeer : PinDouble<> {
//       HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override { ... }
//   };
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CountingDouble.h"

template <class... MoreInterfaces>
class PinDouble : public CountingDouble<IPin, MoreInterfaces...> {
public:
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Disconnect() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin**) override { UNEXPECTED_CALL(); }
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

protected:
    PinDouble() = default;
};
