// Media samples from the platform's standard memory allocator (CLSID_MemoryAllocator), for the allocation
// sweeps and the receive-path count: real IMediaSample2 objects whose calls allocate nothing of this
// program's. The allocator is committed with `bufferCount` buffers of `bufferSize` bytes at construction and
// decommitted when the object goes; samples taken with Take are the caller's (release them first). One thread.
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

    // The failure of creating, sizing or committing the allocator; S_OK when samples can be taken.
    HRESULT Status() const { return status; }
    IMemAllocator* Allocator() const { return allocator.Get(); }
    // A free buffer as a sample whose actual length is its whole size; `type`, when given, is attached to it
    // as a changed media type (IMediaSample::SetMediaType).
    HRESULT Take(IMediaSample** sample, const AM_MEDIA_TYPE* type = nullptr);

private:
    ComPtr<IMemAllocator> allocator;
    HRESULT status = E_FAIL;
};
