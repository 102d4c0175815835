#include "MediaTypePicture.h"

#include <cstddef>
#include <cstring>

#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);
static_assert(offsetof(VIDEOINFOHEADER2, bmiHeader) == 72);

namespace {

// The byte offset of the picture header in a format block of `formatType`, or false for a format type
// that carries none.
bool PictureHeaderOffset(const GUID& formatType, size_t* offset)
{
    if (IsEqualGUID(formatType, FORMAT_VideoInfo) || IsEqualGUID(formatType, FORMAT_MPEGVideo)) {
        *offset = offsetof(VIDEOINFOHEADER, bmiHeader);
        return true;
    }
    if (IsEqualGUID(formatType, FORMAT_VideoInfo2) || IsEqualGUID(formatType, FORMAT_MPEG2Video)) {
        *offset = offsetof(VIDEOINFOHEADER2, bmiHeader);
        return true;
    }
    return false;
}

}  // namespace

PictureDescription DescribeMediaTypePicture(const AM_MEDIA_TYPE* type)
{
    size_t offset = 0;
    if (type == nullptr || !PictureHeaderOffset(type->formattype, &offset))
        return PictureDescription();
    PictureDescription picture = DescribePicture(type->pbFormat, type->cbFormat, offset);
    static_assert(sizeof picture.subtype == sizeof type->subtype);
    std::memcpy(picture.subtype, &type->subtype, sizeof picture.subtype);
    return picture;
}

bool MediaTypeExceedsCameraChannel(const AM_MEDIA_TYPE* type)
{
    const PictureDescription picture = DescribeMediaTypePicture(type);
    return picture.present && FrameExceedsChannel(picture.width, picture.height);
}

bool MediaTypeIsCarriedFaithfully(const AM_MEDIA_TYPE* type)
{
    if (type == nullptr || !IsEqualGUID(type->majortype, MEDIATYPE_Video))
        return false;
    const PictureDescription picture = DescribeMediaTypePicture(type);
    if (!picture.present || FrameExceedsChannel(picture.width, picture.height))
        return false;
    return (IsEqualGUID(type->subtype, MEDIASUBTYPE_YUY2) && picture.bitCount == 16) ||
           (IsEqualGUID(type->subtype, MEDIASUBTYPE_RGB24) && picture.bitCount == 24);
}

bool MediaTypeIsMisdescribedPicture(const AM_MEDIA_TYPE* type)
{
    return type != nullptr && IsEqualGUID(type->majortype, MEDIATYPE_Video) && !MediaTypeIsCarriedFaithfully(type);
}
