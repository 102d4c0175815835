// Fuzz target: the publishing core driven by arbitrary picture headers (taken out of arbitrary format blocks
// at arbitrary offsets), sample lengths and contents, conversion paths and store kinds, with arbitrary bytes
// written into the header block between frames as another process could. Header block, frame block, scratch
// buffer and sample each end right before an inaccessible page.
//
// Besides staying in bounds, every sequence is published twice: once into a channel with a deferral record
// (frames covering the picture take the one-pass route) and once into a channel without one (always two
// passes), each with its own independently chosen path and store kind. After a closing unconverted frame has
// given the scratch buffer back what it was owed, both channels must hold the same bytes. Inputs that write
// arbitrary values into the deferral record (a torn record another publisher could leave) are checked for
// bounds only: such a record may cost pixels, never an access outside the buffers.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "FramePublisherCore.h"
#include "GuardedBuffer.h"

namespace {

struct GuardedChannel {
    GuardedBuffer header{kHeaderBlockSize};
    GuardedBuffer frame{kFrameBlockSize};
    GuardedBuffer scratch{kFrameBlockSize};
    DeferredScratchRows deferral;

    CameraChannelViews Views(bool withDeferral)
    {
        CameraChannelViews views;
        views.headerView = reinterpret_cast<CameraHeaderBlock*>(header.Data());
        views.frameView = frame.Data();
        views.frameCapacity = frame.Size();
        views.scratchBuffer = scratch.Data();
        views.scratchCapacity = scratch.Size();
        views.deferredScratch = withDeferral ? &deferral : nullptr;
        return views;
    }

    // Back to the state of a fresh channel; only the first `extent` bytes of the blocks were touched.
    void Reset(size_t extent)
    {
        std::memset(header.Data(), 0, header.Size());
        std::memset(frame.Data(), 0, extent);
        std::memset(scratch.Data(), 0, extent);
        deferral.from = deferral.to = deferral.rowBytes = 0;
    }
};

// Width and height values around the edges the core decides on: the frame block's 1920 x 1080, sign and
// 32-bit wrap.
constexpr int32_t interestingSizes[] = {0, 1, 2, 3, -1, -2, 640, -480, 1920, 1080, -1080, 1921, 1081,
                                        INT32_MAX, INT32_MIN, 0x10000, 0x55556};

YuvConversionPath ChosenPath(FuzzedDataProvider& in)
{
    const YuvConversionPath path =
        kYuvConversionPaths[in.ConsumeIntegralInRange<size_t>(0, std::size(kYuvConversionPaths) - 1)];
    return YuvConversionPathAvailable(path) ? path : YuvConversionPath::Scalar;
}

// A picture header as a peer's media type would carry it: present or not, from a format block of any size.
PictureDescription ChosenPicture(FuzzedDataProvider& in)
{
    std::vector<unsigned char> block = in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<size_t>(0, 120));
    size_t offset = in.PickValueInArray({size_t{0}, size_t{48}, size_t{72}});
    if (in.ConsumeBool())
        offset = in.ConsumeIntegral<size_t>();
    if (in.ConsumeBool() && offset <= 120 - kPictureHeaderSize) {
        // A block that holds a picture header of chosen geometry, so that real frame sizes are reached often.
        block.resize(std::max(block.size(), offset + kPictureHeaderSize));
        // Mostly small pictures (fast to run); one dimension in eight from the edges the core decides on.
        const auto dimension = [&in] {
            return in.ConsumeIntegralInRange(0, 7) == 0 ? in.PickValueInArray(interestingSizes)
                                                        : in.ConsumeIntegralInRange<int32_t>(-64, 64);
        };
        const int32_t width = dimension();
        const int32_t height = dimension();
        const uint16_t bitCount = in.ConsumeBool() ? 16 : in.ConsumeIntegral<uint16_t>();
        std::memcpy(&block[offset + kPictureWidthOffset], &width, sizeof width);
        std::memcpy(&block[offset + kPictureHeightOffset], &height, sizeof height);
        std::memcpy(&block[offset + kPictureBitCountOffset], &bitCount, sizeof bitCount);
    }
    return DescribePicture(block.empty() ? nullptr : block.data(), static_cast<uint32_t>(block.size()), offset);
}

// Fills the sample's last `length` bytes with the given contents repeated (zeros without contents).
const unsigned char* FillSample(GuardedBuffer& sample, uint32_t length, const std::vector<unsigned char>& contents)
{
    unsigned char* data = sample.Tail(length);
    if (contents.empty()) {
        std::memset(data, 0, length);
        return data;
    }
    size_t filled = std::min<size_t>(contents.size(), length);
    std::memcpy(data, contents.data(), filled);
    for (; filled < length; filled *= 2)
        std::memcpy(data + filled, data, std::min(filled, length - filled));
    return data;
}

bool SameBytes(const unsigned char* a, const unsigned char* b, size_t bytes, const char* what)
{
    if (std::memcmp(a, b, bytes) == 0)
        return true;
    std::fprintf(stderr, "one-pass and two-pass publishing left different %s\n", what);
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static GuardedChannel onePass, twoPass;
    static GuardedBuffer sample(2 * kFrameBlockSize);
    FuzzedDataProvider in(bytes, size);

    const bool tornDeferral = in.ConsumeBool();
    const int frames = in.ConsumeIntegralInRange(1, 4);
    size_t extent = 0;
    for (int frame = 0; frame < frames; ++frame) {
        // Another process rewrites part of the header block between frames.
        for (int writes = in.ConsumeIntegralInRange(0, 2); writes > 0; --writes) {
            const size_t offset = in.ConsumeIntegralInRange<size_t>(0, kHeaderBlockSize - 1);
            const std::vector<unsigned char> text = in.ConsumeBytes<unsigned char>(std::min<size_t>(kHeaderBlockSize - offset, 16));
            std::copy(text.begin(), text.end(), onePass.header.Data() + offset);
            std::copy(text.begin(), text.end(), twoPass.header.Data() + offset);
        }
        if (tornDeferral) {
            onePass.deferral.from = in.ConsumeIntegral<size_t>() % (kFrameBlockSize + 8);
            onePass.deferral.to = in.ConsumeIntegral<size_t>() % (kFrameBlockSize + 8);
            onePass.deferral.rowBytes = in.ConsumeIntegral<size_t>() % 8192;
            extent = std::max<size_t>(extent, std::min<size_t>(size_t{onePass.deferral.to}, kFrameBlockSize));
        }
        const PictureDescription picture = ChosenPicture(in);
        // Mostly short samples (fast to run); every eighth up to twice the frame block.
        const uint32_t length = in.ConsumeIntegralInRange(0, 7) == 0
                                    ? in.ConsumeIntegralInRange<uint32_t>(0, static_cast<uint32_t>(sample.Size()))
                                    : in.ConsumeIntegralInRange<uint32_t>(0, 4096);
        const YuvConversionPath onePassPath = ChosenPath(in), twoPassPath = ChosenPath(in);
        const YuvStoreKind onePassStores = in.ConsumeBool() ? YuvStoreKind::Streaming : YuvStoreKind::Normal;
        const YuvStoreKind twoPassStores = in.ConsumeBool() ? YuvStoreKind::Streaming : YuvStoreKind::Normal;
        const unsigned char* data =
            FillSample(sample, length, in.ConsumeBytes<unsigned char>(in.ConsumeIntegralInRange<size_t>(0, 64)));

        PublishFrameToChannel(onePass.Views(true), data, length, picture, onePassPath, onePassStores);
        PublishFrameToChannel(twoPass.Views(false), data, length, picture, twoPassPath, twoPassStores);
        const uint64_t pictureBytes = picture.present ? PublishedPictureBytes(picture.width, picture.height) : 0;
        extent = std::max<uint64_t>(extent, std::min<uint64_t>(kFrameBlockSize, std::max<uint64_t>(pictureBytes, length + length / 2 + 6)));
    }

    bool same = true;
    if (!tornDeferral) {
        const unsigned char none = 0;
        PublishFrameToChannel(onePass.Views(true), &none, 0, PictureDescription(), YuvConversionPath::Scalar, YuvStoreKind::Normal);
        PublishFrameToChannel(twoPass.Views(false), &none, 0, PictureDescription(), YuvConversionPath::Scalar, YuvStoreKind::Normal);
        same = SameBytes(onePass.header.Data(), twoPass.header.Data(), kHeaderBlockSize, "header blocks") &&
               SameBytes(onePass.frame.Data(), twoPass.frame.Data(), extent, "frame blocks") &&
               SameBytes(onePass.scratch.Data(), twoPass.scratch.Data(), extent, "scratch buffers");
    }
    onePass.Reset(extent);
    twoPass.Reset(extent);
    if (!same)
        std::abort();
    return 0;
}
