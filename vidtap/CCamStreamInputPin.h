// The capture sink's input pin, "Input". It accepts every type whose frames the camera channel can carry,
// keeps the type most recently checked as its connection type, sets the camera channel up at the first
// check in the process, and publishes every sample it receives into the channel.
// Threads: type checks come from the control thread (a connection, under the object lock) or any thread
// (IPin::QueryAccept, no lock); samples come from the upstream streaming thread under `receiveLock`. The
// picture header is parsed once, when the connection type changes, and kept beside it under the pin's type
// lock; each frame is published from a copy taken under that lock, so a concurrent type check never changes
// the picture a frame is being published with. The channel is the default one or the one the application
// named (CameraChannelSelection); the pin binds to it at its first type check and holds it for its life.
#pragma once

#include "CSinkInputPin.h"
#include "CameraChannel.h"
#include "CameraChannelSelection.h"
#include "PictureDescription.h"

class CCamStreamInputPin : public CSinkInputPin {
public:
    using CSinkInputPin::CSinkInputPin;

    // VFW_E_TYPE_NOT_ACCEPTED (and nothing changed) for a picture the channel cannot carry, E_OUTOFMEMORY
    // (nothing changed) when the type cannot be copied; otherwise the type becomes the connection type, the
    // channel is set up if it never was, and S_OK; for a named channel that could not be obtained, the
    // reason its set-up gave (E_ACCESSDENIED for a global channel this process may not create).
    HRESULT CheckType(const AM_MEDIA_TYPE* type) override;
    // A connection proposing a video type the channel would publish under a header that does not fit it
    // (I420, NV12, MJPG, UYVY, RGB32, ...) is refused with VFW_E_TYPE_NOT_ACCEPTED, and nothing is set up or
    // stored, while the connecting pin also offers a type the channel carries faithfully (YUY2 or RGB24 that
    // fits): its negotiation then moves on to that type. Without such an offer the proposal goes to CheckType
    // and is copied as it comes. QueryAccept is not a proposal and never looks at the peer.
    HRESULT CheckProposal(IPin* connector, const AM_MEDIA_TYPE* type) override;

    HRESULT FinishConnection(IPin* peer) override;
    HRESULT ReleaseConnection() override;
    HRESULT Activate() override;
    HRESULT Deactivate() override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;

    // The channel this pin publishes into; the outer object's ITarnChannelName names it.
    CameraChannelSelection& ChannelSelection() { return channelSelection; }

protected:
    // Publishes the sample's whole buffer (GetSize bytes) under the connection type's picture header, with
    // the sample's stream times where it has them.
    HRESULT ReceiveData(IMediaSample* sample, BYTE* data) override;
    void ConnectionTypeChanged(const AM_MEDIA_TYPE& type) override;

private:
    void RecordPublisherState(TarnCameraPublisherState state);

    PictureDescription connectionPicture;  // the connection type's picture header; guarded by the type lock
    CameraChannelSelection channelSelection;
};
