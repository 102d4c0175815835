#include "CVideoFrame.h"

#include <cstring>

CVideoFrame::CVideoFrame() : width(0), height(0), stride(0), pixelSize(4)
{
    std::memset(reserved, 0, sizeof reserved);
}

CVideoFrame::~CVideoFrame() {}

bool CVideoFrame::IsValidFrame(unsigned char* data) const
{
    return data != nullptr;
}

CVideoFrame& CVideoFrame::operator=(const CVideoFrame& other)
{
    width = other.width;
    height = other.height;
    stride = other.stride;
    pixelSize = other.pixelSize;
    std::memmove(reserved, other.reserved, sizeof reserved);
    return *this;
}
