// Publishing into a channel made of ordinary buffers, each allocated to its exact capacity so the sanitizer
// reports any access past a block, the scratch buffer, the frame data or the header.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "ReferenceConversion.h"
#include "FramePublisherCore.h"

namespace {

constexpr uint32_t kYuy2 = 0x32595559;
constexpr uint32_t kRgbImageSize = 0xABCD;

PictureDescription Picture(int32_t width, int32_t height, uint16_t bitCount, uint32_t sizeImage = kRgbImageSize)
{
    unsigned char header[40] = {};
    const uint32_t size = 40, compression = bitCount == 16 ? kYuy2 : 0;
    const uint16_t planes = 1;
    std::memcpy(header + 0, &size, 4);
    std::memcpy(header + 4, &width, 4);
    std::memcpy(header + 8, &height, 4);
    std::memcpy(header + 12, &planes, 2);
    std::memcpy(header + 14, &bitCount, 2);
    std::memcpy(header + 16, &compression, 4);
    std::memcpy(header + 20, &sizeImage, 4);
    return DescribePicture(header, sizeof header, 0);
}

int32_t FormatField(const CameraHeaderBlock* header, size_t offset, size_t bytes = 4)
{
    int32_t value = 0;
    std::memcpy(&value, header->format + offset, bytes);
    return value;
}

struct TestChannel {
    explicit TestChannel(size_t frameCapacity = 6220800, size_t scratchCapacity = 6220800)
        : header(sizeof(CameraHeaderBlock), 0x11), frame(frameCapacity, 0x22), scratch(scratchCapacity, 0x33)
    {
    }
    CameraHeaderBlock* Header() { return reinterpret_cast<CameraHeaderBlock*>(header.data()); }
    CameraChannelViews Views()
    {
        CameraChannelViews views;
        views.headerView = Header();
        views.frameView = frame.data();
        views.frameCapacity = frame.size();
        views.scratchBuffer = scratch.data();
        views.scratchCapacity = scratch.size();
        views.deferredScratch = &deferredScratch;
        return views;
    }
    void Publish(const std::vector<unsigned char>& data, const PictureDescription& picture)
    {
        PublishFrameToChannel(Views(), data.data(), static_cast<uint32_t>(data.size()), picture);
    }
    void Publish(const std::vector<unsigned char>& data, uint32_t length, const PictureDescription& picture)
    {
        PublishFrameToChannel(Views(), data.data(), length, picture);
    }

    std::vector<unsigned char> header;
    std::vector<unsigned char> frame;
    std::vector<unsigned char> scratch;
    DeferredScratchRows deferredScratch;
};

std::vector<unsigned char> Bytes(std::initializer_list<int> values)
{
    return std::vector<unsigned char>(values.begin(), values.end());
}

std::vector<unsigned char> Slice(const std::vector<unsigned char>& bytes, size_t from, size_t count)
{
    return std::vector<unsigned char>(bytes.begin() + from, bytes.begin() + from + count);
}

std::vector<unsigned char> PairOf(unsigned y0, unsigned u, unsigned v)
{
    const Bgr c = ReferenceColour(y0, u, v);
    return {c[0], c[1], c[2], c[0], c[1], c[2]};
}

// The publishing algorithm written plainly: convert every whole group the scratch buffer holds, then copy
// the rows last-first. Used to check the interleaved implementation on many shapes.
void ReferencePublish(std::vector<unsigned char>& scratch, std::vector<unsigned char>& frame,
                      const std::vector<unsigned char>& data, uint32_t length, int32_t width, int32_t height)
{
    const size_t groups = std::min<size_t>(length / 4, scratch.size() / 6);
    for (size_t g = 0; g < groups; ++g) {
        const Bgr c = ReferenceColour(data[4 * g], data[4 * g + 1], data[4 * g + 3]);
        for (int half = 0; half < 2; ++half)
            std::copy(c.begin(), c.end(), scratch.begin() + 6 * g + 3 * half);
    }
    if (width <= 0 || height <= 0)
        return;
    const size_t row = static_cast<size_t>(width) * 3;
    for (size_t r = 0; r < static_cast<size_t>(height); ++r)
        std::copy_n(scratch.begin() + (height - 1 - r) * row, row, frame.begin() + r * row);
}

}  // namespace

TEST(FramePublisherCore, PackedFramesAreConvertedAndStoredLastRowFirstUnderTheFormatOfTheirSize)
{
    TestChannel channel;
    // 4 x 2 pixels: two rows of two groups each.
    const std::vector<unsigned char> data =
        Bytes({16, 128, 99, 128, 235, 128, 0, 128, 81, 90, 0, 240, 255, 255, 255, 255});
    channel.Publish(data, Picture(4, 2, 16));

    std::vector<unsigned char> converted;
    for (auto pair : {PairOf(16, 128, 128), PairOf(235, 128, 128), PairOf(81, 90, 240), PairOf(255, 255, 255)})
        converted.insert(converted.end(), pair.begin(), pair.end());
    EXPECT_EQ(Slice(channel.frame, 0, 12), Slice(converted, 12, 12));
    EXPECT_EQ(Slice(channel.frame, 12, 12), Slice(converted, 0, 12));
    EXPECT_EQ(channel.frame[24], 0x22);  // bytes beyond the frame keep their contents
    ASSERT_EQ(FormatField(channel.Header(), kPictureWidthOffset), 4);

    // A new size rewrites the format, and the rows follow it.
    std::vector<unsigned char> tall(16);
    for (size_t i = 0; i < tall.size(); ++i)
        tall[i] = static_cast<unsigned char>(20 + 13 * i);
    channel.Publish(tall, Picture(2, 4, 16, 16));

    const CameraHeaderBlock* header = channel.Header();
    EXPECT_EQ(FormatField(header, 0), 40);
    EXPECT_EQ(FormatField(header, kPictureWidthOffset), 2);
    EXPECT_EQ(FormatField(header, kPictureHeightOffset), 4);
    EXPECT_EQ(FormatField(header, kPictureBitCountOffset, 2), 24);
    EXPECT_EQ(FormatField(header, kPictureCompressionOffset), 0);
    EXPECT_EQ(FormatField(header, 20), 16);  // biSizeImage keeps the source's value
    EXPECT_EQ(header->initialised, 0x11111111);  // nothing outside `format` is written
    EXPECT_EQ(header->frameBlockName[0], 0x1111);

    // Four rows of one group each: frame row r is scratch row 3 - r.
    for (size_t r = 0; r < 4; ++r) {
        const unsigned char* group = &tall[4 * (3 - r)];
        EXPECT_EQ(Slice(channel.frame, 6 * r, 6), PairOf(group[0], group[1], group[3])) << "row " << r;
    }
}

TEST(FramePublisherCore, OtherDepthsAreCopiedUnchangedUnderA24BitHeaderRewrittenOnlyForANewSize)
{
    TestChannel channel;
    std::vector<unsigned char> data(4 * 3 * 2);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 5);
    channel.Publish(data, Picture(3, 2, 32));
    EXPECT_EQ(Slice(channel.frame, 0, data.size()), data);
    EXPECT_EQ(channel.frame[data.size()], 0x22);
    EXPECT_EQ(FormatField(channel.Header(), kPictureBitCountOffset, 2), 24);
    EXPECT_EQ(channel.scratch[0], 0x33);  // no conversion

    // The same size at another depth, announcing another image size.
    const std::vector<unsigned char> before = channel.header;
    channel.Publish(std::vector<unsigned char>(32, 7), Picture(3, 2, 16, 999));
    EXPECT_EQ(channel.header, before);
}

TEST(FramePublisherCore, NonPositiveGeometryConvertsButCopiesNoRow)
{
    for (auto geometry : {std::pair<int32_t, int32_t>{4, -2}, {4, 0}, {0, 2}, {-4, 2}}) {
        TestChannel channel;
        channel.Publish(std::vector<unsigned char>(16, 200), Picture(geometry.first, geometry.second, 16));
        EXPECT_EQ(FormatField(channel.Header(), kPictureHeightOffset), geometry.second);
        EXPECT_EQ(Slice(channel.scratch, 0, 6), PairOf(200, 200, 200));
        EXPECT_EQ(channel.frame, std::vector<unsigned char>(channel.frame.size(), 0x22))
            << geometry.first << " x " << geometry.second;
    }
}

TEST(FramePublisherCore, ShortFrameConvertsItsWholeGroupsAndCopiesStaleScratchRows)
{
    TestChannel channel;
    // Only the first of two rows arrives: the last row copied out is what the scratch buffer held.
    channel.Publish(std::vector<unsigned char>(8, 235), Picture(4, 2, 16));
    EXPECT_EQ(Slice(channel.frame, 0, 12), std::vector<unsigned char>(12, 0x33));
    EXPECT_EQ(Slice(channel.frame, 12, 6), PairOf(235, 235, 235));

    // Seven bytes: one whole group and three bytes that are no group.
    TestChannel partial;
    partial.Publish(Bytes({100, 120, 130, 140, 1, 2, 3}), Picture(4, 1, 16));
    EXPECT_EQ(Slice(partial.scratch, 0, 6), PairOf(100, 120, 140));
    EXPECT_EQ(Slice(partial.scratch, 6, 6), std::vector<unsigned char>(6, 0x33));
}

TEST(FramePublisherCore, CopyAndConversionStopAtTheBlockEnds)
{
    TestChannel channel(32, 32);
    std::vector<unsigned char> data(100);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i);
    channel.Publish(data, Picture(5, 5, 32));
    EXPECT_EQ(channel.frame, Slice(data, 0, 32));

    TestChannel noHeader(32, 32);
    const std::vector<unsigned char> header = noHeader.header;
    noHeader.Publish(data, PictureDescription());
    EXPECT_EQ(noHeader.frame, Slice(data, 0, 32));
    EXPECT_EQ(noHeader.header, header);

    // The picture (2 x 2) fits; the frame data has five groups but the scratch buffer holds two.
    TestChannel converted(12, 12);
    converted.Publish(std::vector<unsigned char>(20, 50), Picture(2, 2, 16));
    EXPECT_EQ(Slice(converted.frame, 0, 6), PairOf(50, 50, 50));
    EXPECT_EQ(Slice(converted.frame, 6, 6), PairOf(50, 50, 50));
}

TEST(FramePublisherCore, PictureLargerThanTheBlocksIsNotPublished)
{
    for (auto geometry : {std::pair<int32_t, int32_t>{1921, 1080}, {1920, -1081}, {-1080, 1921}, {INT32_MIN, 2}}) {
        TestChannel channel;
        const std::vector<unsigned char> header = channel.header;
        channel.Publish(std::vector<unsigned char>(64, 90), Picture(geometry.first, geometry.second, 16));
        EXPECT_EQ(channel.header, header);
        EXPECT_EQ(channel.scratch[0], 0x33);
        EXPECT_EQ(channel.frame[0], 0x22);
    }
    // Against smaller blocks the limit is the smaller capacity.
    TestChannel small(48, 24);
    small.Publish(std::vector<unsigned char>(32, 90), Picture(4, 4, 16));
    EXPECT_EQ(small.scratch[0], 0x33);
    EXPECT_EQ(FormatField(small.Header(), kPictureWidthOffset), 0x11111111);
}

TEST(FramePublisherCore, UnusableChannelOrMissingDataPublishesNothing)
{
    TestChannel channel;
    const std::vector<unsigned char> data(16, 77);
    CameraChannelViews views = channel.Views();
    views.scratchBuffer = nullptr;
    PublishFrameToChannel(views, data.data(), 16, Picture(4, 2, 16));
    views = channel.Views();
    views.frameView = nullptr;
    PublishFrameToChannel(views, data.data(), 16, Picture(4, 2, 32));
    PublishFrameToChannel(channel.Views(), nullptr, 16, Picture(4, 2, 16));
    EXPECT_EQ(channel.header, std::vector<unsigned char>(channel.header.size(), 0x11));
    EXPECT_EQ(channel.frame[0], 0x22);
    EXPECT_EQ(channel.scratch[0], 0x33);
}

// Random sequences of frames that switch between one-pass frames (data covering the picture), short frames
// of the same and of other geometries, frames without rows, copied frames and pictures too large to publish;
// after every frame the whole frame block must equal the two-pass algorithm's, on every path and store kind.
TEST(FramePublisherCore, FrameBlockMatchesTheTwoPassAlgorithmOverMixedSequences)
{
    std::mt19937 random(20240611);
    const auto fill = [&](std::vector<unsigned char>& bytes) {
        for (auto& b : bytes)
            b = static_cast<unsigned char>(random());
    };
    const auto pick = [&](std::initializer_list<int32_t> values) {
        return *(values.begin() + random() % values.size());
    };
    std::vector<std::pair<YuvConversionPath, YuvStoreKind>> methods;
    for (YuvConversionPath path : kYuvConversionPaths)
        if (YuvConversionPathAvailable(path))
            for (YuvStoreKind stores : {YuvStoreKind::Normal, YuvStoreKind::Streaming})
                methods.emplace_back(path, stores);

    enum Kind { OnePass, ShortSameRows, ShortOtherRows, NoRows, Copied, TooLarge, kKinds };
    int seen[kKinds] = {};
    for (int sequence = 0; sequence < 400; ++sequence) {
        const auto method = methods[static_cast<size_t>(sequence) % methods.size()];
        const size_t capacity = static_cast<size_t>(pick({3 * 33 * 7, 3 * 17 * 7 + 5, 3 * 33 * 7 + 96}));
        TestChannel channel(capacity, capacity);
        fill(channel.frame);
        fill(channel.scratch);
        std::vector<unsigned char> expectedFrame = channel.frame, expectedScratch = channel.scratch;
        int32_t width = 0, height = 0;
        bool previousOnePass = false, shortSameRows = false;
        for (int frame = 0; frame < 16; ++frame) {
            if (!shortSameRows && (frame == 0 || random() % 3 == 0)) {
                width = pick({1, 2, 3, 5, 8, 15, 16, 17, 33, 0, -4});
                height = pick({1, 2, 3, 7, 0, -2, 40});
            }
            const uint16_t bitCount = !shortSameRows && random() % 6 == 0 ? 24 : 16;
            const int32_t full = std::abs(width) * std::abs(height) * 2;
            const size_t length = static_cast<size_t>(
                shortSameRows ? pick({0, 3, full / 2, full / 2 + 1, std::max(full - 4, 0)})
                              : pick({0, 3, full / 2, full / 2 + 1, full, full + 2, full + 64}));
            // Exactly `length` bytes, but never an empty vector: a null frame pointer publishes nothing.
            std::vector<unsigned char> data(std::max<size_t>(length, 1));
            fill(data);

            const size_t pictureBytes = static_cast<size_t>(full) / 2 * 3;
            const size_t groups = std::min(length / 4, capacity / 6);
            Kind kind;
            if (bitCount != 16) {
                kind = Copied;
                std::copy_n(data.begin(), std::min(length, capacity), expectedFrame.begin());
            } else if (pictureBytes > capacity) {
                kind = TooLarge;
            } else {
                kind = width <= 0 || height <= 0    ? NoRows
                       : 6 * groups >= pictureBytes ? OnePass
                       : shortSameRows              ? ShortSameRows
                                                    : ShortOtherRows;
                ReferencePublish(expectedScratch, expectedFrame, data, static_cast<uint32_t>(length), width, height);
            }
            ++seen[kind];
            PublishFrameToChannel(channel.Views(), data.data(), static_cast<uint32_t>(length),
                                  Picture(width, height, bitCount), method.first, method.second);
            ASSERT_EQ(channel.frame, expectedFrame)
                << "sequence " << sequence << " frame " << frame << ": " << width << "x" << height << " depth "
                << bitCount << " length " << length << " after a one-pass frame: " << previousOnePass;
            previousOnePass = kind == OnePass;
            shortSameRows = previousOnePass && random() % 2 == 0;
        }
    }
    for (int kind = 0; kind < kKinds; ++kind)
        EXPECT_GT(seen[kind], 0) << "kind " << kind << " never occurred";
}

TEST(FramePublisherCore, HeaderRewrittenByAnotherWriterNeverSteersTheRows)
{
    // Another process may write any width and height into the header block at any moment. A thread plays
    // that writer while frames are published into blocks sized exactly for them: if the rows were taken from
    // the header, the copies would run far past the blocks.
    TestChannel channel(24, 24);
    std::atomic<bool> stop{false};
    std::thread tamperer([&] {
        uint32_t n = 1;
        while (!stop.load(std::memory_order_relaxed)) {
            n = n * 1664525u + 1013904223u;
            volatile unsigned char* format = channel.Header()->format;
            for (size_t i = 0; i < 8; ++i)
                format[kPictureWidthOffset + i] = static_cast<unsigned char>(n >> (i * 3));
        }
    });
    std::vector<unsigned char> data(16);
    bool allRight = true;
    for (int frame = 0; frame < 3000 && allRight; ++frame) {
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<unsigned char>(frame + i * 17);
        channel.Publish(data, Picture(4, 2, 16));
        allRight = Slice(channel.frame, 0, 6) == PairOf(data[8], data[9], data[11]) &&
                   Slice(channel.frame, 12, 6) == PairOf(data[0], data[1], data[3]);
    }
    stop = true;
    tamperer.join();
    EXPECT_TRUE(allRight);
}
