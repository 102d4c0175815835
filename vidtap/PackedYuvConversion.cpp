#include "PackedYuvConversion.h"

#include <algorithm>

#include "ProcessorFeatures.h"

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define PACKED_YUV_X86 1
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#if defined(__clang__) && !defined(__AVX2__)
// clang in Microsoft mode declares only the intrinsics of the instruction sets enabled for the whole file.
#include <tmmintrin.h>
#include <avxintrin.h>
#include <avx2intrin.h>
#include <avx512fintrin.h>
#include <avx512bwintrin.h>
#include <avx512vbmiintrin.h>
#endif
// Microsoft's compiler accepts every intrinsic in any function and has no per-function target attribute.
#define PACKED_YUV_TARGET(features)
#else
#define PACKED_YUV_TARGET(features) __attribute__((target(features)))
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

// Writes the colour of the group at `in` as one pixel (3 bytes) at `out`.
inline void ConvertPixel(const unsigned char* in, unsigned char* out)
{
    const float y = (static_cast<float>(in[0]) - kLumaOffset) * kLumaScale;
    const float u = static_cast<float>(in[1]) - kChromaOffset;
    const float v = static_cast<float>(in[3]) - kChromaOffset;
    const float blue = (u * kBlueFromU) + y;
    const float green = (y - (v * kGreenFromV)) - (u * kGreenFromU);
    const float red = (v * kRedFromV) + y;
    out[0] = TruncateAndClamp(blue);
    out[1] = TruncateAndClamp(green);
    out[2] = TruncateAndClamp(red);
}

void ConvertScalar(const unsigned char* in, size_t groups, unsigned char* out)
{
    for (size_t g = 0; g < groups; ++g, in += 4, out += 6) {
        ConvertPixel(in, out);
        out[3] = out[0];
        out[4] = out[1];
        out[5] = out[2];
    }
}

#if PACKED_YUV_X86

// Every vector path evaluates the formula lane by lane with the same single-precision operations in the same
// order as the scalar path (separate multiply and add, no fused operations), so they are bit-identical to it.
// Truncation is cvttps; the clamp is the signed-to-unsigned saturating pack, which maps every value below 0
// to 0 and every value above 255 to 255 (the intermediate 16-bit pack cannot change a value in -300..600).
// Each step converts 8 groups into 48 bytes, handed over as three 16-byte blocks.

struct Blocks48 {
    __m128i first, second, third;
};

// Streaming stores need `out` 16-byte aligned (the caller arranges it).
inline void StoreBlocks(unsigned char* out, const Blocks48& blocks, YuvStoreKind stores)
{
    __m128i* const at = reinterpret_cast<__m128i*>(out);
    if (stores == YuvStoreKind::Streaming) {
        _mm_stream_si128(at, blocks.first);
        _mm_stream_si128(at + 1, blocks.second);
        _mm_stream_si128(at + 2, blocks.third);
    } else {
        _mm_storeu_si128(at, blocks.first);
        _mm_storeu_si128(at + 1, blocks.second);
        _mm_storeu_si128(at + 2, blocks.third);
    }
}

// The truncated blue, green and red of the 4 groups in `packed`, one per 32-bit lane. SSE2 only, so every
// path can use it. The 256- and 512-bit versions below are the same formula, operation for operation.
struct Colours4 {
    __m128i blue, green, red;
};

inline Colours4 ComputeColours4(__m128i packed)
{
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128 y = _mm_mul_ps(_mm_sub_ps(_mm_cvtepi32_ps(_mm_and_si128(packed, byteMask)), _mm_set1_ps(kLumaOffset)),
                                _mm_set1_ps(kLumaScale));
    const __m128 u = _mm_sub_ps(_mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(packed, 8), byteMask)),
                                _mm_set1_ps(kChromaOffset));
    const __m128 v = _mm_sub_ps(_mm_cvtepi32_ps(_mm_srli_epi32(packed, 24)), _mm_set1_ps(kChromaOffset));
    const __m128 green = _mm_sub_ps(_mm_sub_ps(y, _mm_mul_ps(v, _mm_set1_ps(kGreenFromV))),
                                    _mm_mul_ps(u, _mm_set1_ps(kGreenFromU)));
    return {_mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(u, _mm_set1_ps(kBlueFromU)), y)), _mm_cvttps_epi32(green),
            _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, _mm_set1_ps(kRedFromV)), y))};
}

// Two 64-bit lanes, each one pixel pair (6 bytes, then 2 zero bytes), squeezed into 12 bytes followed by 4
// zero bytes: the low pair is moved up by one word so that a single shift joins both.
inline __m128i SqueezePairs(__m128i pairs)
{
    return _mm_srli_si128(_mm_shufflelo_epi16(pairs, _MM_SHUFFLE(2, 1, 0, 3)), 2);
}

// Without byte shuffles: the 8 clamped colours become the three words of each pixel pair (blue-green,
// red-blue, green-red), which unpack into one 64-bit lane per pair; the pairs are squeezed and joined.
inline Blocks48 ConvertStepSse2(const unsigned char* in)
{
    const Colours4 low = ComputeColours4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    const Colours4 high = ComputeColours4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16)));
    const __m128i blueGreen = _mm_packus_epi16(_mm_packs_epi32(low.blue, high.blue),
                                               _mm_packs_epi32(low.green, high.green));
    const __m128i reds = _mm_packs_epi32(low.red, high.red);
    const __m128i redBytes = _mm_packus_epi16(reds, reds);
    const __m128i greenBytes = _mm_srli_si128(blueGreen, 8);
    const __m128i zero = _mm_setzero_si128();
    const __m128i blueGreenWords = _mm_unpacklo_epi8(blueGreen, greenBytes);
    const __m128i redBlueWords = _mm_unpacklo_epi8(redBytes, blueGreen);
    const __m128i greenRedWords = _mm_unpacklo_epi8(greenBytes, redBytes);
    const __m128i firstFour03 = _mm_unpacklo_epi16(blueGreenWords, redBlueWords);
    const __m128i firstFour47 = _mm_unpackhi_epi16(blueGreenWords, redBlueWords);
    const __m128i lastTwo03 = _mm_unpacklo_epi16(greenRedWords, zero);
    const __m128i lastTwo47 = _mm_unpackhi_epi16(greenRedWords, zero);
    const __m128i bytes01 = SqueezePairs(_mm_unpacklo_epi32(firstFour03, lastTwo03));
    const __m128i bytes23 = SqueezePairs(_mm_unpackhi_epi32(firstFour03, lastTwo03));
    const __m128i bytes45 = SqueezePairs(_mm_unpacklo_epi32(firstFour47, lastTwo47));
    const __m128i bytes67 = SqueezePairs(_mm_unpackhi_epi32(firstFour47, lastTwo47));
    return {_mm_or_si128(bytes01, _mm_slli_si128(bytes23, 12)),
            _mm_or_si128(_mm_srli_si128(bytes23, 4), _mm_slli_si128(bytes45, 8)),
            _mm_or_si128(_mm_srli_si128(bytes45, 8), _mm_slli_si128(bytes67, 4))};
}

// Converts the whole 8-group steps of `groups`; returns the number of groups done.
size_t ConvertStepsSse2(const unsigned char* in, size_t groups, unsigned char* out, YuvStoreKind stores)
{
    for (size_t step = 0; step < groups / 8; ++step)
        StoreBlocks(out + 48 * step, ConvertStepSse2(in + 32 * step), stores);
    return groups / 8 * 8;
}

// After the packs, the 16 bytes of a 128-bit lane hold b0 b1 b2 b3 g0 g1 g2 g3 r0 r1 r2 r3 (and r0..r3
// again); the shuffles spread them into the 24 output bytes b0 g0 r0 b0 g0 r0 b1 ... r3 ("first" holds 16 of
// them, the low half of "rest" the other 8).
#define PACKED_YUV_SPREAD_FIRST 0, 4, 8, 0, 4, 8, 1, 5, 9, 1, 5, 9, 2, 6, 10, 2
#define PACKED_YUV_SPREAD_REST 6, 10, 3, 7, 11, 3, 7, 11, -128, -128, -128, -128, -128, -128, -128, -128

// Two runs of 24 bytes (first 16 and rest 8 each) joined into 48 contiguous bytes.
PACKED_YUV_TARGET("ssse3") inline Blocks48 JoinRuns(__m128i firstA, __m128i restA, __m128i firstB, __m128i restB)
{
    return {firstA, _mm_unpacklo_epi64(restA, firstB), _mm_alignr_epi8(restB, firstB, 8)};
}

PACKED_YUV_TARGET("ssse3") inline Blocks48 ConvertStepSsse3(const unsigned char* in)
{
    const __m128i spreadFirst = _mm_setr_epi8(PACKED_YUV_SPREAD_FIRST);
    const __m128i spreadRest = _mm_setr_epi8(PACKED_YUV_SPREAD_REST);
    __m128i first[2], rest[2];
    for (int half = 0; half < 2; ++half) {
        const Colours4 c = ComputeColours4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * half)));
        const __m128i bytes =
            _mm_packus_epi16(_mm_packs_epi32(c.blue, c.green), _mm_packs_epi32(c.red, c.red));
        first[half] = _mm_shuffle_epi8(bytes, spreadFirst);
        rest[half] = _mm_shuffle_epi8(bytes, spreadRest);
    }
    return JoinRuns(first[0], rest[0], first[1], rest[1]);
}

// Converts the whole 8-group steps of `groups`; returns the number of groups done.
PACKED_YUV_TARGET("ssse3")
size_t ConvertStepsSsse3(const unsigned char* in, size_t groups, unsigned char* out, YuvStoreKind stores)
{
    for (size_t step = 0; step < groups / 8; ++step)
        StoreBlocks(out + 48 * step, ConvertStepSsse3(in + 32 * step), stores);
    return groups / 8 * 8;
}

// Groups 0-3 in the low 128-bit lane, 4-7 in the high one (the packs and the shuffles work within lanes).
PACKED_YUV_TARGET("avx2") inline Blocks48 ConvertStepAvx2(const unsigned char* in)
{
    const __m256i packed = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256 y = _mm256_mul_ps(
        _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_and_si256(packed, byteMask)), _mm256_set1_ps(kLumaOffset)),
        _mm256_set1_ps(kLumaScale));
    const __m256 u = _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(packed, 8), byteMask)),
                                   _mm256_set1_ps(kChromaOffset));
    const __m256 v = _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(packed, 24)), _mm256_set1_ps(kChromaOffset));
    const __m256i blue = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(u, _mm256_set1_ps(kBlueFromU)), y));
    const __m256 greenBeforeU = _mm256_sub_ps(y, _mm256_mul_ps(v, _mm256_set1_ps(kGreenFromV)));
    const __m256i green =
        _mm256_cvttps_epi32(_mm256_sub_ps(greenBeforeU, _mm256_mul_ps(u, _mm256_set1_ps(kGreenFromU))));
    const __m256i red = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(v, _mm256_set1_ps(kRedFromV)), y));
    const __m256i blueGreen = _mm256_packs_epi32(blue, green);
    const __m256i redRed = _mm256_packs_epi32(red, red);
    const __m256i bytes = _mm256_packus_epi16(blueGreen, redRed);
    const __m256i first = _mm256_shuffle_epi8(
        bytes, _mm256_setr_epi8(PACKED_YUV_SPREAD_FIRST, PACKED_YUV_SPREAD_FIRST));
    const __m256i rest = _mm256_shuffle_epi8(
        bytes, _mm256_setr_epi8(PACKED_YUV_SPREAD_REST, PACKED_YUV_SPREAD_REST));
    return JoinRuns(_mm256_castsi256_si128(first), _mm256_castsi256_si128(rest),
                    _mm256_extracti128_si256(first, 1), _mm256_extracti128_si256(rest, 1));
}

// Converts the whole 8-group steps of `groups`; returns the number of groups done.
PACKED_YUV_TARGET("avx2")
size_t ConvertStepsAvx2(const unsigned char* in, size_t groups, unsigned char* out, YuvStoreKind stores)
{
    for (size_t step = 0; step < groups / 8; ++step)
        StoreBlocks(out + 48 * step, ConvertStepAvx2(in + 32 * step), stores);
    return groups / 8 * 8;
}

// The truncated blue, green and red of the 16 groups in `packed`, one per 32-bit lane.
struct Colours16 {
    __m512i blue, green, red;
};

#define PACKED_YUV_AVX512 "avx512f,avx512bw,avx512vbmi"

// GCC 12's 512-bit intrinsics start their results from a deliberately undefined register value, which its
// own -Wuninitialized reports in every caller; the values are always fully overwritten.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

PACKED_YUV_TARGET(PACKED_YUV_AVX512) inline Colours16 ComputeColours16(__m512i packed)
{
    const __m512i byteMask = _mm512_set1_epi32(0xFF);
    const __m512 y = _mm512_mul_ps(
        _mm512_sub_ps(_mm512_cvtepi32_ps(_mm512_and_si512(packed, byteMask)), _mm512_set1_ps(kLumaOffset)),
        _mm512_set1_ps(kLumaScale));
    const __m512 u = _mm512_sub_ps(_mm512_cvtepi32_ps(_mm512_and_si512(_mm512_srli_epi32(packed, 8), byteMask)),
                                   _mm512_set1_ps(kChromaOffset));
    const __m512 v = _mm512_sub_ps(_mm512_cvtepi32_ps(_mm512_srli_epi32(packed, 24)), _mm512_set1_ps(kChromaOffset));
    const __m512 green = _mm512_sub_ps(_mm512_sub_ps(y, _mm512_mul_ps(v, _mm512_set1_ps(kGreenFromV))),
                                       _mm512_mul_ps(u, _mm512_set1_ps(kGreenFromU)));
    return {_mm512_cvttps_epi32(_mm512_add_ps(_mm512_mul_ps(u, _mm512_set1_ps(kBlueFromU)), y)),
            _mm512_cvttps_epi32(green),
            _mm512_cvttps_epi32(_mm512_add_ps(_mm512_mul_ps(v, _mm512_set1_ps(kRedFromV)), y))};
}

// The byte permutes of the 512-bit step. Its two vectors of colour bytes, A (groups 0-15) and B (groups
// 16-31), hold in 128-bit lane k the blue, green and red of groups 4k..4k+3 of their half: blue in bytes
// 0-3 and green in 4-7 of the lane for both; red in bytes 8-11 for A and 12-15 for B (both vectors carry
// both reds, from one shared pack). Index bit 6 selects B. Output byte i belongs to pixel pair i / 6 and
// is its colour i % 3 (blue, green, red, then the same again for the pair's second pixel).
struct SpreadIndices {
    alignas(64) unsigned char bytes[3][64];
};

constexpr SpreadIndices MakeSpreadIndices()
{
    SpreadIndices spread{};
    for (int i = 0; i < 192; ++i) {
        const int pair = i / 6, colour = i % 3;
        const bool fromB = pair >= 16;
        const int group = pair % 16, lane = group / 4;
        const int colourAt = fromB && colour == 2 ? 12 : 4 * colour;
        spread.bytes[i / 64][i % 64] =
            static_cast<unsigned char>((fromB ? 64 : 0) + 16 * lane + colourAt + group % 4);
    }
    return spread;
}

constexpr SpreadIndices kSpreadIndices = MakeSpreadIndices();

// 32 groups into 192 bytes; streaming stores need `out` 64-byte aligned.
PACKED_YUV_TARGET(PACKED_YUV_AVX512)
inline void ConvertStepAvx512(const unsigned char* in, unsigned char* out, YuvStoreKind stores)
{
    const Colours16 a = ComputeColours16(_mm512_loadu_si512(in));
    const Colours16 b = ComputeColours16(_mm512_loadu_si512(in + 64));
    const __m512i reds = _mm512_packs_epi32(a.red, b.red);
    const __m512i bytesA = _mm512_packus_epi16(_mm512_packs_epi32(a.blue, a.green), reds);
    const __m512i bytesB = _mm512_packus_epi16(_mm512_packs_epi32(b.blue, b.green), reds);
    for (int block = 0; block < 3; ++block) {
        const __m512i bytes = _mm512_permutex2var_epi8(
            bytesA, _mm512_load_si512(kSpreadIndices.bytes[block]), bytesB);
        if (stores == YuvStoreKind::Streaming)
            _mm512_stream_si512(reinterpret_cast<__m512i*>(out + 64 * block), bytes);
        else
            _mm512_storeu_si512(out + 64 * block, bytes);
    }
}


PACKED_YUV_TARGET(PACKED_YUV_AVX512)
size_t ConvertStepsAvx512(const unsigned char* in, size_t groups, unsigned char* out, YuvStoreKind stores)
{
    size_t done = 0;
    for (; groups - done >= 32; done += 32, in += 128, out += 192)
        ConvertStepAvx512(in, out, stores);
    return done;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#undef PACKED_YUV_AVX512

#endif  // PACKED_YUV_X86

// Converts `groups` groups through `path`, the vector steps first and the scalar loop for the rest.
void ConvertGroups(const unsigned char* in, size_t groups, unsigned char* out, YuvConversionPath path,
                   YuvStoreKind stores)
{
    size_t done = 0;
#if PACKED_YUV_X86
    switch (path) {
    case YuvConversionPath::Avx512: {
        // The 512-bit streaming stores need 64-byte alignment; `out` is 16-byte aligned for streaming, and
        // each 48-byte step of the 256-bit path moves it on by 16 modulo 64.
        const size_t lead = stores == YuvStoreKind::Streaming ? (reinterpret_cast<uintptr_t>(out) % 64) / 2 : 0;
        done = ConvertStepsAvx2(in, std::min(lead, groups), out, stores);
        done += ConvertStepsAvx512(in + 4 * done, groups - done, out + 6 * done, stores);
        done += ConvertStepsAvx2(in + 4 * done, groups - done, out + 6 * done, stores);
        break;
    }
    case YuvConversionPath::Avx2:
        done = ConvertStepsAvx2(in, groups, out, stores);
        break;
    case YuvConversionPath::Ssse3:
        done = ConvertStepsSsse3(in, groups, out, stores);
        break;
    case YuvConversionPath::Sse2:
        done = ConvertStepsSse2(in, groups, out, stores);
        break;
    case YuvConversionPath::Scalar:
        break;
    }
#endif
    ConvertScalar(in + 4 * done, groups - done, out + 6 * done);
}

}  // namespace

bool YuvConversionPathAvailable(YuvConversionPath path)
{
    switch (path) {
    case YuvConversionPath::Scalar:
        return true;
#if PACKED_YUV_X86
    case YuvConversionPath::Sse2:
        return true;
    case YuvConversionPath::Ssse3:
        return DetectedProcessorFeatures().ssse3;
    case YuvConversionPath::Avx2:
        return DetectedProcessorFeatures().avx2;
    case YuvConversionPath::Avx512:
        return DetectedProcessorFeatures().avx512;
#endif
    default:
        return false;
    }
}

const char* YuvConversionPathName(YuvConversionPath path)
{
    switch (path) {
    case YuvConversionPath::Scalar:
        return "scalar";
    case YuvConversionPath::Sse2:
        return "sse2";
    case YuvConversionPath::Ssse3:
        return "ssse3";
    case YuvConversionPath::Avx2:
        return "avx2";
    case YuvConversionPath::Avx512:
        return "avx512";
    }
    return "unknown";
}

YuvConversionPath PreferredYuvConversionPath()
{
    static const YuvConversionPath preferred = [] {
        YuvConversionPath fastest = YuvConversionPath::Scalar;
        for (YuvConversionPath path : kYuvConversionPaths)
            if (YuvConversionPathAvailable(path))
                fastest = path;
        return fastest;
    }();
    return preferred;
}

void ConvertPackedYuvGroups(const unsigned char* in, size_t groups, unsigned char* out, YuvConversionPath path)
{
    ConvertGroups(in, groups, out, path, YuvStoreKind::Normal);
}

void ConvertPackedYuvPixels(const unsigned char* frame, size_t firstPixel, size_t pixels, unsigned char* out,
                            YuvConversionPath path, YuvStoreKind stores)
{
    size_t pixel = firstPixel;
    const size_t end = firstPixel + pixels;
    if (pixel < end && pixel % 2 != 0) {
        ConvertPixel(frame + 4 * (pixel / 2), out);
        out += 3;
        ++pixel;
    }
    const unsigned char* in = frame + 4 * (pixel / 2);
    size_t groups = (end - pixel) / 2;
    pixel += 2 * groups;
    if (stores == YuvStoreKind::Streaming) {
        // Streaming stores go to 16-byte aligned blocks: the groups before the first aligned one are written
        // through the cache. An odd address never reaches alignment in steps of 6 bytes.
        const bool alignable = reinterpret_cast<uintptr_t>(out) % 2 == 0;
        size_t lead = 0;
        while (alignable && lead < groups && reinterpret_cast<uintptr_t>(out + 6 * lead) % 16 != 0)
            ++lead;
        if (!alignable)
            lead = groups;
        ConvertScalar(in, lead, out);
        in += 4 * lead;
        out += 6 * lead;
        groups -= lead;
    }
    ConvertGroups(in, groups, out, path, stores);
    if (pixel < end)
        ConvertPixel(in + 4 * groups, out + 6 * groups);
}

void FinishStreamingStores()
{
#if PACKED_YUV_X86
    _mm_sfence();
#endif
}
