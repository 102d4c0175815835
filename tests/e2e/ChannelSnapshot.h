// The camera channel as a second process saw it: runs e2e_channel_probe while the calling (publishing)
// process keeps the channel alive, and holds the header block and the start of the frame block it dumped.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CameraChannelReader.h"

struct ChannelSnapshot {
    // The probe's exit code: 0 read, 2 no header block, 3 no frame block; -1 the probe did not run.
    long probeResult = -1;
    CameraHeaderBlock header = {};
    std::vector<BYTE> frame;

    BITMAPINFOHEADER Format() const { return FormatIn(header); }
    std::wstring FrameBlockName() const { return FrameBlockNameIn(header); }
};

// Reads the header block and the first `frameBytes` bytes of the frame block from another process (the channel
// probe at `probeUnixPath`, of either bitness).
ChannelSnapshot ReadChannelFromOtherProcess(size_t frameBytes, const char* probeUnixPath = E2E_PROBE_EXE);
