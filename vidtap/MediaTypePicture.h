// Where a media type's format block keeps its picture header (BITMAPINFOHEADER), read with bounds. Pure
// functions of the type; any thread.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "PictureDescription.h"

// The picture header of `type`: at byte 48 for FORMAT_VideoInfo and FORMAT_MPEGVideo (which begin with a
// VIDEOINFOHEADER), at byte 72 for FORMAT_VideoInfo2 and FORMAT_MPEG2Video (VIDEOINFOHEADER2). Any other
// format type, a null type or format block, or a block shorter than the header's end gives none.
PictureDescription DescribeMediaTypePicture(const AM_MEDIA_TYPE* type);

// Whether `type` announces a frame the camera channel cannot carry: |biWidth| x |biHeight| x 3 above the
// frame block's size. False for a type without a picture header.
bool MediaTypeExceedsCameraChannel(const AM_MEDIA_TYPE* type);

// Whether the camera channel describes frames of `type` truly: packed 4:2:2 (subtype YUY2, 16 bits), which
// it converts to the 24-bit picture its header announces, or 24-bit RGB (subtype RGB24, 24 bits), which it
// copies as it comes; either with a picture header whose frame fits the frame block. Frames of every other
// video type are copied or converted under a 24-bit header that does not fit them.
bool MediaTypeIsCarriedFaithfully(const AM_MEDIA_TYPE* type);
// Whether `type` is a video type that the channel would publish under a header that does not describe it.
bool MediaTypeIsMisdescribedPicture(const AM_MEDIA_TYPE* type);
