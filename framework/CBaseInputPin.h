// The input pin: IMemInputPin (the upstream pin's allocator and its samples), the flushing state and the
// check every piece of streaming data passes first (CheckReceiveState).
//
// Ownership: holds a counted reference on the allocator from GetAllocator/NotifyAllocator until
// ReleaseConnection or destruction. Threads: Receive, ReceiveMultiple and EndOfStream arrive on the upstream
// streaming thread and take no lock here (concrete pins add their receive lock); BeginFlush, EndFlush,
// GetAllocator and NotifyAllocator take the filter lock; Activate/Deactivate/StartRunning are called by the
// filter while it holds that lock. `sampleProps` is one record per pin: one streaming thread per pin.
#pragma once

#include "CBasePin.h"

class CBaseInputPin : public CForwardingUnknown<CBasePin, IMemInputPin> {
public:
    CBaseInputPin(const wchar_t* objectName, CBaseFilter* filter, CRecursiveLock* lock, HRESULT* hr,
                  const wchar_t* name);
    ~CBaseInputPin() override;

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    HRESULT Deactivate() override;
    HRESULT ReleaseConnection() override;
    virtual HRESULT CheckReceiveState();

    // IPin (streaming half)
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;

    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** out) override;
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

    IMemInputPin* GetMemInputPinInterface() { return static_cast<IMemInputPin*>(this); }

protected:
    IMemAllocator* allocator;  // counted
    bool readOnly;
    bool flushing;
    AM_SAMPLE2_PROPERTIES sampleProps;
};
