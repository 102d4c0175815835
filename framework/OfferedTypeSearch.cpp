#include "OfferedTypeSearch.h"

#include <vfwmsgs.h>

#include "CTaskMediaType.h"
#include "ComPtr.h"

namespace {

constexpr int kMaxOfferedTypesExamined = 256;

}  // namespace

bool PinOffersType(IPin* pin, bool (*wanted)(const AM_MEDIA_TYPE* type))
{
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Out())) || !types)
        return false;
    for (int fetch = 0; fetch < kMaxOfferedTypesExamined; ++fetch) {
        CTaskMediaType record;
        ULONG fetched = 0;
        const HRESULT hr = types->Next(1, record.Out(), &fetched);
        if (fetched != 1)
            record.Detach();  // not handed over: whatever the call left there is not ours to free
        if (hr == VFW_E_ENUM_OUT_OF_SYNC) {
            // The pin's list changed under the enumerator: start over, within the same bound.
            if (FAILED(types->Reset()))
                return false;
            continue;
        }
        if (hr != S_OK || fetched != 1)
            return false;
        if (record && wanted(record.Get()))
            return true;
    }
    return false;
}
