#include "CameraChannel.h"

#include <cstring>

#include "CameraChannelTestSeam.h"
#include "FramePublisherCore.h"
#include "HResult.h"
#include "MediaTypePicture.h"

static_assert(sizeof(wchar_t) == sizeof(uint16_t), "block names are UTF-16");
static_assert(offsetof(BITMAPINFOHEADER, biWidth) == kPictureWidthOffset);
static_assert(offsetof(BITMAPINFOHEADER, biHeight) == kPictureHeightOffset);
static_assert(offsetof(BITMAPINFOHEADER, biBitCount) == kPictureBitCountOffset);
static_assert(offsetof(BITMAPINFOHEADER, biCompression) == kPictureCompressionOffset);
static_assert(sizeof(BITMAPINFOHEADER) == kPictureHeaderSize);

namespace {

CameraChannelPlatform cameraChannelPlatform = {
    OpenFileMappingW, CreateFileMappingW, MapViewOfFile, VirtualQuery, HeapAlloc,
};

// A view is accepted only when its region is committed memory of at least `bytes`: a section created
// elsewhere with SEC_RESERVE maps without error but faults on the first write.
bool ViewHoldsCommitted(const void* view, SIZE_T bytes)
{
    MEMORY_BASIC_INFORMATION info;
    if (cameraChannelPlatform.virtualQuery(view, &info, sizeof info) == 0)
        return false;
    return info.State == MEM_COMMIT && info.RegionSize >= bytes;
}

// Copies `source` into `target` (kFrameBlockNameUnits units) and appends `suffix` when both fit with the
// terminating zero; false (and `target` empty) otherwise.
bool ComposeName(wchar_t* target, const wchar_t* source, const wchar_t* suffix)
{
    const size_t sourceLength = wcslen(source), suffixLength = wcslen(suffix);
    target[0] = L'\0';
    if (sourceLength + suffixLength + 1 > kFrameBlockNameUnits)
        return false;
    std::memcpy(target, source, sourceLength * sizeof(wchar_t));
    std::memcpy(target + sourceLength, suffix, (suffixLength + 1) * sizeof(wchar_t));
    return true;
}

// Appends the decimal digits of `number` at name[length] when they and the terminating zero fit the field.
bool AppendDigits(wchar_t* name, size_t& length, unsigned number)
{
    wchar_t digits[10];
    size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + number % 10);
        number /= 10;
    } while (number != 0);
    if (length + count + 1 > kFrameBlockNameUnits)
        return false;
    while (count != 0)
        name[length++] = digits[--count];
    name[length] = L'\0';
    return true;
}

int64_t PerformanceCounterNow()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// False only when the process is known to have ended: a process this one may not open (another session's)
// counts as alive, so its frame is waited for within the bound rather than taken over.
bool ProcessAlive(uint32_t processId)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED;
    const bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return alive;
}

void PauseForAnotherPublisher()
{
    Sleep(1);
}

void ReleaseWakeUps(void* semaphore, uint32_t readers)
{
    // Fails harmlessly without a semaphore, or when the count would pass the semaphore's maximum: the readers are awake anyway.
    ReleaseSemaphore(static_cast<HANDLE>(semaphore), static_cast<LONG>(readers), nullptr);
}

// A section of that name exists but is not such a block (another kind of section, or one too small).
const HRESULT kNameHeldByAnotherObject = HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);

}  // namespace

CameraChannel::CameraChannel(const wchar_t* header, const wchar_t* frameBase, const GlobalChannelSecurity* security)
    : security(security)
{
    ComposeName(headerBlockName, header, L"");
    ComposeName(frameBlockBaseName, frameBase, L"");
    frameBlockBaseNameLength = wcslen(frameBlockBaseName);
}

CameraChannel::~CameraChannel()
{
    if (sync != nullptr)
        sync->~CameraSyncPublisher();
    if (wakeSemaphore != nullptr)
        CloseHandle(wakeSemaphore);
    for (unsigned i = keptCount; i-- > 0;) {
        if (keptViews[i] != nullptr)
            UnmapViewOfFile(keptViews[i]);
        if (keptSections[i] != nullptr)
            CloseHandle(keptSections[i]);
    }
    if (scratchBuffer != nullptr)
        HeapFree(GetProcessHeap(), 0, scratchBuffer);
}

HRESULT CameraChannel::MapKept(HANDLE section, MapViewCall map, SIZE_T bytes, void** view)
{
    *view = map(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    const HRESULT mapped = *view != nullptr ? S_OK : HResultOfLastError();
    Keep(section, *view);
    if (FAILED(mapped))
        return mapped;
    return ViewHoldsCommitted(*view, bytes) ? S_OK : kNameHeldByAnotherObject;
}

void CameraChannel::Keep(HANDLE section, void* view)
{
    // The tries are bounded by the name field, so the table never overflows; the check keeps it so.
    if (keptCount == kMaxKept)
        return;
    keptSections[keptCount] = section;
    keptViews[keptCount] = view;
    ++keptCount;
}

// The sync block and its semaphore come first, so that a reader that finds the header block of a publisher
// of this kind also finds them. Neither is ever closed before the channel is. Their absence (a name taken by
// another kind of object) leaves the channel without the sync step.
HRESULT CameraChannel::OpenSyncBlock()
{
    wchar_t name[kFrameBlockNameUnits];
    if (!ComposeName(name, headerBlockName, TARN_CAMERA_SYNC_BLOCK_SUFFIX))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, security != nullptr ? security->SyncBlock() : nullptr,
                                        PAGE_READWRITE, 0, TARN_CAMERA_SYNC_BLOCK_SIZE, name);
    if (section == nullptr)
        return HResultOfLastError();
    void* view = nullptr;
    const HRESULT mapped = MapKept(section, MapViewOfFile, TARN_CAMERA_SYNC_BLOCK_SIZE, &view);
    if (FAILED(mapped))
        return mapped;
    if (ComposeName(name, headerBlockName, TARN_CAMERA_SYNC_WAKE_SUFFIX))
        wakeSemaphore =
            CreateSemaphoreW(security != nullptr ? security->WakeSemaphore() : nullptr, 0, 0x7fffffff, name);
    const HRESULT woken = wakeSemaphore != nullptr ? S_OK : HResultOfLastError();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    SyncPublisherCalls calls;
    calls.processId = GetCurrentProcessId();
    calls.ticksPerSecond = frequency.QuadPart;
    calls.now = PerformanceCounterNow;
    calls.processAlive = ProcessAlive;
    calls.pause = PauseForAnotherPublisher;
    calls.wake = ReleaseWakeUps;
    calls.wakeContext = wakeSemaphore;
    sync = new (syncStorage) CameraSyncPublisher(static_cast<TarnCameraSyncBlock*>(view), calls);
    return woken;
}

// Maps the header block into headerView, or leaves it null and says why.
HRESULT CameraChannel::MapHeaderBlock()
{
    HANDLE section = cameraChannelPlatform.openFileMapping(FILE_MAP_ALL_ACCESS, FALSE, headerBlockName);
    if (section == nullptr)
        section = cameraChannelPlatform.createFileMapping(INVALID_HANDLE_VALUE,
                                                          security != nullptr ? security->ReadOnlyBlocks() : nullptr,
                                                          PAGE_READWRITE, 0, kHeaderBlockSize, headerBlockName);
    if (section == nullptr)
        return HResultOfLastError();
    void* view = nullptr;
    const HRESULT mapped = MapKept(section, cameraChannelPlatform.mapViewOfFile, kHeaderBlockSize, &view);
    if (SUCCEEDED(mapped))
        headerView = static_cast<CameraHeaderBlock*>(view);
    return mapped;
}

// The inner step of the set-up (channelLock held, headerView mapped): names and maps the frame block,
// writing each tried name into the header block's frameBlockName. The first name whose view is at least
// kFrameBlockSize of committed memory wins. When no name fits the field, frameView stays null and
// frameBlockName is left empty, so no reader opens a rejected block.
HRESULT CameraChannel::OpenFrameBlock()
{
    // The name grows in a private buffer and is copied into the header block after each step: the block
    // is shared, and a name read back from it could have lost its terminating zero.
    wchar_t name[kFrameBlockNameUnits];
    std::memcpy(name, frameBlockBaseName, sizeof name);
    size_t length = frameBlockBaseNameLength;

    frameView = nullptr;
    HRESULT lastFailure = kNameHeldByAnotherObject;
    for (unsigned attempt = 0; AppendDigits(name, length, attempt); ++attempt) {
        std::memcpy(headerView->frameBlockName, name, (length + 1) * sizeof(wchar_t));
        // Opens an existing section of this name whatever its size; rejected sections and views stay open
        // as long as the channel does.
        HANDLE section = cameraChannelPlatform.createFileMapping(
            INVALID_HANDLE_VALUE, security != nullptr ? security->ReadOnlyBlocks() : nullptr,
            SEC_COMMIT | PAGE_READWRITE, 0, kFrameBlockSize, name);
        if (section == nullptr) {
            lastFailure = HResultOfLastError();
            continue;
        }
        void* view = nullptr;
        lastFailure = MapKept(section, cameraChannelPlatform.mapViewOfFile, kFrameBlockSize, &view);
        if (SUCCEEDED(lastFailure)) {
            frameView = static_cast<unsigned char*>(view);
            return S_OK;
        }
    }
    headerView->frameBlockName[0] = 0;
    return lastFailure;
}

// The steps in their order; the result is the first step's failure, and the steps after a failure still
// run where they can, as the default channel's set-up always has.
HRESULT CameraChannel::RunSetUp(const AM_MEDIA_TYPE* proposedType)
{
    const HRESULT synced = OpenSyncBlock();
    const HRESULT mapped = MapHeaderBlock();
    if (headerView == nullptr)
        return mapped;

    const PictureDescription picture = DescribeMediaTypePicture(proposedType);
    if (picture.present)
        WritePublishedFormat(headerView, picture);

    const HRESULT opened = OpenFrameBlock();

    scratchBuffer = static_cast<unsigned char*>(
        cameraChannelPlatform.heapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kFrameBlockSize));

    if (headerView->initialised == 0) {
        headerView->initialised = 1;
        headerView->auxInt0 = kAuxIntDefault;
        headerView->auxInt1 = kAuxIntDefault;
        headerView->auxFloat0 = kAuxFloatDefault;
        headerView->auxFloat1 = kAuxFloatDefault;
    }
    if (FAILED(synced))
        return synced;
    if (FAILED(opened))
        return opened;
    return scratchBuffer != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CameraChannel::SetUp(const AM_MEDIA_TYPE* proposedType)
{
    AcquireSRWLockExclusive(&channelLock);
    if (setupPending) {
        setUpResult = RunSetUp(proposedType);
        setupPending = false;
    }
    const HRESULT result = setUpResult;
    ReleaseSRWLockExclusive(&channelLock);
    return result;
}

void CameraChannel::Publish(const unsigned char* data, uint32_t length, const PictureDescription& picture,
                            const SampleTimes& times)
{
    const CameraChannelViews channel = Snapshot();
    AcquireSRWLockExclusive(&publishLock);
    PublishFrameToChannel(channel, data, length, picture, times);
    ReleaseSRWLockExclusive(&publishLock);
}

void CameraChannel::SetPublisherState(TarnCameraPublisherState state)
{
    const CameraChannelViews channel = Snapshot();
    if (channel.sync == nullptr)
        return;
    AcquireSRWLockExclusive(&publishLock);
    channel.sync->SetState(state);
    ReleaseSRWLockExclusive(&publishLock);
}

CameraChannelViews CameraChannel::Snapshot()
{
    CameraChannelViews channel;
    AcquireSRWLockShared(&channelLock);
    channel.headerView = headerView;
    channel.frameView = frameView;
    channel.frameCapacity = frameView != nullptr ? kFrameBlockSize : 0;
    channel.scratchBuffer = scratchBuffer;
    channel.scratchCapacity = scratchBuffer != nullptr ? kFrameBlockSize : 0;
    channel.deferredScratch = &deferredScratch;
    channel.sync = sync;
    ReleaseSRWLockShared(&channelLock);
    return channel;
}

bool CameraChannel::SetUpPending()
{
    AcquireSRWLockShared(&channelLock);
    const bool pending = setupPending;
    ReleaseSRWLockShared(&channelLock);
    return pending;
}

CameraChannel& DefaultCameraChannel()
{
    // Constructed on first use (thread-safe) and never destroyed, not even when the module is unloaded: its
    // blocks stay mapped until the process ends.
    alignas(CameraChannel) static unsigned char storage[sizeof(CameraChannel)];
    static CameraChannel* const channel = new (storage) CameraChannel(kHeaderBlockName, kFrameBlockBaseName);
    return *channel;
}

void SetUpCameraChannel(const AM_MEDIA_TYPE* proposedType)
{
    DefaultCameraChannel().SetUp(proposedType);
}

CameraChannelViews SnapshotCameraChannel()
{
    return DefaultCameraChannel().Snapshot();
}

bool CameraChannelSetUpPending()
{
    return DefaultCameraChannel().SetUpPending();
}

CameraChannelPlatform& CameraChannelPlatformCalls()
{
    return cameraChannelPlatform;
}
