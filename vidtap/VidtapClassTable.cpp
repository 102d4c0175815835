// The classes this module serves: the capture sink only.
#include "ClassTableEntry.h"

#include "CVidtap.h"

namespace {

const FilterSetupRecord vidtapSetupRecord = {
    &CVidtap::classId, L"TARN_Vidtap", MERIT_DO_NOT_USE, 1, &anyTypeInputPinRecord};

}  // namespace

const ClassTableEntry classTable[] = {
    {L"Vidtap", &CVidtap::classId, CreateVidtapObject, nullptr, &vidtapSetupRecord},
};
const int classTableCount = sizeof(classTable) / sizeof(classTable[0]);
