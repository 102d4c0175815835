#include "SinkGraphTest.h"

#include "GraphBuilding.h"
#include "PlatformProcess.h"
#include "PlatformRegistration.h"

namespace {

// DllCanUnloadNow of the module as COM loaded it (from the path regsvr32 registered).
HRESULT LoadedModuleCanUnloadNow(const ModuleUnderTest& module)
{
    using CanUnloadNowEntry = HRESULT(STDAPICALLTYPE*)();
    const HMODULE loaded = GetModuleHandleW(WindowsPath(module.unixPath).c_str());
    if (loaded == nullptr)
        return E_FAIL;
    auto canUnloadNow =
        reinterpret_cast<CanUnloadNowEntry>(reinterpret_cast<void*>(GetProcAddress(loaded, "DllCanUnloadNow")));
    return canUnloadNow != nullptr ? canUnloadNow() : E_FAIL;
}

}  // namespace

SinkGraphTest::SinkGraphTest(const ModuleUnderTest& module) : module(module)
{
    source.Attach(new TestSourceFilter);
}

void SinkGraphTest::SetUp()
{
    ASSERT_EQ(RunRegsvr32(WindowsPath(module.unixPath), false), 0);
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.OutVoid()),
              S_OK);
    ASSERT_EQ(AddFilterByClassId(graph.Get(), *module.classId, module.displayName, sink.Out()), S_OK);
    ASSERT_EQ(FindPin(sink.Get(), PINDIR_INPUT, sinkInput.Out()), S_OK);
}

void SinkGraphTest::TearDown()
{
    sinkInput.Reset();
    sink.Reset();
    // The graph lets go of its filters as it goes; after that only the fixture holds the source.
    if (graph) {
        EXPECT_EQ(graph.Detach()->Release(), 0u) << "the filter graph outlived the test";
    }
    EXPECT_EQ(source.Detach()->Release(), 0u) << "the test source outlived the test";
    if (!HasFatalFailure()) {
        EXPECT_EQ(LoadedModuleCanUnloadNow(module), S_OK) << module.label << " cannot be unloaded after the test";
    }
}

void SinkGraphTest::ConnectOwnSource()
{
    ASSERT_EQ(graph->AddFilter(source.Get(), L"Test Source"), S_OK);
    ASSERT_EQ(graph->ConnectDirect(source->Pin(), sinkInput.Get(), nullptr), S_OK);
}

HRESULT SinkGraphTest::ConnectFileThroughGraph(const char* unixPath)
{
    ComPtr<IPin> fileOutput;
    HRESULT hr = AddFileSource(graph.Get(), WindowsPath(unixPath).c_str(), fileOutput.Out());
    return SUCCEEDED(hr) ? graph->Connect(fileOutput.Get(), sinkInput.Get()) : hr;
}

GUID SinkGraphTest::ConnectedSubtype() const
{
    AM_MEDIA_TYPE connected;
    if (sinkInput->ConnectionMediaType(&connected) != S_OK)
        return GUID_NULL;
    const GUID subtype = connected.subtype;
    MediaTypeReleaseFormat(&connected);
    return subtype;
}
