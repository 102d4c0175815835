// The one input pin of a sink filter (a filter that ends its graph branch): every sample that arrives is
// handed to ReceiveData, whatever the filter's state; end of stream becomes EC_COMPLETE as for any rendered
// pin. Concrete sinks supply only CheckType and ReceiveData.
//
// Locks (order: filterLock -> typeLock, receiveLock -> typeLock; typeLock is a leaf, never held across a
// call out of the pin):
// - `receiveLock` (the outer object's, not owned) serialises Receive and EndOfStream on the streaming thread,
//   so end of stream waits for a sample in progress.
// - `typeLock` guards `connectionType`, which a type check from any thread (IPin::QueryAccept needs no lock)
//   may replace while the streaming thread reads it: readers take what they need under it, then work on
//   their copy.
// EndOfStream raises EC_COMPLETE without holding receiveLock, so a graph thread that waits for the
// streaming thread while holding its own lock cannot deadlock against the event sink.
#pragma once

#include "CLockGuard.h"
#include "CRenderedInputPin.h"

class CSinkInputPin : public CRenderedInputPin {
public:
    // Named "Input". `filterLock` and `receiveLock` belong to the outer object.
    CSinkInputPin(CBaseFilter* filter, CRecursiveLock* filterLock, CRecursiveLock* receiveLock, HRESULT* hr);

    HRESULT SetConnectionType(const AM_MEDIA_TYPE* type) override;
    HRESULT ReleaseConnection() override;

    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    // E_POINTER for null; the failure of GetPointer; otherwise what ReceiveData returns.
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

protected:
    // The sample's data, under receiveLock. `data` is valid until Receive returns.
    virtual HRESULT ReceiveData(IMediaSample* sample, BYTE* data) = 0;

    // Replaces the connection type with a deep copy of `type` (what a type check does before accepting).
    // E_OUTOFMEMORY when the copy cannot be made; the connection type is then unchanged.
    HRESULT StoreConnectionType(const AM_MEDIA_TYPE* type);
    // Runs `reader(const AM_MEDIA_TYPE&)` on the connection type under typeLock. The reader must not call
    // out of the pin.
    template <class Reader>
    void ReadConnectionType(Reader reader)
    {
        CLockGuard guard(&typeLock);
        reader(static_cast<const AM_MEDIA_TYPE&>(connectionType));
    }

    CRecursiveLock* const receiveLock;  // not owned: the outer object's

private:
    CRecursiveLock typeLock;
};
