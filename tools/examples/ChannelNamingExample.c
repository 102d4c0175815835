/* Naming a vidtap's channel in plain C89: the interface through its vtable, its id from the public header. */
#include "ChannelNamingExample.h"

#include "tarn_filters.h"

HRESULT name_vidtap_channel(IUnknown *vidtap, const wchar_t *name)
{
    static const IID channelNameId = TARN_CHANNEL_NAME_IID;
    ITarnChannelName *naming = NULL;
    HRESULT hr = vidtap->lpVtbl->QueryInterface(vidtap, &channelNameId, (void **)&naming);
    if (SUCCEEDED(hr)) {
        hr = naming->lpVtbl->SetChannelName(naming, name);
        naming->lpVtbl->Release(naming);
    }
    return hr;
}
