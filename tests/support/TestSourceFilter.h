// A source filter for end-to-end tests in the platform's filter graph, written directly on IBaseFilter (no
// framework base class): one output pin (TestSourcePin) that offers scripted media types, and frames that it
// delivers with IMemInputPin::Receive followed by EndOfStream from its own streaming thread (started by Run).
// A heap COM object with its own count, created with a count of 1 (hold it in a ComPtr, Attach); the graph
// references it like any filter. Threads: the control thread (graph, state changes, scripting) and the
// streaming thread. `stateLock` guards the state, the clock, the graph, the frame queue and the pin's fields;
// it is never held while calling another filter or while joining the streaming thread.
//
//   ComPtr<TestSourceFilter> source;
//   source.Attach(new TestSourceFilter);
//   source->Pin()->OfferType(yuy2Type);
//   source->QueueFrame(frame);          // delivered at Run, then EndOfStream
//   source->QueueFormatChange(rgbType); // the frames after it go out in another format
#pragma once

#include <windows.h>
#include <strmif.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "COwnedMediaType.h"
#include "ComPtr.h"
#include "ScriptedAnswer.h"
#include "TestSourcePin.h"

// {3B9C2A57-0E1D-4F8A-9C3B-6D2E7F1A0B42}: the class id the test source reports; registered nowhere.
static const CLSID CLSID_TestSourceFilter = {
    0x3b9c2a57, 0x0e1d, 0x4f8a, {0x9c, 0x3b, 0x6d, 0x2e, 0x7f, 0x1a, 0x0b, 0x42}};

class TestSourceFilter final : public IBaseFilter {
public:
    TestSourceFilter() : pin(this) {}
    TestSourceFilter(const TestSourceFilter&) = delete;
    TestSourceFilter& operator=(const TestSourceFilter&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    ULONG STDMETHODCALLTYPE Release() override;

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override
    {
        return ScriptedAnswer(classId, CLSID_TestSourceFilter);
    }

    // IMediaFilter
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** enumerator) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

    TestSourcePin* Pin() { return &pin; }
    // The state as the pin reads it while it holds stateLock.
    FILTER_STATE StateLocked() const { return state; }

    // Frames for the streaming thread: Run starts it once per run; it delivers them in order, then EndOfStream.
    void QueueFrame(std::vector<BYTE> frame);
    // `frame` delivered `times` times in a row, its bytes shared with the caller (a long run holds one copy).
    void QueueRepeatedFrame(std::shared_ptr<const std::vector<BYTE>> frame, int times);
    // A dynamic format change before the next queued frame, made the way an upstream filter makes it: the
    // peer is asked QueryAccept(type), and the next sample carries `type` (IMediaSample::SetMediaType). A
    // refusal ends the stream there, with VFW_E_TYPE_NOT_ACCEPTED as the streaming result.
    void QueueFormatChange(const AM_MEDIA_TYPE& type);
    // Waits for the streaming thread to finish its queue and gives the first failure it met (S_OK if none).
    HRESULT WaitForStreaming();

    // Every sample's buffer holds the frame and then this byte up to its end (GetSize).
    static constexpr BYTE kUnusedBufferByte = 0xA5;

    std::mutex stateLock;

private:
    // One entry of the queue: a frame delivered `times` times, or (with `changesType`) a format change.
    struct QueuedDelivery {
        std::shared_ptr<const std::vector<BYTE>> frame;
        int times = 1;
        bool changesType = false;
        COwnedMediaType newType;
    };

    ~TestSourceFilter() { JoinStreamingThread(); }
    void StreamQueuedFrames(std::vector<QueuedDelivery> queue);
    void JoinStreamingThread()
    {
        if (streamingThread.joinable())
            streamingThread.join();
    }
    // Takes a sample from the allocator (blocking while all buffers are out), fills it, attaches `newType`
    // when it is given and calls Receive.
    static HRESULT DeliverThrough(IMemInputPin* peerInput, IMemAllocator* samples, const std::vector<BYTE>& frame,
                                  const AM_MEDIA_TYPE* newType);

    volatile LONG references = 1;
    TestSourcePin pin;

    // Guarded by stateLock.
    FILTER_STATE state = State_Stopped;
    ComPtr<IReferenceClock> clock;
    IFilterGraph* graph = nullptr;  // not counted: the graph holds the filter
    std::wstring name;
    std::vector<QueuedDelivery> queuedFrames;
    bool streamStartedThisRun = false;
    HRESULT streamingResult = S_OK;

    // Touched by the control thread only.
    std::thread streamingThread;
};
