// The null sink as the class factory creates it: the outer object that owns the filter, the input pin, the
// locks and, on demand, the seeking pass-through (see CSinkOuterObject). It opens no shared memory.
#pragma once

#include "CNullsinkerFilter.h"
#include "CNullsinkerStreamInputPin.h"
#include "CSinkOuterObject.h"

class CNullsinker : public CSinkOuterObject<CNullsinkerFilter, CNullsinkerStreamInputPin> {
public:
    static const CLSID classId;  // {CF1663CF-839C-4D7F-8C11-E94FBFDD5949}

    CNullsinker(IUnknown* outer, HRESULT* hr);
};

// The class table's creator: a new CNullsinker (as its nondelegating unknown) or null with E_OUTOFMEMORY in
// `hr`. An object that reports a construction failure through `hr` is still returned, for the caller to
// destroy.
INonDelegatingUnknown* CreateNullsinkerObject(IUnknown* outer, HRESULT* hr);
