// The viewer's small parts: where a picture goes in the client area, what the title says, how the command
// line is read, and the rate of changing content.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CamviewOptions.h"
#include "ChangeRateMeter.h"
#include "PictureFit.h"
#include "ViewerTitle.h"

namespace {

struct FitCase {
    const char* label;
    int pictureWidth, pictureHeight, clientWidth, clientHeight;
    RECT expected;
};

TEST(PictureFit, KeepsTheProportionsCentredAndRounded)
{
    const FitCase cases[] = {
        {"SameProportions", 1920, 1080, 480, 270, {0, 0, 480, 270}},
        {"NarrowerPictureGetsBarsLeftAndRight", 640, 480, 800, 450, {100, 0, 700, 450}},
        {"WiderPictureGetsBarsAboveAndBelow", 1920, 1080, 400, 400, {0, 87, 400, 312}},
        {"RoundsToTheNearestPixel", 3, 1, 100, 100, {0, 33, 100, 66}},
        {"LargestPictureDoesNotOverflow", 0x7FFFFFFF, 0x7FFFFFFF, 500, 300, {100, 0, 400, 300}},
        {"PictureWithoutArea", 0, 1080, 480, 270, {0, 0, 0, 0}},
        {"ClientWithoutArea", 1920, 1080, 480, 0, {0, 0, 0, 0}},
    };
    for (const FitCase& c : cases) {
        const RECT fit = FitPicture(c.pictureWidth, c.pictureHeight, c.clientWidth, c.clientHeight);
        EXPECT_EQ(std::vector<LONG>({fit.left, fit.top, fit.right, fit.bottom}),
                  std::vector<LONG>({c.expected.left, c.expected.top, c.expected.right, c.expected.bottom}))
            << c.label;
    }
}

TEST(ViewerTitle, SaysWhatIsShownOrWhyNot)
{
    const std::wstring name = L"tarn_kro_shared_camera_memeory0";
    const struct {
        ViewStatus status;
        double rate;
        const wchar_t* expected;
    } cases[] = {
        {{ViewState::Waiting, TARN_CAMERA_NO_CHANNEL, 0, 0, L""}, 0, L"camview - waiting for the camera channel"},
        {{ViewState::Waiting, TARN_CAMERA_NAME_EMPTY, 0, 0, L""}, 0,
         L"camview - waiting for the camera channel (the header block names no frame block)"},
        {{ViewState::Showing, TARN_CAMERA_OK, 1920, 1080, name}, 24.96,
         L"camview - 1920 x 1080 - 25.0 fps - tarn_kro_shared_camera_memeory0"},
        {{ViewState::Refused, TARN_CAMERA_BAD_GEOMETRY, 0, 48, name}, 0,
         L"camview - 0 x 48 cannot be shown: the announced width or height is zero or negative - "
         L"tarn_kro_shared_camera_memeory0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ViewerTitle(c.status, c.rate), c.expected);
    EXPECT_EQ(ViewerTitle(cases[0].status, 0, L"left_camera"), L"camview [left_camera] - waiting for the camera channel");
}

TEST(CamviewOptions, ReadsPlacementAndChannelAndRefusesTheRest)
{
    const struct {
        std::vector<const wchar_t*> arguments;
        bool accepted;
    } cases[] = {
        {{}, true},
        {{L"--position", L"-10", L"20", L"--size", L"480", L"270", L"--channel", L"info"}, true},
        {{L"--size", L"480"}, false},
        {{L"--size", L"0", L"270"}, false},
        {{L"--position", L"10", L"2x"}, false},
        {{L"--channel", L""}, false},
        {{L"--fullscreen"}, false},
    };
    for (const auto& c : cases) {
        CamviewOptions options;
        std::wstring error;
        EXPECT_EQ(ParseCamviewOptions(static_cast<int>(c.arguments.size()), c.arguments.data(), &options, &error),
                  c.accepted)
            << c.arguments.size() << " arguments";
        EXPECT_EQ(error.empty(), c.accepted);
    }
    CamviewOptions options;
    std::wstring error;
    const auto& placed = cases[1].arguments;
    ASSERT_TRUE(ParseCamviewOptions(static_cast<int>(placed.size()), placed.data(), &options, &error));
    EXPECT_TRUE(options.placed);
    EXPECT_EQ(std::vector<int>({options.x, options.y, options.width, options.height}),
              std::vector<int>({-10, 20, 480, 270}));
    EXPECT_EQ(options.headerBlockName, L"info");
}

TEST(ChangeRateMeter, RateOfEachClosedWindowOfASecond)
{
    ChangeRateMeter meter;
    meter.Tick(5000);  // opens the first window
    for (int i = 0; i < 25; ++i)
        meter.CountChange();
    meter.Tick(5999);
    EXPECT_EQ(meter.Rate(), 0) << "before the first window closes";
    meter.Tick(6000);
    EXPECT_EQ(meter.Rate(), 25);
    for (int i = 0; i < 30; ++i)
        meter.CountChange();
    meter.Tick(7500);  // a late tick: 30 changes in 1.5 s
    EXPECT_EQ(meter.Rate(), 20);
    meter.Tick(8500);
    EXPECT_EQ(meter.Rate(), 0) << "a second without changes";
}

}  // namespace
