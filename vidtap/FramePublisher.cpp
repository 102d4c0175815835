#include "FramePublisher.h"

#include "CameraChannel.h"
#include "FramePublisherCore.h"
#include "MediaTypePicture.h"

void PublishFrame(const BYTE* data, ULONG length, const AM_MEDIA_TYPE* type)
{
    PublishFrameToChannel(SnapshotCameraChannel(), data, length, DescribeMediaTypePicture(type));
}
