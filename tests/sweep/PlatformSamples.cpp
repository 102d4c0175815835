#include "PlatformSamples.h"

#include <uuids.h>
#include <vfwmsgs.h>

#include "HResult.h"

PlatformSamples::PlatformSamples(long bufferCount, long bufferSize)
{
    status = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                              allocator.OutVoid());
    if (FAILED(status))
        return;
    ALLOCATOR_PROPERTIES wanted = {bufferCount, bufferSize, 1, 0};
    ALLOCATOR_PROPERTIES actual = {};
    status = allocator->SetProperties(&wanted, &actual);
    if (SUCCEEDED(status) && (actual.cBuffers < bufferCount || actual.cbBuffer < bufferSize))
        status = VFW_E_SIZENOTSET;
    if (SUCCEEDED(status))
        status = allocator->Commit();
}

PlatformSamples::~PlatformSamples()
{
    if (allocator)
        allocator->Decommit();
}

HRESULT PlatformSamples::Take(IMediaSample** sample, const AM_MEDIA_TYPE* type)
{
    RETURN_IF_FAILED(status);
    ComPtr<IMediaSample> taken;
    RETURN_IF_FAILED(allocator->GetBuffer(taken.Out(), nullptr, nullptr, 0));
    RETURN_IF_FAILED(taken->SetActualDataLength(taken->GetSize()));
    if (type != nullptr)
        RETURN_IF_FAILED(taken->SetMediaType(const_cast<AM_MEDIA_TYPE*>(type)));
    *sample = taken.Detach();
    return S_OK;
}
