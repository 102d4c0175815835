// Platform identifiers that mingw-w64's headers lack (an identifier its import libraries define but no header
// declares, an interface whose IID is not attached for __uuidof). Only the platform's own names and values.
#pragma once

#include <windows.h>

// The DirectShow type library (IMediaPosition, IMediaControl, ...), version 1.0; defined in libstrmiids.
EXTERN_C const GUID LIBID_QuartzTypeLib;

// control.h declares IMediaPosition without attaching its IID, so __uuidof(IMediaPosition) (and the test
// doubles built on it) would not link; this is the platform's IID_IMediaPosition.
#ifdef __cplusplus
#include <control.h>
__CRT_UUID_DECL(IMediaPosition, 0x56a868b2, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
#endif
