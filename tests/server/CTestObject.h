// The smallest creatable class for the server tests: a CUnknown with no interfaces of its own that counts
// how many instances were made and how many are alive. Created and destroyed on the test's thread only, so
// the counters are plain. Owned by whoever holds its nondelegating unknown (or by the class factory while
// it is being created).
#pragma once

#include "CUnknown.h"

class CTestObject : public CUnknown {
public:
    explicit CTestObject(IUnknown* outer);
    ~CTestObject() override;

    static int created;
    static int alive;
};
