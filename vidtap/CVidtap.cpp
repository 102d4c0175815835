#include "CVidtap.h"

#include "tarn_filters.h"

const CLSID CVidtap::classId = TARN_VIDTAP_CLASS_ID;

CVidtap::CVidtap(IUnknown* outer, HRESULT* hr) : CSinkOuterObject(outer, hr, classId)
{
}

INonDelegatingUnknown* CreateVidtapObject(IUnknown* outer, HRESULT* hr)
{
    return CreateSinkObject<CVidtap>(outer, hr);
}
