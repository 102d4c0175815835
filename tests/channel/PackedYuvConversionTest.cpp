// Every conversion path against a direct evaluation of the colour formula, over all inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ColourReference.h"
#include "PackedYuvConversion.h"

namespace {

std::vector<YuvConversionPath> AvailablePaths()
{
    std::vector<YuvConversionPath> paths;
    for (YuvConversionPath path : {YuvConversionPath::Scalar, YuvConversionPath::Ssse3, YuvConversionPath::Avx2})
        if (YuvConversionPathAvailable(path))
            paths.push_back(path);
    return paths;
}

const char* PathName(YuvConversionPath path)
{
    return path == YuvConversionPath::Scalar ? "scalar" : path == YuvConversionPath::Ssse3 ? "ssse3" : "avx2";
}

}  // namespace

TEST(PackedYuvConversion, EveryInputMatchesTheFormulaOnEveryPath)
{
    // One call per U value converts all 65,536 (V, Y0) pairs; Y1 carries noise it must ignore.
    constexpr size_t kGroups = 256 * 256;
    std::vector<unsigned char> in(4 * kGroups);
    std::vector<unsigned char> out(6 * kGroups);
    std::vector<Bgr> expected(kGroups);
    const std::vector<YuvConversionPath> paths = AvailablePaths();
    size_t mismatches = 0;

    for (unsigned u = 0; u < 256; ++u) {
        for (unsigned v = 0; v < 256; ++v) {
            for (unsigned y0 = 0; y0 < 256; ++y0) {
                const size_t g = v * 256 + y0;
                in[4 * g] = static_cast<unsigned char>(y0);
                in[4 * g + 1] = static_cast<unsigned char>(u);
                in[4 * g + 2] = static_cast<unsigned char>(y0 * 37 + v * 11 + u);
                in[4 * g + 3] = static_cast<unsigned char>(v);
                expected[g] = ReferenceColour(y0, u, v);
            }
        }
        for (YuvConversionPath path : paths) {
            ConvertPackedYuvGroups(in.data(), kGroups, out.data(), path);
            for (size_t g = 0; g < kGroups; ++g) {
                const unsigned char* pair = &out[6 * g];
                const Bgr& want = expected[g];
                const bool same = pair[0] == want[0] && pair[1] == want[1] && pair[2] == want[2] &&
                                  pair[3] == want[0] && pair[4] == want[1] && pair[5] == want[2];
                if (!same && ++mismatches <= 10)
                    ADD_FAILURE() << PathName(path) << ": Y0=" << g % 256 << " U=" << u << " V=" << g / 256
                                  << " gives " << int(pair[0]) << "," << int(pair[1]) << "," << int(pair[2]) << " / "
                                  << int(pair[3]) << "," << int(pair[4]) << "," << int(pair[5]) << ", want "
                                  << int(want[0]) << "," << int(want[1]) << "," << int(want[2]);
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_TRUE(YuvConversionPathAvailable(YuvConversionPath::Scalar));
}

TEST(PackedYuvConversion, KnownGroupsGiveTheirColours)
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
    for (YuvConversionPath path : AvailablePaths()) {
        for (const Case& c : cases) {
            // Nine copies of the group, so the vector paths handle it in their main loop and their tail.
            std::vector<unsigned char> in;
            for (int i = 0; i < 9; ++i)
                in.insert(in.end(), c.group, c.group + 4);
            std::vector<unsigned char> out(6 * 9);
            ConvertPackedYuvGroups(in.data(), 9, out.data(), path);
            for (size_t pixel = 0; pixel < 18; ++pixel) {
                SCOPED_TRACE(std::string(PathName(path)) + " Y0=" + std::to_string(c.group[0]) +
                             " pixel " + std::to_string(pixel));
                EXPECT_EQ(out[3 * pixel], c.colour[0]);
                EXPECT_EQ(out[3 * pixel + 1], c.colour[1]);
                EXPECT_EQ(out[3 * pixel + 2], c.colour[2]);
            }
        }
    }
}

TEST(PackedYuvConversion, TouchesExactlyItsGroupsOnEveryPath)
{
    // Buffers sized exactly to the group count: the sanitizer reports any read or write past their ends,
    // for every count around the vector widths.
    for (YuvConversionPath path : AvailablePaths()) {
        for (size_t groups = 0; groups <= 19; ++groups) {
            std::vector<unsigned char> in(4 * groups, 200);
            std::vector<unsigned char> out(6 * groups, 0);
            ConvertPackedYuvGroups(in.data(), groups, out.data(), path);
            const Bgr colour = ReferenceColour(200, 200, 200);
            for (size_t pixel = 0; pixel < 2 * groups; ++pixel)
                ASSERT_EQ(out[3 * pixel + 1], colour[1]) << PathName(path) << " groups " << groups;
        }
    }
}
