// The unknown that an object answers with when it is asked for IUnknown or handed to its creator. It has the
// shape of IUnknown (same slots, same calling convention), so a pointer to it serves as an IUnknown; this is
// how an outer object holds an aggregated inner object without the inner object's interfaces forwarding back.
#pragma once

#include <windows.h>
#include <objbase.h>

struct INonDelegatingUnknown {
    virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};
