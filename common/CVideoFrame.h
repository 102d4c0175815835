// A video frame record as exported by both filter modules: the four shape fields of CVideoFrameForm followed
// by 256 reserved bytes (272 bytes in all). A plain value without virtuals and without locking; the modules
// never use it themselves.
#pragma once

#include <cstdint>

#include "FrameRecordExport.h"

class CVideoFrame {
public:
    FRAME_RECORD_API CVideoFrame();
    FRAME_RECORD_API ~CVideoFrame();
    // True exactly when `data` is not null; the record's own fields are not consulted.
    FRAME_RECORD_API bool IsValidFrame(unsigned char* data) const;
    FRAME_RECORD_API CVideoFrame& operator=(const CVideoFrame& other);

    int32_t width;
    int32_t height;
    int32_t stride;
    int32_t pixelSize;
    unsigned char reserved[256];
};
