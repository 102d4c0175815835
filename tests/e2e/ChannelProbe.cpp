// e2e_channel_probe: a second process that reads the camera channel by name (CameraChannelReader) and dumps
// what it sees for the test that started it: the 580 header bytes, then the first <frame bytes> bytes of the
// frame block the header names.
// Usage: e2e_channel_probe <output file> <frame bytes>
// Exit codes: 0 dumped; 1 usage or file error; 2 no header block; 3 the named frame block cannot be opened
// or is smaller than asked.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "CameraChannelReader.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 1;
    const unsigned long frameBytes = std::wcstoul(argv[2], nullptr, 10);
    CameraChannelReader channel;
    if (!channel.Open())
        return channel.header == nullptr ? 2 : 3;
    if (channel.FrameBytesMapped() < frameBytes)
        return 3;
    FILE* out = _wfopen(argv[1], L"wb");
    if (out == nullptr)
        return 1;
    bool written = std::fwrite(channel.header, sizeof *channel.header, 1, out) == 1 &&
                   (frameBytes == 0 || std::fwrite(channel.frame, frameBytes, 1, out) == 1);
    return std::fclose(out) == 0 && written ? 0 : 1;
}
