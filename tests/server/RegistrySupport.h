// Helpers of the server's registration tests beyond the shared ones (PlatformRegistration.h): keys that
// others add or lock against everyone, and the test module's path. Called on the test's thread
// only; tests that use them hold the registry lock (one at a time per prefix).
#pragma once

#include <windows.h>

#include <string>

#include "PlatformRegistration.h"

// Creates `path` (and the keys above it) below HKEY_CLASSES_ROOT with a value in it.
void CreateKeyWithValue(const std::wstring& path);

// Gives `path` a security descriptor that denies everything to everyone, or grants everything again.
void DenyEveryone(const std::wstring& path);
void AllowEveryone(const std::wstring& path);

// Full path of a file next to the test program.
std::wstring PathNextToTestProgram(const wchar_t* fileName);
