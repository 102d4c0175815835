#include "CNullsinker.h"

// {CF1663CF-839C-4D7F-8C11-E94FBFDD5949}
const CLSID CNullsinker::classId = {0xCF1663CF, 0x839C, 0x4D7F, {0x8C, 0x11, 0xE9, 0x4F, 0xBF, 0xDD, 0x59, 0x49}};

CNullsinker::CNullsinker(IUnknown* outer, HRESULT* hr) : CSinkOuterObject(outer, hr, classId)
{
}

INonDelegatingUnknown* CreateNullsinkerObject(IUnknown* outer, HRESULT* hr)
{
    return CreateSinkObject<CNullsinker>(outer, hr);
}
