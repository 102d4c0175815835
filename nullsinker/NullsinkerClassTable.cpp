// The classes this module serves: the null sink only.
#include "ClassTableEntry.h"

#include "CNullsinker.h"
#include "tarn_filters.h"

namespace {

const FilterSetupRecord nullsinkerSetupRecord = {
    &CNullsinker::classId, TARN_NULLSINKER_FILTER_NAME, MERIT_DO_NOT_USE, 1, &anyTypeInputPinRecord};

}  // namespace

const ClassTableEntry classTable[] = {
    {TARN_NULLSINKER_CLASS_NAME, &CNullsinker::classId, CreateNullsinkerObject, nullptr, &nullsinkerSetupRecord},
};
const int classTableCount = sizeof(classTable) / sizeof(classTable[0]);
