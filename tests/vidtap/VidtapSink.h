// The capture sink as SinkUnderTest and the shared sink tests see it.
#pragma once

#include "CVidtap.h"
#include "CameraChannelReader.h"
#include "VideoMediaType.h"

struct VidtapSink {
    using Outer = CVidtap;
    static INonDelegatingUnknown* Create(IUnknown* outer, HRESULT* hr) { return CreateVidtapObject(outer, hr); }
    static const CLSID& ClassId() { return CVidtap::classId; }
    // Whether the camera channel's header announces exactly one of the pictures of `a` and `b`, never a mix.
    // The reader stays open for the process: the shared tests call this after every sample.
    static bool ChannelAnnouncesOneOf(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b)
    {
        static CameraChannelReader channel;
        if (channel.header == nullptr && !channel.Open())
            return false;
        const BITMAPINFOHEADER format = channel.Format();
        return SameHeader(format, PublishedFormat(PictureOf(a))) || SameHeader(format, PublishedFormat(PictureOf(b)));
    }
};
