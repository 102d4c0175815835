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

// The calling thread's last error as a failure HRESULT, right after a Win32 call that failed; E_FAIL when
// the call left no error code, so a failure is never reported as success.
inline HRESULT HResultOfLastError()
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HResultFromWin32Error(error) : E_FAIL;
}

// The result of a Win32 step that reports an error code (the registry functions): S_OK for ERROR_SUCCESS,
// otherwise the error as a failure HRESULT.
inline HRESULT HResultOfWin32Step(LONG error)
{
    return error == ERROR_SUCCESS ? S_OK : HResultFromWin32Error(static_cast<DWORD>(error));
}

// As HResultOfWin32Step, but only the error's low 16 bits go into the failure code (the form
// HRESULT_FROM_WIN32 gives), which the last step of writing a class's server keys reports.
inline HRESULT HResultOfWin32StepLowWord(LONG error)
{
    return HResultOfWin32Step(static_cast<LONG>(static_cast<DWORD>(error) & 0xFFFFu));
}

// Returns the failure of a Win32 step (see HResultOfWin32Step) from the calling function.
#define RETURN_IF_WIN32_ERROR(expr) RETURN_IF_FAILED(HResultOfWin32Step(expr))
