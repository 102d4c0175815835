#include "PlatformSamples.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include "HResult.h"

PlatformSamples::PlatformSamples(long bufferCount, long bufferSize)
{
    status = CreateAllocator(bufferCount, bufferSize, allocator.Out());
    if (SUCCEEDED(status))
        status = allocator->Commit();
}

PlatformSamples::~PlatformSamples()
{
    if (allocator)
        allocator->Decommit();
}

HRESULT PlatformSamples::CreateAllocator(long bufferCount, long bufferSize, IMemAllocator** created)
{
    ComPtr<IMemAllocator> made;
    RETURN_IF_FAILED(
        CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator, made.OutVoid()));
    ALLOCATOR_PROPERTIES wanted = {bufferCount, bufferSize, 1, 0};
    ALLOCATOR_PROPERTIES actual = {};
    RETURN_IF_FAILED(made->SetProperties(&wanted, &actual));
    if (actual.cbBuffer != bufferSize || actual.cBuffers < bufferCount)
        return VFW_E_SIZENOTSET;
    *created = made.Detach();
    return S_OK;
}

HRESULT PlatformSamples::TakeFrom(IMemAllocator* allocator, IMediaSample** sample, long actualLength,
                                  const AM_MEDIA_TYPE* type)
{
    ComPtr<IMediaSample> taken;
    RETURN_IF_FAILED(allocator->GetBuffer(taken.Out(), nullptr, nullptr, 0));
    RETURN_IF_FAILED(taken->SetActualDataLength(actualLength < 0 ? taken->GetSize() : actualLength));
    if (type != nullptr)
        RETURN_IF_FAILED(taken->SetMediaType(const_cast<AM_MEDIA_TYPE*>(type)));
    *sample = taken.Detach();
    return S_OK;
}

HRESULT PlatformSamples::Take(IMediaSample** sample, const AM_MEDIA_TYPE* type)
{
    RETURN_IF_FAILED(status);
    return TakeFrom(allocator.Get(), sample, -1, type);
}
