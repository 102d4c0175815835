#include "OfferedTypeSearch.h"

#include <vfwmsgs.h>

#include <memory>

#include "COwnedMediaType.h"
#include "ComPtr.h"

namespace {

constexpr int kMaxOfferedTypesExamined = 256;

// A record an enumerator handed out in task memory: its contents and the record are freed together.
struct TaskMediaTypeDeleter {
    void operator()(AM_MEDIA_TYPE* type) const { MediaTypeDestroy(type); }
};
using TaskMediaType = std::unique_ptr<AM_MEDIA_TYPE, TaskMediaTypeDeleter>;

}  // namespace

bool PinOffersType(IPin* pin, bool (*wanted)(const AM_MEDIA_TYPE* type))
{
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Out())) || !types)
        return false;
    for (int fetch = 0; fetch < kMaxOfferedTypesExamined; ++fetch) {
        AM_MEDIA_TYPE* arrived = nullptr;
        ULONG fetched = 0;
        const HRESULT hr = types->Next(1, &arrived, &fetched);
        const TaskMediaType record(fetched == 1 ? arrived : nullptr);
        if (hr == VFW_E_ENUM_OUT_OF_SYNC) {
            // The pin's list changed under the enumerator: start over, within the same bound.
            if (FAILED(types->Reset()))
                return false;
            continue;
        }
        if (hr != S_OK || fetched != 1)
            return false;
        if (record && wanted(record.get()))
            return true;
    }
    return false;
}
