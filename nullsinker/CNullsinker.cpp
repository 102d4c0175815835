#include "CNullsinker.h"

#include "tarn_filters.h"

const CLSID CNullsinker::classId = TARN_NULLSINKER_CLASS_ID;

CNullsinker::CNullsinker(IUnknown* outer, HRESULT* hr) : CSinkOuterObject(outer, hr, classId)
{
}

INonDelegatingUnknown* CreateNullsinkerObject(IUnknown* outer, HRESULT* hr)
{
    return CreateSinkObject<CNullsinker>(outer, hr);
}
