// Frames per second, as the viewer's title shows it: the viewer counts the frames published (from the sync
// block's sequence) or, against a publisher without one, each frame whose content differs from the one before,
// and the meter turns the counts into a rate over windows of about one second. Used on the viewer's thread only.
#pragma once

class ChangeRateMeter {
public:
    void CountChange(unsigned long long count = 1) { changes += count; }

    // Closes the current window once a second has passed since it opened (`nowMs` on a monotonic millisecond
    // clock); the rate of a closed window stays until the next one closes.
    void Tick(unsigned long long nowMs);

    // Changes per second over the last closed window; 0 before the first one closes.
    double Rate() const { return rate; }

private:
    static constexpr unsigned long long kWindowMs = 1000;

    bool started = false;
    unsigned long long windowStartMs = 0;
    unsigned long long changes = 0;
    double rate = 0;
};
