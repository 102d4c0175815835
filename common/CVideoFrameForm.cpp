#include "CVideoFrameForm.h"

CVideoFrameForm::CVideoFrameForm() : width(0), height(0), stride(0), pixelSize(4) {}

bool CVideoFrameForm::IsFrameFormInit() const
{
    return width > 0 && height > 0 && stride > 0 && pixelSize > 0;
}

int CVideoFrameForm::get_SizeBytes() const
{
    // Multiplied as unsigned so an out-of-range product wraps instead of being undefined.
    return static_cast<int32_t>(static_cast<uint32_t>(stride) * static_cast<uint32_t>(height));
}

CVideoFrameForm& CVideoFrameForm::operator=(const CVideoFrameForm& other)
{
    width = other.width;
    height = other.height;
    stride = other.stride;
    pixelSize = other.pixelSize;
    return *this;
}
