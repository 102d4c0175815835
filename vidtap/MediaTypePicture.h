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
