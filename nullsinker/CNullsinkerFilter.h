// The null sink's filter object: one input pin (the outer CNullsinker's) and state changes under the outer
// object's lock.
#pragma once

#include "CSinkFilter.h"

class CNullsinker;

// Adds nothing to CSinkFilter: it exists to give the null sink's filter object its own name and owner type.
class CNullsinkerFilter : public CSinkFilter<CNullsinker> {
public:
    using CSinkFilter<CNullsinker>::CSinkFilter;
};
