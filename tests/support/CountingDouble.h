// Base of the tests' COM doubles: implements IUnknown for the listed interfaces, counts every AddRef,
// Release and QueryInterface, and answers QueryInterface for IUnknown and the listed interfaces unless a
// test refuses one. The double lives on the test's stack or as a member: it never deletes itself. Releasing
// it more often than it was referenced, or destroying it while references are outstanding, fails the test;
// `ExpectBalanced()` (or `References()`) asserts the balance at a chosen point. Declare doubles before the
// objects under test, so those are destroyed (and give their references back) first.
//
//   struct FakeClock : CountingDouble<IReferenceClock> { ... the IReferenceClock methods ... };
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "ScriptedAnswer.h"

template <class... Interfaces>
class CountingDouble : public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (recordsCalls) {
            ++queryInterfaceCalls;
            queriedIds.push_back(riid);
        }
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        for (const IID& refused : refusedIds)
            if (IsEqualGUID(refused, riid))
                return E_NOINTERFACE;
        if (IsEqualGUID(riid, IID_IUnknown))
            *ppv = static_cast<IUnknown*>(static_cast<FirstInterface*>(this));
        else
            (void)(AnswerIf<Interfaces>(riid, ppv) || ...);
        if (*ppv == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        ++addRefCalls;
        return static_cast<ULONG>(InterlockedIncrement(&references));
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ++releaseCalls;
        LONG now = InterlockedDecrement(&references);
        if (now < 1)
            ADD_FAILURE() << "a double was released more often than it was referenced";
        return static_cast<ULONG>(now);
    }

    // QueryInterface for `iid` answers E_NOINTERFACE from now on.
    void Refuse(REFIID iid) { refusedIds.push_back(iid); }
    bool WasQueriedFor(REFIID iid) const
    {
        for (const IID& q : queriedIds)
            if (IsEqualGUID(q, iid))
                return true;
        return false;
    }
    // References held by others (the double's own starting reference is not counted).
    LONG References() const { return references - 1; }
    void ExpectBalanced() const { EXPECT_EQ(References(), 0) << "references taken on a double were not released"; }

    IUnknown* AsUnknown() { return static_cast<IUnknown*>(static_cast<FirstInterface*>(this)); }

    // Off (an allocation sweep), QueryInterface records nothing, so answering it allocates nothing.
    bool recordsCalls = true;
    volatile LONG references = 1;
    int addRefCalls = 0;
    int releaseCalls = 0;
    int queryInterfaceCalls = 0;

protected:
    CountingDouble() = default;
    // A double that goes while someone still holds it is a leak (or a dangling pointer) in the code under test.
    virtual ~CountingDouble()
    {
        if (references != 1)
            ADD_FAILURE() << "a double was destroyed with " << References() << " reference(s) not given back";
    }

private:
    using FirstInterface = std::tuple_element_t<0, std::tuple<Interfaces...>>;

    template <class Interface>
    bool AnswerIf(REFIID riid, void** ppv)
    {
        if (!IsEqualGUID(riid, __uuidof(Interface)))
            return false;
        *ppv = static_cast<Interface*>(this);
        return true;
    }

    std::vector<IID> refusedIds;
    std::vector<IID> queriedIds;
};

// For a method a double does not script: the test fails loudly if it is ever called.
#define UNEXPECTED_CALL()                                                          \
    do {                                                                           \
        ADD_FAILURE() << "unexpected call to " << __func__ << " on a test double"; \
        return E_NOTIMPL;                                                          \
    } while (0)
