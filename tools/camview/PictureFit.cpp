#include "PictureFit.h"

RECT FitPicture(int pictureWidth, int pictureHeight, int clientWidth, int clientHeight)
{
    RECT fit = {0, 0, 0, 0};
    if (pictureWidth <= 0 || pictureHeight <= 0 || clientWidth <= 0 || clientHeight <= 0)
        return fit;
    // Products of two 31-bit values, so in 64 bits; rounded to the nearest pixel.
    const long long wide = static_cast<long long>(pictureWidth) * clientHeight;
    const long long tall = static_cast<long long>(pictureHeight) * clientWidth;
    long long width = clientWidth;
    long long height = clientHeight;
    if (wide > tall)
        height = (tall * 2 / pictureWidth + 1) / 2;
    else if (wide < tall)
        width = (wide * 2 / pictureHeight + 1) / 2;
    fit.left = static_cast<LONG>((clientWidth - width) / 2);
    fit.top = static_cast<LONG>((clientHeight - height) / 2);
    fit.right = fit.left + static_cast<LONG>(width);
    fit.bottom = fit.top + static_cast<LONG>(height);
    return fit;
}
