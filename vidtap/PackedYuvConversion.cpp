#include "PackedYuvConversion.h"

// Keyed to the architecture alone, never to the compiler: on x86 every compiler builds the SIMD kernels, so a
// construct one compiler lacks fails the build instead of silently dropping them.
#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define PACKED_YUV_X86 1
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif
// GCC and clang (also as clang-cl) emit instructions beyond the build's baseline only in a function marked
// for them, so the dispatch can pick them at run time; Microsoft's compiler takes every intrinsic anywhere
// and has no such marking.
#if defined(__GNUC__) || defined(__clang__)
#define PACKED_YUV_TARGET(features) __attribute__((target(features)))
#else
#define PACKED_YUV_TARGET(features)
#endif
#endif

namespace {

// The formula's constants, each the nearest single-precision value to its decimal.
constexpr float kLumaOffset = 16.0f;
constexpr float kChromaOffset = 128.0f;
constexpr float kLumaScale = 1.164f;
constexpr float kBlueFromU = 2.018f;
constexpr float kGreenFromV = 0.813f;
constexpr float kGreenFromU = 0.391f;
constexpr float kRedFromV = 1.596f;

inline unsigned char TruncateAndClamp(float value)
{
    // The formula's results stay within about -300..600, so the conversion to int is always defined.
    const int whole = static_cast<int>(value);
    return static_cast<unsigned char>(whole < 0 ? 0 : whole > 255 ? 255 : whole);
}

void ConvertScalar(const unsigned char* in, size_t groups, unsigned char* out)
{
    for (size_t g = 0; g < groups; ++g, in += 4, out += 6) {
        const float y = (static_cast<float>(in[0]) - kLumaOffset) * kLumaScale;
        const float u = static_cast<float>(in[1]) - kChromaOffset;
        const float v = static_cast<float>(in[3]) - kChromaOffset;
        const float blue = (u * kBlueFromU) + y;
        const float green = (y - (v * kGreenFromV)) - (u * kGreenFromU);
        const float red = (v * kRedFromV) + y;
        out[0] = out[3] = TruncateAndClamp(blue);
        out[1] = out[4] = TruncateAndClamp(green);
        out[2] = out[5] = TruncateAndClamp(red);
    }
}

#if PACKED_YUV_X86

// Both SIMD paths evaluate the formula lane by lane with the same single-precision operations in the same
// order as the scalar path (separate multiply and add, no fused operations), so they are bit-identical to it.
// Truncation is cvttps; the clamp is the signed-to-unsigned saturating pack, which maps every value below 0
// to 0 and every value above 255 to 255 (the intermediate 16-bit pack cannot change a value in -300..600).
//
// After the packs, the 16 bytes of a 128-bit lane hold b0 b1 b2 b3 g0 g1 g2 g3 r0 r1 r2 r3 (and r0..r3
// again); the shuffles spread them into the 24 output bytes b0 g0 r0 b0 g0 r0 b1 ... r3.
#define PACKED_YUV_SPREAD_FIRST 0, 4, 8, 0, 4, 8, 1, 5, 9, 1, 5, 9, 2, 6, 10, 2
#define PACKED_YUV_SPREAD_REST 6, 10, 3, 7, 11, 3, 7, 11, -128, -128, -128, -128, -128, -128, -128, -128

PACKED_YUV_TARGET("ssse3") size_t ConvertSsse3(const unsigned char* in, size_t groups, unsigned char* out)
{
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128 lumaOffset = _mm_set1_ps(kLumaOffset), chromaOffset = _mm_set1_ps(kChromaOffset);
    const __m128 lumaScale = _mm_set1_ps(kLumaScale), blueFromU = _mm_set1_ps(kBlueFromU);
    const __m128 greenFromV = _mm_set1_ps(kGreenFromV), greenFromU = _mm_set1_ps(kGreenFromU);
    const __m128 redFromV = _mm_set1_ps(kRedFromV);
    const __m128i spreadFirst = _mm_setr_epi8(PACKED_YUV_SPREAD_FIRST);
    const __m128i spreadRest = _mm_setr_epi8(PACKED_YUV_SPREAD_REST);

    size_t done = 0;
    for (; groups - done >= 4; done += 4, in += 16, out += 24) {
        const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128 y0 = _mm_cvtepi32_ps(_mm_and_si128(packed, byteMask));
        const __m128 u0 = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(packed, 8), byteMask));
        const __m128 v0 = _mm_cvtepi32_ps(_mm_srli_epi32(packed, 24));
        const __m128 y = _mm_mul_ps(_mm_sub_ps(y0, lumaOffset), lumaScale);
        const __m128 u = _mm_sub_ps(u0, chromaOffset);
        const __m128 v = _mm_sub_ps(v0, chromaOffset);
        const __m128 blue = _mm_add_ps(_mm_mul_ps(u, blueFromU), y);
        const __m128 green = _mm_sub_ps(_mm_sub_ps(y, _mm_mul_ps(v, greenFromV)), _mm_mul_ps(u, greenFromU));
        const __m128 red = _mm_add_ps(_mm_mul_ps(v, redFromV), y);
        const __m128i blueGreen = _mm_packs_epi32(_mm_cvttps_epi32(blue), _mm_cvttps_epi32(green));
        const __m128i redRed = _mm_packs_epi32(_mm_cvttps_epi32(red), _mm_cvttps_epi32(red));
        const __m128i bytes = _mm_packus_epi16(blueGreen, redRed);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, spreadFirst));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm_shuffle_epi8(bytes, spreadRest));
    }
    return done;
}

PACKED_YUV_TARGET("avx2") size_t ConvertAvx2(const unsigned char* in, size_t groups, unsigned char* out)
{
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256 lumaOffset = _mm256_set1_ps(kLumaOffset), chromaOffset = _mm256_set1_ps(kChromaOffset);
    const __m256 lumaScale = _mm256_set1_ps(kLumaScale), blueFromU = _mm256_set1_ps(kBlueFromU);
    const __m256 greenFromV = _mm256_set1_ps(kGreenFromV), greenFromU = _mm256_set1_ps(kGreenFromU);
    const __m256 redFromV = _mm256_set1_ps(kRedFromV);
    const __m256i spreadFirst = _mm256_setr_epi8(PACKED_YUV_SPREAD_FIRST, PACKED_YUV_SPREAD_FIRST);
    const __m256i spreadRest = _mm256_setr_epi8(PACKED_YUV_SPREAD_REST, PACKED_YUV_SPREAD_REST);

    size_t done = 0;
    // Eight groups per step: groups 0-3 in the low 128-bit lane, 4-7 in the high one (the packs and the
    // shuffles work within lanes).
    for (; groups - done >= 8; done += 8, in += 32, out += 48) {
        const __m256i packed = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
        const __m256 y0 = _mm256_cvtepi32_ps(_mm256_and_si256(packed, byteMask));
        const __m256 u0 = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(packed, 8), byteMask));
        const __m256 v0 = _mm256_cvtepi32_ps(_mm256_srli_epi32(packed, 24));
        const __m256 y = _mm256_mul_ps(_mm256_sub_ps(y0, lumaOffset), lumaScale);
        const __m256 u = _mm256_sub_ps(u0, chromaOffset);
        const __m256 v = _mm256_sub_ps(v0, chromaOffset);
        const __m256 blue = _mm256_add_ps(_mm256_mul_ps(u, blueFromU), y);
        const __m256 green =
            _mm256_sub_ps(_mm256_sub_ps(y, _mm256_mul_ps(v, greenFromV)), _mm256_mul_ps(u, greenFromU));
        const __m256 red = _mm256_add_ps(_mm256_mul_ps(v, redFromV), y);
        const __m256i blueGreen = _mm256_packs_epi32(_mm256_cvttps_epi32(blue), _mm256_cvttps_epi32(green));
        const __m256i redRed = _mm256_packs_epi32(_mm256_cvttps_epi32(red), _mm256_cvttps_epi32(red));
        const __m256i bytes = _mm256_packus_epi16(blueGreen, redRed);
        const __m256i first = _mm256_shuffle_epi8(bytes, spreadFirst);
        const __m256i rest = _mm256_shuffle_epi8(bytes, spreadRest);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(first));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_castsi256_si128(rest));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 24), _mm256_extracti128_si256(first, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 40), _mm256_extracti128_si256(rest, 1));
    }
    return done;
}

#if defined(_MSC_VER)
// What libgcc's feature test reports, from the processor's own identification: SSSE3 is leaf 1 ECX bit 9;
// AVX2 needs leaf 7 EBX bit 5, AVX and OSXSAVE (leaf 1 ECX bits 28 and 27) and an operating system that
// saves the XMM and YMM registers (XCR0 bits 1 and 2).
bool ProcessorSupports(YuvConversionPath path)
{
    int leaf[4];
    __cpuid(leaf, 0);
    const int highestLeaf = leaf[0];
    __cpuid(leaf, 1);
    const int features = leaf[2];
    if (path == YuvConversionPath::Ssse3)
        return (features & (1 << 9)) != 0;
    const int avxAndOsxsave = (1 << 28) | (1 << 27);
    if ((features & avxAndOsxsave) != avxAndOsxsave || highestLeaf < 7 || (_xgetbv(0) & 6) != 6)
        return false;
    __cpuidex(leaf, 7, 0);
    return (leaf[1] & (1 << 5)) != 0;
}
#endif

#endif  // PACKED_YUV_X86

}  // namespace

bool YuvConversionPathAvailable(YuvConversionPath path)
{
    switch (path) {
    case YuvConversionPath::Scalar:
        return true;
#if PACKED_YUV_X86
#if defined(_MSC_VER)
    case YuvConversionPath::Ssse3:
    case YuvConversionPath::Avx2:
        return ProcessorSupports(path);
#else
    case YuvConversionPath::Ssse3:
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3");
    case YuvConversionPath::Avx2:
        // libgcc reports avx2 only when the operating system also saves the 256-bit registers.
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
#endif
#endif
    default:
        return false;
    }
}

YuvConversionPath PreferredYuvConversionPath()
{
    if (YuvConversionPathAvailable(YuvConversionPath::Avx2))
        return YuvConversionPath::Avx2;
    if (YuvConversionPathAvailable(YuvConversionPath::Ssse3))
        return YuvConversionPath::Ssse3;
    return YuvConversionPath::Scalar;
}

void ConvertPackedYuvGroups(const unsigned char* in, size_t groups, unsigned char* out, YuvConversionPath path)
{
    size_t done = 0;
#if PACKED_YUV_X86
    if (path == YuvConversionPath::Avx2)
        done = ConvertAvx2(in, groups, out);
    else if (path == YuvConversionPath::Ssse3)
        done = ConvertSsse3(in, groups, out);
#endif
    ConvertScalar(in + 4 * done, groups - done, out + 6 * done);
}
