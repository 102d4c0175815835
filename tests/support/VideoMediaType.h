// The one way tests build media types: video types whose format block (VIDEOINFOHEADER, or VIDEOINFOHEADER2
// for FORMAT_VideoInfo2 and FORMAT_MPEG2Video) announces a picture of a chosen size and depth, an audio type
// without any picture header, the picture header a type announces, and a field-by-field comparison of two
// types (format blocks compared byte by byte). Every type is a COwnedMediaType value.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <strmif.h>
#include <amvideo.h>
#include <dvdmedia.h>
#include <uuids.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "COwnedMediaType.h"

// Where a format type keeps its picture header, and how long its whole block is.
inline size_t PictureHeaderOffset(REFGUID formatType)
{
    const bool second = IsEqualGUID(formatType, FORMAT_VideoInfo2) || IsEqualGUID(formatType, FORMAT_MPEG2Video);
    return second ? offsetof(VIDEOINFOHEADER2, bmiHeader) : offsetof(VIDEOINFOHEADER, bmiHeader);
}

// A video type of `subtype` announcing `compression` and `bitCount` for a width x height picture (rows top
// down when height < 0): fixed-size samples of biSizeImage bytes, computed in 64 bits and cut to 32, as a
// careless upstream filter might announce it. The format block of `formatSize` bytes (0: the whole
// VIDEOINFOHEADER or VIDEOINFOHEADER2) holds the picture header where `formatType` keeps it, when it fits.
inline COwnedMediaType MakeVideoTypeOf(REFGUID subtype, DWORD compression, WORD bitCount, LONG width = 64,
                                       LONG height = 48, REFGUID formatType = FORMAT_VideoInfo,
                                       ULONG formatSize = 0)
{
    const size_t offset = PictureHeaderOffset(formatType);
    std::vector<BYTE> block(formatSize != 0 ? formatSize : offset + sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER picture = {};
    picture.biSize = sizeof(BITMAPINFOHEADER);
    picture.biWidth = width;
    picture.biHeight = height;
    picture.biPlanes = 1;
    picture.biBitCount = bitCount;
    picture.biCompression = compression;
    const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
    const int64_t columns = width < 0 ? -int64_t{width} : int64_t{width};
    picture.biSizeImage = static_cast<DWORD>(columns * rows * (bitCount / 8));
    picture.biXPelsPerMeter = 2835;
    picture.biYPelsPerMeter = 2835;
    const REFERENCE_TIME frameTime = 333333;  // AvgTimePerFrame leads both headers' times
    if (offset + sizeof picture <= block.size()) {
        std::memcpy(&block[offset], &picture, sizeof picture);
        std::memcpy(&block[offsetof(VIDEOINFOHEADER, AvgTimePerFrame)], &frameTime, sizeof frameTime);
    }
    AM_MEDIA_TYPE raw;
    MediaTypeReset(&raw);
    raw.majortype = MEDIATYPE_Video;
    raw.subtype = subtype;
    raw.bFixedSizeSamples = TRUE;
    raw.lSampleSize = picture.biSizeImage;
    raw.formattype = formatType;
    raw.cbFormat = static_cast<ULONG>(block.size());
    raw.pbFormat = block.data();
    COwnedMediaType type;
    type = raw;  // deep copy: `block` goes with this scope
    return type;
}

// The usual types by depth: 16 bits packed 4:2:2 (YUY2), 24 and 32 bits uncompressed RGB.
inline COwnedMediaType MakeVideoType(LONG width, LONG height, WORD bitCount, REFGUID formatType = FORMAT_VideoInfo,
                                     ULONG formatSize = 0)
{
    if (bitCount == 16)
        return MakeVideoTypeOf(MEDIASUBTYPE_YUY2, MAKEFOURCC('Y', 'U', 'Y', '2'), 16, width, height, formatType,
                               formatSize);
    return MakeVideoTypeOf(bitCount == 32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24, BI_RGB, bitCount, width, height,
                           formatType, formatSize);
}

// A 64 x 48 type of `subtype` whose format block's first byte is `tag`, so that types can be told apart by
// their block as well.
inline COwnedMediaType MakeTaggedVideoType(REFGUID subtype, BYTE tag = 0)
{
    COwnedMediaType type = MakeVideoTypeOf(subtype, BI_RGB, 16);
    type.pbFormat[0] = tag;
    return type;
}

// The subtype GUID the platform derives from a FourCC (FOURCCMap): {fourcc-0000-0010-8000-00AA00389B71}.
inline GUID FourccSubtype(DWORD fourcc)
{
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

// 16-bit PCM, stereo, 44.1 kHz: a format block that is no VIDEOINFOHEADER at all.
inline COwnedMediaType MakeAudioType()
{
    WAVEFORMATEX wave = {};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = 2;
    wave.nSamplesPerSec = 44100;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = 4;
    wave.nAvgBytesPerSec = 44100 * 4;
    AM_MEDIA_TYPE raw;
    MediaTypeReset(&raw);
    raw.majortype = MEDIATYPE_Audio;
    raw.subtype = MEDIASUBTYPE_PCM;
    raw.lSampleSize = 4;
    raw.formattype = FORMAT_WaveFormatEx;
    raw.cbFormat = sizeof wave;
    raw.pbFormat = reinterpret_cast<BYTE*>(&wave);
    COwnedMediaType type;
    type = raw;
    return type;
}

// The picture header a video type announces (zero when its format block is too short to hold one).
inline BITMAPINFOHEADER PictureOf(const AM_MEDIA_TYPE& type)
{
    BITMAPINFOHEADER picture = {};
    const size_t offset = PictureHeaderOffset(type.formattype);
    if (type.pbFormat != nullptr && type.cbFormat >= offset + sizeof picture)
        std::memcpy(&picture, type.pbFormat + offset, sizeof picture);
    return picture;
}

// The same type: identifiers, flags, sample size and format block contents.
inline bool SameMediaType(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b)
{
    return IsEqualGUID(a.majortype, b.majortype) && IsEqualGUID(a.subtype, b.subtype) &&
           IsEqualGUID(a.formattype, b.formattype) && a.bFixedSizeSamples == b.bFixedSizeSamples &&
           a.bTemporalCompression == b.bTemporalCompression && a.lSampleSize == b.lSampleSize &&
           a.cbFormat == b.cbFormat &&
           (a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}
