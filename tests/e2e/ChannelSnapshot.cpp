#include "ChannelSnapshot.h"

#include <cstdio>

#include "PlatformProcess.h"

ChannelSnapshot ReadChannelFromOtherProcess(size_t frameBytes, const char* probeUnixPath)
{
    ChannelSnapshot snapshot;
    wchar_t directory[MAX_PATH];
    wchar_t dumpPath[MAX_PATH];
    if (GetTempPathW(MAX_PATH, directory) == 0 || GetTempFileNameW(directory, L"chn", 0, dumpPath) == 0)
        return snapshot;
    std::wstring line = L"\"" + WindowsPath(probeUnixPath) + L"\" \"" + dumpPath + L"\" " +
                        std::to_wstring(frameBytes);
    snapshot.probeResult = RunProcess(line);
    if (snapshot.probeResult == 0) {
        FILE* in = _wfopen(dumpPath, L"rb");
        snapshot.frame.resize(frameBytes);
        bool complete = in != nullptr && std::fread(&snapshot.header, sizeof snapshot.header, 1, in) == 1 &&
                        (frameBytes == 0 || std::fread(snapshot.frame.data(), frameBytes, 1, in) == 1);
        if (in != nullptr)
            std::fclose(in);
        if (!complete)
            snapshot.probeResult = -1;
    }
    DeleteFileW(dumpPath);
    return snapshot;
}
