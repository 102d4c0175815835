#include "TestSourcePin.h"

#include <vfwmsgs.h>

#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "HResult.h"
#include "PlatformSamples.h"
#include "TestSourceEnumerator.h"
#include "TestSourceFilter.h"
#include "VideoMediaType.h"

namespace {

const wchar_t kPinName[] = L"Output";

// IKsPropertySet's refusals of a property set or a property it does not know.
const HRESULT kPropertySetUnsupported = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
const HRESULT kPropertyUnsupported = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

// S_OK for the one property the pin reports, the pin category; otherwise why it is refused.
HRESULT CategoryPropertyKnown(REFGUID set, DWORD id)
{
    if (!IsEqualGUID(set, AMPROPSETID_Pin))
        return kPropertySetUnsupported;
    return id == AMPROPERTY_PIN_CATEGORY ? S_OK : kPropertyUnsupported;
}

// The size of one frame of `type`, for allocator buffers the script did not size itself.
long FrameSizeOf(const AM_MEDIA_TYPE& type)
{
    return static_cast<long>(type.lSampleSize > 1 ? type.lSampleSize : PictureOf(type).biSizeImage);
}

}  // namespace

HRESULT TestSourcePin::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IPin)) {
        *ppv = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualGUID(riid, IID_IKsPropertySet)) {
        std::lock_guard<std::mutex> guard(filter->stateLock);
        if (!IsEqualGUID(category, GUID_NULL)) {
            *ppv = static_cast<IKsPropertySet*>(this);
            AddRef();
            return S_OK;
        }
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG TestSourcePin::AddRef()
{
    return filter->AddRef();
}

ULONG TestSourcePin::Release()
{
    return filter->Release();
}

void TestSourcePin::OfferType(const AM_MEDIA_TYPE& type)
{
    std::lock_guard<std::mutex> guard(filter->stateLock);
    offeredTypes.emplace_back();
    offeredTypes.back() = type;
}

void TestSourcePin::SetCategory(REFGUID pinCategory)
{
    std::lock_guard<std::mutex> guard(filter->stateLock);
    category = pinCategory;
}

HRESULT TestSourcePin::Set(REFGUID, DWORD, void*, DWORD, void*, DWORD)
{
    return kPropertyUnsupported;
}

HRESULT TestSourcePin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataBytes, DWORD* returnedBytes)
{
    RETURN_IF_FAILED(CategoryPropertyKnown(set, id));
    if (data == nullptr && returnedBytes == nullptr)
        return E_POINTER;
    if (returnedBytes != nullptr)
        *returnedBytes = sizeof(GUID);
    if (data == nullptr)
        return S_OK;
    if (dataBytes < sizeof(GUID))
        return E_UNEXPECTED;
    std::lock_guard<std::mutex> guard(filter->stateLock);
    *static_cast<GUID*>(data) = category;
    return S_OK;
}

HRESULT TestSourcePin::QuerySupported(REFGUID set, DWORD id, DWORD* support)
{
    RETURN_IF_FAILED(CategoryPropertyKnown(set, id));
    if (support != nullptr)
        *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

void TestSourcePin::SetBuffers(long count, long size)
{
    std::lock_guard<std::mutex> guard(filter->stateLock);
    bufferCount = count;
    bufferSize = size;
}

HRESULT TestSourcePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    if (receivePin == nullptr)
        return E_POINTER;
    const bool typeFixed = type != nullptr && !MediaTypeIsIncomplete(type);
    std::vector<COwnedMediaType> candidates;
    {
        std::lock_guard<std::mutex> guard(filter->stateLock);
        if (connectedPin)
            return VFW_E_ALREADY_CONNECTED;
        if (filter->StateLocked() != State_Stopped)
            return VFW_E_NOT_STOPPED;
        // A complete type from the caller is the only candidate; a partial one filters the offered list.
        if (typeFixed) {
            candidates.emplace_back();
            candidates.back() = *type;
        } else {
            for (const COwnedMediaType& offered : offeredTypes)
                if (type == nullptr || MediaTypeFitsTemplate(&offered, type))
                    candidates.push_back(offered);
        }
    }
    // The peer may call back into this pin while it decides, so no lock is held across ReceiveConnection.
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const COwnedMediaType& candidate : candidates) {
        last = TryConnection(receivePin, candidate);
        if (SUCCEEDED(last))
            return S_OK;
    }
    // A fixed type reports why the peer refused it; a search reports that nothing fitted.
    return typeFixed ? last : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT TestSourcePin::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& type)
{
    RETURN_IF_FAILED(receivePin->ReceiveConnection(this, &type));
    long count;
    long size;
    {
        std::lock_guard<std::mutex> guard(filter->stateLock);
        count = bufferCount;
        // The allocator's size comes from the type when the script did not fix one.
        size = bufferSize > 0 ? bufferSize : FrameSizeOf(type);
    }
    ComPtr<IMemInputPin> peerInput;
    ComPtr<IMemAllocator> samples;
    HRESULT hr = receivePin->QueryInterface(IID_IMemInputPin, peerInput.OutVoid());
    if (SUCCEEDED(hr))
        hr = size > 0 ? PlatformSamples::CreateAllocator(count, size, samples.Out()) : VFW_E_SIZENOTSET;
    if (SUCCEEDED(hr))
        hr = peerInput->NotifyAllocator(samples.Get(), FALSE);
    if (FAILED(hr)) {
        receivePin->Disconnect();
        return hr;
    }
    std::lock_guard<std::mutex> guard(filter->stateLock);
    connectedPin = ComPtr<IPin>(receivePin);
    connectedInput = std::move(peerInput);
    allocator = std::move(samples);
    connectionType = type;
    return S_OK;
}

HRESULT TestSourcePin::Disconnect()
{
    // Released outside the lock: the last reference on a peer may run its destructor.
    ComPtr<IPin> peer;
    ComPtr<IMemInputPin> peerInput;
    ComPtr<IMemAllocator> samples;
    {
        std::lock_guard<std::mutex> guard(filter->stateLock);
        if (filter->StateLocked() != State_Stopped)
            return VFW_E_NOT_STOPPED;
        if (!connectedPin)
            return S_FALSE;
        peer = std::move(connectedPin);
        peerInput = std::move(connectedInput);
        samples = std::move(allocator);
        connectionType = COwnedMediaType();
    }
    samples->Decommit();
    return S_OK;
}

HRESULT TestSourcePin::ConnectedTo(IPin** pin)
{
    if (pin == nullptr)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(filter->stateLock);
    return AnswerConnectedTo(connectedPin.Get(), pin);
}

HRESULT TestSourcePin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(filter->stateLock);
    if (!connectedPin) {
        MediaTypeReset(type);
        return VFW_E_NOT_CONNECTED;
    }
    return MediaTypeDuplicate(type, &connectionType);
}

HRESULT TestSourcePin::QueryPinInfo(PIN_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    info->pFilter = filter;
    filter->AddRef();
    info->dir = PINDIR_OUTPUT;
    std::memcpy(info->achName, kPinName, sizeof kPinName);
    return S_OK;
}

HRESULT TestSourcePin::QueryId(LPWSTR* id)
{
    if (id == nullptr)
        return E_POINTER;
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof kPinName));
    if (*id == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(*id, kPinName, sizeof kPinName);
    return S_OK;
}

HRESULT TestSourcePin::QueryAccept(const AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(filter->stateLock);
    for (const COwnedMediaType& offered : offeredTypes)
        if (MediaTypeFitsTemplate(type, &offered))
            return S_OK;
    return S_FALSE;
}

HRESULT TestSourcePin::EnumMediaTypes(IEnumMediaTypes** enumerator)
{
    if (enumerator == nullptr)
        return E_POINTER;
    std::lock_guard<std::mutex> guard(filter->stateLock);
    *enumerator = new (std::nothrow) TestSourceTypeEnumerator(offeredTypes);
    return *enumerator != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT TestSourcePin::TakeDeliveryPath(IPin** peerPin, IMemInputPin** peerInput, IMemAllocator** samples)
{
    std::lock_guard<std::mutex> guard(filter->stateLock);
    if (!connectedPin)
        return VFW_E_NOT_CONNECTED;
    connectedPin.CopyTo(peerPin);
    connectedInput.CopyTo(peerInput);
    allocator.CopyTo(samples);
    return S_OK;
}
