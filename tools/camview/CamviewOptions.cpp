#include "CamviewOptions.h"

#include <cwchar>

const wchar_t kCamviewUsage[] = L"usage: camview [--position X Y] [--size WIDTH HEIGHT] [--channel HEADER_BLOCK_NAME]";

namespace {

// A whole decimal number in [minimum, 65535].
bool ParseNumber(const wchar_t* text, int minimum, int* value)
{
    wchar_t* end = nullptr;
    const long parsed = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0' || parsed < minimum || parsed > 65535)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

}  // namespace

bool ParseCamviewOptions(int count, const wchar_t* const* arguments, CamviewOptions* options, std::wstring* error)
{
    for (int i = 0; i < count; ++i) {
        const std::wstring option = arguments[i];
        const int values = option == L"--channel" ? 1 : (option == L"--position" || option == L"--size") ? 2 : 0;
        if (values == 0) {
            *error = L"unknown argument " + option;
            return false;
        }
        if (i + values >= count) {
            *error = option + L" needs " + (values == 1 ? L"a value" : L"two values");
            return false;
        }
        bool valid = true;
        if (option == L"--channel") {
            options->headerBlockName = arguments[i + 1];
            valid = !options->headerBlockName.empty();
        } else if (option == L"--position") {
            valid = ParseNumber(arguments[i + 1], -65535, &options->x) && ParseNumber(arguments[i + 2], -65535, &options->y);
            options->placed = true;
        } else {
            valid = ParseNumber(arguments[i + 1], 1, &options->width) && ParseNumber(arguments[i + 2], 1, &options->height);
        }
        if (!valid) {
            *error = L"invalid value for " + option;
            return false;
        }
        i += values;
    }
    return true;
}
