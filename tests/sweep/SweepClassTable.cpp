// This program's class table for the server layer it links: both sinks, made by their own creators and
// registered with their own pin record, under the sweep's class identifiers and filter names.
#include "ClassTableEntry.h"
#include "SweptSinks.h"

namespace {

const FilterSetupRecord sweptNullsinkerRecord = {
    &kSweptNullsinkerClassId, L"TARN_SweptNullsinker", MERIT_DO_NOT_USE, 1, &anyTypeInputPinRecord};
const FilterSetupRecord sweptVidtapRecord = {
    &kSweptVidtapClassId, L"TARN_SweptVidtap", MERIT_DO_NOT_USE, 1, &anyTypeInputPinRecord};

}  // namespace

const ClassTableEntry classTable[] = {
    {L"Swept Nullsinker", &kSweptNullsinkerClassId, CreateNullsinkerObject, nullptr, &sweptNullsinkerRecord},
    {L"Swept Vidtap", &kSweptVidtapClassId, CreateVidtapObject, nullptr, &sweptVidtapRecord},
};
const int classTableCount = sizeof(classTable) / sizeof(classTable[0]);
