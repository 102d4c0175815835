// An upstream OUTPUT pin that serves its data only when asked (IAsyncReader), as a file reader's pin does:
// it tells its direction and answers QueryInterface for IAsyncReader; every other call, and every read,
// fails the test. Lives on the test's stack; one thread.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "PinDouble.h"

class PullOnlyPin : public PinDouble<IAsyncReader> {
public:
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* dir) override
    {
        if (dir == nullptr)
            return E_POINTER;
        *dir = PINDIR_OUTPUT;
        return S_OK;
    }

    // IAsyncReader: a sink must never read from it.
    HRESULT STDMETHODCALLTYPE RequestAllocator(IMemAllocator*, ALLOCATOR_PROPERTIES*, IMemAllocator**) override
    {
        UNEXPECTED_CALL();
    }
    HRESULT STDMETHODCALLTYPE Request(IMediaSample*, DWORD_PTR) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE WaitForNext(DWORD, IMediaSample**, DWORD_PTR*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE SyncReadAligned(IMediaSample*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE SyncRead(LONGLONG, LONG, BYTE*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Length(LONGLONG*, LONGLONG*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE EndFlush() override { UNEXPECTED_CALL(); }
};
