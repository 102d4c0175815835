// A minimal filter outer object for the pass-through tests: a CUnknown that aggregates one CPosPassThru
// on the given input pin and routes IMediaSeeking and IMediaPosition to the pass-through's nondelegating
// QueryInterface, as the filters' outer objects do. It holds the pass-through's one nondelegating reference
// and destroys it with itself. `queryInterfaceCalls` shows which object answered a QueryInterface.
#pragma once

#include <new>

#include "CPosPassThru.h"
#include "CUnknown.h"

class SeekingOuterObject : public CUnknown {
public:
    explicit SeekingOuterObject(IPin* inputPin) : CUnknown(L"seeking outer", nullptr)
    {
        passThru = new CPosPassThru(L"seeking pass-through", GetOwnerUnknown(), &constructionResult, inputPin);
        passThru->NonDelegatingAddRef();
    }
    ~SeekingOuterObject() override { passThru->NonDelegatingRelease(); }

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override
    {
        ++queryInterfaceCalls;
        if (SameGuid(riid, IID_IMediaSeeking) || SameGuid(riid, IID_IMediaPosition))
            return passThru->NonDelegatingQueryInterface(riid, ppv);
        return CUnknown::NonDelegatingQueryInterface(riid, ppv);
    }

    CPosPassThru* passThru = nullptr;  // owned through one nondelegating reference
    HRESULT constructionResult = S_OK;
    int queryInterfaceCalls = 0;
};
