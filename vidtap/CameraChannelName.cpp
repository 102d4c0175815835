#include "CameraChannelName.h"

#include <cwchar>

#include "tarn_filters.h"

namespace {

bool StartsWith(const wchar_t* text, const wchar_t* start)
{
    return std::wcsncmp(text, start, std::wcslen(start)) == 0;
}

bool EndsWith(const wchar_t* text, size_t length, const wchar_t* end)
{
    const size_t endLength = std::wcslen(end);
    return length >= endLength && std::wcscmp(text + length - endLength, end) == 0;
}

// Letters and digits of ASCII and three marks: nothing the object namespace or a file name treats specially.
bool NameCharacter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
           c == L'-' || c == L'.';
}

// True when `name` (length characters) ends in "_frame" followed by nothing but digits: the name of another
// channel's frame block.
bool EndsLikeFrameBlock(const wchar_t* name, size_t length)
{
    size_t digitsStart = length;
    while (digitsStart > 0 && name[digitsStart - 1] >= L'0' && name[digitsStart - 1] <= L'9')
        --digitsStart;
    const size_t suffixLength = std::wcslen(kFrameBlockSuffix);
    return digitsStart >= suffixLength &&
           std::wcsncmp(name + digitsStart - suffixLength, kFrameBlockSuffix, suffixLength) == 0;
}

const wchar_t* WithoutPrefix(const wchar_t* name)
{
    if (StartsWith(name, kLocalNamespacePrefix))
        return name + std::wcslen(kLocalNamespacePrefix);
    if (StartsWith(name, kGlobalNamespacePrefix))
        return name + std::wcslen(kGlobalNamespacePrefix);
    return name;
}

}  // namespace

bool CameraChannelNameValid(const wchar_t* name)
{
    if (name == nullptr)
        return false;
    size_t fullLength = 0;
    while (name[fullLength] != L'\0')
        if (++fullLength > TARN_CHANNEL_NAME_MAX_LENGTH)
            return false;
    const wchar_t* own = WithoutPrefix(name);
    const size_t length = fullLength - static_cast<size_t>(own - name);
    if (length == 0)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (!NameCharacter(own[i]))
            return false;
    return !StartsWith(own, kDefaultChannelNameStart) && !EndsWith(own, length, L"_sync") &&
           !EndsWith(own, length, L"_sync_wake") && !EndsLikeFrameBlock(own, length);
}

bool CameraChannelNameIsGlobal(const wchar_t* name)
{
    return StartsWith(name, kGlobalNamespacePrefix);
}

const wchar_t* CameraChannelKey(const wchar_t* name)
{
    return StartsWith(name, kLocalNamespacePrefix) ? name + std::wcslen(kLocalNamespacePrefix) : name;
}
