// Answers through an out-parameter as the platform's interfaces give them, shared by the doubles and by the
// test source (which is also built into programs without the test framework, so nothing here reports).
#pragma once

#include <windows.h>
#include <strmif.h>
#include <vfwmsgs.h>

// E_POINTER for a null `out`; otherwise `result`, with `value` written through `out` when `result` is a
// success.
template <class T>
HRESULT ScriptedAnswer(T* out, const T& value, HRESULT result = S_OK)
{
    if (out == nullptr)
        return E_POINTER;
    if (SUCCEEDED(result))
        *out = value;
    return result;
}

// ConnectedTo as a pin answers it: `peer` with a reference for the caller, or VFW_E_NOT_CONNECTED (and null)
// while there is none.
inline HRESULT AnswerConnectedTo(IPin* peer, IPin** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = peer;
    if (peer == nullptr)
        return VFW_E_NOT_CONNECTED;
    peer->AddRef();
    return S_OK;
}
