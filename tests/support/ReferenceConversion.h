// The tests' own statement of the colour conversion and of what a reader must find in the frame block for a
// packed 4:2:2 (Y0 U Y1 V) picture: 24-bit blue-green-red, bottom row first, rows of width x 3 bytes without
// padding. Written from the formula alone (single precision in the formula's order, truncation toward zero,
// then clamping; both pixels of a group take the colour of Y0), independent of the modules' code.
// Platform-neutral: the host tests use it too.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

using Bgr = std::array<unsigned char, 3>;

inline unsigned char QuantiseReference(float value)
{
    const int truncated = static_cast<int>(value);
    return static_cast<unsigned char>(truncated < 0 ? 0 : truncated > 255 ? 255 : truncated);
}

inline Bgr ReferenceColour(unsigned y0, unsigned u0, unsigned v0)
{
    const float y = (static_cast<float>(y0) - 16.0f) * 1.164f;
    const float u = static_cast<float>(u0) - 128.0f;
    const float v = static_cast<float>(v0) - 128.0f;
    const float blue = (u * 2.018f) + y;
    const float green = (y - (v * 0.813f)) - (u * 0.391f);
    const float red = (v * 1.596f) + y;
    return {QuantiseReference(blue), QuantiseReference(green), QuantiseReference(red)};
}

inline std::vector<unsigned char> ReferenceBottomUpBgr(const unsigned char* packed, int width, int height)
{
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> picture(rowBytes * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        const unsigned char* source = packed + static_cast<size_t>(row) * width * 2;
        unsigned char* target = picture.data() + static_cast<size_t>(height - 1 - row) * rowBytes;
        for (int group = 0; group < width / 2; ++group) {
            const Bgr colour = ReferenceColour(source[4 * group], source[4 * group + 1], source[4 * group + 3]);
            std::copy(colour.begin(), colour.end(), target + group * 6);
            std::copy(colour.begin(), colour.end(), target + group * 6 + 3);
        }
    }
    return picture;
}

// A top-down picture of `rowBytes`-byte rows turned bottom-up, as the frame block holds pictures.
inline std::vector<unsigned char> BottomUpRows(const unsigned char* topDown, size_t rowBytes, int height)
{
    std::vector<unsigned char> picture(rowBytes * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row)
        std::copy(topDown + row * rowBytes, topDown + (row + 1) * rowBytes,
                  picture.begin() + static_cast<std::ptrdiff_t>((height - 1 - row) * rowBytes));
    return picture;
}

// Peak signal-to-noise ratio of two 8-bit pictures of the same size, in dB (infinite when equal, 0 when the
// sizes differ or there is nothing to compare).
inline double PeakSignalToNoise(const std::vector<unsigned char>& actual, const std::vector<unsigned char>& expected)
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
