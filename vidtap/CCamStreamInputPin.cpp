#include "CCamStreamInputPin.h"

#include <vfwmsgs.h>

#include "CameraChannel.h"
#include "CameraChannelSelection.h"
#include "HResult.h"
#include "MediaTypePicture.h"
#include "OfferedTypeSearch.h"

HRESULT CCamStreamInputPin::CheckType(const AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    // A frame larger than the frame block would be cut or dropped on every sample; refusing it lets the
    // upstream pin move on to a format that fits.
    if (MediaTypeExceedsCameraChannel(type))
        return VFW_E_TYPE_NOT_ACCEPTED;
    // A type that cannot be stored is refused: accepting it would publish the next frames under a type
    // the pin does not hold.
    RETURN_IF_FAILED(StoreConnectionType(type));
    return channelSelection.SetUp(type);
}

HRESULT CCamStreamInputPin::CheckProposal(IPin* connector, const AM_MEDIA_TYPE* type)
{
    if (MediaTypeIsMisdescribedPicture(type) && PinOffersType(connector, MediaTypeIsCarriedFaithfully))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return CheckType(type);
}

void CCamStreamInputPin::ConnectionTypeChanged(const AM_MEDIA_TYPE& type)
{
    connectionPicture = DescribeMediaTypePicture(&type);
}

HRESULT CCamStreamInputPin::ReceiveData(IMediaSample* sample, BYTE* data)
{
    PictureDescription picture;
    ReadConnectionType([this, &picture](const AM_MEDIA_TYPE&) { picture = connectionPicture; });
    SampleTimes times;
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);
    if (timed == S_OK)
        times = {TARN_CAMERA_TIME_START_VALID | TARN_CAMERA_TIME_STOP_VALID, start, stop};
    else if (timed == VFW_S_NO_STOP_TIME)
        times = {TARN_CAMERA_TIME_START_VALID, start, 0};
    const long size = sample->GetSize();
    if (CameraChannel* channel = channelSelection.Channel())
        channel->Publish(data, size > 0 ? static_cast<uint32_t>(size) : 0u, picture, times);
    return S_OK;
}

void CCamStreamInputPin::RecordPublisherState(TarnCameraPublisherState state)
{
    if (CameraChannel* channel = channelSelection.Channel())
        channel->SetPublisherState(state);
}

HRESULT CCamStreamInputPin::FinishConnection(IPin* peer)
{
    const HRESULT hr = CSinkInputPin::FinishConnection(peer);
    if (SUCCEEDED(hr))
        RecordPublisherState(TARN_CAMERA_PUBLISHER_CONNECTED);
    return hr;
}

HRESULT CCamStreamInputPin::ReleaseConnection()
{
    RecordPublisherState(TARN_CAMERA_PUBLISHER_STOPPED);
    return CSinkInputPin::ReleaseConnection();
}

HRESULT CCamStreamInputPin::Activate()
{
    const HRESULT hr = CSinkInputPin::Activate();
    if (SUCCEEDED(hr))
        RecordPublisherState(TARN_CAMERA_PUBLISHER_RUNNING);
    return hr;
}

HRESULT CCamStreamInputPin::Deactivate()
{
    const HRESULT hr = CSinkInputPin::Deactivate();
    RecordPublisherState(TARN_CAMERA_PUBLISHER_STOPPED);
    return hr;
}

HRESULT STDMETHODCALLTYPE CCamStreamInputPin::EndOfStream()
{
    const HRESULT hr = CSinkInputPin::EndOfStream();
    if (hr == S_OK)
        RecordPublisherState(TARN_CAMERA_PUBLISHER_END_OF_STREAM);
    return hr;
}
