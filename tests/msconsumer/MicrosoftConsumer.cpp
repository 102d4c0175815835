// msconsumer: a consumer of a filter module's frame records as a program built by Microsoft's toolchain sees
// them. Compiled by clang for the Microsoft target, linked by lld-link against an import library of the module
// (so every call below binds to the module's Microsoft-name exports), with its own entry point and kernel32
// alone: no C or C++ run time. Checks each member's result and the bytes of the objects, prints one line per
// check and exits with the number of failed checks.
#include <windows.h>

#include <new>

#include "CVideoFrame.h"
#include "CVideoFrameForm.h"
#include "NoRuntime.h"

namespace {

constexpr unsigned char kGarbage = 0xCD;
constexpr unsigned kGuardBytes = 16;

// Room for a record and guard bytes behind it, so a member that writes past the record shows.
template <typename Record>
struct alignas(16) Slot {
    unsigned char bytes[sizeof(Record) + kGuardBytes];
    Record* AsRecord() { return reinterpret_cast<Record*>(bytes); }
    bool GuardIntact() const { return AllBytesAre(bytes + sizeof(Record), kGuardBytes, kGarbage); }
};

template <typename Record>
bool HasDefaultShape(const Record& r)
{
    return r.width == 0 && r.height == 0 && r.stride == 0 && r.pixelSize == 4;
}

template <typename Record>
void SetShape(Record& r, int width, int height, int stride, int pixelSize)
{
    r.width = width;
    r.height = height;
    r.stride = stride;
    r.pixelSize = pixelSize;
}

template <typename Record>
bool SameShape(const Record& a, const Record& b)
{
    return a.width == b.width && a.height == b.height && a.stride == b.stride && a.pixelSize == b.pixelSize;
}

// A constructor as Microsoft's callers use it: `this` in ECX on i686 (first argument on x86-64), the object
// back in EAX/RAX. Called by its exported name, so the returned value is checked, not assumed.
typedef void*(__thiscall* MicrosoftConstructor)(void* self);

void CheckConstructorReturnsThis(HMODULE module, const char* name, const char* what)
{
    Slot<CVideoFrame> slot;
    Fill(slot.bytes, sizeof slot.bytes, kGarbage);
    MicrosoftConstructor construct = reinterpret_cast<MicrosoftConstructor>(GetProcAddress(module, name));
    Check(construct != nullptr && construct(slot.bytes) == slot.bytes, what);
}

void CheckFrameForm()
{
    Slot<CVideoFrameForm> slot;
    Fill(slot.bytes, sizeof slot.bytes, kGarbage);
    CVideoFrameForm* form = new (slot.AsRecord()) CVideoFrameForm;
    Check(sizeof(CVideoFrameForm) == 16, "CVideoFrameForm is 16 bytes");
    Check(HasDefaultShape(*form), "CVideoFrameForm() sets 0/0/0/4 over garbage");
    Check(slot.GuardIntact(), "CVideoFrameForm() writes nothing past the record");

    // Which fields the validity rule looks at is FrameRecordsTest's; here the answer is shown to come back
    // both ways through the Microsoft name.
    SetShape(*form, 8, 4, 0, 3);
    Check(!form->IsFrameFormInit(), "IsFrameFormInit false for a zero stride");
    SetShape(*form, 8, 4, 24, 3);
    Check(form->IsFrameFormInit(), "IsFrameFormInit with every field positive");
    Check(form->get_SizeBytes() == 96, "get_SizeBytes is stride 24 x height 4 = 96");

    Slot<CVideoFrameForm> target;
    Fill(target.bytes, sizeof target.bytes, kGarbage);
    CVideoFrameForm* left = target.AsRecord();
    CVideoFrameForm* returned = &(*left = *form);
    Check(returned == left, "CVideoFrameForm::operator= returns the left side");
    Check(SameBytes(left, form, sizeof *form) && target.GuardIntact(),
          "CVideoFrameForm::operator= copies the four fields and nothing more");
}

void CheckFrame()
{
    Slot<CVideoFrame> slot;
    Fill(slot.bytes, sizeof slot.bytes, kGarbage);
    CVideoFrame* frame = new (slot.AsRecord()) CVideoFrame;
    Check(sizeof(CVideoFrame) == 272, "CVideoFrame is 272 bytes");
    Check(HasDefaultShape(*frame) && AllBytesAre(frame->reserved, sizeof frame->reserved, 0),
          "CVideoFrame() sets 0/0/0/4 and zero reserved bytes over garbage");
    Check(slot.GuardIntact(), "CVideoFrame() writes nothing past the record");

    unsigned char data = 0;
    Check(frame->IsValidFrame(&data) && !frame->IsValidFrame(nullptr), "IsValidFrame is true exactly for data");

    SetShape(*frame, 640, 480, 1920, 3);
    for (unsigned i = 0; i < sizeof frame->reserved; ++i)
        frame->reserved[i] = static_cast<unsigned char>(i * 7 + 1);
    Slot<CVideoFrame> target;
    Fill(target.bytes, sizeof target.bytes, kGarbage);
    CVideoFrame* left = target.AsRecord();
    CVideoFrame* returned = &(*left = *frame);
    Check(returned == left, "CVideoFrame::operator= returns the left side");
    Check(SameShape(*left, *frame) && SameBytes(left->reserved, frame->reserved, sizeof frame->reserved) &&
              target.GuardIntact(),
          "CVideoFrame::operator= copies the fields and all 256 reserved bytes, nothing more");

    Slot<CVideoFrame> before;
    for (unsigned i = 0; i < sizeof before.bytes; ++i)
        before.bytes[i] = slot.bytes[i];
    frame->~CVideoFrame();
    Check(SameBytes(before.bytes, slot.bytes, sizeof slot.bytes), "~CVideoFrame returns and leaves the bytes");
}

}  // namespace

extern "C" void ConsumerMain()
{
    g_out = GetStdHandle(STD_OUTPUT_HANDLE);
    CheckFrameForm();
    CheckFrame();
    HMODULE module = GetModuleHandleA(MODULE_FILE_NAME);
    Check(module != nullptr, "the module is loaded through its import library");
    CheckConstructorReturnsThis(module, CONSTRUCTOR_NAME_FRAME_FORM, "CVideoFrameForm() returns this");
    CheckConstructorReturnsThis(module, CONSTRUCTOR_NAME_FRAME, "CVideoFrame() returns this");
    ExitProcess(g_failures);
}
