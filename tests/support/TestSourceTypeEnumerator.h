// The media type enumerator of TestSourcePin: hands out task-memory copies of the types the pin offered when
// the enumerator was made (the list is copied, so later scripting does not disturb a walk). Counting,
// walking and cloning as TestSourceEnumerator.
#pragma once

#include <vector>

#include "COwnedMediaType.h"
#include "TestSourceEnumerator.h"

class TestSourceTypeEnumerator final
    : public TestSourceEnumerator<TestSourceTypeEnumerator, IEnumMediaTypes, AM_MEDIA_TYPE*> {
public:
    explicit TestSourceTypeEnumerator(const std::vector<COwnedMediaType>& types) : types(types) {}
    TestSourceTypeEnumerator(const TestSourceTypeEnumerator& other) = default;

private:
    friend class TestSourceEnumerator<TestSourceTypeEnumerator, IEnumMediaTypes, AM_MEDIA_TYPE*>;
    ~TestSourceTypeEnumerator() = default;

    ULONG ItemCount() const { return static_cast<ULONG>(types.size()); }
    // False when the copy cannot be made: the walk stops there.
    bool HandOut(ULONG index, AM_MEDIA_TYPE** out)
    {
        auto* record = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (record == nullptr || FAILED(MediaTypeDuplicate(record, &types[index]))) {
            CoTaskMemFree(record);
            return false;
        }
        *out = record;
        return true;
    }

    const std::vector<COwnedMediaType> types;
};
