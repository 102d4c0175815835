#include "CameraChannelSelection.h"

#include <vfwmsgs.h>

#include <cwchar>

#include "CameraChannel.h"
#include "CameraChannelLayout.h"
#include "CameraChannelName.h"
#include "NamedCameraChannels.h"

bool CameraChannelSelection::BoundToNamedChannel() const
{
    return bound != nullptr && bound != &DefaultCameraChannel();
}

CameraChannelSelection::~CameraChannelSelection()
{
    if (BoundToNamedChannel())
        ReleaseNamedCameraChannel(bound);
}

HRESULT CameraChannelSelection::SetName(const wchar_t* newName)
{
    if (newName == nullptr)
        return E_POINTER;
    if (!CameraChannelNameValid(newName))
        return E_INVALIDARG;
    AcquireSRWLockExclusive(&selectionLock);
    const bool allowed = !nameFixed;
    if (allowed)
        std::wcscpy(name, newName);
    ReleaseSRWLockExclusive(&selectionLock);
    return allowed ? S_OK : VFW_E_WRONG_STATE;
}

HRESULT CameraChannelSelection::GetName(wchar_t* buffer, ULONG capacity)
{
    if (buffer == nullptr)
        return E_POINTER;
    AcquireSRWLockShared(&selectionLock);
    const bool named = name[0] != L'\0';
    const wchar_t* shown = named ? name : kHeaderBlockName;
    const bool fits = std::wcslen(shown) < capacity;
    if (fits)
        std::wcscpy(buffer, shown);
    else if (capacity > 0)
        buffer[0] = L'\0';
    ReleaseSRWLockShared(&selectionLock);
    if (!fits)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return named ? S_OK : S_FALSE;
}

HRESULT CameraChannelSelection::SetUp(const AM_MEDIA_TYPE* proposedType)
{
    HRESULT hr = S_OK;
    AcquireSRWLockExclusive(&selectionLock);
    nameFixed = true;
    if (bound == nullptr) {
        if (name[0] == L'\0') {
            __atomic_store_n(&bound, &DefaultCameraChannel(), __ATOMIC_RELEASE);
        } else {
            CameraChannel* named = nullptr;
            hr = AcquireNamedCameraChannel(name, &named);
            __atomic_store_n(&bound, named, __ATOMIC_RELEASE);
        }
    }
    CameraChannel* const channel = bound;
    const bool named = BoundToNamedChannel();
    ReleaseSRWLockExclusive(&selectionLock);
    if (channel == nullptr)
        return hr;
    const HRESULT setUp = channel->SetUp(proposedType);
    return named ? setUp : S_OK;
}
