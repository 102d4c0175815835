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

// Registers (or, with `registerFilter` FALSE, unregisters) one record through IFilterMapper2: the filter is
// always unregistered first, so registering twice leaves one entry. S_FALSE for a null record; the mapper's
// "not registered" (0x80070002) counts as success.
HRESULT RegisterFilterThroughMapper2(const FilterSetupRecord* record, IFilterMapper2* mapper, BOOL registerFilter);
// The same through the older IFilterMapper, pin by pin and media type by media type.
HRESULT RegisterFilterThroughMapper(const FilterSetupRecord* record, IFilterMapper* mapper, BOOL registerFilter);

// The pin record of a sink's one input pin: "Input", neither rendered, output, zero nor many, connecting to
// any filter's "Output", one media type of any major type and subtype.
extern const REGFILTERPINS anyTypeInputPinRecord;
