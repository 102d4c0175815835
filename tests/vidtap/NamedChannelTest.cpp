// Named channels of the capture sink: the names an application may give and when it may give them, four
// instances in one of the platform's graphs each publishing into a channel of its own, a channel's blocks
// released with its last instance, and a global channel's security. Each test runs in a process of its own.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <dshow.h>
#include <vfwmsgs.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CameraChannelTestSeam.h"
#include "ComPtr.h"
#include "FakeAllocator.h"
#include "FakeGraph.h"
#include "FakeMediaSample.h"
#include "FakeUpstreamPin.h"
#include "GraphHelpers.h"
#include "ProcessFigures.h"
#include "ReferenceConversion.h"
#include "SinkUnderTest.h"
#include "TestPictures.h"
#include "TestSourceFilter.h"
#include "VideoMediaType.h"
#include "VidtapSink.h"
#include "tarn_camera_channel.h"
#include "tarn_filters.h"

namespace {

const IID kChannelNameId = TARN_CHANNEL_NAME_IID;

ComPtr<ITarnChannelName> NamingOf(IUnknown* vidtap)
{
    ComPtr<ITarnChannelName> naming;
    EXPECT_EQ(vidtap->QueryInterface(kChannelNameId, naming.OutVoid()), S_OK);
    return naming;
}

std::wstring ChannelNameOf(ITarnChannelName* naming, HRESULT* result = nullptr)
{
    wchar_t name[TARN_CHANNEL_NAME_MAX_LENGTH + 1];
    const HRESULT hr = naming->GetChannelName(name, TARN_CHANNEL_NAME_MAX_LENGTH + 1);
    if (result != nullptr)
        *result = hr;
    return SUCCEEDED(hr) ? name : L"<failed>";
}

bool SectionExists(const std::wstring& name)
{
    HANDLE section = OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str());
    if (section != nullptr)
        CloseHandle(section);
    return section != nullptr;
}

// The sink connected from a fake upstream pin with a small packed 4:2:2 type and one frame received.
void ConnectAndReceive(SinkUnderTest<VidtapSink>& sink, FakeGraph& graph, FakeUpstreamPin& upstream,
                       FakeAllocator& allocator)
{
    sink.RunConnected(graph, upstream, MakeVideoType(64, 48, 16), allocator);
    FakeMediaSample sample(false, 64 * 48 * 2);
    ASSERT_EQ(sink.MemInput()->Receive(&sample), S_OK);
}

decltype(CameraChannelPlatform::createFileMapping) realCreateFileMapping;

// The platform's call as a process without the right to create global objects gets it.
HANDLE WINAPI CreateFileMappingOutsideTheGlobalNamespace(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect,
                                                        DWORD sizeHigh, DWORD sizeLow, LPCWSTR name)
{
    if (name != nullptr && wcsncmp(name, L"Global\\", 7) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return realCreateFileMapping(file, security, protect, sizeHigh, sizeLow, name);
}

}  // namespace

TEST(NamedChannel, NamesAreCheckedAndFixedAtThePinsFirstTypeCheck)
{
    SinkUnderTest<VidtapSink> sink;
    ASSERT_TRUE(sink.Created());
    ComPtr<ITarnChannelName> naming = NamingOf(sink.Filter());
    ASSERT_TRUE(naming);

    HRESULT got = E_FAIL;
    EXPECT_EQ(ChannelNameOf(naming.Get(), &got), TARN_CAMERA_HEADER_BLOCK_NAME);
    EXPECT_EQ(got, S_FALSE) << "an unnamed instance reports the default channel";
    wchar_t tooSmall[4] = L"xyz";
    EXPECT_EQ(naming->GetChannelName(tooSmall, 4), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(tooSmall[0], L'\0');
    EXPECT_EQ(naming->GetChannelName(nullptr, 10), E_POINTER);
    EXPECT_EQ(naming->SetChannelName(nullptr), E_POINTER);

    const std::wstring longest(TARN_CHANNEL_NAME_MAX_LENGTH, L'c');
    const std::wstring longestGlobal = L"Global\\" + std::wstring(TARN_CHANNEL_NAME_MAX_LENGTH - 7, L'g');
    const struct {
        std::wstring name;
        HRESULT expected;
    } cases[] = {
        {L"left_camera", S_OK},
        {L"Cam-2.front", S_OK},
        {L"Local\\right_camera", S_OK},
        {L"Global\\service_camera", S_OK},
        {longest, S_OK},
        {longestGlobal, S_OK},
        {L"camera_frames", S_OK},
        {L"", E_INVALIDARG},
        {L"Local\\", E_INVALIDARG},
        {L"Global\\", E_INVALIDARG},
        {longest + L"c", E_INVALIDARG},
        {longestGlobal + L"g", E_INVALIDARG},
        {L"left\\camera", E_INVALIDARG},
        {L"Session\\1\\camera", E_INVALIDARG},
        {L"Local\\Local\\camera", E_INVALIDARG},
        {L"left camera", E_INVALIDARG},
        {L"left/camera", E_INVALIDARG},
        {L"caméra", E_INVALIDARG},
        {L"tarn_kro_shared_camera_info", E_INVALIDARG},
        {L"Local\\tarn_kro_shared_camera_info", E_INVALIDARG},
        {L"tarn_kro_shared_camera_memeory0", E_INVALIDARG},
        {L"camera_sync", E_INVALIDARG},
        {L"camera_sync_wake", E_INVALIDARG},
        {L"camera_frame", E_INVALIDARG},
        {L"camera_frame012", E_INVALIDARG},
    };
    std::wstring lastAccepted;
    for (const auto& c : cases) {
        EXPECT_EQ(naming->SetChannelName(c.name.c_str()), c.expected) << std::string(c.name.begin(), c.name.end());
        if (c.expected == S_OK)
            lastAccepted = c.name;
        EXPECT_EQ(ChannelNameOf(naming.Get(), &got), lastAccepted);
        EXPECT_EQ(got, S_OK);
    }

    ASSERT_EQ(naming->SetChannelName(L"left_camera"), S_OK);
    const COwnedMediaType type = MakeVideoType(64, 48, 16);
    ASSERT_EQ(sink.InputPin()->QueryAccept(&type), S_OK);
    EXPECT_TRUE(SectionExists(L"left_camera")) << "the first type check sets the named channel up";
    EXPECT_TRUE(SectionExists(L"left_camera_sync"));
    EXPECT_FALSE(SectionExists(TARN_CAMERA_HEADER_BLOCK_NAME)) << "a named instance never sets up the default";
    EXPECT_EQ(naming->SetChannelName(L"other_camera"), VFW_E_WRONG_STATE);
    EXPECT_EQ(naming->SetChannelName(L""), E_INVALIDARG);
    EXPECT_EQ(ChannelNameOf(naming.Get()), L"left_camera");
    EXPECT_FALSE(SectionExists(L"other_camera"));
}

// Three named instances and one unnamed, each behind its own source of another size and colour, in one of the
// platform's graphs: every channel holds its own source's picture and geometry, and the unnamed instance's is
// the default channel.
TEST(NamedChannel, FourInstancesInOneGraphEachPublishIntoTheirOwnChannel)
{
    const struct Camera {
        const wchar_t* name;  // null: left unnamed
        LONG width, height;
        BYTE y, u, v;
    } cameras[] = {
        {L"left_camera", 320, 240, 16, 128, 128},
        {L"right_camera", 640, 480, 235, 128, 128},
        {L"Local\\top_camera", 176, 144, 81, 90, 240},
        {nullptr, 352, 288, 41, 240, 110},
    };
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.OutVoid()),
              S_OK);
    for (const Camera& camera : cameras) {
        HRESULT created = S_OK;
        INonDelegatingUnknown* object = VidtapSink::Create(nullptr, &created);
        ASSERT_EQ(created, S_OK);
        ComPtr<IBaseFilter> vidtap;
        ASSERT_EQ(object->NonDelegatingQueryInterface(IID_IBaseFilter, vidtap.OutVoid()), S_OK);
        if (camera.name != nullptr) {
            ASSERT_EQ(NamingOf(vidtap.Get())->SetChannelName(camera.name), S_OK);
        }
        ComPtr<TestSourceFilter> source;
        source.Attach(new TestSourceFilter);
        source->Pin()->OfferType(MakeVideoType(camera.width, camera.height, 16));
        for (int frame = 0; frame < 3; ++frame)
            source->QueueFrame(SolidPackedFrame(camera.width, camera.height, camera.y, camera.u, camera.v));
        const std::wstring id = camera.name != nullptr ? camera.name : L"unnamed";
        ASSERT_EQ(graph->AddFilter(source.Get(), (id + L" source").c_str()), S_OK);
        ASSERT_EQ(graph->AddFilter(vidtap.Get(), id.c_str()), S_OK);
        ComPtr<IPin> input;
        ASSERT_EQ(FindPin(vidtap.Get(), PINDIR_INPUT, input.Out()), S_OK);
        ASSERT_EQ(graph->ConnectDirect(source->Pin(), input.Get(), nullptr), S_OK);
    }
    ASSERT_TRUE(CompletedOnce(RunGraph(graph.Get(), CompletionHandling::ApplicationWaits)));

    for (const Camera& camera : cameras) {
        SCOPED_TRACE(camera.name != nullptr ? "named" : "unnamed");
        TarnCameraReader* reader = nullptr;
        ASSERT_EQ(tarn_camera_reader_open(camera.name != nullptr ? camera.name : TARN_CAMERA_HEADER_BLOCK_NAME, &reader),
                  TARN_CAMERA_OK);
        std::vector<unsigned char> frame(TARN_CAMERA_FRAME_BLOCK_SIZE);
        TarnCameraFrameInfo info;
        const TarnCameraResult read = tarn_camera_reader_read(reader, frame.data(), TARN_CAMERA_FRAME_BLOCK_SIZE, &info);
        const std::wstring frameBlock = tarn_camera_reader_frame_block_name(reader);
        tarn_camera_reader_close(reader);
        ASSERT_EQ(read, TARN_CAMERA_OK);
        EXPECT_NE(info.flags & TARN_CAMERA_INFO_WHOLE_FRAME, 0u);
        EXPECT_EQ(info.width, camera.width);
        EXPECT_EQ(info.height, camera.height);
        EXPECT_EQ(frameBlock, camera.name != nullptr
                                  ? std::wstring(camera.name) + L"_frame0"
                                  : std::wstring(TARN_CAMERA_FRAME_BLOCK_BASE_NAME) + L"0");
        const Bgr pixel = ReferenceColour(camera.y, camera.u, camera.v);
        size_t wrongPixels = 0;
        for (size_t at = 0; at < info.frameBytes; at += 3)
            wrongPixels += std::memcmp(frame.data() + at, pixel.data(), 3) != 0;
        EXPECT_EQ(wrongPixels, 0u) << "every pixel is this camera's colour";
    }
}

// A named filter created, connected, streamed and destroyed 1,000 times, each under a new name: the process's
// private bytes and handles stay flat, since each channel's blocks, handles and scratch buffer (12 MB and
// more) go with its instance. Two instances of one name share one channel, which outlives the first of them.
TEST(NamedChannel, AChannelIsReleasedWithItsLastInstance)
{
    auto cycle = [](const std::wstring& name) {
        FakeGraph graph;
        FakeUpstreamPin upstream;
        FakeAllocator allocator;
        SinkUnderTest<VidtapSink> sink;
        ASSERT_EQ(NamingOf(sink.Filter())->SetChannelName(name.c_str()), S_OK);
        ConnectAndReceive(sink, graph, upstream, allocator);
    };
    for (int i = 0; i < 20; ++i)
        ASSERT_NO_FATAL_FAILURE(cycle(L"warm_up_" + std::to_wstring(i)));
    const ProcessFigures before = MeasureThisProcess();
    for (int i = 0; i < 1000; ++i)
        ASSERT_NO_FATAL_FAILURE(cycle(L"cycle_" + std::to_wstring(i)));
    const ProcessFigures after = MeasureThisProcess();
    ASSERT_NE(before.privateBytes, 0u);
    EXPECT_LT(after.privateBytes, before.privateBytes + 4 * 1024 * 1024) << "one channel left behind is 12 MB";
    ASSERT_NE(before.handles, 0u);
    EXPECT_LE(after.handles, before.handles + 10);
    EXPECT_EQ(NamedCameraChannelCount(), 0u);
    EXPECT_FALSE(SectionExists(L"cycle_999"));

    FakeGraph graph;
    FakeUpstreamPin firstUpstream, secondUpstream;
    FakeAllocator firstAllocator, secondAllocator;
    auto second = std::make_unique<SinkUnderTest<VidtapSink>>();
    {
        SinkUnderTest<VidtapSink> first;
        for (auto* sink : {&first, second.get()})
            ASSERT_EQ(NamingOf(sink->Filter())->SetChannelName(L"shared_camera"), S_OK);
        ConnectAndReceive(first, graph, firstUpstream, firstAllocator);
        ConnectAndReceive(*second, graph, secondUpstream, secondAllocator);
        EXPECT_EQ(NamedCameraChannelCount(), 1u);
    }
    EXPECT_TRUE(SectionExists(L"shared_camera")) << "the second instance still publishes into it";
    EXPECT_EQ(NamedCameraChannelCount(), 1u);
    second.reset();
    EXPECT_EQ(NamedCameraChannelCount(), 0u);
    EXPECT_FALSE(SectionExists(L"shared_camera"));
}

// A global channel's blocks grant its publisher's account and the system everything, interactive users only
// what a reader needs, and nobody else anything.
TEST(NamedChannel, AGlobalChannelLetsInteractiveUsersOnlyRead)
{
    FakeGraph graph;
    FakeUpstreamPin upstream;
    FakeAllocator allocator;
    SinkUnderTest<VidtapSink> sink;
    const std::wstring name = L"Global\\service_camera_" + std::to_wstring(GetCurrentProcessId());
    ASSERT_EQ(NamingOf(sink.Filter())->SetChannelName(name.c_str()), S_OK);
    ASSERT_NO_FATAL_FAILURE(ConnectAndReceive(sink, graph, upstream, allocator));

    union {
        TOKEN_USER user;
        unsigned char bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } account;
    HANDLE token = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, &account, sizeof account, &size));
    CloseHandle(token);
    unsigned char systemSid[SECURITY_MAX_SID_SIZE], interactiveSid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof systemSid;
    ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &sidSize));
    sidSize = sizeof interactiveSid;
    ASSERT_TRUE(CreateWellKnownSid(WinInteractiveSid, nullptr, interactiveSid, &sidSize));

    TarnCameraReader* reader = nullptr;
    ASSERT_EQ(tarn_camera_reader_open(name.c_str(), &reader), TARN_CAMERA_OK);
    const std::wstring frameBlock = tarn_camera_reader_frame_block_name(reader);
    tarn_camera_reader_close(reader);
    EXPECT_EQ(frameBlock, name + L"_frame0");

    const struct {
        std::wstring name;
        bool semaphore;
        DWORD ownerRights, readerRights;
    } objects[] = {
        {name, false, SECTION_ALL_ACCESS, SECTION_QUERY | SECTION_MAP_READ},
        {frameBlock, false, SECTION_ALL_ACCESS, SECTION_QUERY | SECTION_MAP_READ},
        {name + L"_sync", false, SECTION_ALL_ACCESS, SECTION_QUERY | SECTION_MAP_READ | SECTION_MAP_WRITE},
        {name + L"_sync_wake", true, SEMAPHORE_ALL_ACCESS, SYNCHRONIZE},
    };
    for (const auto& object : objects) {
        SCOPED_TRACE(std::string(object.name.begin(), object.name.end()));
        HANDLE handle = object.semaphore ? OpenSemaphoreW(READ_CONTROL, FALSE, object.name.c_str())
                                         : OpenFileMappingW(READ_CONTROL, FALSE, object.name.c_str());
        ASSERT_NE(handle, nullptr);
        PACL dacl = nullptr;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_EQ(GetSecurityInfo(handle, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                  nullptr, &descriptor),
                  static_cast<DWORD>(ERROR_SUCCESS));
        CloseHandle(handle);
        ASSERT_NE(dacl, nullptr);
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
        EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "nothing is inherited";
        // One entry each for the account, the system and interactive users, with exactly their rights.
        const std::pair<PSID, DWORD> granted[] = {{account.user.User.Sid, object.ownerRights},
                                                  {systemSid, object.ownerRights},
                                                  {interactiveSid, object.readerRights}};
        std::vector<int> entries(std::size(granted) + 1);  // the last counts entries for anybody else
        for (DWORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
            ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
            size_t whose = 0;
            while (whose < std::size(granted) &&
                   !(EqualSid(&ace->SidStart, granted[whose].first) && ace->Mask == granted[whose].second))
                ++whose;
            ++entries[whose];
        }
        LocalFree(descriptor);
        EXPECT_EQ(entries, std::vector<int>({1, 1, 1, 0}));
    }
}

// A global channel this process may not create (no right to create global objects) refuses the connection
// with the reason, instead of connecting and publishing nowhere.
TEST(NamedChannel, AGlobalChannelThisProcessMayNotCreateRefusesTheConnection)
{
    realCreateFileMapping = CameraChannelPlatformCalls().createFileMapping;
    CameraChannelPlatformCalls().createFileMapping = CreateFileMappingOutsideTheGlobalNamespace;
    FakeUpstreamPin upstream;
    SinkUnderTest<VidtapSink> sink;
    ASSERT_EQ(NamingOf(sink.Filter())->SetChannelName(L"Global\\denied_camera"), S_OK);
    const COwnedMediaType type = MakeVideoType(64, 48, 16);
    EXPECT_EQ(sink.InputPin()->ReceiveConnection(&upstream, &type), E_ACCESSDENIED);
    IPin* peer = nullptr;
    EXPECT_EQ(sink.InputPin()->ConnectedTo(&peer), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(sink.InputPin()->QueryAccept(&type), S_FALSE) << "nor is any later type accepted";
    CameraChannelPlatformCalls().createFileMapping = realCreateFileMapping;
}
