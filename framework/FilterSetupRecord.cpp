#include "FilterSetupRecord.h"

#include <uuids.h>

namespace {
WCHAR inputPinName[] = L"Input";  // REGFILTERPINS takes a non-const name; the mapper only reads it
const REGPINTYPES anyMediaType = {&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL};
}  // namespace

const REGFILTERPINS anyTypeInputPinRecord = {
    inputPinName, FALSE, FALSE, FALSE, FALSE, &CLSID_NULL, L"Output", 1, &anyMediaType};
