// A filter module that an application ships in its own folder and uses without registering it: no
// administrator rights, nothing written to the registry, no conflict with another copy installed on the
// machine. The module is loaded from the application's folder, its filters are made by its own class objects
// (DllGetClassObject, as COM would call it for a registered module), and it is unloaded once DllCanUnloadNow
// says no object of it is alive. COM never learns of the module, so it never unloads it behind the
// application's back either: the application keeps this object for as long as it uses any filter of it.
// Control thread only.
#pragma once

#include <windows.h>
#include <strmif.h>

class PrivateFilterModule {
public:
    PrivateFilterModule() = default;
    PrivateFilterModule(const PrivateFilterModule&) = delete;
    PrivateFilterModule& operator=(const PrivateFilterModule&) = delete;
    // Unloads the module if no object of it is alive any more; otherwise leaves it loaded for good.
    ~PrivateFilterModule();

    // Loads `fileName` (for example L"vidtap.dll") from the folder of the application's executable, never from
    // the search path, and finds its entry points. HRESULT_FROM_WIN32 of the loader's error when it cannot.
    HRESULT Load(const wchar_t* fileName);

    // A new filter of class `classId` from the module's class object: what CoCreateInstance gives for a
    // registered module. The caller owns the one reference handed out.
    HRESULT CreateFilter(REFCLSID classId, IBaseFilter** filter) const;

    // The module's DllCanUnloadNow, and when it answers S_OK, FreeLibrary: S_OK unloaded (or never loaded),
    // S_FALSE an object of the module is still alive and the module stays.
    HRESULT Unload();

    HMODULE Handle() const { return module; }

private:
    using GetClassObjectEntry = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNowEntry = HRESULT(STDAPICALLTYPE*)();

    HMODULE module = nullptr;
    GetClassObjectEntry getClassObject = nullptr;
    CanUnloadNowEntry canUnloadNow = nullptr;
};
