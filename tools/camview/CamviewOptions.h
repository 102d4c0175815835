// camview's command line: where its window goes, how large its client area is, and which channel it shows.
#pragma once

#include <string>

struct CamviewOptions {
    bool placed = false;  // --position X Y: the client area's top-left corner on the screen
    int x = 0;
    int y = 0;
    int width = 960;  // --size W H: the client area's size
    int height = 540;
    std::wstring headerBlockName;  // --channel NAME; empty: the camera channel's own name
};

// Parses the arguments after the program's name; false (with *error set) on anything it does not know.
bool ParseCamviewOptions(int count, const wchar_t* const* arguments, CamviewOptions* options, std::wstring* error);

extern const wchar_t kCamviewUsage[];
