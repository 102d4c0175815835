// The kernel calls the channel set-up makes, gathered in one table so that tests can make a single call fail
// or watch its arguments while the others stay real. The one table is the channel's own (CameraChannel.cpp);
// tests reach it through CameraChannelTestSeam.h, before the set-up runs.
#pragma once

#include <windows.h>

struct CameraChannelPlatform {
    HANDLE(WINAPI* openFileMapping)(DWORD access, BOOL inherit, LPCWSTR name);
    HANDLE(WINAPI* createFileMapping)(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh,
                                      DWORD sizeLow, LPCWSTR name);
    LPVOID(WINAPI* mapViewOfFile)(HANDLE section, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T length);
    SIZE_T(WINAPI* virtualQuery)(LPCVOID address, PMEMORY_BASIC_INFORMATION info, SIZE_T infoSize);
    LPVOID(WINAPI* heapAlloc)(HANDLE heap, DWORD flags, SIZE_T bytes);
};
