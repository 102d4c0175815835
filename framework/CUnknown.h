// Base of every aggregatable COM object of the framework. It owns the object's reference count and its
// nondelegating unknown; every other interface of a derived object forwards QueryInterface, AddRef and
// Release to `ownerUnknown` (see CForwardingUnknown), which is the outer object when aggregated and the object
// itself otherwise. `ownerUnknown` is not counted: the owner outlives everything it aggregates.
#pragma once

#include "CBaseObject.h"
#include "INonDelegatingUnknown.h"

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
public:
    // `outer` may be null: the object then owns itself. The count starts at 0; the creator takes the first
    // reference.
    CUnknown(const wchar_t* objectName, IUnknown* outer);
    virtual ~CUnknown();

    IUnknown* GetOwnerUnknown() const { return ownerUnknown; }

    // Answers IID_IUnknown with this object's own nondelegating unknown; derived classes answer their
    // interfaces first and pass everything else here.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    // Destroys the object when the count returns to 0.
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

private:
    IUnknown* const ownerUnknown;  // not counted: the owner (or this object) outlives every forwarder
    volatile LONG refCount;
};

// Hands out `p` through `ppv` with one reference for the caller, taken through `p` itself (so for a
// forwarding interface the reference lands on its owner). E_POINTER when ppv is null.
HRESULT ReturnInterface(IUnknown* p, void** ppv);

// Exact 16-byte identifier comparison.
inline bool SameGuid(REFGUID a, REFGUID b)
{
    return IsEqualGUID(a, b) != FALSE;
}
