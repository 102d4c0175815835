// The newest frame of the camera channel as the viewer shows it. Owns the reader (tarn_camera_reader) and the
// picture shown, and is used on the viewer's thread only. Without a channel it tries to open one every
// kRetryMs. With a publisher that keeps a sync block it copies a frame only when the sync block says a newer
// one is whole (WaitForNews blocks until then), and lets the channel go when the publisher's process has gone.
// Against a publisher without one it reads a frame at every poll, and while the content stays unchanged for
// kIdleCheckMs it closes the channel and opens it again: the blocks it maps would otherwise keep the channel of
// a publisher that has ended alive, and the viewer would show that publisher's last frame for ever.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tarn_camera_channel.h"

enum class ViewState {
    Waiting,  // no channel (yet): `result` says why
    Showing,  // a picture is shown
    Refused,  // the channel announces a picture the reader refuses: `result` says why
};

// What the viewer shows, for its title.
struct ViewStatus {
    ViewState state = ViewState::Waiting;
    TarnCameraResult result = TARN_CAMERA_NO_CHANNEL;
    int width = 0;  // the picture's geometry, shown or refused
    int height = 0;
    std::wstring frameBlockName;  // empty while waiting
    // With a sync block: the frames the viewer did not show, how old the shown frame is, whether the
    // publisher has stopped or ended its stream.
    bool synchronised = false;
    unsigned long long framesSkipped = 0;
    double frameAgeMs = 0;
    bool publisherEnded = false;

    bool operator==(const ViewStatus& other) const;
    bool operator!=(const ViewStatus& other) const { return !(*this == other); }
};

class ChannelFrameSource {
public:
    static constexpr unsigned long long kRetryMs = 250;
    static constexpr unsigned long long kIdleCheckMs = 1000;

    // The channel whose header block has that name; empty: TARN_CAMERA_HEADER_BLOCK_NAME.
    explicit ChannelFrameSource(std::wstring headerBlockName = std::wstring());
    // The channel's name as given (empty: the default channel).
    const std::wstring& ChannelName() const { return headerBlockName; }
    ChannelFrameSource(const ChannelFrameSource&) = delete;
    ChannelFrameSource& operator=(const ChannelFrameSource&) = delete;
    ~ChannelFrameSource();

    // Reads the channel as it stands at `nowMs` (a monotonic millisecond clock). True when the picture shown
    // changed (new content, new geometry, or no picture any more) and must be drawn again.
    bool Poll(unsigned long long nowMs);
    // Blocks until the sync block has news (a newer whole frame, the publisher's end or departure) or
    // `timeoutMs` pass; false at once when there is nothing to wait on (no channel, no sync block), where the
    // caller paces its polls itself. The news is taken up by the next Poll.
    bool WaitForNews(unsigned long timeoutMs);
    // Frames published on the channel since the last call (from the sequence; 0 without a sync block).
    unsigned long long TakeFramesPublished();

    const ViewStatus& Status() const { return status; }

    // Whether a picture is shown; if so, PictureInfo and PictureRows describe it as a bottom-up 24-bit DIB
    // (rows padded to 4 bytes, as GDI wants them), valid until the next Poll.
    bool HasPicture() const { return status.state == ViewState::Showing; }
    const BITMAPINFO& PictureInfo() const { return pictureInfo; }
    const void* PictureRows() const;

private:
    void Open(unsigned long long nowMs);
    void Close();
    void Read(unsigned long long nowMs, bool reopened = false);
    void Show(const TarnCameraFrameInfo& frame, unsigned long long nowMs);
    void DropPicture(ViewState state, TarnCameraResult why, int width, int height);
    void PollSynchronised(unsigned long long nowMs);

    const std::wstring headerBlockName;
    TarnCameraReader* reader = nullptr;  // owned: closed by Close
    bool openTried = false;
    unsigned long long lastOpenAttemptMs = 0;
    unsigned long long lastOpenMs = 0;
    unsigned long long lastChangeMs = 0;
    bool pictureChanged = false;
    ViewStatus status;
    TarnCameraResult news = TARN_CAMERA_TIMEOUT;  // what WaitForNews found, for the next Poll
    unsigned long long lastFrameNumber = 0;
    unsigned long long framesPublished = 0;
    long long shownPublishTicks = 0, ticksPerSecond = 0;

    // The picture shown and the frame being read, each the frame block's mapped size, swapped when the
    // content changes; paddedRows holds the shown picture again when its rows need padding for GDI.
    std::vector<unsigned char> shown;
    std::vector<unsigned char> incoming;
    std::vector<unsigned char> paddedRows;
    BITMAPINFO pictureInfo = {};
};
