#include "ViewerTitle.h"

#include <cwchar>

namespace {

std::wstring Widened(const char* ascii)
{
    std::wstring text;
    for (; *ascii != '\0'; ++ascii)
        text += static_cast<wchar_t>(static_cast<unsigned char>(*ascii));
    return text;
}

std::wstring Geometry(const ViewStatus& status)
{
    return std::to_wstring(status.width) + L" x " + std::to_wstring(status.height);
}

}  // namespace

std::wstring ViewerTitle(const ViewStatus& status, double changesPerSecond, const std::wstring& channelName)
{
    const std::wstring program = channelName.empty() ? L"camview - " : L"camview [" + channelName + L"] - ";
    switch (status.state) {
    case ViewState::Waiting:
        if (status.result == TARN_CAMERA_NO_CHANNEL)
            return program + L"waiting for the camera channel";
        return program + L"waiting for the camera channel (" + Widened(tarn_camera_result_message(status.result)) + L")";
    case ViewState::Showing: {
        wchar_t rate[32];
        std::swprintf(rate, sizeof rate / sizeof rate[0], L"%.1f fps", changesPerSecond);
        std::wstring title = program + Geometry(status) + L" - " + rate;
        if (status.synchronised) {
            wchar_t age[32];
            std::swprintf(age, sizeof age / sizeof age[0], L"%.0f ms old", status.frameAgeMs);
            title += L" - " + std::to_wstring(status.framesSkipped) + L" skipped - " + age;
            if (status.publisherEnded)
                title += L" - publisher ended";
        }
        return title + L" - " + status.frameBlockName;
    }
    case ViewState::Refused:
        break;
    }
    return program + Geometry(status) + L" cannot be shown: " + Widened(tarn_camera_result_message(status.result)) +
           L" - " + status.frameBlockName;
}
