#include "FramePublisherCore.h"

#include <algorithm>
#include <cstring>

#include "PackedYuvConversion.h"

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

// Converts the frame into the scratch buffer and copies the picture's rows into the frame block, last row
// first. The result equals converting every group first and reversing the rows afterwards; the two are
// interleaved so that each row is copied while it is still in the cache. Rows beyond the converted data
// are copied as the scratch buffer holds them from earlier frames.
void ConvertAndReverseRows(const CameraChannelViews& channel, const unsigned char* data, uint32_t length,
                           const PictureDescription& picture)
{
    const YuvConversionPath path = PreferredYuvConversionPath();
    const size_t groups = std::min(length / kBytesPerGroup, channel.scratchCapacity / kBytesPerConvertedGroup);
    size_t converted = 0;
    const auto convertThrough = [&](size_t groupEnd) {
        if (groupEnd <= converted)
            return;
        ConvertPackedYuvGroups(data + kBytesPerGroup * converted, groupEnd - converted,
                               channel.scratchBuffer + kBytesPerConvertedGroup * converted, path);
        converted = groupEnd;
    };

    if (picture.width > 0 && picture.height > 0) {
        // Both capacities hold width x height x 3 bytes (checked by the caller).
        const size_t rowBytes = static_cast<size_t>(picture.width) * kBytesPerPixel;
        const size_t rows = static_cast<size_t>(picture.height);
        for (size_t row = 0; row < rows; ++row) {
            const size_t rowEnd = (row + 1) * rowBytes;
            convertThrough(std::min(groups, (rowEnd + kBytesPerConvertedGroup - 1) / kBytesPerConvertedGroup));
            std::memcpy(channel.frameView + (rows - 1 - row) * rowBytes, channel.scratchBuffer + row * rowBytes,
                        rowBytes);
        }
    }
    convertThrough(groups);
}

}  // namespace

void WritePublishedFormat(CameraHeaderBlock* header, const PictureDescription& picture)
{
    std::memcpy(header->format, picture.header, kPictureHeaderSize);
    std::memcpy(header->format + kPictureCompressionOffset, &kPublishedCompression, sizeof kPublishedCompression);
    std::memcpy(header->format + kPictureBitCountOffset, &kPublishedBitCount, sizeof kPublishedBitCount);
}

void PublishFrameToChannel(const CameraChannelViews& channel, const unsigned char* data, uint32_t length,
                           const PictureDescription& picture)
{
    if (!channel.IsUsable() || data == nullptr)
        return;
    if (!picture.present) {
        CopyUnchanged(channel, data, length);
        return;
    }
    const bool packedYuv = picture.bitCount == kPackedYuvBitCount;
    if (packedYuv && RowsExceed(picture, std::min(channel.frameCapacity, channel.scratchCapacity)))
        return;
    if (FormatDiffersInSize(channel.headerView, picture))
        WritePublishedFormat(channel.headerView, picture);
    if (packedYuv)
        ConvertAndReverseRows(channel, data, length, picture);
    else
        CopyUnchanged(channel, data, length);
}
