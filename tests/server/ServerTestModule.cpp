// The class table of server_test_module.dll.
#include "ServerTestModule.h"

#include <new>
#include <uuids.h>

#include "CTestObject.h"
#include "ClassTableEntry.h"
#include "ModuleEntryPoints.h"

namespace {

int initRoutineLoads = 0;
int initRoutineUnloads = 0;

void CountInitRoutineCalls(BOOL loading, const CLSID* classId)
{
    if (IsEqualGUID(*classId, CLSID_ServerTestModuleFilter))
        ++(loading ? initRoutineLoads : initRoutineUnloads);
}

INonDelegatingUnknown* CreateTestModuleObject(IUnknown* outer, HRESULT* hr)
{
    CTestObject* object = new (std::nothrow) CTestObject(outer);
    if (object == nullptr)
        *hr = E_OUTOFMEMORY;
    return object;
}

const REGPINTYPES inputPinTypes[] = {{&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL}};
const REGFILTERPINS inputPins[] = {{const_cast<LPWSTR>(L"Input"), FALSE, FALSE, FALSE, FALSE, &CLSID_NULL,
                                    const_cast<LPWSTR>(L"Output"), 1, inputPinTypes}};
const FilterSetupRecord testFilterSetup = {&CLSID_ServerTestModuleFilter, serverTestModuleFilterName, 0x00200000,
                                           1, inputPins};

}  // namespace

const ClassTableEntry classTable[] = {
    {serverTestModuleDisplayName, &CLSID_ServerTestModuleFilter, CreateTestModuleObject, CountInitRoutineCalls,
     &testFilterSetup},
};
const int classTableCount = 1;

extern "C" void WINAPI GetTestModuleState(TestModuleState* state)
{
    state->moduleInstance = ModuleInstance();
    state->initRoutineLoads = initRoutineLoads;
    state->initRoutineUnloads = initRoutineUnloads;
}
