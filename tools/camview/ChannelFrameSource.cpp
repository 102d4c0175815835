#include "ChannelFrameSource.h"

#include <cstring>
#include <utility>

bool ViewStatus::operator==(const ViewStatus& other) const
{
    return state == other.state && result == other.result && width == other.width && height == other.height &&
           frameBlockName == other.frameBlockName && synchronised == other.synchronised &&
           publisherEnded == other.publisherEnded;
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
    if (reader != nullptr && status.synchronised) {
        PollSynchronised(nowMs);
        return pictureChanged;
    }
    if (reader != nullptr)
        Read(nowMs);
    if (reader != nullptr && nowMs - lastChangeMs >= kIdleCheckMs && nowMs - lastOpenMs >= kIdleCheckMs) {
        Close();
        Open(nowMs);
    }
    return pictureChanged;
}

void ChannelFrameSource::PollSynchronised(unsigned long long nowMs)
{
    TarnCameraResult found = news != TARN_CAMERA_TIMEOUT ? news : tarn_camera_reader_wait(reader, 0);
    news = TARN_CAMERA_TIMEOUT;
    switch (found) {
    case TARN_CAMERA_OK:
        status.publisherEnded = false;
        Read(nowMs);
        break;
    case TARN_CAMERA_PUBLISHER_ENDED:
        status.publisherEnded = true;
        break;
    case TARN_CAMERA_TIMEOUT:
        break;
    default:  // gone, or a sync block that cannot be trusted: let the channel go and look for one anew
        Close();
        DropPicture(ViewState::Waiting, found, 0, 0);
        break;
    }
    if (HasPicture() && ticksPerSecond > 0) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        status.frameAgeMs = static_cast<double>(now.QuadPart - shownPublishTicks) * 1000.0 / ticksPerSecond;
    }
}

bool ChannelFrameSource::WaitForNews(unsigned long timeoutMs)
{
    if (reader == nullptr || !status.synchronised)
        return false;
    if (news == TARN_CAMERA_TIMEOUT)
        news = tarn_camera_reader_wait(reader, timeoutMs);
    return news != TARN_CAMERA_TIMEOUT;
}

unsigned long long ChannelFrameSource::TakeFramesPublished()
{
    const unsigned long long frames = framesPublished;
    framesPublished = 0;
    return frames;
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
    // The first look at the sync block is news for the next Poll (a publisher that has already ended, say).
    news = tarn_camera_reader_wait(reader, 0);
    status.synchronised = news != TARN_CAMERA_NO_SYNC_BLOCK;
    status.publisherEnded = false;
    if (!status.synchronised)
        news = TARN_CAMERA_TIMEOUT;
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
        if (frame.flags & TARN_CAMERA_INFO_WHOLE_FRAME) {
            if (lastFrameNumber != 0)
                status.framesSkipped += frame.framesSkipped;
            framesPublished += lastFrameNumber != 0 ? frame.frameNumber - lastFrameNumber : 1;
            lastFrameNumber = frame.frameNumber;
            shownPublishTicks = frame.publishTicks;
            ticksPerSecond = frame.ticksPerSecond;
        }
        Show(frame, nowMs);
        break;
    case TARN_CAMERA_CHANGING:
        // A publisher is rewriting the frame or the header: keep what is shown and read again at the next
        // poll (with a sync block, the wait reports the frame as new until it is read whole).
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
