#include "GlobalChannelSecurity.h"

#include <sddl.h>

#include <cwchar>

#include "HResult.h"

namespace {

// The string form of the SID of the account this process runs as, in `sid` (freed with LocalFree).
HRESULT ProcessAccountSid(wchar_t** sid)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return HResultOfLastError();
    // A TOKEN_USER with the largest SID there is.
    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer;
    DWORD size = 0;
    HRESULT hr = S_OK;
    if (!GetTokenInformation(token, TokenUser, &buffer, sizeof buffer, &size) ||
        !ConvertSidToStringSidW(buffer.user.User.Sid, sid))
        hr = HResultOfLastError();
    CloseHandle(token);
    return hr;
}

}  // namespace

GlobalChannelSecurity::~GlobalChannelSecurity()
{
    Release();
}

void GlobalChannelSecurity::Release()
{
    for (PSECURITY_DESCRIPTOR& descriptor : descriptors) {
        LocalFree(descriptor);
        descriptor = nullptr;
    }
}

HRESULT GlobalChannelSecurity::Build()
{
    wchar_t* account = nullptr;
    HRESULT hr = ProcessAccountSid(&account);
    if (FAILED(hr))
        return hr;
    struct {
        DWORD ownerRights, readerRights;
    } const grants[kKinds] = {
        {SECTION_ALL_ACCESS, kReaderBlockRights},
        {SECTION_ALL_ACCESS, kReaderSyncBlockRights},
        {SEMAPHORE_ALL_ACCESS, kReaderWakeRights},
    };
    for (int kind = 0; kind < kKinds && SUCCEEDED(hr); ++kind) {
        // D:P = a protected DACL: the account, the system, interactive users (IU), nobody else.
        wchar_t sddl[256];
        std::swprintf(sddl, sizeof sddl / sizeof sddl[0], L"D:P(A;;0x%lx;;;%ls)(A;;0x%lx;;;SY)(A;;0x%lx;;;IU)",
                      grants[kind].ownerRights, account, grants[kind].ownerRights, grants[kind].readerRights);
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptors[kind],
                                                                  nullptr)) {
            hr = HResultOfLastError();
            break;
        }
        attributes[kind] = {sizeof(SECURITY_ATTRIBUTES), descriptors[kind], FALSE};
    }
    LocalFree(account);
    if (FAILED(hr))
        Release();
    return hr;
}
