// The capture sink as the class factory creates it: the outer object that owns the filter, the input pin,
// the locks and, on demand, the seeking pass-through (see CSinkOuterObject). Every capture sink in a process
// publishes into the same module-wide camera channel.
#pragma once

#include "CCamStreamInputPin.h"
#include "CSinkOuterObject.h"
#include "CVidtapFilter.h"

class CVidtap : public CSinkOuterObject<CVidtapFilter, CCamStreamInputPin> {
public:
    static const CLSID classId;  // {EC7AE514-C493-4385-869A-8BBFBAC709C9}

    CVidtap(IUnknown* outer, HRESULT* hr);
};

// The class table's creator: a new CVidtap (as its nondelegating unknown) or null with E_OUTOFMEMORY in
// `hr`. An object that reports a construction failure through `hr` is still returned, for the caller to
// destroy.
INonDelegatingUnknown* CreateVidtapObject(IUnknown* outer, HRESULT* hr);
