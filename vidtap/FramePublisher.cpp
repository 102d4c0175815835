#include "FramePublisher.h"

#include "CameraChannel.h"
#include "MediaTypePicture.h"

void PublishFrame(const BYTE* data, ULONG length, const AM_MEDIA_TYPE* type)
{
    DefaultCameraChannel().Publish(data, length, DescribeMediaTypePicture(type), SampleTimes());
}
