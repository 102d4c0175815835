#include "CVidtap.h"

#include "tarn_filters.h"

const CLSID CVidtap::classId = TARN_VIDTAP_CLASS_ID;

namespace {

const IID kChannelNameInterfaceId = TARN_CHANNEL_NAME_IID;

}  // namespace

CVidtap::CVidtap(IUnknown* outer, HRESULT* hr) : CForwardingUnknown(outer, hr, classId)
{
}

// A null ppv is refused by ReturnInterface and by the base, neither of which takes a lock first.
HRESULT STDMETHODCALLTYPE CVidtap::NonDelegatingQueryInterface(REFIID riid, void** ppv)
{
    if (SameGuid(riid, kChannelNameInterfaceId))
        return ReturnInterface(static_cast<ITarnChannelName*>(this), ppv);
    return CForwardingUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CVidtap::SetChannelName(LPCWSTR name)
{
    return GetInputPin()->ChannelSelection().SetName(name);
}

HRESULT STDMETHODCALLTYPE CVidtap::GetChannelName(LPWSTR buffer, ULONG capacity)
{
    return GetInputPin()->ChannelSelection().GetName(buffer, capacity);
}

INonDelegatingUnknown* CreateVidtapObject(IUnknown* outer, HRESULT* hr)
{
    return CreateSinkObject<CVidtap>(outer, hr);
}
