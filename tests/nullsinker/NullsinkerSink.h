// The null sink as SinkUnderTest and the shared sink tests see it.
#pragma once

#include "CNullsinker.h"
#include "CameraChannelReader.h"

struct NullsinkerSink {
    using Outer = CNullsinker;
    static INonDelegatingUnknown* Create(IUnknown* outer, HRESULT* hr) { return CreateNullsinkerObject(outer, hr); }
    static const CLSID& ClassId() { return CNullsinker::classId; }
    // The null sink announces no picture: it never makes a camera channel.
    static bool ChannelAnnouncesOneOf(const AM_MEDIA_TYPE&, const AM_MEDIA_TYPE&)
    {
        return !CameraChannelReader::HeaderBlockExists();
    }
};
