// Adds COM interfaces to a CUnknown-derived class and supplies, once for all of them, the IUnknown methods
// of those interfaces: each forwards to the object's owner unknown, so no interface keeps a count of its own
// and an aggregated object is counted and queried through its outer object.
//
//   class CBaseFilter : public CForwardingUnknown<CUnknown, IBaseFilter, IAMovieSetup> { ... };
//   class CBaseInputPin : public CForwardingUnknown<CBasePin, IMemInputPin> { ... };
//
// The three methods declared here are the final overriders of the IUnknown slots of every interface base,
// including those that `Base` already implements.
#pragma once

#include "CUnknown.h"

template <class Base, class... Interfaces>
class CForwardingUnknown : public Base, public Interfaces... {
public:
    using Base::Base;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return this->GetOwnerUnknown()->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return this->GetOwnerUnknown()->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return this->GetOwnerUnknown()->Release(); }
};
