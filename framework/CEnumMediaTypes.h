// IEnumMediaTypes over the types a pin offers of its own (GetOfferedType). A plain COM object with its own
// count: it holds one reference on the pin (through IPin), which the pin passes on to its filter. Takes no
// lock; one thread at a time. When the pin's type-list version changes, Next, Skip (count > 0) and Clone
// refuse with VFW_E_ENUM_OUT_OF_SYNC until Reset. Every record handed out is task memory owned by the
// caller, who frees it with MediaTypeDestroy. Skip saturates the position rather than let a huge count wrap
// it to a negative index.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CStandaloneUnknown.h"

class CBasePin;

class CEnumMediaTypes : public CStandaloneUnknown<CEnumMediaTypes, IEnumMediaTypes, IID_IEnumMediaTypes> {
public:
    // `source` null: a fresh enumerator; otherwise a clone (same pin, position and cached version).
    CEnumMediaTypes(CBasePin* pin, const CEnumMediaTypes* source);
    virtual ~CEnumMediaTypes();

    HRESULT STDMETHODCALLTYPE Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG cMediaTypes) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** ppEnum) override;

private:
    friend class CStandaloneUnknown<CEnumMediaTypes, IEnumMediaTypes, IID_IEnumMediaTypes>;

    bool OutOfSync() const;

    LONG position;
    CBasePin* const enumeratedPin;  // counted (the pin's count is its filter's)
    LONG cachedVersion;
    volatile LONG refCount;
};
