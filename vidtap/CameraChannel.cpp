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

// Module-wide channel state, one set per loaded module. Written only by the set-up, under channelLock;
// publishers read it through SnapshotCameraChannel.
CameraHeaderBlock* headerView = nullptr;
unsigned char* frameView = nullptr;
unsigned char* scratchBuffer = nullptr;
LONG setupPending = 1;  // 1 until the set-up has run, whatever its outcome

CameraChannelPlatform cameraChannelPlatform = {
    OpenFileMappingW, CreateFileMappingW, MapViewOfFile, VirtualQuery, HeapAlloc,
};

// Needs no initialisation, so it is valid before any code of the module has run.
SRWLOCK channelLock = SRWLOCK_INIT;

// What one-pass publishing owes the scratch buffer; lives as long as the buffer (the process).
DeferredScratchRows deferredScratch;

// A view is accepted only when its region is committed memory of at least `bytes`: a section created
// elsewhere with SEC_RESERVE maps without error but faults on the first write.
bool ViewHoldsCommitted(const void* view, SIZE_T bytes)
{
    MEMORY_BASIC_INFORMATION info;
    if (cameraChannelPlatform.virtualQuery(view, &info, sizeof info) == 0)
        return false;
    return info.State == MEM_COMMIT && info.RegionSize >= bytes;
}

CameraHeaderBlock* MapHeaderBlock()
{
    HANDLE section = cameraChannelPlatform.openFileMapping(FILE_MAP_ALL_ACCESS, FALSE, kHeaderBlockName);
    if (section == nullptr)
        section = cameraChannelPlatform.createFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                          kHeaderBlockSize, kHeaderBlockName);
    if (section == nullptr)
        return nullptr;
    void* view = cameraChannelPlatform.mapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr || !ViewHoldsCommitted(view, kHeaderBlockSize))
        return nullptr;
    return static_cast<CameraHeaderBlock*>(view);
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

// The inner step of the set-up (channelLock held, headerView mapped): names and maps the frame block,
// writing each tried name into the header block's frameBlockName. The first name whose view is at least
// kFrameBlockSize of committed memory wins. When no name fits the field, frameView stays null and
// frameBlockName is left empty, so no reader opens a rejected block.
void OpenFrameBlock()
{
    // The name grows in a private buffer and is copied into the header block after each step: the block
    // is shared, and a name read back from it could have lost its terminating zero.
    wchar_t name[kFrameBlockNameUnits];
    std::memcpy(name, kFrameBlockBaseName, sizeof kFrameBlockBaseName);
    size_t length = kFrameBlockBaseNameLength;

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

void RunSetUp(const AM_MEDIA_TYPE* proposedType)
{
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

}  // namespace

void SetUpCameraChannel(const AM_MEDIA_TYPE* proposedType)
{
    AcquireSRWLockExclusive(&channelLock);
    if (setupPending != 0) {
        RunSetUp(proposedType);
        setupPending = 0;
    }
    ReleaseSRWLockExclusive(&channelLock);
}

CameraChannelViews SnapshotCameraChannel()
{
    CameraChannelViews channel;
    AcquireSRWLockShared(&channelLock);
    channel.headerView = headerView;
    channel.frameView = frameView;
    channel.frameCapacity = frameView != nullptr ? kFrameBlockSize : 0;
    channel.scratchBuffer = scratchBuffer;
    channel.scratchCapacity = scratchBuffer != nullptr ? kFrameBlockSize : 0;
    channel.deferredScratch = &deferredScratch;
    ReleaseSRWLockShared(&channelLock);
    return channel;
}

bool CameraChannelSetUpPending()
{
    AcquireSRWLockShared(&channelLock);
    const bool pending = setupPending != 0;
    ReleaseSRWLockShared(&channelLock);
    return pending;
}

CameraChannelPlatform& CameraChannelPlatformCalls()
{
    return cameraChannelPlatform;
}
