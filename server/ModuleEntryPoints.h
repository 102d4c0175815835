// The exported entry points through which COM loads, uses and unloads a filter module, and the module-wide
// state they keep. The entry points may be called on any thread; `serverLockCount` changes only by
// interlocked operations, `moduleInstance` is written once at process attach (under the loader lock).
// DllGetClassObject and DllCanUnloadNow are declared by <objbase.h>.
#pragma once

#include <windows.h>
#include <objbase.h>

// The module's instance handle, stored at process attach; registration finds the module file through it.
// Null in a program that links the server layer without being loaded as a DLL (its own file is used then).
extern HINSTANCE moduleInstance;
// Changed only by IClassFactory::LockServer; may go below zero, which counts as unlocked.
extern volatile LONG serverLockCount;

// Declared the way the C runtime's DLL start-up code declares it, which calls it.
extern "C" BOOL WINAPI DllMain(HANDLE instance, DWORD reason, LPVOID reserved);
