// Conversion of packed YUV 4:2:2 groups (Y0 U Y1 V) into 24-bit blue-green-red pixel pairs. Every path gives
// the same bytes as the single-precision formula evaluated in its fixed order (no contraction, truncation
// toward zero, then clamping to 0..255); Y1 is not read, both pixels take the colour of Y0. Stateless and
// thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

enum class YuvConversionPath { Scalar, Ssse3, Avx2 };

// Whether this processor (and its operating system) can run `path`. Scalar is always available.
bool YuvConversionPathAvailable(YuvConversionPath path);
// The fastest available path.
YuvConversionPath PreferredYuvConversionPath();

// Converts `groups` groups: reads exactly 4 x groups bytes from `in`, writes exactly 6 x groups bytes to
// `out`. `path` must be available.
void ConvertPackedYuvGroups(const unsigned char* in, size_t groups, unsigned char* out, YuvConversionPath path);
