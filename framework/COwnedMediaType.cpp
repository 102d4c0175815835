#include "COwnedMediaType.h"

#include <cstring>

#include "ComPtr.h"

void MediaTypeReset(AM_MEDIA_TYPE* type)
{
    std::memset(type, 0, sizeof(*type));
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = 1;
}

void MediaTypeReleaseFormat(AM_MEDIA_TYPE* type)
{
    if (type->cbFormat != 0) {
        CoTaskMemFree(type->pbFormat);
        type->cbFormat = 0;
        type->pbFormat = nullptr;
    }
    ReleaseCounted(type->pUnk);
}

HRESULT MediaTypeDuplicate(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source)
{
    *target = *source;
    if (source->cbFormat != 0) {
        // A record from another filter that claims a block it does not have is refused, not read.
        HRESULT failure = source->pbFormat == nullptr ? E_POINTER : E_OUTOFMEMORY;
        target->pbFormat = source->pbFormat == nullptr ? nullptr
                                                       : static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (target->pbFormat == nullptr) {
            // The target took the source's pUnk pointer with the record but no reference on it: it must not
            // keep it, or releasing the target would drop a reference it never took.
            target->cbFormat = 0;
            target->pUnk = nullptr;
            return failure;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    }
    if (target->pUnk != nullptr)
        target->pUnk->AddRef();
    return S_OK;
}

void MediaTypeDestroy(AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return;
    MediaTypeReleaseFormat(type);
    CoTaskMemFree(type);
}

BOOL MediaTypeIsIncomplete(const AM_MEDIA_TYPE* type)
{
    return IsEqualGUID(type->majortype, GUID_NULL) || IsEqualGUID(type->formattype, GUID_NULL);
}

BOOL MediaTypeFitsTemplate(const AM_MEDIA_TYPE* full, const AM_MEDIA_TYPE* pattern)
{
    if (!IsEqualGUID(pattern->majortype, GUID_NULL) && !IsEqualGUID(pattern->majortype, full->majortype))
        return FALSE;
    if (!IsEqualGUID(pattern->subtype, GUID_NULL) && !IsEqualGUID(pattern->subtype, full->subtype))
        return FALSE;
    if (IsEqualGUID(pattern->formattype, GUID_NULL))
        return TRUE;
    if (!IsEqualGUID(pattern->formattype, full->formattype))
        return FALSE;
    if (pattern->cbFormat != full->cbFormat)
        return FALSE;
    if (pattern->cbFormat == 0)
        return TRUE;
    // A block that is claimed but missing (a malformed record from another filter) matches nothing.
    if (full->pbFormat == nullptr || pattern->pbFormat == nullptr)
        return FALSE;
    return std::memcmp(full->pbFormat, pattern->pbFormat, pattern->cbFormat) == 0 ? TRUE : FALSE;
}

COwnedMediaType::COwnedMediaType(const COwnedMediaType& other) : AM_MEDIA_TYPE()
{
    if (FAILED(MediaTypeDuplicate(this, &other)))
        MediaTypeReleaseFormat(this);
}

COwnedMediaType& COwnedMediaType::operator=(const AM_MEDIA_TYPE& source)
{
    AssignFrom(source);
    return *this;
}

HRESULT COwnedMediaType::AssignFrom(const AM_MEDIA_TYPE& source)
{
    if (&source == static_cast<const AM_MEDIA_TYPE*>(this))
        return S_OK;
    MediaTypeReleaseFormat(this);
    return SUCCEEDED(MediaTypeDuplicate(this, &source)) ? S_OK : E_OUTOFMEMORY;
}
