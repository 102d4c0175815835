// The owner of a media type record in task memory that another object hands over (an enumerator's Next, a
// sample's GetMediaType): it holds the record from the line the record arrives on and destroys it, contents
// and all, with MediaTypeDestroy when it goes. Not copyable; one record, one owner, one thread.
#pragma once

#include "COwnedMediaType.h"

class CTaskMediaType {
public:
    CTaskMediaType() = default;
    // Takes over a record that arrived through an array out-parameter (Next with a count above 1).
    explicit CTaskMediaType(AM_MEDIA_TYPE* arrived) : record(arrived) {}
    CTaskMediaType(const CTaskMediaType&) = delete;
    CTaskMediaType& operator=(const CTaskMediaType&) = delete;
    ~CTaskMediaType() { Reset(); }

    // The out-parameter for a call that hands over a record (whatever was held is destroyed first).
    AM_MEDIA_TYPE** Out()
    {
        Reset();
        return &record;
    }
    // Gives up the record without destroying it: for what a failed call left in the out-parameter, which is
    // not the caller's to free.
    AM_MEDIA_TYPE* Detach()
    {
        AM_MEDIA_TYPE* detached = record;
        record = nullptr;
        return detached;
    }
    void Reset() { MediaTypeDestroy(Detach()); }

    AM_MEDIA_TYPE* Get() const { return record; }
    AM_MEDIA_TYPE* operator->() const { return record; }
    explicit operator bool() const { return record != nullptr; }

private:
    AM_MEDIA_TYPE* record = nullptr;
};
