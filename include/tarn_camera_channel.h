/* tarn_camera_channel.h: the camera channel through which vidtap.dll hands every video frame it receives to
 * another process, and the reader library (tarn_camera_reader) that opens it. C89; usable from C, C++ and any
 * foreign-function interface that can call the Windows C ABI. The types are the Windows data model's (LLP64:
 * int and long are 32 bits in 32- and 64-bit processes alike); the channel exists only on Windows.
 *
 * THE CHANNEL
 * Two named shared-memory sections (paging-file backed, PAGE_READWRITE), created by the first vidtap filter
 * that checks a media type in a process and kept until that process ends:
 *
 *   header block  "tarn_kro_shared_camera_info", 580 bytes, little-endian, laid out as TarnCameraHeaderBlock:
 *     offset   0  int             initialised     1 once any publisher has set the block up
 *     offset   4  TarnPictureHeader format        a BITMAPINFOHEADER: the connection's picture header with
 *                                                 biBitCount 24 and biCompression 0 (BI_RGB) written over it;
 *                                                 biSizeImage and the other fields stay the connection's
 *     offset  44  4 bytes                         never written
 *     offset  48  256 UTF-16 units    frameBlockName  the frame block's name, zero-terminated
 *     offset 560  int             auxInt0         0 when the block was first set up; never read by vidtap
 *     offset 564  int             auxInt1         0 likewise
 *     offset 568  float           auxFloat0       0.15f (bits 0x3E19999A) likewise
 *     offset 572  float           auxFloat1       0.15f likewise
 *     offset 576  4 bytes                         never written
 *
 *   frame block   6,220,800 bytes (1920 x 1080 x 3), named by frameBlockName, holding the newest frame:
 *     - for a 16-bit connection (taken as packed YUV 4:2:2, Y0 U Y1 V): biHeight rows of biWidth * 3 bytes,
 *       no row padding, bottom row of the picture first; each pixel blue, green, red; both pixels of a pair
 *       carry the colour of the pair's first luma (Y1 is not used);
 *     - for any other connection: the sample's bytes as delivered, from offset 0, in the source's own layout,
 *       while the header still announces 24 bits.
 *     Bytes beyond the last one written keep their earlier contents.
 *
 * Frame block naming: the base name "tarn_kro_shared_camera_memeory" (30 units, spelled so) followed by the
 * decimal digits of successive tries 0, 1, 2, ... each appended to the name of the try before ("...memeory0",
 * "...memeory01", "...memeory012", ...); the first name that yields a block of at least 6,220,800 bytes is
 * used and announced in frameBlockName. A reader takes the name from the header, never guesses it.
 *
 * The two blocks alone carry no synchronisation: a reader of them alone may see a frame, or the header's
 * format, while it is being rewritten. Publishers of this version add a third block beside them, the sync
 * block below, which tells a reader whether what it copied is one whole frame and lets it wait for the next.
 *
 * THE SYNC BLOCK
 *   sync block    the header block's name followed by "_sync" ("tarn_kro_shared_camera_info_sync"), 128 bytes,
 *                 little-endian, laid out as TarnCameraSyncBlock (the same in 32- and 64-bit processes). A
 *                 publisher creates it before the header block, so a channel whose header block exists
 *                 without it was published by an older build or another program: no whole-frame guarantee.
 *   wake-up       a named semaphore, the header block's name followed by "_sync_wake"; a reader opens it with
 *                 SYNCHRONIZE access only.
 *
 *   offset  0  uint32  magic           TARN_CAMERA_SYNC_MAGIC
 *   offset  4  uint32  version         TARN_CAMERA_SYNC_VERSION
 *   offset  8  uint32  size            TARN_CAMERA_SYNC_BLOCK_SIZE
 *   offset 12  uint32  publisherState  a TarnCameraPublisherState
 *   offset 16  uint64  sequence        odd while a frame is being written, even when it is whole; frames
 *                                      published so far = sequence / 2
 *   offset 24  uint32  publisherProcessId   the process that published last or changed the state last
 *   offset 28  uint32  waitingReaders  READERS WRITE THIS: the number of readers waiting for a frame
 *   offset 32  int64   heartbeatTicks  QueryPerformanceCounter at the last publish or state change
 *   offset 40  int64   ticksPerSecond  QueryPerformanceFrequency of the publisher (the same in every process)
 *   offsets 48 to 119: the frame now in the frame block, valid under the sequence like the frame itself:
 *   offset 48  int32   width, height   the picture's geometry (offset 52: height)
 *   offset 56  uint32  rowOrder        TARN_CAMERA_ROWS_BOTTOM_UP (converted) or TARN_CAMERA_ROWS_AS_DELIVERED
 *   offset 60  uint32  frameKind       TARN_CAMERA_FRAME_CONVERTED or TARN_CAMERA_FRAME_COPIED (the source's
 *                                      bytes as they came, in a format the header block does not describe)
 *   offset 64  uint32  frameBytes      the bytes written into the frame block for this frame
 *   offset 68  uint32  sourceBitCount  the connection's biBitCount (0 without a picture header)
 *   offset 72  16 bytes sourceSubtype  the connection's media subtype (a GUID)
 *   offset 88  uint32  timeFlags       TARN_CAMERA_TIME_START_VALID | TARN_CAMERA_TIME_STOP_VALID
 *   offset 92  uint32  writerProcessId the process whose publisher made the sequence odd last
 *   offset 96  int64   streamStart, streamStop   the sample's stream times (100 ns; offset 104: streamStop)
 *   offset 112 int64   publishTicks    QueryPerformanceCounter when the frame was whole
 *   offset 120 uint32  stateChanges    counts every change of publisherState
 *   offset 124 4 bytes                 zero
 *
 * WHAT A READER DOES TO GET A WHOLE FRAME (the reader library does exactly this):
 *   1. Map the sync block and check magic, version and size; otherwise it is not a channel of this kind.
 *   2. Read `sequence` (s1). If it is odd, a frame is being written: wait a little and start again.
 *   3. Read the header block, the frame record (offsets 48 to 119) and copy the frame block's bytes.
 *   4. Read `sequence` again (s2), after the copy (a read barrier on weakly ordered processors). When s2 equals
 *      s1 the copy is one whole frame, the one numbered s1 / 2; otherwise start again (a bounded number of
 *      times: a publisher that died mid-frame leaves the sequence odd for good).
 * HOW TO WAIT FOR THE NEXT FRAME without polling:
 *   1. Add 1 to `waitingReaders` with an interlocked operation (the publisher signals only while it is not 0).
 *   2. Read `sequence`: when it is even and above the last one you read, a new frame is there: go to 5.
 *   3. When `publisherState` says stopped or end of stream, the publisher has ended: go to 5.
 *   4. Wait on the wake-up semaphore together with the publisher's process (OpenProcess with SYNCHRONIZE on
 *      publisherProcessId), with your timeout; after a wake-up go to 2. The process handle signalled means the
 *      publisher has gone.
 *   5. Subtract 1 from `waitingReaders` with an interlocked operation.
 * After each whole frame, and after each change of its state, a publisher releases the semaphore once for each
 * waiting reader it counts; it never waits for, locks against or blocks on a reader, and trusts nothing a reader
 * writes: a wrong `waitingReaders` costs readers spurious wake-ups (they look again and wait again) or the
 * publisher a needless signal, never a wrong frame. No lost wake-up: a reader counts itself before it looks at
 * the sequence, and the publisher looks at the count after the sequence is even. Several publishers on one
 * channel take turns through the sequence itself: each makes it odd by an interlocked compare-and-exchange of an
 * even value, waiting (for a bounded time) for a publisher that holds it odd; a publisher that died mid-frame
 * is taken over at once.
 */
#ifndef TARN_CAMERA_CHANNEL_H
#define TARN_CAMERA_CHANNEL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TARN_CAMERA_HEADER_BLOCK_NAME L"tarn_kro_shared_camera_info"
#define TARN_CAMERA_FRAME_BLOCK_BASE_NAME L"tarn_kro_shared_camera_memeory"
#define TARN_CAMERA_FRAME_BLOCK_BASE_NAME_LENGTH 30
#define TARN_CAMERA_HEADER_BLOCK_SIZE 580
#define TARN_CAMERA_FRAME_BLOCK_SIZE 6220800UL
#define TARN_CAMERA_FRAME_BLOCK_NAME_UNITS 256 /* including the terminating zero */
#define TARN_CAMERA_PUBLISHED_BIT_COUNT 24
#define TARN_CAMERA_PUBLISHED_COMPRESSION 0 /* BI_RGB */

/* A BITMAPINFOHEADER, field for field. */
typedef struct TarnPictureHeader {
    unsigned int biSize;
    int biWidth;
    int biHeight;
    unsigned short biPlanes;
    unsigned short biBitCount;
    unsigned int biCompression;
    unsigned int biSizeImage;
    int biXPelsPerMeter;
    int biYPelsPerMeter;
    unsigned int biClrUsed;
    unsigned int biClrImportant;
} TarnPictureHeader;

typedef struct TarnCameraHeaderBlock {
    int initialised;
    TarnPictureHeader format;
    unsigned char unused44[4];
    unsigned short frameBlockName[TARN_CAMERA_FRAME_BLOCK_NAME_UNITS]; /* UTF-16 */
    int auxInt0;
    int auxInt1;
    float auxFloat0;
    float auxFloat1;
    unsigned char unused576[4];
} TarnCameraHeaderBlock;

/* Compile-time layout checks that any C89 compiler evaluates: a negative array size fails the build. */
#define TARN_CAMERA_LAYOUT_CHECK(name, condition) typedef char tarn_camera_layout_##name[(condition) ? 1 : -1]
TARN_CAMERA_LAYOUT_CHECK(int_is_32_bits, sizeof(int) == 4);
TARN_CAMERA_LAYOUT_CHECK(float_is_32_bits, sizeof(float) == 4);
TARN_CAMERA_LAYOUT_CHECK(picture_header_size, sizeof(TarnPictureHeader) == 40);
TARN_CAMERA_LAYOUT_CHECK(bi_width, offsetof(TarnPictureHeader, biWidth) == 4);
TARN_CAMERA_LAYOUT_CHECK(bi_height, offsetof(TarnPictureHeader, biHeight) == 8);
TARN_CAMERA_LAYOUT_CHECK(bi_bit_count, offsetof(TarnPictureHeader, biBitCount) == 14);
TARN_CAMERA_LAYOUT_CHECK(bi_compression, offsetof(TarnPictureHeader, biCompression) == 16);
TARN_CAMERA_LAYOUT_CHECK(bi_size_image, offsetof(TarnPictureHeader, biSizeImage) == 20);
TARN_CAMERA_LAYOUT_CHECK(bi_clr_important, offsetof(TarnPictureHeader, biClrImportant) == 36);
TARN_CAMERA_LAYOUT_CHECK(initialised, offsetof(TarnCameraHeaderBlock, initialised) == 0);
TARN_CAMERA_LAYOUT_CHECK(format, offsetof(TarnCameraHeaderBlock, format) == 4);
TARN_CAMERA_LAYOUT_CHECK(frame_block_name, offsetof(TarnCameraHeaderBlock, frameBlockName) == 48);
TARN_CAMERA_LAYOUT_CHECK(aux_int0, offsetof(TarnCameraHeaderBlock, auxInt0) == 560);
TARN_CAMERA_LAYOUT_CHECK(aux_int1, offsetof(TarnCameraHeaderBlock, auxInt1) == 564);
TARN_CAMERA_LAYOUT_CHECK(aux_float0, offsetof(TarnCameraHeaderBlock, auxFloat0) == 568);
TARN_CAMERA_LAYOUT_CHECK(aux_float1, offsetof(TarnCameraHeaderBlock, auxFloat1) == 572);
TARN_CAMERA_LAYOUT_CHECK(header_block_size, sizeof(TarnCameraHeaderBlock) == TARN_CAMERA_HEADER_BLOCK_SIZE);

/* 64-bit integers for C89 compilers too. */
#if defined(_MSC_VER)
typedef __int64 tarn_camera_int64;
typedef unsigned __int64 tarn_camera_uint64;
#elif defined(__GNUC__)
__extension__ typedef long long tarn_camera_int64;
__extension__ typedef unsigned long long tarn_camera_uint64;
#else
#include <stdint.h>
typedef int64_t tarn_camera_int64;
typedef uint64_t tarn_camera_uint64;
#endif

#define TARN_CAMERA_SYNC_BLOCK_SUFFIX L"_sync"
#define TARN_CAMERA_SYNC_WAKE_SUFFIX L"_sync_wake"
#define TARN_CAMERA_SYNC_MAGIC 0x434E5953u /* the bytes "SYNC" */
#define TARN_CAMERA_SYNC_VERSION 1
#define TARN_CAMERA_SYNC_BLOCK_SIZE 128

typedef enum TarnCameraPublisherState {
    TARN_CAMERA_PUBLISHER_NONE = 0,          /* set up, not connected yet */
    TARN_CAMERA_PUBLISHER_CONNECTED = 1,     /* connected, not running */
    TARN_CAMERA_PUBLISHER_RUNNING = 2,       /* paused or running: frames may come */
    TARN_CAMERA_PUBLISHER_STOPPED = 3,       /* stopped or disconnected */
    TARN_CAMERA_PUBLISHER_END_OF_STREAM = 4  /* the stream ended; a new run may follow */
} TarnCameraPublisherState;

#define TARN_CAMERA_ROWS_AS_DELIVERED 0
#define TARN_CAMERA_ROWS_BOTTOM_UP 1
#define TARN_CAMERA_FRAME_CONVERTED 1
#define TARN_CAMERA_FRAME_COPIED 2
#define TARN_CAMERA_TIME_START_VALID 1u
#define TARN_CAMERA_TIME_STOP_VALID 2u

typedef struct TarnCameraSyncBlock {
    unsigned int magic;
    unsigned int version;
    unsigned int size;
    unsigned int publisherState;
    tarn_camera_uint64 sequence;
    unsigned int publisherProcessId;
    unsigned int waitingReaders;
    tarn_camera_int64 heartbeatTicks;
    tarn_camera_int64 ticksPerSecond;
    int width;
    int height;
    unsigned int rowOrder;
    unsigned int frameKind;
    unsigned int frameBytes;
    unsigned int sourceBitCount;
    unsigned char sourceSubtype[16];
    unsigned int timeFlags;
    unsigned int writerProcessId;
    tarn_camera_int64 streamStart;
    tarn_camera_int64 streamStop;
    tarn_camera_int64 publishTicks;
    unsigned int stateChanges;
    unsigned int unused124;
} TarnCameraSyncBlock;

TARN_CAMERA_LAYOUT_CHECK(int64_is_64_bits, sizeof(tarn_camera_int64) == 8);
TARN_CAMERA_LAYOUT_CHECK(sync_publisher_state, offsetof(TarnCameraSyncBlock, publisherState) == 12);
TARN_CAMERA_LAYOUT_CHECK(sync_sequence, offsetof(TarnCameraSyncBlock, sequence) == 16);
TARN_CAMERA_LAYOUT_CHECK(sync_waiting_readers, offsetof(TarnCameraSyncBlock, waitingReaders) == 28);
TARN_CAMERA_LAYOUT_CHECK(sync_heartbeat, offsetof(TarnCameraSyncBlock, heartbeatTicks) == 32);
TARN_CAMERA_LAYOUT_CHECK(sync_frequency, offsetof(TarnCameraSyncBlock, ticksPerSecond) == 40);
TARN_CAMERA_LAYOUT_CHECK(sync_width, offsetof(TarnCameraSyncBlock, width) == 48);
TARN_CAMERA_LAYOUT_CHECK(sync_frame_bytes, offsetof(TarnCameraSyncBlock, frameBytes) == 64);
TARN_CAMERA_LAYOUT_CHECK(sync_subtype, offsetof(TarnCameraSyncBlock, sourceSubtype) == 72);
TARN_CAMERA_LAYOUT_CHECK(sync_time_flags, offsetof(TarnCameraSyncBlock, timeFlags) == 88);
TARN_CAMERA_LAYOUT_CHECK(sync_writer, offsetof(TarnCameraSyncBlock, writerProcessId) == 92);
TARN_CAMERA_LAYOUT_CHECK(sync_stream_start, offsetof(TarnCameraSyncBlock, streamStart) == 96);
TARN_CAMERA_LAYOUT_CHECK(sync_publish_ticks, offsetof(TarnCameraSyncBlock, publishTicks) == 112);
TARN_CAMERA_LAYOUT_CHECK(sync_state_changes, offsetof(TarnCameraSyncBlock, stateChanges) == 120);
TARN_CAMERA_LAYOUT_CHECK(sync_block_size, sizeof(TarnCameraSyncBlock) == TARN_CAMERA_SYNC_BLOCK_SIZE);

/* THE READER LIBRARY
 * Opens the channel by name and copies the newest frame out of it. It never trusts the shared bytes: the frame
 * block's name must be zero-terminated within its field, the mapped sizes come from VirtualQuery, the announced
 * picture must fit the mapped frame block (computed in 64 bits), and the geometry is read before and after each
 * copy. Every failure is a result code; none crashes. A reader object belongs to one thread at a time. */

typedef enum TarnCameraResult {
    TARN_CAMERA_OK = 0,
    TARN_CAMERA_INVALID_ARGUMENT,      /* a null pointer where one is needed */
    TARN_CAMERA_OUT_OF_MEMORY,
    TARN_CAMERA_NO_CHANNEL,            /* no header block of that name: no publisher is running */
    TARN_CAMERA_HEADER_UNREADABLE,     /* the header block cannot be mapped or is smaller than 580 bytes */
    TARN_CAMERA_NAME_UNTERMINATED,     /* frameBlockName holds no terminating zero within its 256 units */
    TARN_CAMERA_NAME_EMPTY,            /* frameBlockName is empty: the header names no frame block */
    TARN_CAMERA_NO_FRAME_BLOCK,        /* no block of the announced name exists, or it cannot be mapped */
    TARN_CAMERA_FRAME_BLOCK_RENAMED,   /* the header now names another frame block: close and open again */
    TARN_CAMERA_UNSUPPORTED_FORMAT,    /* the header announces no uncompressed 24-bit picture */
    TARN_CAMERA_BAD_GEOMETRY,          /* width or height is zero or negative */
    TARN_CAMERA_FRAME_TOO_LARGE,       /* the announced picture does not fit the mapped frame block */
    TARN_CAMERA_BUFFER_TOO_SMALL,      /* the caller's buffer is smaller than the frame (frameBytes says how big) */
    TARN_CAMERA_CHANGING,              /* no attempt to copy a frame got a whole one (the header or, with a sync
                                          block, the sequence changed during every attempt) */
    TARN_CAMERA_TIMEOUT,               /* wait: no newer frame within the timeout */
    TARN_CAMERA_PUBLISHER_ENDED,       /* wait: the publisher stopped or reached the end of its stream */
    TARN_CAMERA_PUBLISHER_GONE,        /* the publisher's process has ended */
    TARN_CAMERA_NO_SYNC_BLOCK,         /* wait: the publisher keeps no sync block (an older build): poll instead */
    TARN_CAMERA_SYNC_BROKEN            /* the sync block is not one this library knows (magic, version, size) or
                                          its sequence ran backwards: close and open again */
} TarnCameraResult;

typedef struct TarnCameraReader TarnCameraReader;

#define TARN_CAMERA_INFO_WHOLE_FRAME 1u /* the sync block vouches that the copy is one whole frame */

/* What one read delivered: the picture's geometry (bottom-up rows of width * 3 bytes, no padding) and the
 * header block as it stood when the frame was copied; with a sync block, what it says of that frame. */
typedef struct TarnCameraFrameInfo {
    int width;
    int height;
    unsigned long frameBytes;   /* width * 3 * height; 0 when the header announces no readable picture */
    TarnCameraHeaderBlock header;
    unsigned int flags;         /* TARN_CAMERA_INFO_WHOLE_FRAME, or 0 against a publisher without a sync block,
                                   whose frames may be torn; the fields below are then 0 */
    tarn_camera_uint64 frameNumber;   /* sequence / 2: the frames published on the channel so far */
    tarn_camera_uint64 framesSkipped; /* frames published between this reader's previous frame and this one */
    unsigned int timeFlags;     /* TARN_CAMERA_TIME_START_VALID | TARN_CAMERA_TIME_STOP_VALID */
    tarn_camera_int64 streamStart;    /* the sample's stream times, in 100 ns */
    tarn_camera_int64 streamStop;
    tarn_camera_int64 publishTicks;   /* QueryPerformanceCounter when the frame was whole */
    tarn_camera_int64 ticksPerSecond;
    unsigned int frameKind;     /* TARN_CAMERA_FRAME_CONVERTED, or _COPIED: bytes of the source's own format */
    unsigned int sourceBitCount;
    unsigned char sourceSubtype[16]; /* the connection's media subtype (a GUID) */
} TarnCameraFrameInfo;

/* Opens the channel whose header block is named `headerBlockName` (null: TARN_CAMERA_HEADER_BLOCK_NAME) and the
 * frame block it names. On success *reader is a new reader for tarn_camera_reader_close; on failure it is null. */
TarnCameraResult tarn_camera_reader_open(const wchar_t* headerBlockName, TarnCameraReader** reader);

/* Copies the newest frame into `buffer` (`capacity` bytes) and describes it in *info (which may be null). With a
 * sync block it returns TARN_CAMERA_OK only for a whole frame: it retries a torn copy a bounded number of times,
 * then gives TARN_CAMERA_CHANGING (or TARN_CAMERA_PUBLISHER_GONE when a publisher died mid-frame).
 * With every result but TARN_CAMERA_INVALID_ARGUMENT, *info holds the header as last read (frameBytes 0 when it
 * announces no readable picture), so a caller can show why a frame was refused; on
 * TARN_CAMERA_BUFFER_TOO_SMALL, frameBytes gives the size the buffer needs. */
TarnCameraResult tarn_camera_reader_read(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                         TarnCameraFrameInfo* info);

/* Waits until a frame newer than the last one this reader returned is whole (TARN_CAMERA_OK: read it now),
 * the publisher stops or reaches the end of its stream (TARN_CAMERA_PUBLISHER_ENDED, once per such change of
 * its state), its process ends (TARN_CAMERA_PUBLISHER_GONE), or `timeoutMilliseconds` pass
 * (TARN_CAMERA_TIMEOUT). Never spins and never waits longer than the timeout, whatever the shared bytes say.
 * Against a publisher without a sync block it returns TARN_CAMERA_NO_SYNC_BLOCK at once. The waiting loop:
 *
 *     for (;;) {
 *         result = tarn_camera_reader_wait(reader, 1000);
 *         if (result == TARN_CAMERA_OK && tarn_camera_reader_read(reader, pixels, capacity, &info) == TARN_CAMERA_OK)
 *             show(pixels, &info);
 *         else if (result != TARN_CAMERA_TIMEOUT && result != TARN_CAMERA_PUBLISHER_ENDED)
 *             break;
 *     }
 */
TarnCameraResult tarn_camera_reader_wait(TarnCameraReader* reader, unsigned long timeoutMilliseconds);

/* The name of the frame block the reader mapped (valid until the reader is closed). */
const wchar_t* tarn_camera_reader_frame_block_name(const TarnCameraReader* reader);

/* The mapped size of the frame block's region, as VirtualQuery reports it. */
unsigned long tarn_camera_reader_frame_block_size(const TarnCameraReader* reader);

/* Unmaps both blocks and frees the reader; a null reader is ignored. */
void tarn_camera_reader_close(TarnCameraReader* reader);

/* A sentence in English for any result code (also for codes this version does not know). */
const char* tarn_camera_result_message(TarnCameraResult result);

#ifdef __cplusplus
}
#endif

#endif /* TARN_CAMERA_CHANNEL_H */
