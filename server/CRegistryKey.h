// An open registry key owned by one scope: closed when the scope ends, so early returns cannot leak the
// handle. Used by registration on the caller's thread only; never shared.
#pragma once

#include <windows.h>

class CRegistryKey {
public:
    CRegistryKey() = default;
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    HKEY Get() const { return key; }
    // For the calls that open or create a key; closes what was held first.
    HKEY* Out()
    {
        Close();
        return &key;
    }
    void Close()
    {
        if (key != nullptr) {
            RegCloseKey(key);
            key = nullptr;
        }
    }

private:
    HKEY key = nullptr;
};
