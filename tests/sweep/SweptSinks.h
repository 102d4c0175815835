// The two sinks as this directory's programs run them: SinkUnderTest's traits, a label for what they print,
// and the class identifiers under which this program's own class table (SweepClassTable.cpp) serves them. The
// sweep registers and unregisters those identifiers, never the real modules' ones, so the registration of the
// built modules that other test programs rely on is never touched.
#pragma once

#include <windows.h>

#include "NullsinkerSink.h"
#include "VidtapSink.h"

// {5E0A2C71-94B3-4D6E-A1F8-2C3B4D5E6F01}, .. 02
inline constexpr CLSID kSweptNullsinkerClassId = {
    0x5e0a2c71, 0x94b3, 0x4d6e, {0xa1, 0xf8, 0x2c, 0x3b, 0x4d, 0x5e, 0x6f, 0x01}};
inline constexpr CLSID kSweptVidtapClassId = {
    0x5e0a2c71, 0x94b3, 0x4d6e, {0xa1, 0xf8, 0x2c, 0x3b, 0x4d, 0x5e, 0x6f, 0x02}};

struct SweptNullsinker : NullsinkerSink {
    static const char* Label() { return "nullsinker"; }
    static const CLSID& SweptClassId() { return kSweptNullsinkerClassId; }
};
struct SweptVidtap : VidtapSink {
    static const char* Label() { return "vidtap"; }
    static const CLSID& SweptClassId() { return kSweptVidtapClassId; }
};
