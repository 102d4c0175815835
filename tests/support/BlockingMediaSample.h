// A media sample that holds up the pin receiving it: once armed, the next call of the chosen method
// (GetPointer, or GetSize, which a publishing pin asks while it publishes) signals Entered() and then waits
// until the test calls Unblock(). Everything else is FakeMediaSample's script. Used to catch a receive in
// progress from a second thread. The blocked call gives up after a generous bound and fails the test, so a
// forgotten Unblock() cannot hang the run.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include "FakeMediaSample.h"

class BlockingMediaSample : public FakeMediaSample {
public:
    enum class BlockIn { GetPointer, GetSize };

    explicit BlockingMediaSample(BlockIn where, LONG size = 64) : FakeMediaSample(false, size), where(where)
    {
        entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~BlockingMediaSample() override
    {
        CloseHandle(entered);
        CloseHandle(released);
    }

    // The next call of the chosen method blocks (calls before, such as the test filling the buffer, do not).
    void Arm() { armed = 1; }
    HANDLE Entered() const { return entered; }
    void Unblock() { SetEvent(released); }

    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** data) override
    {
        if (where == BlockIn::GetPointer)
            BlockIfArmed();
        return FakeMediaSample::GetPointer(data);
    }
    LONG STDMETHODCALLTYPE GetSize() override
    {
        if (where == BlockIn::GetSize)
            BlockIfArmed();
        return FakeMediaSample::GetSize();
    }

private:
    void BlockIfArmed()
    {
        if (InterlockedExchange(&armed, 0) == 0)
            return;
        SetEvent(entered);
        if (WaitForSingleObject(released, 60000) != WAIT_OBJECT_0)
            ADD_FAILURE() << "a blocked sample was never released";
    }

    const BlockIn where;
    volatile LONG armed = 0;
    HANDLE entered = nullptr;
    HANDLE released = nullptr;
};
