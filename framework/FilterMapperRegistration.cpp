#include "FilterMapperRegistration.h"

namespace {

// The mapper's answer when asked to unregister a filter it does not know.
constexpr HRESULT notRegistered = static_cast<HRESULT>(0x80070002);

HRESULT NotRegisteredIsSuccess(HRESULT hr)
{
    return hr == notRegistered ? S_OK : hr;
}

}  // namespace

HRESULT RegisterFilterThroughMapper2(const FilterSetupRecord* record, IFilterMapper2* mapper, BOOL registerFilter)
{
    if (record == nullptr)
        return S_FALSE;
    HRESULT hr = mapper->UnregisterFilter(nullptr, nullptr, *record->classId);
    if (registerFilter) {
        REGFILTER2 filterData = {};
        filterData.dwVersion = 1;
        filterData.dwMerit = record->merit;
        filterData.cPins = record->pinCount;
        filterData.rgPins = record->pins;
        // Re-registration after the unregistration above: its "not registered" answer is of no interest.
        hr = mapper->RegisterFilter(*record->classId, record->filterName, nullptr, nullptr, nullptr, &filterData);
    }
    return NotRegisteredIsSuccess(hr);
}

HRESULT RegisterFilterThroughMapper(const FilterSetupRecord* record, IFilterMapper* mapper, BOOL registerFilter)
{
    if (record == nullptr)
        return S_FALSE;
    const CLSID& classId = *record->classId;
    HRESULT hr = mapper->UnregisterFilter(classId);
    if (registerFilter) {
        hr = mapper->RegisterFilter(classId, record->filterName, record->merit);
        for (UINT p = 0; SUCCEEDED(hr) && p < record->pinCount; ++p) {
            const REGFILTERPINS& pin = record->pins[p];
            hr = mapper->RegisterPin(classId, pin.strName, pin.bRendered, pin.bOutput, pin.bZero, pin.bMany,
                                     *pin.clsConnectsToFilter, pin.strConnectsToPin);
            for (UINT t = 0; SUCCEEDED(hr) && t < pin.nMediaTypes; ++t)
                hr = mapper->RegisterPinType(classId, pin.strName, *pin.lpMediaType[t].clsMajorType,
                                             *pin.lpMediaType[t].clsMinorType);
        }
    }
    return NotRegisteredIsSuccess(hr);
}
