// The reader library behind tarn_camera_channel.h. A TarnCameraReader owns one read-only view of the header
// block and one of the frame block, and when the publisher keeps one, a view of the sync block (writable, for
// the count of waiting readers alone), the wake-up semaphore and a handle of the publisher's process, from open
// to close; everything it derives from the shared bytes is checked first, since any process may write them at
// any time, and no wait it makes outlasts the caller's timeout. Built without the C++ runtime (no operator
// new, no exceptions), so C programs link it as they are.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "TarnCameraReaderSeam.h"
#include "tarn_camera_channel.h"

#if defined(__MINGW32__) && defined(__i386__)
// Marks this 32-bit object as compatible with safe exception handling (bit 0 of the absolute symbol
// @feat.00, as Microsoft's compilers set it): it installs no exception handler, so its table of safe handlers
// is empty. Without the mark, Microsoft's linker refuses the library in an image linked with /SAFESEH.
asm(".globl @feat.00\n.set @feat.00, 1");
#endif

namespace {

// A named section mapped for reading, with the size of its region as VirtualQuery reports it. Unmapped and
// closed by its owner's destruction.
class ReadOnlyView {
public:
    ReadOnlyView() = default;
    ReadOnlyView(const ReadOnlyView&) = delete;
    ReadOnlyView& operator=(const ReadOnlyView&) = delete;
    ~ReadOnlyView()
    {
        if (view != nullptr)
            UnmapViewOfFile(view);
        if (section != nullptr)
            CloseHandle(section);
    }

    // False when no section of that name exists; true with a null view when it exists but cannot be mapped.
    bool Open(const wchar_t* name, DWORD access = FILE_MAP_READ)
    {
        section = OpenFileMappingW(access, FALSE, name);
        if (section == nullptr)
            return false;
        view = static_cast<const unsigned char*>(MapViewOfFile(section, access, 0, 0, 0));
        MEMORY_BASIC_INFORMATION region = {};
        if (view != nullptr && VirtualQuery(view, &region, sizeof region) == sizeof region)
            regionSize = region.RegionSize;
        return true;
    }

    const unsigned char* view = nullptr;
    SIZE_T regionSize = 0;

private:
    HANDLE section = nullptr;
};

// A kernel object handle closed by its owner's destruction.
class OwnedHandle {
public:
    OwnedHandle() = default;
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() { Reset(nullptr); }
    void Reset(HANDLE replacement)
    {
        if (handle != nullptr)
            CloseHandle(handle);
        handle = replacement;
    }
    HANDLE handle = nullptr;
};

// Copies `source` and appends `suffix` into `target` (TARN_CAMERA_FRAME_BLOCK_NAME_UNITS units); false when
// the two do not fit with the terminating zero.
bool ComposeName(wchar_t* target, const wchar_t* source, const wchar_t* suffix)
{
    size_t length = 0;
    for (; source[length] != 0; ++length)
        if (length + 1 >= TARN_CAMERA_FRAME_BLOCK_NAME_UNITS)
            return false;
    for (size_t i = 0; i <= length; ++i)
        target[i] = source[i];
    for (size_t i = 0;; ++i) {
        if (length + i >= TARN_CAMERA_FRAME_BLOCK_NAME_UNITS)
            return false;
        target[length + i] = suffix[i];
        if (suffix[i] == 0)
            return true;
    }
}

// The fields of the sync block the reader looks at, each read once, atomically, from the shared bytes.
template <typename T>
T LoadShared(const unsigned char* block, size_t offset)
{
    return __atomic_load_n(reinterpret_cast<const T*>(block + offset), __ATOMIC_SEQ_CST);
}

uint64_t LoadSequence(const unsigned char* sync)
{
    return LoadShared<uint64_t>(sync, offsetof(TarnCameraSyncBlock, sequence));
}

bool SyncBlockValid(const unsigned char* sync)
{
    return LoadShared<uint32_t>(sync, offsetof(TarnCameraSyncBlock, magic)) == TARN_CAMERA_SYNC_MAGIC &&
           LoadShared<uint32_t>(sync, offsetof(TarnCameraSyncBlock, version)) == TARN_CAMERA_SYNC_VERSION &&
           LoadShared<uint32_t>(sync, offsetof(TarnCameraSyncBlock, size)) == TARN_CAMERA_SYNC_BLOCK_SIZE;
}

// Copies `bytes` of shared memory that another process may be writing; the copy is judged by the sequence.
void CopyShared(void* target, const unsigned char* source, size_t bytes)
{
    std::memcpy(target, source, bytes);
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
}

// The header as it stands now, read through a volatile view so that every call reads the shared bytes anew.
void SnapshotHeader(const unsigned char* headerView, TarnCameraHeaderBlock* snapshot)
{
    const volatile unsigned char* source = headerView;
    unsigned char* target = reinterpret_cast<unsigned char*>(snapshot);
    for (size_t i = 0; i < sizeof *snapshot; ++i)
        target[i] = source[i];
}

// Units of the frame block's name before its terminating zero, or -1 when the field holds none.
int NameLength(const TarnCameraHeaderBlock& header)
{
    for (int i = 0; i < TARN_CAMERA_FRAME_BLOCK_NAME_UNITS; ++i)
        if (header.frameBlockName[i] == 0)
            return i;
    return -1;
}

// Whether two snapshots describe the same frame: same block, same geometry, same depth.
bool SameFrameDescription(const TarnCameraHeaderBlock& a, const TarnCameraHeaderBlock& b)
{
    return a.format.biWidth == b.format.biWidth && a.format.biHeight == b.format.biHeight &&
           a.format.biBitCount == b.format.biBitCount && a.format.biCompression == b.format.biCompression &&
           std::memcmp(a.frameBlockName, b.frameBlockName, sizeof a.frameBlockName) == 0;
}

}  // namespace

struct TarnCameraReader {
    ReadOnlyView header;
    ReadOnlyView frame;
    ReadOnlyView sync;        // mapped writable (waitingReaders); no view when the publisher keeps no sync block
    OwnedHandle wake;         // the wake-up semaphore, SYNCHRONIZE access only
    OwnedHandle publisher;    // the process of publisherId, SYNCHRONIZE access only
    uint32_t publisherId = 0;
    wchar_t frameBlockName[TARN_CAMERA_FRAME_BLOCK_NAME_UNITS] = {};
    uint64_t lastSequence = 0;          // the sequence of the last frame returned; 0 before the first
    uint32_t endReported = 0;           // stateChanges when the publisher's end was last reported
    bool endReportedOnce = false;

    bool HasSync() const { return sync.view != nullptr; }

    // Keeps a handle of the process the sync block names as publisher (reopened when another one takes over);
    // false when that process is known to have ended already.
    bool WatchPublisher()
    {
        const uint32_t id = LoadShared<uint32_t>(sync.view, offsetof(TarnCameraSyncBlock, publisherProcessId));
        if (id == publisherId && publisher.handle != nullptr)
            return true;
        publisherId = id;
        HANDLE process = id != 0 ? OpenProcess(SYNCHRONIZE, FALSE, id) : nullptr;
        publisher.Reset(process);
        // A process that no longer exists cannot be opened; one of another session can be, or is denied.
        return process != nullptr || id == 0 || GetLastError() != ERROR_INVALID_PARAMETER;
    }

    // Whether the publisher's process is known to have ended.
    bool PublisherGone()
    {
        if (!WatchPublisher())
            return true;
        return publisher.handle != nullptr && WaitForSingleObject(publisher.handle, 0) == WAIT_OBJECT_0;
    }

    // The picture `snapshot` announces, checked against what is mapped: its size in bytes in *frameBytes.
    TarnCameraResult Describe(const TarnCameraHeaderBlock& snapshot, unsigned long long* frameBytes) const
    {
        if (std::memcmp(snapshot.frameBlockName, frameBlockName, sizeof frameBlockName) != 0)
            return TARN_CAMERA_FRAME_BLOCK_RENAMED;
        if (snapshot.format.biBitCount != TARN_CAMERA_PUBLISHED_BIT_COUNT ||
            snapshot.format.biCompression != TARN_CAMERA_PUBLISHED_COMPRESSION)
            return TARN_CAMERA_UNSUPPORTED_FORMAT;
        if (snapshot.format.biWidth <= 0 || snapshot.format.biHeight <= 0)
            return TARN_CAMERA_BAD_GEOMETRY;
        // Both factors are below 2^31, so the product of the three cannot overflow 64 bits.
        const unsigned long long bytes = static_cast<unsigned long long>(snapshot.format.biWidth) * 3u *
                                         static_cast<unsigned long long>(snapshot.format.biHeight);
        if (bytes > frame.regionSize)
            return TARN_CAMERA_FRAME_TOO_LARGE;
        *frameBytes = bytes;
        return TARN_CAMERA_OK;
    }
};

namespace {

// Maps the sync block beside the header block `headerBlockName`, when the publisher keeps one, with the
// wake-up semaphore. A sync block too small to hold its layout is refused; a missing one is no error.
TarnCameraResult OpenSync(TarnCameraReader* reader, const wchar_t* headerBlockName)
{
    wchar_t name[TARN_CAMERA_FRAME_BLOCK_NAME_UNITS];
    if (!ComposeName(name, headerBlockName, TARN_CAMERA_SYNC_BLOCK_SUFFIX))
        return TARN_CAMERA_OK;
    if (!reader->sync.Open(name, FILE_MAP_READ | FILE_MAP_WRITE))
        return TARN_CAMERA_OK;
    if (reader->sync.view == nullptr || reader->sync.regionSize < TARN_CAMERA_SYNC_BLOCK_SIZE)
        return TARN_CAMERA_SYNC_BROKEN;
    if (ComposeName(name, headerBlockName, TARN_CAMERA_SYNC_WAKE_SUFFIX))
        reader->wake.Reset(OpenSemaphoreW(SYNCHRONIZE, FALSE, name));
    return TARN_CAMERA_OK;
}

}  // namespace

extern "C" TarnCameraResult tarn_camera_reader_open(const wchar_t* headerBlockName, TarnCameraReader** opened)
{
    if (opened == nullptr)
        return TARN_CAMERA_INVALID_ARGUMENT;
    *opened = nullptr;
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(TarnCameraReader));
    if (memory == nullptr)
        return TARN_CAMERA_OUT_OF_MEMORY;
    TarnCameraReader* reader = new (memory) TarnCameraReader;

    TarnCameraResult result = TARN_CAMERA_OK;
    TarnCameraHeaderBlock snapshot;
    if (!reader->header.Open(headerBlockName != nullptr ? headerBlockName : TARN_CAMERA_HEADER_BLOCK_NAME)) {
        result = TARN_CAMERA_NO_CHANNEL;
    } else if (reader->header.view == nullptr || reader->header.regionSize < sizeof snapshot) {
        result = TARN_CAMERA_HEADER_UNREADABLE;
    } else {
        SnapshotHeader(reader->header.view, &snapshot);
        const int nameLength = NameLength(snapshot);
        if (nameLength < 0)
            result = TARN_CAMERA_NAME_UNTERMINATED;
        else if (nameLength == 0)
            result = TARN_CAMERA_NAME_EMPTY;
    }
    if (result == TARN_CAMERA_OK) {
        for (int i = 0; i < TARN_CAMERA_FRAME_BLOCK_NAME_UNITS; ++i)
            reader->frameBlockName[i] = static_cast<wchar_t>(snapshot.frameBlockName[i]);
        if (!reader->frame.Open(reader->frameBlockName) || reader->frame.view == nullptr)
            result = TARN_CAMERA_NO_FRAME_BLOCK;
    }
    if (result == TARN_CAMERA_OK)
        result = OpenSync(reader, headerBlockName != nullptr ? headerBlockName : TARN_CAMERA_HEADER_BLOCK_NAME);
    if (result != TARN_CAMERA_OK) {
        tarn_camera_reader_close(reader);
        return result;
    }
    *opened = reader;
    return TARN_CAMERA_OK;
}

namespace {

// What the sync block records of the frame, copied while the sequence was even and unchanged.
void DescribeSyncedFrame(const TarnCameraSyncBlock& record, uint64_t sequence, uint64_t previous,
                         TarnCameraFrameInfo* info)
{
    info->flags = TARN_CAMERA_INFO_WHOLE_FRAME;
    info->frameNumber = sequence / 2;
    info->framesSkipped = previous != 0 && sequence > previous + 2 ? (sequence - previous) / 2 - 1 : 0;
    info->timeFlags = record.timeFlags;
    info->streamStart = record.streamStart;
    info->streamStop = record.streamStop;
    info->publishTicks = record.publishTicks;
    info->ticksPerSecond = record.ticksPerSecond;
    info->frameKind = record.frameKind;
    info->sourceBitCount = record.sourceBitCount;
    std::memcpy(info->sourceSubtype, record.sourceSubtype, sizeof info->sourceSubtype);
}

void DescribeHeader(const TarnCameraHeaderBlock& header, unsigned long long frameBytes, TarnCameraFrameInfo* info)
{
    std::memset(info, 0, sizeof *info);
    info->width = header.format.biWidth;
    info->height = header.format.biHeight;
    info->frameBytes = static_cast<unsigned long>(frameBytes);  // fits: at most the mapped region
    info->header = header;
}

// The read against a publisher without a sync block: the header is compared before and after each copy,
// which catches a change of geometry but not a frame rewritten under the same header.
TarnCameraResult ReadUnsynchronised(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                    TarnCameraFrameInfo* info, AfterFrameCopyHook afterCopy, void* context)
{
    TarnCameraHeaderBlock before;
    TarnCameraHeaderBlock after;
    for (int attempt = 0; attempt < kFrameCopyAttempts; ++attempt) {
        SnapshotHeader(reader->header.view, &before);
        unsigned long long frameBytes = 0;
        const TarnCameraResult description = reader->Describe(before, &frameBytes);
        if (info != nullptr)
            DescribeHeader(before, frameBytes, info);
        if (description != TARN_CAMERA_OK)
            return description;
        if (frameBytes > capacity)
            return TARN_CAMERA_BUFFER_TOO_SMALL;
        std::memcpy(buffer, reader->frame.view, static_cast<size_t>(frameBytes));
        if (afterCopy != nullptr)
            afterCopy(context);
        SnapshotHeader(reader->header.view, &after);
        if (SameFrameDescription(before, after))
            return TARN_CAMERA_OK;
    }
    return TARN_CAMERA_CHANGING;
}

// The read against a sync block: header, frame record and frame are copied between two reads of the sequence,
// and count only when both read the same even value.
TarnCameraResult ReadSynchronised(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                  TarnCameraFrameInfo* info, AfterFrameCopyHook afterCopy, void* context)
{
    const unsigned char* sync = reader->sync.view;
    TarnCameraHeaderBlock header;
    TarnCameraSyncBlock record;
    for (int attempt = 0; attempt < kSyncedCopyAttempts; ++attempt) {
        if (!SyncBlockValid(sync))
            return TARN_CAMERA_SYNC_BROKEN;
        const uint64_t before = LoadSequence(sync);
        if (before % 2 != 0) {
            // A frame is being written (about a millisecond), or its publisher died in the middle of it.
            if (reader->PublisherGone())
                return TARN_CAMERA_PUBLISHER_GONE;
            Sleep(attempt < 2 ? 0 : 1);
            continue;
        }
        if (before < reader->lastSequence)
            return TARN_CAMERA_SYNC_BROKEN;
        CopyShared(&header, reader->header.view, sizeof header);
        CopyShared(&record, sync, sizeof record);
        unsigned long long frameBytes = 0;
        TarnCameraResult result = reader->Describe(header, &frameBytes);
        if (result == TARN_CAMERA_OK && frameBytes > capacity)
            result = TARN_CAMERA_BUFFER_TOO_SMALL;
        if (result == TARN_CAMERA_OK)
            CopyShared(buffer, reader->frame.view, static_cast<size_t>(frameBytes));
        if (afterCopy != nullptr)
            afterCopy(context);
        if (LoadSequence(sync) != before)
            continue;
        if (info != nullptr) {
            DescribeHeader(header, frameBytes, info);
            if (result == TARN_CAMERA_OK)
                DescribeSyncedFrame(record, before, reader->lastSequence, info);
        }
        if (result == TARN_CAMERA_OK)
            reader->lastSequence = before;
        return result;
    }
    return reader->PublisherGone() ? TARN_CAMERA_PUBLISHER_GONE : TARN_CAMERA_CHANGING;
}

TarnCameraResult ReadFrame(TarnCameraReader* reader, void* buffer, unsigned long capacity, TarnCameraFrameInfo* info,
                           AfterFrameCopyHook afterCopy, void* context)
{
    if (reader == nullptr || (buffer == nullptr && capacity != 0))
        return TARN_CAMERA_INVALID_ARGUMENT;
    return reader->HasSync() ? ReadSynchronised(reader, buffer, capacity, info, afterCopy, context)
                             : ReadUnsynchronised(reader, buffer, capacity, info, afterCopy, context);
}

}  // namespace

#ifdef TARN_CAMERA_READER_SEAM
TarnCameraResult ReadFrameWithHook(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                   TarnCameraFrameInfo* info, AfterFrameCopyHook afterCopy, void* context)
{
    return ReadFrame(reader, buffer, capacity, info, afterCopy, context);
}
#endif

extern "C" TarnCameraResult tarn_camera_reader_read(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                                    TarnCameraFrameInfo* info)
{
    return ReadFrame(reader, buffer, capacity, info, nullptr, nullptr);
}

namespace {

// One look at the sync block for a waiting reader: OK when a newer frame is whole, an end or a broken block as
// their codes, TARN_CAMERA_TIMEOUT when there is nothing yet.
TarnCameraResult LookForNews(TarnCameraReader* reader)
{
    const unsigned char* sync = reader->sync.view;
    if (!SyncBlockValid(sync))
        return TARN_CAMERA_SYNC_BROKEN;
    const uint64_t sequence = LoadSequence(sync);
    if (sequence < reader->lastSequence)
        return TARN_CAMERA_SYNC_BROKEN;
    if (sequence % 2 == 0 && sequence > reader->lastSequence)
        return TARN_CAMERA_OK;
    const uint32_t state = LoadShared<uint32_t>(sync, offsetof(TarnCameraSyncBlock, publisherState));
    const uint32_t changes = LoadShared<uint32_t>(sync, offsetof(TarnCameraSyncBlock, stateChanges));
    const bool ended = state == TARN_CAMERA_PUBLISHER_STOPPED || state == TARN_CAMERA_PUBLISHER_END_OF_STREAM;
    if (ended && (!reader->endReportedOnce || changes != reader->endReported)) {
        reader->endReported = changes;
        reader->endReportedOnce = true;
        return TARN_CAMERA_PUBLISHER_ENDED;
    }
    return TARN_CAMERA_TIMEOUT;
}

}  // namespace

extern "C" TarnCameraResult tarn_camera_reader_wait(TarnCameraReader* reader, unsigned long timeoutMilliseconds)
{
    if (reader == nullptr)
        return TARN_CAMERA_INVALID_ARGUMENT;
    if (!reader->HasSync())
        return TARN_CAMERA_NO_SYNC_BLOCK;
    // Counted before the first look, so that a frame completed after that look wakes this reader.
    volatile LONG* waiting = reinterpret_cast<volatile LONG*>(
        const_cast<unsigned char*>(reader->sync.view) + offsetof(TarnCameraSyncBlock, waitingReaders));
    InterlockedIncrement(waiting);
    const ULONGLONG deadline = GetTickCount64() + timeoutMilliseconds;
    TarnCameraResult result;
    for (;;) {
        result = LookForNews(reader);
        if (result != TARN_CAMERA_TIMEOUT)
            break;
        if (!reader->WatchPublisher()) {
            result = TARN_CAMERA_PUBLISHER_GONE;
            break;
        }
        // One wait on the wake-up semaphore and the publisher's process together (with a timeout of 0 too,
        // it still tells whether the process has ended). Without either of them (another session's
        // publisher) the wait is cut into slices, so that a new frame or an ended publisher is still seen.
        HANDLE handles[2];
        DWORD count = 0;
        if (reader->wake.handle != nullptr)
            handles[count++] = reader->wake.handle;
        const bool watchesPublisher = reader->publisher.handle != nullptr;
        if (watchesPublisher)
            handles[count++] = reader->publisher.handle;
        const ULONGLONG now = GetTickCount64();
        DWORD slice = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if ((reader->wake.handle == nullptr || !watchesPublisher) && slice > kUnwatchedWaitSliceMilliseconds)
            slice = kUnwatchedWaitSliceMilliseconds;
        const DWORD woken = count != 0 ? WaitForMultipleObjects(count, handles, FALSE, slice) : (Sleep(slice), WAIT_TIMEOUT);
        if (watchesPublisher && woken == WAIT_OBJECT_0 + count - 1) {
            result = TARN_CAMERA_PUBLISHER_GONE;
            break;
        }
        if (woken == WAIT_TIMEOUT && GetTickCount64() >= deadline) {
            result = LookForNews(reader);  // a frame completed just as the time ran out still counts
            break;
        }
    }
    InterlockedDecrement(waiting);
    return result;
}

extern "C" const wchar_t* tarn_camera_reader_frame_block_name(const TarnCameraReader* reader)
{
    return reader != nullptr ? reader->frameBlockName : L"";
}

extern "C" unsigned long tarn_camera_reader_frame_block_size(const TarnCameraReader* reader)
{
    return reader != nullptr ? static_cast<unsigned long>(reader->frame.regionSize) : 0;
}

extern "C" void tarn_camera_reader_close(TarnCameraReader* reader)
{
    if (reader == nullptr)
        return;
    reader->~TarnCameraReader();
    HeapFree(GetProcessHeap(), 0, reader);
}

extern "C" const char* tarn_camera_result_message(TarnCameraResult result)
{
    switch (result) {
    case TARN_CAMERA_OK:
        return "the frame was read";
    case TARN_CAMERA_INVALID_ARGUMENT:
        return "a required pointer argument is null";
    case TARN_CAMERA_OUT_OF_MEMORY:
        return "out of memory";
    case TARN_CAMERA_NO_CHANNEL:
        return "no camera channel: the header block does not exist (is a publisher running?)";
    case TARN_CAMERA_HEADER_UNREADABLE:
        return "the header block cannot be mapped or is smaller than 580 bytes";
    case TARN_CAMERA_NAME_UNTERMINATED:
        return "the header block's frame block name has no terminating zero within its 256 units";
    case TARN_CAMERA_NAME_EMPTY:
        return "the header block names no frame block";
    case TARN_CAMERA_NO_FRAME_BLOCK:
        return "the frame block the header block names does not exist or cannot be mapped";
    case TARN_CAMERA_FRAME_BLOCK_RENAMED:
        return "the header block now names another frame block; open the channel again";
    case TARN_CAMERA_UNSUPPORTED_FORMAT:
        return "the header block announces no uncompressed 24-bit picture";
    case TARN_CAMERA_BAD_GEOMETRY:
        return "the announced width or height is zero or negative";
    case TARN_CAMERA_FRAME_TOO_LARGE:
        return "the announced picture does not fit the mapped frame block";
    case TARN_CAMERA_BUFFER_TOO_SMALL:
        return "the buffer is smaller than the frame";
    case TARN_CAMERA_CHANGING:
        return "the frame kept changing while it was copied";
    case TARN_CAMERA_TIMEOUT:
        return "no newer frame arrived in time";
    case TARN_CAMERA_PUBLISHER_ENDED:
        return "the publisher stopped or reached the end of its stream";
    case TARN_CAMERA_PUBLISHER_GONE:
        return "the publisher's process has ended";
    case TARN_CAMERA_NO_SYNC_BLOCK:
        return "the publisher keeps no sync block: frames can only be polled, and may be torn";
    case TARN_CAMERA_SYNC_BROKEN:
        return "the sync block is not valid or its sequence ran backwards; open the channel again";
    }
    return "unknown result code";
}
