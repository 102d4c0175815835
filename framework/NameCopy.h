// Length-limited copies of the wide names that filters and pins keep and hand out: a name is read only up
// to a limit, so one without a terminator within it is never read past the limit. Plain functions; any
// thread (the caller guards the name it passes).
#pragma once

#include <cstddef>
#include <cstring>

// The length of `name` (null: 0) without its terminator, or `limit` when no terminator lies before it.
inline size_t BoundedNameLength(const wchar_t* name, size_t limit)
{
    size_t length = 0;
    while (name != nullptr && length < limit && name[length] != L'\0')
        ++length;
    return length;
}

// Copies at most capacity - 1 characters of `name` (null: none) into `buffer` and terminates it there.
inline void CopyNameInto(wchar_t* buffer, size_t capacity, const wchar_t* name)
{
    const size_t length = BoundedNameLength(name, capacity - 1);
    if (length != 0)
        std::memcpy(buffer, name, length * sizeof(wchar_t));
    buffer[length] = L'\0';
}
