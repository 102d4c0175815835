// Small helpers that keep the success path readable: failures are HRESULTs, returned early.
#pragma once

#include <windows.h>

#define RETURN_IF_FAILED(expr)                \
    do {                                      \
        HRESULT hr_returnIfFailed = (expr);   \
        if (FAILED(hr_returnIfFailed))        \
            return hr_returnIfFailed;         \
    } while (0)

// A Win32 error code as a failure HRESULT, the way registration and the type-library loader report them.
inline HRESULT HResultFromWin32Error(DWORD error)
{
    return static_cast<HRESULT>(0x80070000u | error);
}
