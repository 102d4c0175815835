// A named paging-file section created by a test, mapped for reading and writing, with the size asked for:
// stands in for a block another process published. Closed and unmapped when the object goes; a section of
// the name that already exists is reported (created() false) rather than reused.
#pragma once

#include <windows.h>

#include <string>

class NamedSection {
public:
    NamedSection(const std::wstring& name, DWORD bytes) : name(name)
    {
        section = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, name.c_str());
        const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
        if (section != nullptr && !existed)
            view = static_cast<unsigned char*>(MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    NamedSection(const NamedSection&) = delete;
    NamedSection& operator=(const NamedSection&) = delete;
    ~NamedSection()
    {
        if (view != nullptr)
            UnmapViewOfFile(view);
        if (section != nullptr)
            CloseHandle(section);
    }

    bool created() const { return view != nullptr; }

    const std::wstring name;
    unsigned char* view = nullptr;

private:
    HANDLE section = nullptr;
};

// A section name no other test process uses: `stem` and this process's id.
inline std::wstring ProcessUniqueName(const wchar_t* stem)
{
    return std::wstring(stem) + L"_" + std::to_wstring(GetCurrentProcessId());
}
