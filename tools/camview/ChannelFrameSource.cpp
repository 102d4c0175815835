#include "ChannelFrameSource.h"

#include <cstring>
#include <utility>

bool ViewStatus::operator==(const ViewStatus& other) const
{
    return state == other.state && result == other.result && width == other.width && height == other.height &&
           frameBlockName == other.frameBlockName;
}

ChannelFrameSource::ChannelFrameSource(std::wstring headerBlockName) : headerBlockName(std::move(headerBlockName))
{
    pictureInfo.bmiHeader.biSize = sizeof pictureInfo.bmiHeader;
    pictureInfo.bmiHeader.biPlanes = 1;
    pictureInfo.bmiHeader.biBitCount = 24;
    pictureInfo.bmiHeader.biCompression = BI_RGB;
}

ChannelFrameSource::~ChannelFrameSource()
{
    Close();
}

bool ChannelFrameSource::Poll(unsigned long long nowMs)
{
    pictureChanged = false;
    if (reader == nullptr && (!openTried || nowMs - lastOpenAttemptMs >= kRetryMs))
        Open(nowMs);
    if (reader != nullptr)
        Read(nowMs);
    if (reader != nullptr && nowMs - lastChangeMs >= kIdleCheckMs && nowMs - lastOpenMs >= kIdleCheckMs) {
        Close();
        Open(nowMs);
    }
    return pictureChanged;
}

const void* ChannelFrameSource::PictureRows() const
{
    if (!HasPicture())
        return nullptr;
    return paddedRows.empty() ? shown.data() : paddedRows.data();
}

void ChannelFrameSource::Open(unsigned long long nowMs)
{
    openTried = true;
    lastOpenAttemptMs = nowMs;
    const TarnCameraResult opened =
        tarn_camera_reader_open(headerBlockName.empty() ? nullptr : headerBlockName.c_str(), &reader);
    if (opened != TARN_CAMERA_OK) {
        DropPicture(ViewState::Waiting, opened, 0, 0);
        return;
    }
    lastOpenMs = nowMs;
    const size_t frameBlockBytes = tarn_camera_reader_frame_block_size(reader);
    shown.resize(frameBlockBytes);
    incoming.resize(frameBlockBytes);
    status.frameBlockName = tarn_camera_reader_frame_block_name(reader);
}

void ChannelFrameSource::Close()
{
    tarn_camera_reader_close(reader);
    reader = nullptr;
}

void ChannelFrameSource::Read(unsigned long long nowMs, bool reopened)
{
    TarnCameraFrameInfo frame = {};
    const TarnCameraResult read =
        tarn_camera_reader_read(reader, incoming.data(), static_cast<unsigned long>(incoming.size()), &frame);
    switch (read) {
    case TARN_CAMERA_OK:
        Show(frame, nowMs);
        break;
    case TARN_CAMERA_CHANGING:
        // A publisher is rewriting the header: keep what is shown and read again at the next poll.
        break;
    case TARN_CAMERA_FRAME_BLOCK_RENAMED:
        // The publisher moved to another block: show that one now (once; a header renamed again in between
        // is followed at the next poll).
        Close();
        Open(nowMs);
        if (reader != nullptr && !reopened)
            Read(nowMs, true);
        break;
    default:
        DropPicture(ViewState::Refused, read, frame.width, frame.height);
        break;
    }
}

void ChannelFrameSource::Show(const TarnCameraFrameInfo& frame, unsigned long long nowMs)
{
    const bool sameContent = HasPicture() && frame.width == status.width && frame.height == status.height &&
                             std::memcmp(incoming.data(), shown.data(), frame.frameBytes) == 0;
    status.state = ViewState::Showing;
    status.result = TARN_CAMERA_OK;
    if (sameContent)
        return;
    shown.swap(incoming);
    status.width = frame.width;
    status.height = frame.height;
    pictureInfo.bmiHeader.biWidth = frame.width;
    pictureInfo.bmiHeader.biHeight = frame.height;  // positive: bottom row first, as the channel stores it
    const size_t rowBytes = static_cast<size_t>(frame.width) * 3;
    const size_t paddedRowBytes = (rowBytes + 3) & ~static_cast<size_t>(3);
    if (paddedRowBytes == rowBytes) {
        paddedRows.clear();
    } else {
        const size_t rows = static_cast<size_t>(frame.height);
        paddedRows.assign(paddedRowBytes * rows, 0);
        for (size_t row = 0; row < rows; ++row)
            std::memcpy(&paddedRows[row * paddedRowBytes], &shown[row * rowBytes], rowBytes);
    }
    lastChangeMs = nowMs;
    pictureChanged = true;
}

void ChannelFrameSource::DropPicture(ViewState state, TarnCameraResult why, int width, int height)
{
    if (HasPicture())
        pictureChanged = true;
    status.state = state;
    status.result = why;
    status.width = width;
    status.height = height;
    if (state == ViewState::Waiting)
        status.frameBlockName.clear();
    paddedRows.clear();
}
