// Self-registration of a module's classes: the in-process server keys under HKEY_CLASSES_ROOT and, for
// every class with a setup record, its entry in the platform's filter mapper. Runs on the caller's thread,
// keeps no state and is not guarded against concurrent registration (the registry and the mapper are the
// only shared state). DllRegisterServer and DllUnregisterServer (declared by <olectl.h>) call
// RegisterAllClasses with TRUE and FALSE.
#pragma once

#include <windows.h>

// Registration writes the registry keys of all classes first and then the mapper entries; unregistration
// removes the mapper entries first and the keys only when that succeeded. COM is initialised for the call
// and that initialisation is undone before returning (a caller's own apartment is left as it was).
HRESULT RegisterAllClasses(BOOL registerServer);

// Deletes the key `name` below `parent` and everything below it. E_FAIL for an empty name (nothing is
// touched); S_OK otherwise, also when the key does not exist or part of the tree cannot be deleted: that
// part stays, every other sub-key is still deleted, and the deletion ends.
HRESULT DeleteKeyTree(HKEY parent, const wchar_t* name);
