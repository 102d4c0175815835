// Helpers of the registration tests: reading keys and values back from Wine's registry, asking the platform's
// filter mapper what it lists, locking a key against everyone, and running regsvr32. Called on the test's
// thread only; tests that use them hold the registry lock (one at a time per prefix).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// "CLSID\{...}" below HKEY_CLASSES_ROOT.
std::wstring ClassKeyName(REFCLSID classId);
// The filter mapper's key of a filter in the default category.
std::wstring FilterInstanceKeyName(REFCLSID classId);

bool KeyExists(const std::wstring& path);
// A REG_SZ value below HKEY_CLASSES_ROOT; `valueName` null for the default value. Empty when absent.
std::optional<std::wstring> ReadString(const std::wstring& path, const wchar_t* valueName);
std::vector<BYTE> ReadBinary(const std::wstring& path, const wchar_t* valueName);
// Creates `path` (and the keys above it) below HKEY_CLASSES_ROOT with a value in it.
void CreateKeyWithValue(const std::wstring& path);

// How many filters with this class id the platform's filter mapper lists at or above `merit`.
int CountMapperEntries(REFCLSID classId, DWORD merit);

// Gives `path` a security descriptor that denies everything to everyone, or grants everything again.
void DenyEveryone(const std::wstring& path);
void AllowEveryone(const std::wstring& path);

// Full path of a file next to the test program.
std::wstring PathNextToTestProgram(const wchar_t* fileName);
// Runs "regsvr32 /s [/u] <module>" and returns its exit code; -1 when it did not end within 30 s.
DWORD RunRegsvr32(const std::wstring& modulePath, bool unregister);
