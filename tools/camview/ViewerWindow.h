// camview's top-level window: the source's picture scaled into the client area (in its proportions, the rest
// dark) and the source's status in the title, refreshed at the display's rate, at most 60 times a second, by
// the paced message loop of Run, which between refreshes waits for the next frame rather than polling for it. Everything runs on the thread that created the window. The source is not
// owned: the caller keeps it alive until Run returns.
#pragma once

#include <windows.h>

#include <string>

#include "CamviewOptions.h"
#include "ChangeRateMeter.h"
#include "ChannelFrameSource.h"

class ViewerWindow {
public:
    explicit ViewerWindow(ChannelFrameSource& source) : source(source) {}
    ViewerWindow(const ViewerWindow&) = delete;
    ViewerWindow& operator=(const ViewerWindow&) = delete;

    // Creates and shows the window where the options place it; false when it cannot be created.
    bool Create(HINSTANCE instance, const CamviewOptions& options, int showCommand);

    // Refreshes and dispatches messages until the window is closed; gives the exit code.
    int Run();

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Refresh(unsigned long long nowMs);
    void Paint();
    void MeasureRefreshPeriod();

    ChannelFrameSource& source;  // not owned
    ChangeRateMeter changeRate;
    HWND window = nullptr;
    double refreshPeriodMs = 1000.0 / 60;
    std::wstring title;
    ViewStatus shownStatus;  // the status the title was last made from
    unsigned long long lastTitleMs = 0;
};
