// The classes this module serves: the null sink only.
#include "ClassTableEntry.h"

#include "CNullsinker.h"

namespace {

const FilterSetupRecord nullsinkerSetupRecord = {
    &CNullsinker::classId, L"TARN_Nullsinker", MERIT_DO_NOT_USE, 1, &anyTypeInputPinRecord};

}  // namespace

const ClassTableEntry classTable[] = {
    {L"Nullsinker", &CNullsinker::classId, CreateNullsinkerObject, nullptr, &nullsinkerSetupRecord},
};
const int classTableCount = sizeof(classTable) / sizeof(classTable[0]);
