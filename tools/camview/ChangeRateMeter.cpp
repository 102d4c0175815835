#include "ChangeRateMeter.h"

void ChangeRateMeter::Tick(unsigned long long nowMs)
{
    if (!started) {
        started = true;
        windowStartMs = nowMs;
        changes = 0;
        return;
    }
    const unsigned long long elapsed = nowMs - windowStartMs;
    if (elapsed < kWindowMs)
        return;
    rate = static_cast<double>(changes) * 1000.0 / static_cast<double>(elapsed);
    windowStartMs = nowMs;
    changes = 0;
}
