// The one input pin of a sink filter (a filter that ends its graph branch): every sample that arrives is
// handed to ReceiveData, whatever the filter's state; end of stream becomes EC_COMPLETE as for any rendered
// pin. Concrete sinks supply only CheckType (storing what they accept with StoreConnectionType) and
// ReceiveData (reading the connection type through ReadConnectionType, under the base pin's type lock).
//
// Locks (see the module's lock table in its outer object's header): `receiveLock` (the outer object's, not
// owned) serialises Receive and EndOfStream on the streaming thread, so end of stream waits for a sample in
// progress. EndOfStream raises EC_COMPLETE without holding
// it, so a graph thread that waits for the streaming thread while holding its own lock cannot deadlock
// against the event sink.
#pragma once

#include "CRenderedInputPin.h"

class CSinkInputPin : public CRenderedInputPin {
public:
    // Named "Input". `filterLock` and `receiveLock` belong to the outer object.
    CSinkInputPin(CBaseFilter* filter, CRecursiveLock* filterLock, CRecursiveLock* receiveLock, HRESULT* hr);

    // A connection type that cannot be copied leaves the one the type check stored.
    HRESULT SetConnectionType(const AM_MEDIA_TYPE* type) override;
    // Besides the direction check: VFW_E_NO_TRANSPORT for a peer that delivers only when asked (its pin
    // exposes IAsyncReader). A sink never pulls, so such a connection could never carry a sample; refusing
    // it lets the graph put a parser between the two.
    HRESULT CheckPeer(IPin* peer) override;

    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // E_POINTER for null; the failure of GetPointer; otherwise what ReceiveData returns.
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

protected:
    // The sample's data, under receiveLock. `data` is valid until Receive returns.
    virtual HRESULT ReceiveData(IMediaSample* sample, BYTE* data) = 0;

    CRecursiveLock* const receiveLock;  // not owned: the outer object's
};
