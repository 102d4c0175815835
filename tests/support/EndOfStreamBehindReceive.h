// Drives a sink pin from two streaming threads at once: one thread is inside Receive (held up by a
// BlockingMediaSample) when another calls EndOfStream. Checks that EndOfStream does not return while the
// sample is held, then releases the sample and gives both results. For the tests of both sinks' receive
// locking; runs under a watchdog so a deadlock ends the process instead of hanging the run.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <gtest/gtest.h>

#include <functional>

#include "BlockingMediaSample.h"
#include "HangWatchdog.h"
#include "TestThread.h"

struct EndOfStreamBehindReceive {
    HRESULT receiveResult = E_FAIL;
    HRESULT endResult = E_FAIL;
};

// `afterEnd` runs once EndOfStream has returned, while the receiving thread may still be finishing.
inline EndOfStreamBehindReceive EndOfStreamWhileReceiving(IMemInputPin* input, IPin* pin, BlockingMediaSample& sample,
                                                          const std::function<void()>& afterEnd = {})
{
    EndOfStreamBehindReceive results;
    HangWatchdog watchdog(60000, "end of stream behind a sample being received");
    sample.Arm();
    TestThread receiving([&] { results.receiveResult = input->Receive(&sample); });
    const bool entered = WaitForSingleObject(sample.Entered(), 30000) == WAIT_OBJECT_0;
    EXPECT_TRUE(entered) << "the sample never reached the pin";
    if (entered) {
        TestThread ending([&] { results.endResult = pin->EndOfStream(); });
        // A generous chance to return early; a pin that waits never does.
        EXPECT_FALSE(ending.Wait(200)) << "EndOfStream returned while a sample was still being received";
        sample.Unblock();
        ending.Join();
        if (afterEnd)
            afterEnd();
    }
    sample.Unblock();
    receiving.Join();
    return results;
}
