// What the pin tests' media types carry as pUnk: each copy of a record takes a reference on it, so a record
// that is never freed leaves a reference behind and fails the test when the attachment goes. Declare it
// before the objects that copy the types; one thread.
//
//   TypeAttachment attachment;
//   upstream.AddType(attachment.Type(MEDIASUBTYPE_YUY2));
#pragma once

#include "COwnedMediaType.h"
#include "CountingDouble.h"
#include "VideoMediaType.h"

class TypeAttachment : public CountingDouble<IUnknown> {
public:
    // A tagged video type (MakeTaggedVideoType) holding a reference on this attachment.
    COwnedMediaType Type(REFGUID subtype, BYTE tag = 0)
    {
        COwnedMediaType type = MakeTaggedVideoType(subtype, tag);
        type.pUnk = AsUnknown();
        AddRef();
        return type;
    }
};
