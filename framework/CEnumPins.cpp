#include "CEnumPins.h"

#include <new>

#include <vfwmsgs.h>

#include "CBaseFilter.h"
#include "CBasePin.h"
#include "CUnknown.h"
#include "ComPtr.h"

CEnumPins::CEnumPins(CBaseFilter* filter, const CEnumPins* source)
    : position(0), cachedPinCount(0), enumeratedFilter(filter), cachedVersion(0), refCount(1)
{
    enumeratedFilter->GetBaseFilterInterface()->AddRef();
    if (source != nullptr) {
        position = source->position;
        cachedPinCount = source->cachedPinCount;
        cachedVersion = source->cachedVersion;
        // A short copy is detected by Clone, which compares the lengths.
        returnedPins.AppendAll(source->returnedPins);
    } else {
        cachedVersion = enumeratedFilter->GetPinListVersion();
        cachedPinCount = enumeratedFilter->CountPins();
    }
}

CEnumPins::~CEnumPins()
{
    // Last use of the filter: this release may destroy it.
    enumeratedFilter->GetBaseFilterInterface()->Release();
}

bool CEnumPins::OutOfSync() const
{
    return enumeratedFilter->GetPinListVersion() != cachedVersion;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched)
{
    if (ppPins == nullptr)
        return E_POINTER;
    if (pcFetched != nullptr)
        *pcFetched = 0;
    else if (cPins > 1)
        return E_INVALIDARG;

    // After a change of the pin list the walk restarts at index 0; returnedPins is kept, so a pin handed out
    // before the change is not handed out again.
    if (OutOfSync()) {
        cachedVersion = enumeratedFilter->GetPinListVersion();
        cachedPinCount = enumeratedFilter->CountPins();
        position = 0;
    }

    ULONG fetched = 0;
    int appended = 0;
    while (fetched < cPins && position < cachedPinCount) {
        CBasePin* pin = enumeratedFilter->GetPinAt(position);
        ++position;
        if (pin == nullptr) {
            // The filter lost a pin without announcing it. The caller sees a failure and releases nothing,
            // so the references this call handed out are taken back, and the pins are forgotten again.
            for (ULONG i = 0; i < fetched; ++i)
                ReleaseCounted(ppPins[i]);
            for (; appended > 0; --appended)
                returnedPins.RemoveLast();
            return VFW_E_ENUM_OUT_OF_SYNC;
        }
        if (returnedPins.Contains(pin) != nullptr)
            continue;
        CopyCounted(pin->GetPinInterface(), &ppPins[fetched]);
        // A pin that cannot be remembered could be handed out twice after a later refresh; it is handed out
        // now all the same.
        if (returnedPins.Append(pin) != nullptr)
            ++appended;
        ++fetched;
    }

    if (pcFetched != nullptr)
        *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Skip(ULONG cPins)
{
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    if (cPins > static_cast<ULONG>(cachedPinCount - position))
        return S_FALSE;
    position += static_cast<LONG>(cPins);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Reset()
{
    cachedVersion = enumeratedFilter->GetPinListVersion();
    cachedPinCount = enumeratedFilter->CountPins();
    position = 0;
    returnedPins.Clear();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CEnumPins::Clone(IEnumPins** ppEnum)
{
    if (ppEnum == nullptr)
        return E_POINTER;
    *ppEnum = nullptr;
    if (OutOfSync())
        return VFW_E_ENUM_OUT_OF_SYNC;
    CEnumPins* clone = new (std::nothrow) CEnumPins(enumeratedFilter, this);
    if (clone == nullptr)
        return E_OUTOFMEMORY;
    // A clone that could not copy the whole list of returned pins would hand some of them out again.
    if (clone->returnedPins.Count() != returnedPins.Count()) {
        clone->Release();
        return E_OUTOFMEMORY;
    }
    *ppEnum = clone;
    return S_OK;
}
