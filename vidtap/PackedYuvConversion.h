// Conversion of packed YUV 4:2:2 groups (Y0 U Y1 V) into 24-bit blue-green-red pixel pairs. Every path gives
// the same bytes as the single-precision formula evaluated in its fixed order (no contraction, truncation
// toward zero, then clamping to 0..255); Y1 is not read, both pixels take the colour of Y0. Stateless and
// thread-safe; the processor is examined once per process, on first use.
#pragma once

#include <cstddef>
#include <cstdint>

// SSE2 is the baseline of every build on x86 (it always runs there); elsewhere only Scalar exists. Avx512
// needs the foundation, byte-and-word and byte-permute (VBMI) instruction groups. Ordered slowest first.
enum class YuvConversionPath { Scalar, Sse2, Ssse3, Avx2, Avx512 };
constexpr YuvConversionPath kYuvConversionPaths[] = {YuvConversionPath::Scalar, YuvConversionPath::Sse2,
                                                     YuvConversionPath::Ssse3, YuvConversionPath::Avx2,
                                                     YuvConversionPath::Avx512};

// "scalar", "sse2", "ssse3", "avx2", "avx512": for reports and test names.
const char* YuvConversionPathName(YuvConversionPath path);

// How converted bytes reach their destination: through the cache, or with non-temporal stores that bypass it
// (for a destination nobody in this process reads back). Streaming stores are ordered before later stores
// only after FinishStreamingStores.
enum class YuvStoreKind { Normal, Streaming };

// Whether this processor (and its operating system, for the 256-bit registers) can run `path`.
bool YuvConversionPathAvailable(YuvConversionPath path);
// The fastest available path, chosen on the first call and the same for the rest of the process.
YuvConversionPath PreferredYuvConversionPath();

// Converts `groups` groups: reads exactly 4 x groups bytes from `in`, writes exactly 6 x groups bytes to
// `out`. `path` must be available.
void ConvertPackedYuvGroups(const unsigned char* in, size_t groups, unsigned char* out, YuvConversionPath path);

// Converts pixels firstPixel .. firstPixel + pixels - 1 of the packed frame at `frame` (pixel p takes the
// colour of group p / 2) into 3 x pixels bytes at `out`. Reads only the groups those pixels belong to and
// writes exactly 3 x pixels bytes; `out` needs no alignment. `path` must be available.
void ConvertPackedYuvPixels(const unsigned char* frame, size_t firstPixel, size_t pixels, unsigned char* out,
                            YuvConversionPath path, YuvStoreKind stores);

// Orders the streaming stores issued so far on this thread before every later store (a no-op without them).
void FinishStreamingStores();
