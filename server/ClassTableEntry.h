// One creatable class of a module: the identifier DllGetClassObject matches, the function that makes an
// object, and what registration writes for it. Each module defines its table as constant data (including
// this header, so the definitions get external linkage); the server layer only reads it, from any thread.
#pragma once

#include <windows.h>

#include "FilterSetupRecord.h"
#include "INonDelegatingUnknown.h"

// Makes one object with a reference count of 0 and returns its nondelegating unknown, or null. It may store
// a failure code through `hr`, also together with an object; the class factory then discards the object.
// The object must derive from CUnknown: a discarded object is destroyed through CUnknown's virtual destructor.
typedef INonDelegatingUnknown* (*ClassCreator)(IUnknown* outer, HRESULT* hr);

// Called for each class at process attach (`loading` TRUE) and detach (FALSE), under the loader lock.
typedef void (*ClassInitRoutine)(BOOL loading, const CLSID* classId);

struct ClassTableEntry {
    const wchar_t* displayName;             // default value of the class's registry key
    const CLSID* classId;
    ClassCreator creator;
    ClassInitRoutine initRoutine;           // null when the class needs none
    const FilterSetupRecord* setupRecord;   // null: registered as a COM server only, not with the filter mapper
};

// Supplied by each module (and by each test program that links the server layer). A count of zero or less
// means the module serves no class.
extern const ClassTableEntry classTable[];
extern const int classTableCount;
