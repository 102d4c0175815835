// Media types for tests of the sink pins: video types whose VIDEOINFOHEADER announces a picture of a chosen
// size and depth, an audio type without any picture header, and a field-by-field comparison of two types
// (format blocks compared byte by byte).
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <strmif.h>
#include <amvideo.h>
#include <uuids.h>

#include <cstdint>
#include <cstring>

#include "COwnedMediaType.h"

// Major type Video, FORMAT_VideoInfo. 16 bits: packed 4:2:2 (YUY2); other depths: uncompressed RGB.
// biSizeImage is computed in 64 bits and cut to 32, as a careless upstream filter might announce it.
inline COwnedMediaType MakePictureType(LONG width, LONG height, WORD bitCount)
{
    VIDEOINFOHEADER info = {};
    info.AvgTimePerFrame = 333333;
    BITMAPINFOHEADER& picture = info.bmiHeader;
    picture.biSize = sizeof(BITMAPINFOHEADER);
    picture.biWidth = width;
    picture.biHeight = height;
    picture.biPlanes = 1;
    picture.biBitCount = bitCount;
    picture.biCompression = bitCount == 16 ? MAKEFOURCC('Y', 'U', 'Y', '2') : BI_RGB;
    const int64_t rows = height < 0 ? -int64_t{height} : int64_t{height};
    const int64_t columns = width < 0 ? -int64_t{width} : int64_t{width};
    picture.biSizeImage = static_cast<DWORD>(columns * rows * (bitCount / 8));
    picture.biXPelsPerMeter = 2835;
    picture.biYPelsPerMeter = 2835;

    AM_MEDIA_TYPE raw;
    MediaTypeReset(&raw);
    raw.majortype = MEDIATYPE_Video;
    raw.subtype = bitCount == 16 ? MEDIASUBTYPE_YUY2 : bitCount == 32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24;
    raw.lSampleSize = picture.biSizeImage;
    raw.formattype = FORMAT_VideoInfo;
    raw.cbFormat = sizeof info;
    raw.pbFormat = reinterpret_cast<BYTE*>(&info);
    COwnedMediaType type;
    type = raw;  // deep copy: `info` stays on the stack
    return type;
}

// The subtype GUID the platform derives from a FourCC (FOURCCMap): {fourcc-0000-0010-8000-00AA00389B71}.
inline GUID FourccSubtype(DWORD fourcc)
{
    return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
}

// A picture type of another subtype over MakePictureType's header: `compression` and `bitCount` announced.
inline COwnedMediaType MakePictureTypeOf(REFGUID subtype, DWORD compression, WORD bitCount, LONG width = 64,
                                         LONG height = 48)
{
    COwnedMediaType type = MakePictureType(width, height, bitCount);
    type.subtype = subtype;
    auto* info = reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
    info->bmiHeader.biCompression = compression;
    return type;
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
    if (type.pbFormat != nullptr && type.cbFormat >= sizeof(VIDEOINFOHEADER))
        std::memcpy(&picture, &reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader, sizeof picture);
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
