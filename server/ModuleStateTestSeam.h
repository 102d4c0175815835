// What tests of the module's entry points may read beyond DllCanUnloadNow: the server lock count that
// IClassFactory::LockServer changes (read with an interlocked operation).
#pragma once

#include <windows.h>

LONG ServerLockCount();
