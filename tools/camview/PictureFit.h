// Where the viewer draws a picture in its client area: as large as fits, in the picture's proportions, centred.
#pragma once

#include <windows.h>

// The rectangle (client coordinates) for a picture of `pictureWidth` x `pictureHeight` in a client area of
// `clientWidth` x `clientHeight`; empty when either has no area.
RECT FitPicture(int pictureWidth, int pictureHeight, int clientWidth, int clientHeight);
