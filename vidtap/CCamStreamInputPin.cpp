#include "CCamStreamInputPin.h"

#include <vfwmsgs.h>

#include "CameraChannel.h"
#include "FramePublisher.h"
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
    SetUpCameraChannel(type);
    return S_OK;
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
    long size = sample->GetSize();
    PublishFrame(data, size > 0 ? static_cast<ULONG>(size) : 0u, picture);
    return S_OK;
}
