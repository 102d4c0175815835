// The null sink's input pin, "Input": accepts every media type (the type most recently checked becomes its
// connection type) and every sample, whose data it never reads. Threads and locks as CSinkInputPin.
#pragma once

#include "CSinkInputPin.h"

class CNullsinkerStreamInputPin : public CSinkInputPin {
public:
    using CSinkInputPin::CSinkInputPin;

    // S_OK for every type, which becomes the connection type; E_OUTOFMEMORY (connection type unchanged)
    // when it cannot be copied.
    HRESULT CheckType(const AM_MEDIA_TYPE* type) override;

protected:
    // Drops the sample: S_OK.
    HRESULT ReceiveData(IMediaSample* sample, BYTE* data) override;
};
