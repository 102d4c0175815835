// The part of the scratch buffer that one-pass publishing left unwritten: by the two-pass account, scratch
// bytes [from, to) hold what the frame block now holds in its rows of rowBytes bytes, stored last row first
// (to is the picture's end, a whole number of rows). Owned next to the scratch buffer it describes and shared by
// all its publishers. The fields are atomics because publishers of different filter instances are not
// ordered with each other; a torn combination is checked against the capacities before use, so it can cost
// wrong pixels but never an access out of bounds.
#pragma once

#include <atomic>
#include <cstddef>

struct DeferredScratchRows {
    std::atomic<size_t> from{0};
    std::atomic<size_t> to{0};
    std::atomic<size_t> rowBytes{0};
};
