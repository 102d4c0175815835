// The part of the scratch buffer that one-pass publishing left unwritten: by the two-pass account, scratch
// bytes [from, to) hold what the frame block now holds in its rows of rowBytes bytes, stored last row first
// (to is the picture's end, a whole number of rows). Owned next to the scratch buffer it describes and shared by
// all its publishers. Publishers of different filter instances are not ordered with each other and may race
// on it as they race on the scratch buffer itself: each use reads every field exactly once (volatile) and
// checks the combination against the capacities, so a torn record can cost wrong pixels but never an access
// out of bounds.
#pragma once

#include <cstddef>

struct DeferredScratchRows {
    volatile size_t from = 0;
    volatile size_t to = 0;
    volatile size_t rowBytes = 0;
};
