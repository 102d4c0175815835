// What a consumer built without any C or C++ run time (entry point of its own, kernel32 alone) needs: output,
// check reporting, byte loops, and the memory functions the compiler and linked libraries may call. Included
// by exactly one source of each consumer program, which is its only translation unit.
#pragma once

#include <windows.h>

namespace {

HANDLE g_out;
unsigned g_failures;

void Print(const char* text)
{
    DWORD length = 0;
    while (text[length] != '\0')
        ++length;
    DWORD written;
    WriteFile(g_out, text, length, &written, nullptr);
}

// One line per check, "ok" or "FAIL"; the program exits with the number of failed checks.
void Check(bool passed, const char* what)
{
    Print(passed ? "ok    " : "FAIL  ");
    Print(what);
    Print("\r\n");
    if (!passed)
        ++g_failures;
}

// Byte loops through volatile pointers, so that clang cannot turn them into calls of the functions below.
void Fill(void* memory, unsigned bytes, unsigned char value)
{
    volatile unsigned char* p = static_cast<unsigned char*>(memory);
    for (unsigned i = 0; i < bytes; ++i)
        p[i] = value;
}

bool AllBytesAre(const void* memory, unsigned bytes, unsigned char value)
{
    const volatile unsigned char* p = static_cast<const unsigned char*>(memory);
    for (unsigned i = 0; i < bytes; ++i)
        if (p[i] != value)
            return false;
    return true;
}

bool SameBytes(const void* a, const void* b, unsigned bytes)
{
    const volatile unsigned char* x = static_cast<const unsigned char*>(a);
    const volatile unsigned char* y = static_cast<const unsigned char*>(b);
    for (unsigned i = 0; i < bytes; ++i)
        if (x[i] != y[i])
            return false;
    return true;
}

}  // namespace

// A Microsoft C run time would provide these; without one the program brings its own.
extern "C" void* memset(void* memory, int value, size_t bytes)
{
    Fill(memory, static_cast<unsigned>(bytes), static_cast<unsigned char>(value));
    return memory;
}

extern "C" void* memcpy(void* to, const void* from, size_t bytes)
{
    volatile unsigned char* t = static_cast<unsigned char*>(to);
    const unsigned char* f = static_cast<const unsigned char*>(from);
    for (size_t i = 0; i < bytes; ++i)
        t[i] = f[i];
    return to;
}

extern "C" int memcmp(const void* a, const void* b, size_t bytes)
{
    const volatile unsigned char* x = static_cast<const unsigned char*>(a);
    const volatile unsigned char* y = static_cast<const unsigned char*>(b);
    for (size_t i = 0; i < bytes; ++i)
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    return 0;
}
