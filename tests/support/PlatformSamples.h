// Media samples from the platform's standard memory allocator (CLSID_MemoryAllocator): real IMediaSample2
// objects whose calls allocate nothing of this program's. The one way tests make that allocator: the
// allocation sweeps and the receive-path count take samples of an object of this class, which commits it at
// construction and decommits it when the object goes; the test source hands one (CreateAllocator) to its
// peer and fills its samples (TakeFrom). Samples taken are the caller's (release them first). One thread.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "ComPtr.h"

class PlatformSamples {
public:
    PlatformSamples(long bufferCount, long bufferSize);
    ~PlatformSamples();
    PlatformSamples(const PlatformSamples&) = delete;
    PlatformSamples& operator=(const PlatformSamples&) = delete;

    // A new, uncommitted allocator of at least `bufferCount` buffers of exactly `bufferSize` bytes (the size
    // every sample reports through GetSize); VFW_E_SIZENOTSET when the platform sizes it otherwise.
    static HRESULT CreateAllocator(long bufferCount, long bufferSize, IMemAllocator** created);
    // A free buffer of `allocator` (waiting while all are out) as a sample of `actualLength` bytes (-1: its
    // whole size); `type`, when given, is attached to it as a changed media type (IMediaSample::SetMediaType).
    static HRESULT TakeFrom(IMemAllocator* allocator, IMediaSample** sample, long actualLength = -1,
                            const AM_MEDIA_TYPE* type = nullptr);

    // The failure of creating, sizing or committing the allocator; S_OK when samples can be taken.
    HRESULT Status() const { return status; }
    IMemAllocator* Allocator() const { return allocator.Get(); }
    // TakeFrom this object's allocator, of the whole size.
    HRESULT Take(IMediaSample** sample, const AM_MEDIA_TYPE* type = nullptr);

private:
    ComPtr<IMemAllocator> allocator;
    HRESULT status = E_FAIL;
};
