// The classes this module serves: the capture sink only.
#include "ClassTableEntry.h"

#include "CVidtap.h"
#include "tarn_filters.h"

namespace {

const FilterSetupRecord vidtapSetupRecord = {
    &CVidtap::classId, TARN_VIDTAP_FILTER_NAME, MERIT_DO_NOT_USE, 1, &anyTypeInputPinRecord};

}  // namespace

const ClassTableEntry classTable[] = {
    {TARN_VIDTAP_CLASS_NAME, &CVidtap::classId, CreateVidtapObject, nullptr, &vidtapSetupRecord},
};
const int classTableCount = sizeof(classTable) / sizeof(classTable[0]);
