// Forced first include when our sources are compiled by clang in Microsoft mode (-fms-compatibility, an
// *-pc-windows-msvc target) against the mingw-w64 headers: the portability check of the module sources and
// the derivation of the Microsoft names of the exported frame record members.
//
// The mingw-w64 headers expect GCC in a few places; this undoes exactly those, so what remains to be
// reported is ours:
// - under _MSC_VER three attribute macros become a __declspec written after the declarator, which
//   Microsoft's grammar refuses (stdlib.h, stdio.h);
// - _mingw.h defines __attribute__ away, which breaks clang's own intrinsics headers;
// - libstdc++'s configuration expects GCC's predefined name of the 128-bit integer type outside strict mode;
// - mingw-w64's intrin.h lacks Microsoft's __cpuidex, declared here as Microsoft's intrin.h declares it.
// Microsoft's compiler also declares every SIMD intrinsic whatever the target, clang in this mode only the
// enabled ones: the command line enables AVX2 and the AVX-512 groups for that, not for any other effect.
// (The i686 headers also need GCC's _X86_ predefine and SSE2 enabled; those come from the command line.)
// GCC's builtins, which clang also accepts in this mode but Microsoft's compiler does not, are poisoned so
// that a source using them fails here.
#pragma once

#include <_mingw.h>

#undef __MINGW_NOTHROW
#define __MINGW_NOTHROW
#undef __MINGW_ATTRIB_NORETURN
#define __MINGW_ATTRIB_NORETURN
#undef __MINGW_ATTRIB_DEPRECATED
#define __MINGW_ATTRIB_DEPRECATED
#undef __attribute__
#if defined(__SIZEOF_INT128__) && !defined(__STRICT_ANSI__) && !defined(__GLIBCXX_TYPE_INT_N_0)
#define __GLIBCXX_TYPE_INT_N_0 __int128
#define __GLIBCXX_BITSIZE_INT_N_0 128
#endif

#ifdef __cplusplus
extern "C"
#endif
    void __cpuidex(int info[4], int leaf, int subleaf);

#pragma GCC poison __builtin_cpu_init __builtin_cpu_supports __builtin_cpu_is
#pragma GCC poison __get_cpuid __get_cpuid_count __get_cpuid_max __cpuid_count
