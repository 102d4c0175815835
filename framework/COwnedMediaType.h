// Media type records and their ownership rules. A record owns its format block exactly when cbFormat is not
// 0 (the block is task memory, so records can cross to other filters, which free them the same way), and
// holds one counted reference on pUnk when that is set.
//
// COwnedMediaType is an AM_MEDIA_TYPE with value semantics: it adds no field and no virtual, so a pointer to
// it is an AM_MEDIA_TYPE* wherever the platform expects one. Not thread-safe: whoever shares one record
// between threads provides the lock.
#pragma once

#include <windows.h>
#include <strmif.h>

#include <type_traits>

// Makes `type` the default type (all zero, bFixedSizeSamples TRUE, lSampleSize 1) without freeing anything
// it held.
void MediaTypeReset(AM_MEDIA_TYPE* type);
// Frees the owned format block and drops the pUnk reference; GUIDs, flags and sample size stay.
void MediaTypeReleaseFormat(AM_MEDIA_TYPE* type);
// Deep copy into an empty `target` (whatever it held is overwritten, not freed). On failure the target owns
// nothing (no format block, no pUnk): E_OUTOFMEMORY when the block cannot be allocated, E_POINTER when the
// source claims a block (cbFormat not 0) but its pbFormat is null.
HRESULT MediaTypeDuplicate(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// Releases the contents of a record allocated in task memory and frees the record; null does nothing.
void MediaTypeDestroy(AM_MEDIA_TYPE* type);
// TRUE when the major type or the format type is left open (GUID_NULL).
BOOL MediaTypeIsIncomplete(const AM_MEDIA_TYPE* type);
// TRUE when `full` matches every field that `pattern` fixes (GUID_NULL is a wildcard; the format block is
// compared only when the pattern fixes the format type, and a claimed block whose pbFormat is null matches
// nothing).
BOOL MediaTypeFitsTemplate(const AM_MEDIA_TYPE* full, const AM_MEDIA_TYPE* pattern);

class COwnedMediaType : public AM_MEDIA_TYPE {
public:
    COwnedMediaType() { MediaTypeReset(this); }
    ~COwnedMediaType() { MediaTypeReleaseFormat(this); }
    // Deep copy; a copy that cannot allocate leaves a type without format block and is not reported (use
    // AssignFrom where the failure matters).
    COwnedMediaType(const COwnedMediaType& other);
    COwnedMediaType& operator=(const AM_MEDIA_TYPE& source);
    COwnedMediaType& operator=(const COwnedMediaType& source)
    {
        return *this = static_cast<const AM_MEDIA_TYPE&>(source);
    }
    // As the assignment, but reports E_OUTOFMEMORY when the copy could not be made.
    HRESULT AssignFrom(const AM_MEDIA_TYPE& source);
};

static_assert(sizeof(COwnedMediaType) == sizeof(AM_MEDIA_TYPE) && std::is_standard_layout<COwnedMediaType>::value,
              "COwnedMediaType must keep the record's layout");
