// A filter mapper of the older interface (IFilterMapper) for registration tests: records every call as one
// line of text, in order, so a test compares the whole conversation at once, and fails the call named in
// FailOn with a chosen code. UnregisterFilter answers like the platform's mapper for a filter it does not
// know (0x80070002). Lives on the test's stack; the enumeration method is not scripted.
#pragma once

#include <strmif.h>

#include <string>
#include <vector>

#include "CountingDouble.h"

class FakeFilterMapper : public CountingDouble<IFilterMapper> {
public:
    std::vector<std::wstring> calls;

    // The next and every later call of `method` ("RegisterFilter", "RegisterPin", ...) returns `code`.
    void FailOn(const std::wstring& method, HRESULT code)
    {
        failingMethod = method;
        failure = code;
    }

    HRESULT STDMETHODCALLTYPE RegisterFilter(CLSID clsid, LPCWSTR name, DWORD merit) override
    {
        wchar_t meritText[16];
        swprintf(meritText, 16, L"%08lX", static_cast<unsigned long>(merit));
        return Record(L"RegisterFilter", Text(clsid) + L" " + name + L" " + meritText);
    }
    HRESULT STDMETHODCALLTYPE RegisterFilterInstance(CLSID, LPCWSTR, CLSID*) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE RegisterPin(CLSID filter, LPCWSTR name, BOOL rendered, BOOL output, BOOL zero,
                                          BOOL many, CLSID connectsToFilter, LPCWSTR connectsToPin) override
    {
        std::wstring flags = {Flag(rendered), Flag(output), Flag(zero), Flag(many)};
        return Record(L"RegisterPin", Text(filter) + L" " + name + L" " + flags + L" " + Text(connectsToFilter) +
                                          L" " + connectsToPin);
    }
    HRESULT STDMETHODCALLTYPE RegisterPinType(CLSID filter, LPCWSTR pin, CLSID major, CLSID sub) override
    {
        return Record(L"RegisterPinType", Text(filter) + L" " + pin + L" " + Text(major) + L" " + Text(sub));
    }
    HRESULT STDMETHODCALLTYPE UnregisterFilter(CLSID filter) override
    {
        HRESULT hr = Record(L"UnregisterFilter", Text(filter));
        return hr == S_OK ? static_cast<HRESULT>(0x80070002) : hr;
    }
    HRESULT STDMETHODCALLTYPE UnregisterFilterInstance(CLSID) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE UnregisterPin(CLSID, LPCWSTR) override { UNEXPECTED_CALL(); }
    HRESULT STDMETHODCALLTYPE EnumMatchingFilters(IEnumRegFilters**, DWORD, BOOL, CLSID, CLSID, BOOL, BOOL, CLSID,
                                                  CLSID) override
    {
        UNEXPECTED_CALL();
    }

    static std::wstring Text(REFGUID id)
    {
        wchar_t text[39] = L"";
        StringFromGUID2(id, text, 39);
        return text;
    }

private:
    static wchar_t Flag(BOOL value) { return value ? L'1' : L'0'; }

    HRESULT Record(const std::wstring& method, const std::wstring& arguments)
    {
        calls.push_back(method + L" " + arguments);
        return method == failingMethod ? failure : S_OK;
    }

    std::wstring failingMethod;
    HRESULT failure = S_OK;
};
