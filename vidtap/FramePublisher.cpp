#include "FramePublisher.h"

#include "CameraChannel.h"
#include "FramePublisherCore.h"
#include "MediaTypePicture.h"

void PublishFrame(const BYTE* data, ULONG length, const AM_MEDIA_TYPE* type)
{
    PublishFrame(data, length, DescribeMediaTypePicture(type));
}

void PublishFrame(const BYTE* data, ULONG length, const PictureDescription& picture)
{
    PublishFrameToChannel(SnapshotCameraChannel(), data, length, picture);
}
