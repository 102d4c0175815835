// The exported entry points through which COM loads, uses and unloads a filter module, and the module-wide
// operations on the module-wide state they keep (in ModuleEntryPoints.cpp). The entry points may be called on
// any thread; the server lock count changes only by interlocked operations, the instance handle is written
// once at process attach (under the loader lock).
// DllGetClassObject and DllCanUnloadNow are declared by <objbase.h>.
#pragma once

#include <windows.h>
#include <objbase.h>

// The module's instance handle, stored at process attach; registration finds the module file through it.
// Null in a program that links the server layer without being loaded as a DLL (its own file is used then).
HINSTANCE ModuleInstance();
// IClassFactory::LockServer's step: counts the lock up or down; the count may go below zero, which counts
// as unlocked.
void ChangeServerLock(BOOL lock);

// Declared the way the C runtime's DLL start-up code declares it, which calls it.
extern "C" BOOL WINAPI DllMain(HANDLE instance, DWORD reason, LPVOID reserved);
