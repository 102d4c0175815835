// The registration-free route (tools/examples/PrivateFilterModule) run for real: the build puts unregistered
// copies of both modules beside this program, as an application ships them; each is loaded from there, its
// filter made by its own class object and run in the platform's filter graph on the test clip to EC_COMPLETE;
// its seeking reaches the splitter as a registered filter's does; vidtap's frame is read back
// through the reader library; the registry is the same byte for byte before and after, and the module answers
// DllCanUnloadNow with S_OK at the end and unloads.
#include <gtest/gtest.h>
#include <dshow.h>

#include <optional>
#include <string>
#include <vector>

#include "ComPtr.h"
#include "E2eModules.h"
#include "GraphHelpers.h"
#include "PlatformProcess.h"
#include "PlatformRegistration.h"
#include "PrivateFilterModule.h"
#include "ReferenceConversion.h"
#include "SameBytes.h"
#include "tarn_camera_channel.h"

namespace {

constexpr int kClipWidth = 320;
constexpr int kClipHeight = 240;
constexpr size_t kClipFrameBytes = kClipWidth * kClipHeight * 2;

std::wstring LoadedFrom(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

std::wstring ApplicationFolder()
{
    const std::wstring program = LoadedFrom(nullptr);
    return program.substr(0, program.find_last_of(L'\\') + 1);
}

// The registry trees a module could write to, as reg.exe of this bitness exports them.
std::vector<std::optional<std::string>> RegistryTrees()
{
    const std::wstring scratch = ApplicationFolder() + L"registry.reg";
    return {ExportRegistryTree(L"HKLM\\Software", scratch), ExportRegistryTree(L"HKCU\\Software", scratch)};
}

class RegistrationFree : public testing::TestWithParam<ModuleUnderTest> {
protected:
    const ModuleUnderTest& module = GetParam();
};

TEST_P(RegistrationFree, ModuleFromTheApplicationFolderStreamsSeeksAndUnloadsWithoutTheRegistry)
{
    const std::vector<std::optional<std::string>> registryBefore = RegistryTrees();
    for (const auto& tree : registryBefore)
        ASSERT_TRUE(tree.has_value());
    const std::vector<BYTE> clipFrames = ReadWholeFile(E2E_CLIP_FRAMES);
    ASSERT_EQ(clipFrames.size(), 10 * kClipFrameBytes);
    const std::string label(module.label);
    const std::wstring moduleFile = std::wstring(label.begin(), label.end()) + L".dll";

    PrivateFilterModule privateModule;
    ASSERT_EQ(privateModule.Load(moduleFile.c_str()), S_OK);
    EXPECT_EQ(_wcsicmp(LoadedFrom(privateModule.Handle()).c_str(), (ApplicationFolder() + moduleFile).c_str()), 0);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.OutVoid()),
              S_OK);
    {
        ComPtr<IBaseFilter> sink;
        ASSERT_EQ(privateModule.CreateFilter(*module.classId, sink.Out()), S_OK);
        ASSERT_EQ(graph->AddFilter(sink.Get(), module.filterName), S_OK);
        ComPtr<IPin> video;
        ComPtr<IPin> sinkInput;
        ASSERT_EQ(AddClipPlayback(graph.Get(), WindowsPath(E2E_CLIP_AVI).c_str(), video.Out()), S_OK);
        ASSERT_EQ(FindPin(sink.Get(), PINDIR_INPUT, sinkInput.Out()), S_OK);
        ASSERT_EQ(graph->ConnectDirect(video.Get(), sinkInput.Get(), nullptr), S_OK);

        // Seeking on the filter reaches the splitter. (IMediaPosition's IDispatch reads the platform's type
        // library, which no registration of ours provides: MediaPositionDispatchTest.)
        ComPtr<IMediaSeeking> splitterSeeking;
        ComPtr<IMediaSeeking> seeking;
        LONGLONG splitterDuration = 0;
        LONGLONG duration = 0;
        ASSERT_EQ(video->QueryInterface(IID_IMediaSeeking, splitterSeeking.OutVoid()), S_OK);
        ASSERT_EQ(splitterSeeking->GetDuration(&splitterDuration), S_OK);
        ASSERT_EQ(sink->QueryInterface(IID_IMediaSeeking, seeking.OutVoid()), S_OK);
        EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
        EXPECT_EQ(duration, splitterDuration);
        EXPECT_GT(duration, 0);

        EXPECT_TRUE(CompletedOnce(RunGraph(graph.Get(), CompletionHandling::ApplicationWaits)));

        if (module.classId == &kVidtapClassId) {
            TarnCameraReader* reader = nullptr;
            ASSERT_EQ(tarn_camera_reader_open(nullptr, &reader), TARN_CAMERA_OK);
            std::vector<BYTE> picture(kClipWidth * kClipHeight * 3);
            TarnCameraFrameInfo info = {};
            const TarnCameraResult read = tarn_camera_reader_read(
                reader, picture.data(), static_cast<unsigned long>(picture.size()), &info);
            tarn_camera_reader_close(reader);
            ASSERT_EQ(read, TARN_CAMERA_OK) << tarn_camera_result_message(read);
            const BYTE* lastFrame = clipFrames.data() + clipFrames.size() - kClipFrameBytes;
            EXPECT_TRUE(SameBytes(picture, ReferenceBottomUpBgr(lastFrame, kClipWidth, kClipHeight)));
        }
    }
    EXPECT_EQ(graph.Detach()->Release(), 0u) << "the filter graph outlived the test";
    EXPECT_EQ(privateModule.Unload(), S_OK) << module.label << " keeps an object alive";
    EXPECT_EQ(GetModuleHandleW((ApplicationFolder() + moduleFile).c_str()), nullptr);

    const std::vector<std::optional<std::string>> registryAfter = RegistryTrees();
    EXPECT_TRUE(registryAfter[0] == registryBefore[0]) << "HKLM\\Software changed";
    EXPECT_TRUE(registryAfter[1] == registryBefore[1]) << "HKCU\\Software changed";
}

INSTANTIATE_TEST_SUITE_P(Modules, RegistrationFree, testing::Values(kVidtapModule, kNullsinkerModule),
                         ModuleLabel);

}  // namespace
