// bitness_class_probe: a COM client of one bitness that creates a filter by class id, as a host application
// would, and reports which module file serves it.
// Usage: bitness_class_probe <{class id}> <expected module path>
// Exit codes: 0 created, an IBaseFilter, served by the expected file; 1 usage; 2 creation failed; 3 not an
// IBaseFilter; 4 served by another file.
#include <windows.h>
#include <dshow.h>

#include <cwchar>

#include "ComPtr.h"

int wmain(int argc, wchar_t** argv)
{
    CLSID classId;
    if (argc != 3 || FAILED(CLSIDFromString(argv[1], &classId)))
        return 1;
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 2;
    int result = 0;
    {
        ComPtr<IUnknown> object;
        ComPtr<IBaseFilter> filter;
        HMODULE server = nullptr;
        wchar_t serverPath[MAX_PATH] = {};
        if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.OutVoid())))
            result = 2;
        else if (FAILED(object->QueryInterface(IID_IBaseFilter, filter.OutVoid())))
            result = 3;
        // The object's first interface table lives in the module that implements it.
        else if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     *reinterpret_cast<LPCWSTR*>(filter.Get()), &server) ||
                 GetModuleFileNameW(server, serverPath, MAX_PATH) == 0 || _wcsicmp(serverPath, argv[2]) != 0)
            result = 4;
    }
    CoUninitialize();
    return result;
}
