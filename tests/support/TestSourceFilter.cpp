#include "TestSourceFilter.h"

#include <vfwmsgs.h>

#include <cstring>
#include <new>
#include <utility>

#include "HResult.h"
#include "PlatformSamples.h"
#include "TestSourceEnumerator.h"

HRESULT TestSourceFilter::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPersist) ||
        IsEqualGUID(riid, IID_IMediaFilter) || IsEqualGUID(riid, IID_IBaseFilter)) {
        *ppv = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG TestSourceFilter::Release()
{
    LONG now = InterlockedDecrement(&references);
    if (now == 0)
        delete this;
    return static_cast<ULONG>(now);
}

HRESULT TestSourceFilter::Stop()
{
    {
        std::lock_guard<std::mutex> guard(stateLock);
        state = State_Stopped;
        streamStartedThisRun = false;
        // A streaming thread waiting for a buffer gets VFW_E_NOT_COMMITTED and ends.
        pin.DecommitAllocator();
    }
    JoinStreamingThread();
    return S_OK;
}

HRESULT TestSourceFilter::Pause()
{
    std::lock_guard<std::mutex> guard(stateLock);
    if (state == State_Stopped)
        RETURN_IF_FAILED(pin.CommitAllocator());
    state = State_Paused;
    return S_OK;
}

HRESULT TestSourceFilter::Run(REFERENCE_TIME)
{
    {
        std::lock_guard<std::mutex> guard(stateLock);
        if (state == State_Stopped)
            RETURN_IF_FAILED(pin.CommitAllocator());
        state = State_Running;
        if (streamStartedThisRun)
            return S_OK;
        streamStartedThisRun = true;
    }
    // A thread from an earlier run has finished its queue (or was ended by Stop); join it before starting anew.
    JoinStreamingThread();
    std::vector<QueuedDelivery> frames;
    {
        std::lock_guard<std::mutex> guard(stateLock);
        frames = std::move(queuedFrames);
        queuedFrames.clear();
        streamingResult = S_OK;
    }
    streamingThread = std::thread(&TestSourceFilter::StreamQueuedFrames, this, std::move(frames));
    return S_OK;
}

HRESULT TestSourceFilter::GetState(DWORD, FILTER_STATE* current)
{
    if (current == nullptr)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(stateLock);
    *current = state;
    return S_OK;
}

HRESULT TestSourceFilter::SetSyncSource(IReferenceClock* newClock)
{
    std::lock_guard<std::mutex> guard(stateLock);
    clock = ComPtr<IReferenceClock>(newClock);
    return S_OK;
}

HRESULT TestSourceFilter::GetSyncSource(IReferenceClock** current)
{
    if (current == nullptr)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(stateLock);
    clock.CopyTo(current);
    return S_OK;
}

HRESULT TestSourceFilter::EnumPins(IEnumPins** enumerator)
{
    if (enumerator == nullptr)
        return E_POINTER;
    *enumerator = new (std::nothrow) TestSourcePinEnumerator({ComPtr<IPin>(&pin)});
    return *enumerator != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT TestSourceFilter::FindPin(LPCWSTR id, IPin** found)
{
    if (id == nullptr || found == nullptr)
        return E_POINTER;
    *found = nullptr;
    return lstrcmpW(id, L"Output") == 0 ? pin.QueryInterface(IID_IPin, reinterpret_cast<void**>(found))
                                        : VFW_E_NOT_FOUND;
}

HRESULT TestSourceFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(stateLock);
    lstrcpynW(info->achName, name.c_str(), MAX_FILTER_NAME);
    CopyCounted(graph, &info->pGraph);
    return S_OK;
}

HRESULT TestSourceFilter::JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR newName)
{
    std::lock_guard<std::mutex> guard(stateLock);
    graph = newGraph;
    name = newName != nullptr ? newName : L"";
    return S_OK;
}

void TestSourceFilter::QueueFrame(std::vector<BYTE> frame)
{
    QueueRepeatedFrame(std::make_shared<const std::vector<BYTE>>(std::move(frame)), 1);
}

void TestSourceFilter::QueueRepeatedFrame(std::shared_ptr<const std::vector<BYTE>> frame, int times)
{
    std::lock_guard<std::mutex> guard(stateLock);
    queuedFrames.push_back({std::move(frame), times});
}

void TestSourceFilter::QueueFormatChange(const AM_MEDIA_TYPE& type)
{
    std::lock_guard<std::mutex> guard(stateLock);
    queuedFrames.emplace_back();
    queuedFrames.back().changesType = true;
    queuedFrames.back().newType = type;
}

HRESULT TestSourceFilter::WaitForStreaming()
{
    JoinStreamingThread();
    std::lock_guard<std::mutex> guard(stateLock);
    return streamingResult;
}

HRESULT TestSourceFilter::DeliverThrough(IMemInputPin* peerInput, IMemAllocator* samples,
                                         const std::vector<BYTE>& frame, const AM_MEDIA_TYPE* newType)
{
    ComPtr<IMediaSample> sample;
    RETURN_IF_FAILED(PlatformSamples::TakeFrom(samples, sample.Out(), static_cast<long>(frame.size()), newType));
    BYTE* buffer = nullptr;
    RETURN_IF_FAILED(sample->GetPointer(&buffer));
    const long size = sample->GetSize();
    if (size < 0 || frame.size() > static_cast<size_t>(size))
        return E_INVALIDARG;
    // Bytes of the buffer beyond the frame are marked, so a test can tell what a peer read past the data.
    std::memcpy(buffer, frame.data(), frame.size());
    std::memset(buffer + frame.size(), kUnusedBufferByte, static_cast<size_t>(size) - frame.size());
    RETURN_IF_FAILED(sample->SetSyncPoint(TRUE));
    return peerInput->Receive(sample.Get());
}

void TestSourceFilter::StreamQueuedFrames(std::vector<QueuedDelivery> queue)
{
    // The delivery path is taken once: Stop decommits the allocator, which ends a wait for a buffer, and the
    // references keep the peer alive until the thread is done with it.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HRESULT result = S_OK;
    {
        ComPtr<IPin> peer;
        ComPtr<IMemInputPin> peerInput;
        ComPtr<IMemAllocator> samples;
        result = pin.TakeDeliveryPath(peer.Out(), peerInput.Out(), samples.Out());
        // The type of a format change the peer accepted, until the next sample carries it.
        const AM_MEDIA_TYPE* changedType = nullptr;
        for (size_t i = 0; SUCCEEDED(result) && i < queue.size(); ++i) {
            const QueuedDelivery& entry = queue[i];
            if (entry.changesType) {
                result = peer->QueryAccept(&entry.newType) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
                changedType = &entry.newType;
                continue;
            }
            for (int time = 0; SUCCEEDED(result) && time < entry.times; ++time) {
                result = DeliverThrough(peerInput.Get(), samples.Get(), *entry.frame, changedType);
                changedType = nullptr;
            }
        }
        if (SUCCEEDED(result))
            result = peer->EndOfStream();
    }
    {
        std::lock_guard<std::mutex> guard(stateLock);
        streamingResult = result;
    }
    CoUninitialize();
}
