#include "PrivateFilterModule.h"

#include <string>

namespace {

template <class Entry>
Entry FindEntry(HMODULE module, const char* name)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The folder of the running executable, with its trailing backslash; empty when it cannot be had.
std::wstring ApplicationFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

}  // namespace

PrivateFilterModule::~PrivateFilterModule()
{
    Unload();
}

HRESULT PrivateFilterModule::Load(const wchar_t* fileName)
{
    if (module != nullptr)
        return E_UNEXPECTED;
    const std::wstring folder = ApplicationFolder();
    if (folder.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    // A full path: the loader takes this very file, and looks for its own imports beside it first.
    const std::wstring path = folder + fileName;
    HMODULE loaded = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (loaded == nullptr)
        return HRESULT_FROM_WIN32(GetLastError());
    getClassObject = FindEntry<GetClassObjectEntry>(loaded, "DllGetClassObject");
    canUnloadNow = FindEntry<CanUnloadNowEntry>(loaded, "DllCanUnloadNow");
    if (getClassObject == nullptr || canUnloadNow == nullptr) {
        FreeLibrary(loaded);
        getClassObject = nullptr;
        canUnloadNow = nullptr;
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    module = loaded;
    return S_OK;
}

HRESULT PrivateFilterModule::CreateFilter(REFCLSID classId, IBaseFilter** filter) const
{
    if (filter == nullptr)
        return E_POINTER;
    *filter = nullptr;
    if (module == nullptr)
        return E_UNEXPECTED;
    // The class object is released before this returns; the filter alone keeps the module busy.
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    factory->Release();
    return hr;
}

HRESULT PrivateFilterModule::Unload()
{
    if (module == nullptr)
        return S_OK;
    if (canUnloadNow() != S_OK)
        return S_FALSE;
    FreeLibrary(module);
    module = nullptr;
    getClassObject = nullptr;
    canUnloadNow = nullptr;
    return S_OK;
}
