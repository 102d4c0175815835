// IEnumPins over a filter's pins. A plain COM object with its own count (it is not a CBaseObject): it holds
// one reference on the filter (through IBaseFilter) from creation to destruction, which keeps the module
// loaded. Takes no lock; one enumerator must be used by one thread at a time (clones are independent).
// When the filter's pin-list version changes, Next refreshes and restarts from index 0 but never hands out a
// pin twice (returnedPins); Skip and Clone refuse with VFW_E_ENUM_OUT_OF_SYNC until Reset. A Next that
// fails because the filter lost a pin unannounced takes back the references it had handed out, since the
// caller of a failed Next releases nothing; a clone that cannot copy the whole returnedPins list is refused
// (E_OUTOFMEMORY) rather than made able to hand pins out twice.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CPointerList.h"
#include "CStandaloneUnknown.h"

class CBaseFilter;

class CEnumPins : public CStandaloneUnknown<CEnumPins, IEnumPins, IID_IEnumPins> {
public:
    // `source` null: a fresh enumerator; otherwise a clone of `source` (same filter, position, cached values
    // and returned pins). The new object has a count of 1, owned by the creator.
    CEnumPins(CBaseFilter* filter, const CEnumPins* source);
    virtual ~CEnumPins();

    HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG cPins) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** ppEnum) override;

private:
    friend class CStandaloneUnknown<CEnumPins, IEnumPins, IID_IEnumPins>;

    bool OutOfSync() const;

    LONG position;
    LONG cachedPinCount;
    CBaseFilter* const enumeratedFilter;  // counted through its IBaseFilter
    LONG cachedVersion;
    volatile LONG refCount;
    CPointerList returnedPins;  // CBasePin pointers handed out since creation or the last Reset
};
