#include "ServerRegistration.h"

#include <objbase.h>
#include <olectl.h>
#include <strmif.h>
#include <uuids.h>
#include <strsafe.h>

#include "CComInitialization.h"
#include "CRegistryKey.h"
#include "ClassTableEntry.h"
#include "ComPtr.h"
#include "FilterMapperRegistration.h"
#include "FilterSetupRecord.h"
#include "HResult.h"
#include "ModuleEntryPoints.h"

namespace {

// Every path, key name and value string is formatted into a buffer of this many characters; longer text
// is cut at one character less (only a display name could be that long).
constexpr int textCapacity = 260;

void FormatText(wchar_t (&buffer)[textCapacity], const wchar_t* format, const wchar_t* text)
{
    buffer[0] = L'\0';
    (void)StringCchPrintfW(buffer, textCapacity, format, text);
}

// Byte length of a registry string value, terminating NUL included.
DWORD StringValueBytes(const wchar_t* text)
{
    return static_cast<DWORD>(sizeof(wchar_t) * (lstrlenW(text) + 1));
}

// "CLSID\{...}" for a class, below HKEY_CLASSES_ROOT.
void FormatClassKeyName(const CLSID& classId, wchar_t (&keyName)[textCapacity])
{
    wchar_t classIdText[39] = L"";
    (void)StringFromGUID2(classId, classIdText, 39);
    FormatText(keyName, L"CLSID\\%ls", classIdText);
}

HRESULT WriteServerKeys(const ClassTableEntry& entry, const wchar_t* modulePath)
{
    wchar_t keyName[textCapacity];
    FormatClassKeyName(*entry.classId, keyName);
    wchar_t value[textCapacity];

    CRegistryKey classKey;
    RETURN_IF_WIN32_ERROR(RegCreateKeyW(HKEY_CLASSES_ROOT, keyName, classKey.Out()));
    FormatText(value, L"%ls", entry.displayName);
    RETURN_IF_WIN32_ERROR(RegSetValueW(classKey.Get(), nullptr, REG_SZ, value, StringValueBytes(value)));

    CRegistryKey serverKey;
    RETURN_IF_WIN32_ERROR(RegCreateKeyW(classKey.Get(), L"InprocServer32", serverKey.Out()));
    FormatText(value, L"%ls", modulePath);
    RETURN_IF_WIN32_ERROR(RegSetValueW(serverKey.Get(), nullptr, REG_SZ, value, StringValueBytes(value)));
    FormatText(value, L"%ls", L"Both");
    return HResultOfWin32StepLowWord(RegSetValueExW(serverKey.Get(), L"ThreadingModel", 0, REG_SZ,
                                                    reinterpret_cast<const BYTE*>(value), StringValueBytes(value)));
}

// Stops at the first class that fails; the keys of the classes before it stay written.
HRESULT WriteServerKeysOfAllClasses(const wchar_t* modulePath)
{
    HRESULT hr = S_OK;
    for (int i = 0; i < classTableCount; ++i)
        RETURN_IF_FAILED(hr = WriteServerKeys(classTable[i], modulePath));
    return hr;
}

HRESULT RemoveServerKeysOfAllClasses()
{
    for (int i = 0; i < classTableCount; ++i) {
        wchar_t keyName[textCapacity];
        FormatClassKeyName(*classTable[i].classId, keyName);
        (void)DeleteKeyTree(HKEY_CLASSES_ROOT, keyName);
    }
    return S_OK;
}

// The mapper step of registration, in a COM scope of its own; the mapper is released before it ends.
HRESULT RegisterWithFilterMapper(BOOL registerServer)
{
    CComInitialization com;
    ComPtr<IFilterMapper2> mapper2;
    ComPtr<IFilterMapper> mapper;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  mapper2.OutVoid());
    if (FAILED(hr)) {
        hr = CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                              mapper.OutVoid());
        if (FAILED(hr))
            return hr;
    }
    for (int i = 0; i < classTableCount && SUCCEEDED(hr); ++i) {
        const FilterSetupRecord* record = classTable[i].setupRecord;
        if (record == nullptr)
            continue;
        hr = mapper2 ? RegisterFilterThroughMapper2(record, mapper2.Get(), registerServer)
                     : RegisterFilterThroughMapper(record, mapper.Get(), registerServer);
    }
    return hr;
}

}  // namespace

HRESULT DeleteKeyTree(HKEY parent, const wchar_t* name)
{
    if (name == nullptr || name[0] == L'\0')
        return E_FAIL;
    CRegistryKey key;
    if (RegOpenKeyExW(parent, name, 0, MAXIMUM_ALLOWED, key.Out()) != ERROR_SUCCESS)
        return S_OK;

    // Sub-keys are deleted from the front. One that cannot be deleted (its security denies us) is found at
    // the same index again: step past it, or it would be enumerated for ever. The keys after it keep moving
    // onto that index as they are deleted.
    DWORD index = 0;
    wchar_t previous[textCapacity] = L"";
    for (;;) {
        wchar_t subKey[textCapacity];
        DWORD length = textCapacity;
        if (RegEnumKeyExW(key.Get(), index, subKey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (lstrcmpW(subKey, previous) == 0) {
            ++index;
            previous[0] = L'\0';
            continue;
        }
        (void)DeleteKeyTree(key.Get(), subKey);
        (void)StringCchCopyW(previous, textCapacity, subKey);
    }
    key.Close();
    (void)RegDeleteKeyW(parent, name);
    return S_OK;
}

HRESULT RegisterAllClasses(BOOL registerServer)
{
    // Read in UTF-16: through the ANSI code page a folder name outside it (a CJK name, or "Zoë" under a
    // code page without "ë") would be recorded with '?' in it, a path that does not load.
    wchar_t widePath[textCapacity] = L"";
    DWORD length = GetModuleFileNameW(ModuleInstance(), widePath, textCapacity);
    if (length == 0)
        return HResultFromWin32Error(GetLastError());
    // A full buffer means the path was cut short: registering it would point COM at a file that is not ours.
    if (length >= static_cast<DWORD>(textCapacity))
        return HResultFromWin32Error(ERROR_INSUFFICIENT_BUFFER);

    if (registerServer)
        RETURN_IF_FAILED(WriteServerKeysOfAllClasses(widePath));

    HRESULT hr = RegisterWithFilterMapper(registerServer);
    if (SUCCEEDED(hr) && !registerServer)
        hr = RemoveServerKeysOfAllClasses();
    return hr;
}

STDAPI DllRegisterServer()
{
    return RegisterAllClasses(TRUE);
}

STDAPI DllUnregisterServer()
{
    return RegisterAllClasses(FALSE);
}
