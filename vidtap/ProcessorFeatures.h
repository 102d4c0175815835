// Which of the packed-YUV conversion's vector instruction groups this processor and its operating system can
// run. Examined once per process, on first use (thread-safe static initialisation), never per frame. On a
// processor other than x86 every group is absent.
#pragma once

struct ProcessorFeatures {
    bool ssse3 = false;
    bool avx2 = false;    // with the operating system saving the 256-bit registers
    bool avx512 = false;  // foundation, byte-and-word and byte-permute (VBMI) groups together, state saved
};

const ProcessorFeatures& DetectedProcessorFeatures();
