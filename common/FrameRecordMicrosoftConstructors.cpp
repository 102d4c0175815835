// Constructor entry points of the frame records for consumers built with Microsoft's compiler. Microsoft's
// ABI has a constructor return `this` (EAX/RAX) and its callers use that value; GCC's constructors leave the
// register undefined, so those names cannot alias GCC's constructors. These construct in place and return the
// object. On i686 they are thiscall (`this` in ECX, nothing on the stack), as Microsoft's member functions
// are; on x86-64 both ABIs pass `this` as the first argument. The export list binds the Microsoft names to
// them by their names, Construct<class>ReturningThis. A build by Microsoft's compiler exports its own
// constructors and does not compile these.
#if !defined(_MSC_VER)

#include <new>

#include "CVideoFrame.h"
#include "CVideoFrameForm.h"

#if defined(__i386__)
#define FRAME_RECORD_MEMBER_CALL __attribute__((thiscall))
#else
#define FRAME_RECORD_MEMBER_CALL
#endif

extern "C" FRAME_RECORD_MEMBER_CALL CVideoFrameForm* ConstructCVideoFrameFormReturningThis(void* self)
{
    return new (self) CVideoFrameForm;
}

extern "C" FRAME_RECORD_MEMBER_CALL CVideoFrame* ConstructCVideoFrameReturningThis(void* self)
{
    return new (self) CVideoFrame;
}

#endif
