// package_probe: what the release package leaves on a Windows system, as a program of one bitness reads it
// back, for tests/dist/package-test.sh.
//   package_probe version <file>       the file's version resource: "Name=value" lines, the fixed part's
//                                      versions and type first, then the strings of its first translation
//   package_probe filter <{class id}>  "server=" the InprocServer32 path this bitness's registry view holds
//                                      for the class (<none> when absent), "mapper=" how often this
//                                      bitness's filter mapper lists it
// Exit codes: 0 printed; 1 usage; 2 no readable version resource; 3 the filter mapper cannot be asked.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "PlatformRegistration.h"

namespace {

void PrintVersionNumber(const char* name, DWORD mostSignificant, DWORD leastSignificant)
{
    std::printf("%s=%u.%u.%u.%u\n", name, HIWORD(mostSignificant), LOWORD(mostSignificant),
                HIWORD(leastSignificant), LOWORD(leastSignificant));
}

const char* FileTypeName(DWORD type)
{
    return type == VFT_DLL ? "dll" : type == VFT_APP ? "app" : "other";
}

int PrintVersionResource(const wchar_t* file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0)
        return 2;
    std::vector<BYTE> resource(size);
    if (!GetFileVersionInfoW(file, 0, size, resource.data()))
        return 2;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(resource.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof *fixed || fixed->dwSignature != VS_FFI_SIGNATURE)
        return 2;
    PrintVersionNumber("FixedFileVersion", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    PrintVersionNumber("FixedProductVersion", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    std::printf("FileType=%s\n", FileTypeName(fixed->dwFileType));

    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    if (!VerQueryValueW(resource.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
        length < sizeof *translation)
        return 2;
    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName",
                                L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion"}) {
        wchar_t path[64];
        swprintf(path, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->codePage, name);
        wchar_t* value = nullptr;
        const bool present = VerQueryValueW(resource.data(), path, reinterpret_cast<void**>(&value), &length) &&
                             length > 0;
        std::printf("%ls=%ls\n", name, present ? value : L"<missing>");
    }
    return 0;
}

int PrintFilterRegistration(const wchar_t* classIdText)
{
    CLSID classId;
    if (FAILED(CLSIDFromString(classIdText, &classId)))
        return 1;
    const auto server = ReadString(ClassKeyName(classId) + L"\\InprocServer32", nullptr);
    std::printf("server=%ls\n", server ? server->c_str() : L"<none>");
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 3;
    const int entries = CountFilterMapperEntries(classId, 0);
    CoUninitialize();
    if (entries < 0)
        return 3;
    std::printf("mapper=%d\n", entries);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && lstrcmpW(argv[1], L"version") == 0)
        return PrintVersionResource(argv[2]);
    if (argc == 3 && lstrcmpW(argv[1], L"filter") == 0)
        return PrintFilterRegistration(argv[2]);
    std::fprintf(stderr, "usage: package_probe version <file> | filter <{class id}>\n");
    return 1;
}
