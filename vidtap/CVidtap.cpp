#include "CVidtap.h"

// {EC7AE514-C493-4385-869A-8BBFBAC709C9}
const CLSID CVidtap::classId = {0xEC7AE514, 0xC493, 0x4385, {0x86, 0x9A, 0x8B, 0xBF, 0xBA, 0xC7, 0x09, 0xC9}};

CVidtap::CVidtap(IUnknown* outer, HRESULT* hr) : CSinkOuterObject(outer, hr, classId)
{
}

INonDelegatingUnknown* CreateVidtapObject(IUnknown* outer, HRESULT* hr)
{
    return CreateSinkObject<CVidtap>(outer, hr);
}
