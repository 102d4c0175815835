// An allocator as an input pin sees it: the pin only holds it and decommits it (on stop and when the
// connection goes). Decommit's answer is scripted and its calls are counted; the buffer operations are not
// expected. Lives on the test's stack (never deletes itself); one thread.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CountingDouble.h"

class FakeAllocator : public CountingDouble<IMemAllocator> {
public:
    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES*, ALLOCATOR_PROPERTIES*) override
    {
        UNEXPECTED_CALL();
    }
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Commit() override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE Decommit() override
    {
        ++decommitCalls;
        return decommitResult;
    }
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override
    {
        UNEXPECTED_CALL();
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample*) override { UNEXPECTED_CALL(); }

    HRESULT decommitResult = S_OK;
    int decommitCalls = 0;
};
