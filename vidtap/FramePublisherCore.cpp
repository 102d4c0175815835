#include "FramePublisherCore.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kPackedYuvBitCount = 16;
constexpr size_t kBytesPerGroup = 4;
constexpr size_t kBytesPerConvertedGroup = 6;
constexpr size_t kBytesPerPixel = 3;

int32_t ReadInt32(const unsigned char* bytes)
{
    int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

bool FormatDiffersInSize(const CameraHeaderBlock* header, const PictureDescription& picture)
{
    return ReadInt32(header->format + kPictureWidthOffset) != picture.width ||
           ReadInt32(header->format + kPictureHeightOffset) != picture.height;
}

bool RowsExceed(const PictureDescription& picture, size_t capacity)
{
    return PublishedPictureBytes(picture.width, picture.height) > capacity;
}

void CopyUnchanged(const CameraChannelViews& channel, const unsigned char* data, uint32_t length)
{
    std::memcpy(channel.frameView, data, std::min<size_t>(length, channel.frameCapacity));
}

// A checked snapshot of the channel's deferred scratch rows; empty when there is no record or its fields do
// not describe whole rows within both capacities.
struct Deferral {
    size_t from = 0, to = 0, rowBytes = 0;
    bool Empty() const { return from >= to; }
};

Deferral ReadDeferral(const CameraChannelViews& channel)
{
    if (channel.deferredScratch == nullptr)
        return {};
    Deferral deferral;
    deferral.from = channel.deferredScratch->from;
    deferral.to = channel.deferredScratch->to;
    deferral.rowBytes = channel.deferredScratch->rowBytes;
    const bool wholeRows = deferral.rowBytes != 0 && deferral.to % deferral.rowBytes == 0;
    if (deferral.Empty() || !wholeRows || deferral.to > std::min(channel.frameCapacity, channel.scratchCapacity))
        return {};
    return deferral;
}

void WriteDeferral(const CameraChannelViews& channel, Deferral deferral)
{
    if (channel.deferredScratch == nullptr)
        return;
    if (deferral.Empty())
        deferral = {};
    channel.deferredScratch->from = deferral.from;
    channel.deferredScratch->to = deferral.to;
    channel.deferredScratch->rowBytes = deferral.rowBytes;
}

// Gives the scratch buffer back its deferred bytes from `begin` on, copied from the frame block's rows. Must
// run before anything rewrites those rows of the frame block or changes the row geometry.
void RestoreDeferred(const CameraChannelViews& channel, const Deferral& deferral, size_t begin)
{
    if (deferral.Empty())
        return;
    const size_t rows = deferral.to / deferral.rowBytes;
    for (size_t at = std::max(begin, deferral.from); at < deferral.to;) {
        const size_t row = at / deferral.rowBytes, column = at % deferral.rowBytes;
        const size_t bytes = deferral.rowBytes - column;
        std::memcpy(channel.scratchBuffer + at, channel.frameView + (rows - 1 - row) * deferral.rowBytes + column,
                    bytes);
        at += bytes;
    }
}

// Publishes a packed 4:2:2 frame with the bytes of the two-pass algorithm: convert whole groups into the
// scratch buffer, then copy the picture's rows into the frame block last row first. When the data covers the
// picture the rows are converted straight into their place in the frame block instead, and the scratch
// buffer's copy of them is recorded as deferred: the frame block holds it. A later frame that would read
// those scratch bytes finds them still in place in the frame block (same rows) or gets them restored first
// (other rows, or a frame that rewrites the frame block otherwise).
void PublishPackedFrame(const CameraChannelViews& channel, const unsigned char* data, uint32_t length,
                        const PictureDescription& picture, YuvConversionPath path, YuvStoreKind stores)
{
    const size_t groups = std::min(length / kBytesPerGroup, channel.scratchCapacity / kBytesPerConvertedGroup);
    const size_t converted = groups * kBytesPerConvertedGroup;  // the scratch bytes this frame writes
    Deferral deferral = ReadDeferral(channel);
    if (picture.width <= 0 || picture.height <= 0) {
        ConvertPackedYuvGroups(data, groups, channel.scratchBuffer, path);
        deferral.from = std::max(deferral.from, converted);
        WriteDeferral(channel, deferral);
        return;
    }
    // Both capacities hold width x height x 3 bytes (checked by the caller).
    const size_t width = static_cast<size_t>(picture.width), rows = static_cast<size_t>(picture.height);
    const size_t rowBytes = width * kBytesPerPixel, pictureBytes = rows * rowBytes;
    const bool sameRows = !deferral.Empty() && deferral.rowBytes == rowBytes && deferral.to == pictureBytes;
    if (!sameRows) {
        RestoreDeferred(channel, deferral, converted);
        deferral = {};
    }

    if (converted >= pictureBytes && channel.deferredScratch != nullptr) {
        for (size_t row = 0; row < rows; ++row)
            ConvertPackedYuvPixels(data, row * width, width, channel.frameView + (rows - 1 - row) * rowBytes, path,
                                   stores);
        // The scratch bytes past the picture, as the two-pass algorithm leaves them.
        ConvertPackedYuvPixels(data, rows * width, 2 * groups - rows * width, channel.scratchBuffer + pictureBytes,
                               path, YuvStoreKind::Normal);
        if (stores == YuvStoreKind::Streaming)
            FinishStreamingStores();
        WriteDeferral(channel, {0, pictureBytes, rowBytes});
        return;
    }

    // Two passes, interleaved so that each row is copied while it is still in the cache. Rows beyond the
    // converted data are copied as the scratch buffer holds them from earlier frames, except the deferred
    // bytes of the same rows: the frame block already holds exactly those.
    const size_t copied = sameRows ? std::min(pictureBytes, std::max(converted, deferral.from)) : pictureBytes;
    size_t convertedGroups = 0;
    const auto convertThrough = [&](size_t groupEnd) {
        if (groupEnd <= convertedGroups)
            return;
        ConvertPackedYuvGroups(data + kBytesPerGroup * convertedGroups, groupEnd - convertedGroups,
                               channel.scratchBuffer + kBytesPerConvertedGroup * convertedGroups, path);
        convertedGroups = groupEnd;
    };
    for (size_t row = 0; row * rowBytes < copied; ++row) {
        const size_t rowStart = row * rowBytes, rowEnd = std::min(rowStart + rowBytes, copied);
        convertThrough(std::min(groups, (rowEnd + kBytesPerConvertedGroup - 1) / kBytesPerConvertedGroup));
        std::memcpy(channel.frameView + (rows - 1 - row) * rowBytes, channel.scratchBuffer + rowStart,
                    rowEnd - rowStart);
    }
    convertThrough(groups);
    deferral.from = copied;
    WriteDeferral(channel, deferral);
}

// Before the frame block is overwritten with unconverted bytes, the scratch buffer takes back what it is owed.
void CopyUnchangedKeepingScratch(const CameraChannelViews& channel, const unsigned char* data, uint32_t length)
{
    RestoreDeferred(channel, ReadDeferral(channel), 0);
    WriteDeferral(channel, {});
    CopyUnchanged(channel, data, length);
}

}  // namespace

void WritePublishedFormat(CameraHeaderBlock* header, const PictureDescription& picture)
{
    std::memcpy(header->format, picture.header, kPictureHeaderSize);
    std::memcpy(header->format + kPictureCompressionOffset, &kPublishedCompression, sizeof kPublishedCompression);
    std::memcpy(header->format + kPictureBitCountOffset, &kPublishedBitCount, sizeof kPublishedBitCount);
}

void PublishFrameToChannel(const CameraChannelViews& channel, const unsigned char* data, uint32_t length,
                           const PictureDescription& picture, const SampleTimes& times)
{
    PublishFrameToChannel(channel, data, length, picture, PreferredYuvConversionPath(), kFrameBlockStores, times);
}

void PublishFrameToChannel(const CameraChannelViews& channel, const unsigned char* data, uint32_t length,
                           const PictureDescription& picture, YuvConversionPath path, YuvStoreKind stores,
                           const SampleTimes& times)
{
    if (!channel.IsUsable() || data == nullptr)
        return;
    const bool packedYuv = picture.present && picture.bitCount == kPackedYuvBitCount;
    if (packedYuv && RowsExceed(picture, std::min(channel.frameCapacity, channel.scratchCapacity)))
        return;

    SyncFrameRecord record;
    record.sourceBitCount = picture.bitCount;
    std::memcpy(record.sourceSubtype, picture.subtype, sizeof record.sourceSubtype);
    record.times = times;
    if (channel.sync != nullptr && !channel.sync->BeginFrame())
        return;
    if (picture.present && FormatDiffersInSize(channel.headerView, picture))
        WritePublishedFormat(channel.headerView, picture);
    if (packedYuv) {
        PublishPackedFrame(channel, data, length, picture, path, stores);
        record.width = picture.width;
        record.height = picture.height;
        record.rowOrder = TARN_CAMERA_ROWS_BOTTOM_UP;
        record.frameKind = TARN_CAMERA_FRAME_CONVERTED;
        record.frameBytes = picture.width > 0 && picture.height > 0
                                ? static_cast<uint32_t>(PublishedPictureBytes(picture.width, picture.height))
                                : 0;
    } else {
        CopyUnchangedKeepingScratch(channel, data, length);
        record.width = picture.width;
        record.height = picture.height;
        record.frameBytes = static_cast<uint32_t>(std::min<size_t>(length, channel.frameCapacity));
    }
    if (channel.sync != nullptr)
        channel.sync->EndFrame(record);
}
