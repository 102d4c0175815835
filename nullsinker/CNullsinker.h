// The null sink as the class factory creates it: the outer object that owns the filter, the input pin, the
// locks and, on demand, the seeking pass-through (see CSinkOuterObject). It opens no shared memory.
//
// The locks of this module, each of which may be taken while holding one on its left, never the reverse:
//   objectLock  -> typeLock   this object's, the filter's and the pin's filterLock (interface requests, state
//                             changes, connection, flushing, the allocator)
//   receiveLock               this object's: the pin's Receive and EndOfStream on the streaming thread; the
//                             null sink's receive path takes no other lock
//   typeLock                  the pin's own (CBasePin), around the connection type; a leaf held across no call
// objectLock and receiveLock are never held together.
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
