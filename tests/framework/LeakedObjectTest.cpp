// A program whose only test leaks a framework object on purpose. It is registered so that it passes only
// when the shared test entry point reports the leak as a failure of that test: the check every other test
// relies on to catch lost references.
#include <gtest/gtest.h>

#include "CUnknown.h"

TEST(LeakedObject, LeaksOneObject)
{
    auto* leaked = new CUnknown(L"leaked on purpose", nullptr);
    leaked->NonDelegatingAddRef();
}
