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
 * No synchronisation: no lock, event or counter is shared with a reader. A reader may see a frame, or the
 * header's format, while it is being rewritten, and several publishers may write the same blocks. The reader
 * library detects a header that changes while it copies a frame; it cannot detect a frame rewritten under an
 * unchanged header.
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
    TARN_CAMERA_CHANGING               /* the header changed during every attempt to copy a frame */
} TarnCameraResult;

typedef struct TarnCameraReader TarnCameraReader;

/* What one read delivered: the picture's geometry (bottom-up rows of width * 3 bytes, no padding) and the
 * header block as it stood when the frame was copied. */
typedef struct TarnCameraFrameInfo {
    int width;
    int height;
    unsigned long frameBytes;   /* width * 3 * height; 0 when the header announces no readable picture */
    TarnCameraHeaderBlock header;
} TarnCameraFrameInfo;

/* Opens the channel whose header block is named `headerBlockName` (null: TARN_CAMERA_HEADER_BLOCK_NAME) and the
 * frame block it names. On success *reader is a new reader for tarn_camera_reader_close; on failure it is null. */
TarnCameraResult tarn_camera_reader_open(const wchar_t* headerBlockName, TarnCameraReader** reader);

/* Copies the newest frame into `buffer` (`capacity` bytes) and describes it in *info (which may be null).
 * With every result but TARN_CAMERA_INVALID_ARGUMENT, *info holds the header as last read (frameBytes 0 when it
 * announces no readable picture), so a caller can show why a frame was refused; on
 * TARN_CAMERA_BUFFER_TOO_SMALL, frameBytes gives the size the buffer needs. */
TarnCameraResult tarn_camera_reader_read(TarnCameraReader* reader, void* buffer, unsigned long capacity,
                                         TarnCameraFrameInfo* info);

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
