// A filter's registration data for the filter mapper: constant data, one record per filter. The pin array
// keeps the platform's REGFILTERPINS layout so it can be handed to the mapper unchanged.
#pragma once

#include <windows.h>
#include <strmif.h>

struct FilterSetupRecord {
    const CLSID* classId;
    const wchar_t* filterName;
    DWORD merit;
    UINT pinCount;
    const REGFILTERPINS* pins;
};

// The pin record of a sink's one input pin: "Input", neither rendered, output, zero nor many, connecting to
// any filter's "Output", one media type of any major type and subtype.
extern const REGFILTERPINS anyTypeInputPinRecord;
