// The reader library behind tarn_camera_channel.h. A TarnCameraReader owns one read-only view of the header
// block and one of the frame block (each with its section handle) from open to close; everything it derives
// from the shared bytes is checked first, since any process may write them at any time. Built without the C++
// runtime (no operator new, no exceptions), so C programs link it as they are.
#include <windows.h>

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
    bool Open(const wchar_t* name)
    {
        section = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
        if (section == nullptr)
            return false;
        view = static_cast<const unsigned char*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0));
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
    wchar_t frameBlockName[TARN_CAMERA_FRAME_BLOCK_NAME_UNITS] = {};

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
    if (result != TARN_CAMERA_OK) {
        tarn_camera_reader_close(reader);
        return result;
    }
    *opened = reader;
    return TARN_CAMERA_OK;
}

TarnCameraResult ReadFrameWithHook(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                   TarnCameraFrameInfo* info, AfterFrameCopyHook afterCopy, void* context)
{
    if (reader == nullptr || (buffer == nullptr && capacity != 0))
        return TARN_CAMERA_INVALID_ARGUMENT;
    TarnCameraHeaderBlock before;
    TarnCameraHeaderBlock after;
    for (int attempt = 0; attempt < kFrameCopyAttempts; ++attempt) {
        SnapshotHeader(reader->header.view, &before);
        unsigned long long frameBytes = 0;
        const TarnCameraResult description = reader->Describe(before, &frameBytes);
        if (info != nullptr) {
            // The header as read even when it announces nothing readable, so a caller can show why.
            info->width = before.format.biWidth;
            info->height = before.format.biHeight;
            info->frameBytes = static_cast<unsigned long>(frameBytes);  // fits: at most the mapped region
            info->header = before;
        }
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

extern "C" TarnCameraResult tarn_camera_reader_read(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                                    TarnCameraFrameInfo* info)
{
    return ReadFrameWithHook(reader, buffer, capacity, info, nullptr, nullptr);
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
        return "the header kept changing while the frame was copied";
    }
    return "unknown result code";
}
