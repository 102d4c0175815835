// Every conversion path against a direct evaluation of the colour formula: over all inputs, and over pixel
// runs of every parity, length and alignment, in both store kinds. A path this processor lacks is skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <cstdint>
#include <vector>

#include "ReferenceConversion.h"
#include "PackedYuvConversion.h"

namespace {

class PackedYuvConversionPath : public testing::TestWithParam<YuvConversionPath> {
protected:
    void SetUp() override
    {
        if (!YuvConversionPathAvailable(GetParam()))
            GTEST_SKIP() << "this processor cannot run the " << YuvConversionPathName(GetParam()) << " path";
    }
};

}  // namespace

TEST_P(PackedYuvConversionPath, EveryInputMatchesTheFormula)
{
    // One call per U value converts all 65,536 (V, Y0) pairs; Y1 carries noise it must ignore.
    constexpr size_t kGroups = 256 * 256;
    std::vector<unsigned char> in(4 * kGroups);
    std::vector<unsigned char> out(6 * kGroups);
    size_t mismatches = 0;
    for (unsigned u = 0; u < 256; ++u) {
        for (unsigned v = 0; v < 256; ++v) {
            for (unsigned y0 = 0; y0 < 256; ++y0) {
                const size_t g = v * 256 + y0;
                in[4 * g] = static_cast<unsigned char>(y0);
                in[4 * g + 1] = static_cast<unsigned char>(u);
                in[4 * g + 2] = static_cast<unsigned char>(y0 * 37 + v * 11 + u);
                in[4 * g + 3] = static_cast<unsigned char>(v);
            }
        }
        ConvertPackedYuvGroups(in.data(), kGroups, out.data(), GetParam());
        for (size_t g = 0; g < kGroups; ++g) {
            const unsigned char* pair = &out[6 * g];
            const Bgr want = ReferenceColour(static_cast<unsigned>(g % 256), u, static_cast<unsigned>(g / 256));
            const bool same = pair[0] == want[0] && pair[1] == want[1] && pair[2] == want[2] &&
                              pair[3] == want[0] && pair[4] == want[1] && pair[5] == want[2];
            if (!same && ++mismatches <= 10)
                ADD_FAILURE() << "Y0=" << g % 256 << " U=" << u << " V=" << g / 256 << " gives " << int(pair[0])
                              << "," << int(pair[1]) << "," << int(pair[2]) << " / " << int(pair[3]) << ","
                              << int(pair[4]) << "," << int(pair[5]) << ", want " << int(want[0]) << ","
                              << int(want[1]) << "," << int(want[2]);
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST_P(PackedYuvConversionPath, KnownGroupsGiveTheirColours)
{
    struct Case {
        unsigned char group[4];  // Y0 U Y1 V
        Bgr colour;
    };
    const Case cases[] = {
        {{16, 128, 235, 128}, {0, 0, 0}},        // black; Y1 ignored
        {{235, 128, 235, 128}, {254, 254, 254}}, // 254.9 truncates, is not rounded
        {{81, 90, 0, 240}, {0, 0, 254}},         // green -0.53 truncates toward zero to 0
        {{255, 255, 255, 255}, {255, 125, 255}}, // blue and red clamp high
        {{0, 0, 0, 0}, {0, 135, 0}},             // blue and red clamp low
    };
    for (const Case& c : cases) {
        // Seventeen copies of the group, so the vector paths handle it in their main loop and their tail.
        std::vector<unsigned char> in;
        for (int i = 0; i < 17; ++i)
            in.insert(in.end(), c.group, c.group + 4);
        std::vector<unsigned char> out(6 * 17);
        ConvertPackedYuvGroups(in.data(), 17, out.data(), GetParam());
        std::vector<unsigned char> want;
        for (int pixel = 0; pixel < 34; ++pixel)
            want.insert(want.end(), c.colour.begin(), c.colour.end());
        EXPECT_EQ(out, want) << "Y0=" << int{c.group[0]};
    }
}

TEST_P(PackedYuvConversionPath, PixelRunsOfEveryParityLengthAndAlignment)
{
    // Input is cut from a buffer sized exactly to what the run may read, so the sanitizer reports any read
    // outside it. The output run starts at every offset from a 64-byte boundary (the widest store's
    // alignment); every byte of its buffer outside the run must keep its guard value.
    std::vector<unsigned char> frame(4 * 128);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 151 + 7);
    constexpr unsigned char kGuard = 0xA5;
    for (YuvStoreKind stores : {YuvStoreKind::Normal, YuvStoreKind::Streaming}) {
        for (size_t first = 0; first < 4; ++first) {
            for (size_t pixels = 0; pixels <= 2 * 96 - first; pixels += pixels < 40 ? 1 : 13) {
                const size_t firstGroup = first / 2, endGroup = (first + pixels + 1) / 2;
                for (size_t inShift = 0; inShift < 32; inShift += pixels < 20 ? 3 : 5) {
                    for (size_t outShift = 0; outShift < 64; ++outShift) {
                        std::vector<unsigned char> in(std::max<size_t>(inShift + 4 * (endGroup - firstGroup), 1));
                        std::copy(frame.begin() + 4 * firstGroup, frame.begin() + 4 * endGroup,
                                  in.begin() + inShift);
                        std::vector<unsigned char> out(63 + outShift + 3 * pixels + 1, kGuard);
                        const size_t runAt = (64 - reinterpret_cast<uintptr_t>(out.data()) % 64) % 64 + outShift;
                        // The run's groups are addressed from the frame start, firstGroup groups before `in`.
                        const unsigned char* frameStart = in.data() + inShift - 4 * firstGroup;
                        ConvertPackedYuvPixels(frameStart, first, pixels, out.data() + runAt, GetParam(), stores);
                        FinishStreamingStores();
                        std::vector<unsigned char> want(out.size(), kGuard);
                        for (size_t p = 0; p < pixels; ++p) {
                            const unsigned char* group = &frame[4 * ((first + p) / 2)];
                            const Bgr c = ReferenceColour(group[0], group[1], group[3]);
                            std::copy(c.begin(), c.end(), want.begin() + runAt + 3 * p);
                        }
                        ASSERT_EQ(out, want) << "first " << first << " pixels " << pixels << " in+" << inShift
                                             << " out+" << outShift << " streaming "
                                             << (stores == YuvStoreKind::Streaming);
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, PackedYuvConversionPath,
                         testing::ValuesIn(kYuvConversionPaths),
                         [](const testing::TestParamInfo<YuvConversionPath>& info) { return YuvConversionPathName(info.param); });

TEST(PackedYuvConversion, PreferredPathIsTheFastestAvailableAndStaysTheSame)
{
    const YuvConversionPath preferred = PreferredYuvConversionPath();
    EXPECT_TRUE(YuvConversionPathAvailable(preferred));
    EXPECT_TRUE(YuvConversionPathAvailable(YuvConversionPath::Scalar));
    for (YuvConversionPath faster = static_cast<YuvConversionPath>(static_cast<int>(preferred) + 1);
         static_cast<int>(faster) <= static_cast<int>(std::end(kYuvConversionPaths)[-1]);
         faster = static_cast<YuvConversionPath>(static_cast<int>(faster) + 1))
        EXPECT_FALSE(YuvConversionPathAvailable(faster)) << YuvConversionPathName(faster) << " is available but not preferred";
    EXPECT_EQ(PreferredYuvConversionPath(), preferred);
}
