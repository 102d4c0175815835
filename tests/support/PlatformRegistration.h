// The platform's side of a filter module's registration, as the tests read it: the keys below
// HKEY_CLASSES_ROOT, what the platform's filter mapper lists, and regsvr32 run in this prefix. One helper per
// fact, used by every test that needs it (server, framework and end-to-end tests). Test thread only; the
// tests hold the registry lock of their run.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// "CLSID\{...}" below HKEY_CLASSES_ROOT.
std::wstring ClassKeyName(REFCLSID classId);
// The filter mapper's key of a filter in the default category (DirectShow filters).
std::wstring FilterInstanceKeyName(REFCLSID classId);

bool KeyExists(const std::wstring& path);
// A REG_SZ value below HKEY_CLASSES_ROOT (`valueName` null: the default value); none when absent or of
// another type.
std::optional<std::wstring> ReadString(const std::wstring& path, const wchar_t* valueName);

// How often the platform's filter mapper lists `classId` among all filters of at least `minimumMerit`; the
// friendly name of the last such entry goes to `friendlyName`. -1 when the mapper cannot be asked.
int CountFilterMapperEntries(REFCLSID classId, DWORD minimumMerit, std::wstring* friendlyName = nullptr);

// Runs "regsvr32 /s [/u] <module>" (a Windows path) and gives its exit code (0 success, 3 module not
// loadable, 5 the entry point failed); -1 when it could not be started or did not end within 60 s.
long RunRegsvr32(const std::wstring& modulePath, bool unregister);

// The tree `key` (for example "HKCR\\CLSID") as the platform's reg.exe exports it, through the scratch file
// `exportFile` (removed afterwards); none when the export failed.
std::optional<std::string> ExportRegistryTree(const std::wstring& key, const std::wstring& exportFile);
