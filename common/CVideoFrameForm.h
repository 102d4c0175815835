// The shape of a video frame (size, stride, bytes per pixel) as exported by both filter modules for their
// consumers. A plain value without virtuals and without locking: whoever shares one between threads guards it.
// The modules themselves never use it; its layout (four int32 fields, 16 bytes) is part of their interface.
#pragma once

#include <cstdint>

#include "FrameRecordExport.h"

class CVideoFrameForm {
public:
    FRAME_RECORD_API CVideoFrameForm();
    // True when width, height, stride and pixelSize are all positive (checked in that order).
    FRAME_RECORD_API bool IsFrameFormInit() const;
    // stride x height as a 32-bit signed value; a product beyond the int32 range wraps around.
    FRAME_RECORD_API int get_SizeBytes() const;
    FRAME_RECORD_API CVideoFrameForm& operator=(const CVideoFrameForm& other);

    int32_t width;
    int32_t height;
    int32_t stride;
    int32_t pixelSize;
};
