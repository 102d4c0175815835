// The capture sink as the class factory creates it: the outer object that owns the filter, the input pin,
// the locks and, on demand, the seeking pass-through (see CSinkOuterObject). It answers ITarnChannelName
// itself (tarn_filters.h): every capture sink that nobody names publishes into the module-wide default
// channel, and a named one into the channel of its name.
//
// The locks of this module. A lock may be taken while holding one listed on its left, never the reverse:
//   objectLock  -> typeLock, selectionLock this object's; the filter's and the pin's filterLock: interface
//                  channelLock,            requests, state changes, connection, flushing, the allocator
//                  publishLock
//   receiveLock -> typeLock, channelLock,  this object's; the pin's Receive and EndOfStream (streaming thread)
//                  publishLock
//   typeLock                               the pin's own (CBasePin): the connection type and the picture
//                                          header parsed from it
//   selectionLock -> namedChannelsLock     the pin's (CameraChannelSelection): its channel's name and binding
//   namedChannelsLock                      module-wide (NamedCameraChannels.cpp): the named channels and
//                                          their counts of uses
//   channelLock                            one per channel (CameraChannel.h): the channel state, while the
//                                          set-up writes it and while a publisher takes its snapshot
//   publishLock                            one per channel (CameraChannel.h): every publish and every change
//                                          of the publisher's state in the sync block, across instances
// objectLock and receiveLock are never held together, nor are any two of typeLock, channelLock and
// publishLock. The three leaves are never held across a call out of the code that owns them (releasing the
// wake-up semaphore is a kernel call that calls nothing back).
#pragma once

#include "CCamStreamInputPin.h"
#include "CForwardingUnknown.h"
#include "CSinkOuterObject.h"
#include "CVidtapFilter.h"
#include "tarn_filters.h"

class CVidtap : public CForwardingUnknown<CSinkOuterObject<CVidtapFilter, CCamStreamInputPin>, ITarnChannelName> {
public:
    static const CLSID classId;  // {EC7AE514-C493-4385-869A-8BBFBAC709C9}

    CVidtap(IUnknown* outer, HRESULT* hr);

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // ITarnChannelName: the input pin's channel selection.
    HRESULT STDMETHODCALLTYPE SetChannelName(LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE GetChannelName(LPWSTR buffer, ULONG capacity) override;
};

// The class table's creator: a new CVidtap (as its nondelegating unknown) or null with E_OUTOFMEMORY in
// `hr`. An object that reports a construction failure through `hr` is still returned, for the caller to
// destroy.
INonDelegatingUnknown* CreateVidtapObject(IUnknown* outer, HRESULT* hr);
