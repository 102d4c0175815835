#include "ProcessorFeatures.h"

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define PROCESSOR_FEATURES_X86 1
#if defined(_MSC_VER)
#include <immintrin.h>
#include <intrin.h>
// Microsoft's <intrin.h> declares it; other headers serving that mode may not.
extern "C" void __cpuidex(int cpuInfo[4], int function, int subfunction);
#else
#include <cpuid.h>
#endif
#endif

namespace {

#if PROCESSOR_FEATURES_X86

// cpuid leaf/subleaf into eax, ebx, ecx, edx.
void ReadCpuid(uint32_t leaf, uint32_t subleaf, uint32_t registers[4])
{
#if defined(_MSC_VER)
    int values[4];
    __cpuidex(values, static_cast<int>(leaf), static_cast<int>(subleaf));
    for (int i = 0; i < 4; ++i)
        registers[i] = static_cast<uint32_t>(values[i]);
#else
    __cpuid_count(leaf, subleaf, registers[0], registers[1], registers[2], registers[3]);
#endif
}

// The register state the operating system saves on a context switch (XCR0). Only valid with OSXSAVE set.
uint64_t ReadSavedRegisterState()
{
#if defined(_MSC_VER)
    return _xgetbv(0);
#else
    uint32_t low, high;
    __asm__ __volatile__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (uint64_t{high} << 32) | low;
#endif
}

ProcessorFeatures Detect()
{
    ProcessorFeatures features;
    uint32_t r[4];
    ReadCpuid(0, 0, r);
    const uint32_t maxLeaf = r[0];
    if (maxLeaf < 1)
        return features;
    ReadCpuid(1, 0, r);
    features.ssse3 = (r[2] & (1u << 9)) != 0;
    const bool osSavesRegisters = (r[2] & (1u << 27)) != 0;
    const bool avx = (r[2] & (1u << 28)) != 0;
    if (maxLeaf < 7 || !osSavesRegisters || !avx)
        return features;
    // AVX2 code faults unless the operating system saves both the SSE and the upper AVX register halves.
    constexpr uint64_t kSseAndAvxState = 0x6;
    if ((ReadSavedRegisterState() & kSseAndAvxState) != kSseAndAvxState)
        return features;
    ReadCpuid(7, 0, r);
    features.avx2 = (r[1] & (1u << 5)) != 0;
    // 512-bit code also needs the mask registers and both halves of the 512-bit register file saved.
    constexpr uint64_t kAvx512State = 0xE0;
    const bool avx512Saved = (ReadSavedRegisterState() & kAvx512State) == kAvx512State;
    const bool foundation = (r[1] & (1u << 16)) != 0, byteAndWord = (r[1] & (1u << 30)) != 0;
    const bool bytePermutes = (r[2] & (1u << 1)) != 0;
    features.avx512 = avx512Saved && foundation && byteAndWord && bytePermutes;
    return features;
}

#else

ProcessorFeatures Detect()
{
    return ProcessorFeatures();
}

#endif

}  // namespace

const ProcessorFeatures& DetectedProcessorFeatures()
{
    static const ProcessorFeatures features = Detect();
    return features;
}
