// Entering a filter's setup record with the filter mapper (or taking it out again), through either of the
// platform's two mapper interfaces. Stateless; called on the registering thread inside its COM scope.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "FilterSetupRecord.h"

// Registers (or, with `registerFilter` FALSE, unregisters) one record through IFilterMapper2: the filter is
// always unregistered first, so registering twice leaves one entry. S_FALSE for a null record; the mapper's
// "not registered" (0x80070002) counts as success.
HRESULT RegisterFilterThroughMapper2(const FilterSetupRecord* record, IFilterMapper2* mapper, BOOL registerFilter);
// The same through the older IFilterMapper, pin by pin and media type by media type.
HRESULT RegisterFilterThroughMapper(const FilterSetupRecord* record, IFilterMapper* mapper, BOOL registerFilter);
