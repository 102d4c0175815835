// The null sink as SinkUnderTest and the shared sink tests see it.
#pragma once

#include "CNullsinker.h"

struct NullsinkerSink {
    using Outer = CNullsinker;
    static INonDelegatingUnknown* Create(IUnknown* outer, HRESULT* hr) { return CreateNullsinkerObject(outer, hr); }
    static const CLSID& ClassId() { return CNullsinker::classId; }
};
