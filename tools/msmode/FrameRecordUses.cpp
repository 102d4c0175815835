// Uses every exported member of the frame records through imported declarations. Compiled (not linked) for
// a Microsoft target, its undefined __imp_ symbols are the names Microsoft's compiler gives those members;
// the build derives the modules' Microsoft-name exports from them.
#include <new>

#include "CVideoFrame.h"
#include "CVideoFrameForm.h"

void UseEveryFrameRecordMember(void* formMemory, void* frameMemory, unsigned char* data)
{
    CVideoFrameForm* form = new (formMemory) CVideoFrameForm;
    (void)form->IsFrameFormInit();
    (void)form->get_SizeBytes();
    *form = *form;
    CVideoFrame* frame = new (frameMemory) CVideoFrame;
    (void)frame->IsValidFrame(data);
    *frame = *frame;
    frame->~CVideoFrame();
}
