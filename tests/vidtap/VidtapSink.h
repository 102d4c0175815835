// The capture sink as SinkUnderTest and the shared sink tests see it.
#pragma once

#include "CVidtap.h"

struct VidtapSink {
    using Outer = CVidtap;
    static INonDelegatingUnknown* Create(IUnknown* outer, HRESULT* hr) { return CreateVidtapObject(outer, hr); }
    static const CLSID& ClassId() { return CVidtap::classId; }
};
