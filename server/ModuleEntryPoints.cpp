#include "ModuleEntryPoints.h"
#include "ModuleStateTestSeam.h"

#include <new>

#include "CClassFactory.h"
#include "CUnknown.h"
#include "ClassTableEntry.h"

namespace {

HINSTANCE moduleInstance = nullptr;
volatile LONG serverLockCount = 0;

void CallInitRoutines(BOOL loading)
{
    for (int i = 0; i < classTableCount; ++i) {
        const ClassTableEntry& entry = classTable[i];
        if (entry.initRoutine != nullptr)
            entry.initRoutine(loading, entry.classId);
    }
}

}  // namespace

HINSTANCE ModuleInstance()
{
    return moduleInstance;
}

void ChangeServerLock(BOOL lock)
{
    if (lock)
        InterlockedIncrement(&serverLockCount);
    else
        InterlockedDecrement(&serverLockCount);
}

LONG ServerLockCount()
{
    return InterlockedCompareExchange(&serverLockCount, 0, 0);
}

extern "C" BOOL WINAPI DllMain(HANDLE instance, DWORD reason, LPVOID /*reserved*/)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        // The modules start no threads and keep no per-thread state.
        DisableThreadLibraryCalls(static_cast<HMODULE>(instance));
        moduleInstance = static_cast<HINSTANCE>(instance);
        CallInitRoutines(TRUE);
        break;
    case DLL_PROCESS_DETACH:
        CallInitRoutines(FALSE);
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    // The interface is checked before the class: an unknown class asked for another interface is
    // E_NOINTERFACE, not CLASS_E_CLASSNOTAVAILABLE.
    if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, IID_IClassFactory))
        return E_NOINTERFACE;
    for (int i = 0; i < classTableCount; ++i) {
        if (!SameGuid(rclsid, *classTable[i].classId))
            continue;
        // A new factory for every request: factories are neither cached nor shared.
        CClassFactory* factory = new (std::nothrow) CClassFactory(&classTable[i]);
        if (factory == nullptr)
            return E_OUTOFMEMORY;
        *ppv = static_cast<IClassFactory*>(factory);
        factory->AddRef();
        return S_OK;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow()
{
    if (serverLockCount > 0 || CBaseObject::ActiveObjectCount() != 0)
        return S_FALSE;
    return S_OK;
}
