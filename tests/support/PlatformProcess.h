// Running other programs of the Wine prefix from a test (a second process that reads the camera channel;
// regsvr32 and reg.exe through PlatformRegistration.h). Paths built on the host are given to Windows programs
// through Wine's Z: drive.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// "/a/b.dll" -> "Z:\a\b.dll".
std::wstring WindowsPath(const char* unixPath);

// The whole file at `unixPath` (read through the Z: drive); empty when it cannot be read.
std::vector<BYTE> ReadWholeFile(const char* unixPath);

// Runs `commandLine` to its end (at most `timeoutMs`) and gives its exit code; -1 when it could not be
// started or did not end in time (it is then terminated).
long RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 60000);
