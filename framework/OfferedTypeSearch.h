// Looking through the media types another pin offers, for a pin that weighs a proposed connection type
// against the alternatives. Calls into the other pin only; any thread, no lock of its own.
#pragma once

#include <windows.h>
#include <strmif.h>

// Whether `pin` offers, through a fresh media type enumerator, a type for which `wanted` is true. The walk
// is bounded (at most 256 fetches, restarts after VFW_E_ENUM_OUT_OF_SYNC included), so an enumerator that
// never ends or keeps changing cannot hold the caller; an enumerator that cannot be had, fails or hands out a
// null record offers nothing there. Every record is freed once examined.
bool PinOffersType(IPin* pin, bool (*wanted)(const AM_MEDIA_TYPE* type));
