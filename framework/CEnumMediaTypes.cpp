#include "CEnumMediaTypes.h"

#include <climits>
#include <new>

#include <vfwmsgs.h>

#include "CBasePin.h"
#include "COwnedMediaType.h"
#include "CUnknown.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* source)
    : position(0), enumeratedPin(pin), cachedVersion(0), refCount(1)
{
    // The pin's own count, which is what its IPin's AddRef and Release reach (a pin is never aggregated) and
    // which the pin passes on to its filter.
    enumeratedPin->NonDelegatingAddRef();
    if (source != nullptr) {
        position = source->position;
        cachedVersion = source->cachedVersion;
    } else {
        cachedVersion = enumeratedPin->TypeListVersion();
    }
}

CEnumMediaTypes::~CEnumMediaTypes()
{
    // Last use of the pin: this release may destroy its filter.
    enumeratedPin->NonDelegatingRelease();
}

bool CEnumMediaTypes::OutOfSync() const
{
    return enumeratedPin->TypeListVersion() != cachedVersion;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched)
{
    if (ppMediaTypes == nullptr)
        return E_POINTER;
    // A changed type list is refused before the count is looked at.
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    if (pcFetched != nullptr)
        *pcFetched = 0;
    else if (cMediaTypes > 1)
        return E_INVALIDARG;

    ULONG fetched = 0;
    while (fetched < cMediaTypes) {
        COwnedMediaType offered;
        HRESULT hr = enumeratedPin->GetOfferedType(position, &offered);
        ++position;
        if (hr != S_OK)
            break;
        AM_MEDIA_TYPE* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        ppMediaTypes[fetched] = record;
        if (record == nullptr)
            break;
        // The record takes over the format block and the pUnk reference; `offered` is left owning nothing.
        *record = offered;
        offered.cbFormat = 0;
        offered.pbFormat = nullptr;
        offered.pUnk = nullptr;
        ++fetched;
    }

    if (pcFetched != nullptr)
        *pcFetched = fetched;
    return fetched == cMediaTypes ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Skip(ULONG cMediaTypes)
{
    if (cMediaTypes == 0)
        return S_OK;
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    // The position saturates instead of wrapping: a huge count must not turn into a negative index.
    if (cMediaTypes > static_cast<ULONG>(LONG_MAX - position))
        position = LONG_MAX;
    else
        position += static_cast<LONG>(cMediaTypes);
    // Whether the last skipped type exists decides the result; the position stays advanced either way.
    COwnedMediaType probe;
    return enumeratedPin->GetOfferedType(position - 1, &probe) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Reset()
{
    position = 0;
    cachedVersion = enumeratedPin->TypeListVersion();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    *ppEnum = nullptr;
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumMediaTypes* clone = new (std::nothrow) CEnumMediaTypes(enumeratedPin, this);
    if (clone == nullptr)
        return E_OUTOFMEMORY;
    *ppEnum = clone;
    return S_OK;
}
