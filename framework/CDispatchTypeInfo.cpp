#include "CDispatchTypeInfo.h"

#include <oleauto.h>

#include "AutomationLibraryTestSeam.h"
#include "CBaseObject.h"
#include "ComPtr.h"
#include "HResult.h"
#include "PlatformAdditions.h"

namespace {

// The entry points are looked up by name in the library loaded at run time; decltype only borrows the
// platform's declarations for their types and takes no reference to the import, so the module never
// imports OleAut32.
using LoadRegTypeLibEntry = decltype(&::LoadRegTypeLib);
using LoadTypeLibEntry = decltype(&::LoadTypeLib);

// The DirectShow type library: the registered one (version 1.0 in `locale`), else the file "control.tlb".
HRESULT LoadQuartzTypeLibrary(LCID locale, ITypeLib** library)
{
    HMODULE automation = LoadAutomationLibrary();
    if (automation == nullptr)
        return HResultFromWin32Error(GetLastError());

    auto loadRegistered = reinterpret_cast<LoadRegTypeLibEntry>(
        reinterpret_cast<void*>(GetProcAddress(automation, "LoadRegTypeLib")));
    if (loadRegistered == nullptr)
        return HResultFromWin32Error(GetLastError());
    if (SUCCEEDED(loadRegistered(LIBID_QuartzTypeLib, 1, 0, locale, library)))
        return S_OK;

    auto loadFromFile = reinterpret_cast<LoadTypeLibEntry>(
        reinterpret_cast<void*>(GetProcAddress(automation, "LoadTypeLib")));
    if (loadFromFile == nullptr)
        return HResultFromWin32Error(GetLastError());
    return loadFromFile(L"control.tlb", library);
}

// The loaded automation library; null until first needed. Written only by the functions below.
HMODULE automationLibrary = nullptr;

}  // namespace

HMODULE CurrentAutomationLibrary()
{
    return static_cast<HMODULE>(
        InterlockedCompareExchangePointer(reinterpret_cast<PVOID*>(&automationLibrary), nullptr, nullptr));
}

HMODULE ExchangeAutomationLibrary(HMODULE library)
{
    return static_cast<HMODULE>(InterlockedExchangePointer(reinterpret_cast<PVOID*>(&automationLibrary), library));
}

HMODULE LoadAutomationLibrary()
{
    HMODULE current = CurrentAutomationLibrary();
    if (current != nullptr)
        return current;

    HMODULE loaded = LoadLibraryW(L"OleAut32.dll");
    if (loaded == nullptr)
        return nullptr;  // GetLastError() still holds the loader's reason for the caller
    // Two threads may both have loaded it: the first handle published is the module's, and the other
    // thread gives back the module reference its own LoadLibraryW took (same handle value, one more count),
    // so the last object's single FreeLibrary balances the one reference that stays recorded.
    HMODULE published = static_cast<HMODULE>(
        InterlockedCompareExchangePointer(reinterpret_cast<PVOID*>(&automationLibrary), loaded, nullptr));
    if (published != nullptr) {
        FreeLibrary(loaded);
        return published;
    }
    return loaded;
}

void ReleaseAutomationLibrary()
{
    // Nothing can be using the library any more, unless a new object was created meanwhile and already
    // reached it. The exchange frees a handle at most once even when two "last" objects race; a handle taken
    // while an object is alive again is handed back to it.
    PVOID* slot = reinterpret_cast<PVOID*>(&automationLibrary);
    HMODULE library = static_cast<HMODULE>(InterlockedExchangePointer(slot, nullptr));
    if (library == nullptr)
        return;
    if (CBaseObject::ActiveObjectCount() != 0 && InterlockedCompareExchangePointer(slot, library, nullptr) == nullptr)
        return;
    // Either no object lives, or a newer load is already published and ours is one module reference too many.
    FreeLibrary(library);
}

CDispatchTypeInfo::~CDispatchTypeInfo()
{
    // Runs before the owning object's CBaseObject teardown, which may free the automation library that
    // implements this type information.
    ReleaseCounted(typeInfo);
}

HRESULT CDispatchTypeInfo::EnsureLoaded(REFIID iid, LCID locale)
{
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&typeInfo), nullptr, nullptr) != nullptr)
        return S_OK;

    ComPtr<ITypeLib> library;
    RETURN_IF_FAILED(LoadQuartzTypeLibrary(locale, library.Out()));
    ComPtr<ITypeInfo> loaded;
    RETURN_IF_FAILED(library->GetTypeInfoOfGuid(iid, loaded.Out()));

    // Keep exactly one type information: a thread that loses the race to publish its copy releases it
    // (through `loaded`) and uses the winner's, which lives until this object is destroyed.
    if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&typeInfo), loaded.Get(), nullptr) == nullptr)
        loaded.Detach();
    return S_OK;
}

HRESULT CDispatchTypeInfo::GetTypeInfo(REFIID iid, UINT index, LCID locale, ITypeInfo** out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (index != 0)
        return TYPE_E_ELEMENTNOTFOUND;
    RETURN_IF_FAILED(EnsureLoaded(iid, locale));
    CopyCounted(typeInfo, out);
    return S_OK;
}

HRESULT CDispatchTypeInfo::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    // The platform's type information writes through `ids` without checking it (a script host passing null
    // would crash the process), so null arrays are refused here, before anything is loaded.
    if (names == nullptr || ids == nullptr)
        return E_POINTER;
    RETURN_IF_FAILED(EnsureLoaded(iid, locale));
    ComPtr<ITypeInfo> info(typeInfo);
    return info->GetIDsOfNames(names, count, ids);
}
