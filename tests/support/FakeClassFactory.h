// A class factory for tests that stand in for a platform class (registered with CoRegisterClassObject):
// CreateInstance hands out the product it was given, or fails with the code it was given. Lives on the
// test's stack or in its fixture and never deletes itself; CountingDouble checks that COM gave back every
// reference (revoke the registration before the double goes).
#pragma once

#include <objbase.h>

#include "CountingDouble.h"

class FakeClassFactory : public CountingDouble<IClassFactory> {
public:
    // From now on CreateInstance hands out `product` (queried for the interface asked for)...
    void HandOut(IUnknown* newProduct) { product = newProduct; }
    // ... or fails with `code` (the initial behaviour, with REGDB_E_CLASSNOTREG).
    void FailWith(HRESULT code)
    {
        product = nullptr;
        failure = code;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        ++creations;
        *ppv = nullptr;
        if (product == nullptr)
            return failure;
        return product->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    int creations = 0;

private:
    IUnknown* product = nullptr;  // not counted: the product is a double that outlives the factory's use
    HRESULT failure = REGDB_E_CLASSNOTREG;
};
