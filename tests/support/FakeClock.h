// A reference clock whose time a test sets. Only GetTime is scripted; the advise methods fail the test if
// called. Lives on the test's stack, so it must outlive every filter that holds it; one thread.
//
//   FakeClock clock;
//   clock.now = 5000000;
//   filter->SetSyncSource(&clock);
#pragma once

#include <windows.h>
#include <strmif.h>

#include "CountingDouble.h"

class FakeClock : public CountingDouble<IReferenceClock> {
public:
    // Counts the releases that leave no reference held by others: a real clock would be destroyed there,
    // so a holder that releases before it re-references shows up in `lastReleases`.
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG count = CountingDouble<IReferenceClock>::Release();
        if (References() == 0)
            ++lastReleases;
        return count;
    }

    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override
    {
        return ScriptedAnswer(time, now, getTimeResult);
    }
    HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override
    {
        UNEXPECTED_CALL();
    }
    HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override
    {
        UNEXPECTED_CALL();
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR) override { UNEXPECTED_CALL(); }

    // Scripting: the time GetTime reports, or the failure it returns instead.
    REFERENCE_TIME now = 0;
    HRESULT getTimeResult = S_OK;

    int lastReleases = 0;
};
