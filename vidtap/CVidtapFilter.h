// The capture sink's filter object: one input pin (the outer CVidtap's) and state changes under the outer
// object's lock. The camera channel is neither opened nor closed by state changes.
#pragma once

#include "CSinkFilter.h"

class CVidtap;

// Adds nothing to CSinkFilter: it exists to give the capture sink's filter object its own name and owner type.
class CVidtapFilter : public CSinkFilter<CVidtap> {
public:
    using CSinkFilter<CVidtap>::CSinkFilter;
};
