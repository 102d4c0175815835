// camview: a live view of the camera channel. Shows the newest frame, read through the reader library, scaled
// to the window at the display's refresh rate (at most 60 Hz), with its geometry, the frames per second of
// changing content and the frame block's name in the title; waits, responsive, while there is no channel,
// and follows the publisher's geometry. Plain Win32 and GDI.
// Usage: camview [--position X Y] [--size WIDTH HEIGHT] [--channel HEADER_BLOCK_NAME]
//        (--position and --size place the client area, by default 960 x 540)
// Exit codes: 0 the window was closed; 1 usage; 2 the window could not be created.
#include <windows.h>

#include <cstdio>
#include <string>

#include "CamviewOptions.h"
#include "ChannelFrameSource.h"
#include "ViewerWindow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    CamviewOptions options;
    std::wstring error;
    if (!ParseCamviewOptions(__argc - 1, __wargv + 1, &options, &error)) {
        // Said on stderr when the caller gave one (a shell, a script), in a message box otherwise.
        const std::wstring text = error + L"\n" + kCamviewUsage;
        const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
        if (errors != nullptr && errors != INVALID_HANDLE_VALUE)
            std::fwprintf(stderr, L"camview: %ls\n", text.c_str());
        else
            MessageBoxW(nullptr, text.c_str(), L"camview", MB_OK | MB_ICONERROR);
        return 1;
    }
    ChannelFrameSource source(options.headerBlockName);
    ViewerWindow viewer(source);
    if (!viewer.Create(instance, options, showCommand))
        return 2;
    return viewer.Run();
}
