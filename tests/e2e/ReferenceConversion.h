// The tests' own statement of what a reader must find in the frame block for a packed 4:2:2 (Y0 U Y1 V)
// picture: 24-bit blue-green-red, bottom row first, rows of width x 3 bytes without padding. Written from the
// conversion formula alone (single precision, truncation toward zero, then clamping; both pixels of a group
// take the colour of Y0), independent of the modules' code.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

inline BYTE ReferenceChannelByte(float value)
{
    const int truncated = static_cast<int>(value);
    return static_cast<BYTE>(truncated < 0 ? 0 : truncated > 255 ? 255 : truncated);
}

inline std::vector<BYTE> ReferenceBottomUpBgr(const BYTE* packed, int width, int height)
{
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<BYTE> picture(rowBytes * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        const BYTE* source = packed + static_cast<size_t>(row) * width * 2;
        BYTE* target = picture.data() + static_cast<size_t>(height - 1 - row) * rowBytes;
        for (int group = 0; group < width / 2; ++group) {
            const BYTE* yuyv = source + group * 4;
            const float y = (static_cast<float>(yuyv[0]) - 16.0f) * 1.164f;
            const float u = static_cast<float>(yuyv[1]) - 128.0f;
            const float v = static_cast<float>(yuyv[3]) - 128.0f;
            const BYTE blue = ReferenceChannelByte((u * 2.018f) + y);
            const BYTE green = ReferenceChannelByte((y - (v * 0.813f)) - (u * 0.391f));
            const BYTE red = ReferenceChannelByte((v * 1.596f) + y);
            BYTE* pixels = target + group * 6;
            pixels[0] = pixels[3] = blue;
            pixels[1] = pixels[4] = green;
            pixels[2] = pixels[5] = red;
        }
    }
    return picture;
}

// A top-down picture of `rowBytes`-byte rows turned bottom-up, as the frame block holds pictures.
inline std::vector<BYTE> BottomUpRows(const BYTE* topDown, size_t rowBytes, int height)
{
    std::vector<BYTE> picture(rowBytes * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row)
        std::copy(topDown + row * rowBytes, topDown + (row + 1) * rowBytes,
                  picture.begin() + static_cast<ptrdiff_t>((height - 1 - row) * rowBytes));
    return picture;
}

// Peak signal-to-noise ratio of two 8-bit pictures of the same size, in dB (infinite when equal, 0 when the
// sizes differ or there is nothing to compare).
inline double PeakSignalToNoise(const std::vector<BYTE>& actual, const std::vector<BYTE>& expected)
{
    if (actual.size() != expected.size() || actual.empty())
        return 0.0;
    double squares = 0.0;
    for (size_t i = 0; i < actual.size(); ++i) {
        const double difference = static_cast<double>(actual[i]) - static_cast<double>(expected[i]);
        squares += difference * difference;
    }
    if (squares == 0.0)
        return INFINITY;
    return 10.0 * std::log10(255.0 * 255.0 / (squares / static_cast<double>(actual.size())));
}
