// The colour formula written out directly, for comparing the conversion paths against.
#pragma once

#include <array>
#include <cmath>

using Bgr = std::array<unsigned char, 3>;

inline unsigned char QuantiseReference(float value)
{
    const float whole = std::trunc(value);
    return whole < 0.0f ? 0 : whole > 255.0f ? 255 : static_cast<unsigned char>(whole);
}

// Single precision, in the formula's order, truncation toward zero, then the clamp to 0..255.
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
