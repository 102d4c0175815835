#include "CameraChannel.h"

#include <cstring>

#include "CameraChannelTestSeam.h"
#include "FramePublisherCore.h"
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

}  // namespace

CameraChannel::CameraChannel(const wchar_t* header, const wchar_t* frameBase)
{
    ComposeName(headerBlockName, header, L"");
    ComposeName(frameBlockBaseName, frameBase, L"");
    frameBlockBaseNameLength = wcslen(frameBlockBaseName);
}

// The sync block and its semaphore come first, so that a reader that finds the header block of a publisher
// of this kind also finds them. Neither is ever closed before the channel is. Their absence (a name taken by
// another kind of object) leaves the channel without the sync step.
void CameraChannel::OpenSyncBlock()
{
    wchar_t name[kFrameBlockNameUnits];
    if (!ComposeName(name, headerBlockName, TARN_CAMERA_SYNC_BLOCK_SUFFIX))
        return;
    HANDLE section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        TARN_CAMERA_SYNC_BLOCK_SIZE, name);
    if (section == nullptr)
        return;
    void* view = MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr || !ViewHoldsCommitted(view, TARN_CAMERA_SYNC_BLOCK_SIZE))
        return;
    if (ComposeName(name, headerBlockName, TARN_CAMERA_SYNC_WAKE_SUFFIX))
        wakeSemaphore = CreateSemaphoreW(nullptr, 0, 0x7fffffff, name);
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
}

CameraHeaderBlock* CameraChannel::MapHeaderBlock()
{
    HANDLE section = cameraChannelPlatform.openFileMapping(FILE_MAP_ALL_ACCESS, FALSE, headerBlockName);
    if (section == nullptr)
        section = cameraChannelPlatform.createFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                          kHeaderBlockSize, headerBlockName);
    if (section == nullptr)
        return nullptr;
    void* view = cameraChannelPlatform.mapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr || !ViewHoldsCommitted(view, kHeaderBlockSize))
        return nullptr;
    return static_cast<CameraHeaderBlock*>(view);
}

// The inner step of the set-up (channelLock held, headerView mapped): names and maps the frame block,
// writing each tried name into the header block's frameBlockName. The first name whose view is at least
// kFrameBlockSize of committed memory wins. When no name fits the field, frameView stays null and
// frameBlockName is left empty, so no reader opens a rejected block.
void CameraChannel::OpenFrameBlock()
{
    // The name grows in a private buffer and is copied into the header block after each step: the block
    // is shared, and a name read back from it could have lost its terminating zero.
    wchar_t name[kFrameBlockNameUnits];
    std::memcpy(name, frameBlockBaseName, sizeof name);
    size_t length = frameBlockBaseNameLength;

    frameView = nullptr;
    for (unsigned attempt = 0; AppendDigits(name, length, attempt); ++attempt) {
        std::memcpy(headerView->frameBlockName, name, (length + 1) * sizeof(wchar_t));
        // Opens an existing section of this name whatever its size; rejected sections and views stay open.
        HANDLE section = cameraChannelPlatform.createFileMapping(INVALID_HANDLE_VALUE, nullptr,
                                                                 SEC_COMMIT | PAGE_READWRITE, 0, kFrameBlockSize, name);
        if (section == nullptr)
            continue;
        void* view = cameraChannelPlatform.mapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (view != nullptr && ViewHoldsCommitted(view, kFrameBlockSize)) {
            frameView = static_cast<unsigned char*>(view);
            return;
        }
    }
    headerView->frameBlockName[0] = 0;
}

void CameraChannel::RunSetUp(const AM_MEDIA_TYPE* proposedType)
{
    OpenSyncBlock();
    headerView = MapHeaderBlock();
    if (headerView == nullptr)
        return;

    const PictureDescription picture = DescribeMediaTypePicture(proposedType);
    if (picture.present)
        WritePublishedFormat(headerView, picture);

    OpenFrameBlock();

    scratchBuffer = static_cast<unsigned char*>(
        cameraChannelPlatform.heapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kFrameBlockSize));

    if (headerView->initialised == 0) {
        headerView->initialised = 1;
        headerView->auxInt0 = kAuxIntDefault;
        headerView->auxInt1 = kAuxIntDefault;
        headerView->auxFloat0 = kAuxFloatDefault;
        headerView->auxFloat1 = kAuxFloatDefault;
    }
}

void CameraChannel::SetUp(const AM_MEDIA_TYPE* proposedType)
{
    AcquireSRWLockExclusive(&channelLock);
    if (setupPending) {
        RunSetUp(proposedType);
        setupPending = false;
    }
    ReleaseSRWLockExclusive(&channelLock);
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
    // Constructed on first use (thread-safe); it has nothing to destroy, and its blocks stay mapped until the
    // process ends.
    static CameraChannel channel(kHeaderBlockName, kFrameBlockBaseName);
    return channel;
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
