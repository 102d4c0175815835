// What tests of the automation library's lifetime may reach beyond LoadAutomationLibrary and
// ReleaseAutomationLibrary: the handle the module keeps. Both operations are interlocked.
#pragma once

#include <windows.h>

// The loaded automation library; null until first needed.
HMODULE CurrentAutomationLibrary();

// Puts `library` in the module's place and returns what was there (a test saves and restores it).
HMODULE ExchangeAutomationLibrary(HMODULE library);
