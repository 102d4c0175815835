// The capture sink as the class factory creates it: the outer object that owns the filter, the input pin,
// the locks and, on demand, the seeking pass-through (see CSinkOuterObject). Every capture sink in a process
// publishes into the same module-wide camera channel.
//
// The locks of this module. A lock may be taken while holding one listed on its left, never the reverse:
//   objectLock  -> typeLock, channelLock,  this object's; the filter's and the pin's filterLock: interface
//                  publishLock             requests, state changes, connection, flushing, the allocator
//   receiveLock -> typeLock, channelLock,  this object's; the pin's Receive and EndOfStream (streaming thread)
//                  publishLock
//   typeLock                               the pin's own (CBasePin): the connection type and the picture
//                                          header parsed from it
//   channelLock                            module-wide (CameraChannel.cpp): the channel state, while the
//                                          set-up writes it and while a publisher takes its snapshot
//   publishLock                            one per channel (CameraChannel.h): every publish and every change
//                                          of the publisher's state in the sync block, across instances
// objectLock and receiveLock are never held together, nor are any two of typeLock, channelLock and
// publishLock. The three leaves are never held across a call out of the code that owns them (releasing the
// wake-up semaphore is a kernel call that calls nothing back).
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
