// The output pin ("Output") of TestSourceFilter, written directly on the platform's IPin: offers the filter's
// scripted media types in order, connects by the peer's ReceiveConnection and hands the peer the platform's
// standard allocator (PlatformSamples::CreateAllocator) with NotifyAllocator. Part of its filter (a member,
// never deleted on its own): AddRef and Release go to the filter. Called on the control thread (connection)
// and read by the filter's streaming thread through TakeDeliveryPath; the filter's `stateLock` guards every
// field. Given a category (SetCategory), it also reports it through IKsPropertySet, as a camera's capture pin
// does.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <vector>

#include "COwnedMediaType.h"
#include "ComPtr.h"
#include "ScriptedAnswer.h"

class TestSourceFilter;

class TestSourcePin final : public IPin, public IKsPropertySet {
public:
    explicit TestSourcePin(TestSourceFilter* filter) : filter(filter) {}
    TestSourcePin(const TestSourcePin&) = delete;
    TestSourcePin& operator=(const TestSourcePin&) = delete;

    // IUnknown: the pin's count is the filter's.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IPin. An output pin connects and is never connected to; stream control travels downstream, so it is
    // never told about the end of a stream or a flush.
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override
    {
        return ScriptedAnswer(direction, PINDIR_OUTPUT);
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }

    // IKsPropertySet: the pin category (AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY) only, read-only.
    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, void* instance, DWORD instanceBytes, void* data,
                                  DWORD dataBytes) override;
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, void* instance, DWORD instanceBytes, void* data,
                                  DWORD dataBytes, DWORD* returnedBytes) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // Scripting, before the pin is connected.
    void OfferType(const AM_MEDIA_TYPE& type);
    // The category the pin reports (PIN_CATEGORY_CAPTURE for a camera); without one it has no IKsPropertySet.
    void SetCategory(REFGUID pinCategory);
    // The allocator's buffers: count and size (the size every sample reports through GetSize).
    void SetBuffers(long count, long size);

    // Commit and decommit the allocator with the filter's state (no-ops while unconnected).
    // Called by the filter with stateLock held: committing and decommitting do not call back into this pin.
    HRESULT CommitAllocator() { return allocator ? allocator->Commit() : S_OK; }
    void DecommitAllocator()
    {
        if (allocator)
            allocator->Decommit();
    }
    // New references to what delivery needs: the peer's IPin and IMemInputPin and the allocator. Fails with
    // VFW_E_NOT_CONNECTED while unconnected.
    HRESULT TakeDeliveryPath(IPin** peerPin, IMemInputPin** peerInput, IMemAllocator** samples);

private:
    HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& type);

    TestSourceFilter* const filter;  // owner: not counted (the pin is part of it)
    std::vector<COwnedMediaType> offeredTypes;
    GUID category = GUID_NULL;
    long bufferCount = 1;
    long bufferSize = 0;  // 0: the connection type's lSampleSize, or the bmiHeader's biSizeImage

    // Connection state, all set together by a successful Connect, all released by Disconnect (or with the
    // filter, for a test that never put it into a graph).
    ComPtr<IPin> connectedPin;
    ComPtr<IMemInputPin> connectedInput;
    ComPtr<IMemAllocator> allocator;
    COwnedMediaType connectionType;
};
