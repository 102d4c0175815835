// The fixture of the end-to-end graph tests: a sink module registered with regsvr32, its filter created by
// class id in a fresh platform filter graph, and the tests' own source filter ready to be connected in front
// of it (or the clip through the File Source and the AVI Splitter, or a file through the graph's intelligent
// connection). Everything runs on the test's thread; the
// fixture holds one reference on each object and gives it back when the test ends. Every test then ends with
// the platform's filter graph and the tests' source destroyed by the fixture's last reference, and with the
// sink's module answering DllCanUnloadNow with S_OK: nothing the test made keeps anything alive.
#pragma once

#include <gtest/gtest.h>
#include <dshow.h>

#include "ComPtr.h"
#include "E2eModules.h"
#include "GraphBuilding.h"
#include "PlatformProcess.h"
#include "PlatformRegistration.h"
#include "TestSourceFilter.h"

class SinkGraphTest : public testing::Test {
protected:
    explicit SinkGraphTest(const ModuleUnderTest& module) : module(module) { source.Attach(new TestSourceFilter); }

    void SetUp() override
    {
        ASSERT_EQ(RunRegsvr32(WindowsPath(module.unixPath), false), 0);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   graph.OutVoid()),
                  S_OK);
        ASSERT_EQ(AddFilterByClassId(graph.Get(), *module.classId, module.displayName, sink.Out()), S_OK);
        ASSERT_EQ(FindPin(sink.Get(), PINDIR_INPUT, sinkInput.Out()), S_OK);
    }

    void TearDown() override
    {
        sinkInput.Reset();
        sink.Reset();
        // The graph lets go of its filters as it goes; after that only the fixture holds the source.
        if (graph) {
            EXPECT_EQ(graph.Detach()->Release(), 0u) << "the filter graph outlived the test";
        }
        EXPECT_EQ(source.Detach()->Release(), 0u) << "the test source outlived the test";
        if (!HasFatalFailure()) {
            EXPECT_EQ(LoadedModuleCanUnloadNow(), S_OK) << module.label << " cannot be unloaded after the test";
        }
    }

    // DllCanUnloadNow of the sink's module as COM loaded it (from the path regsvr32 registered).
    HRESULT LoadedModuleCanUnloadNow() const
    {
        using CanUnloadNowEntry = HRESULT(STDAPICALLTYPE*)();
        const HMODULE loaded = GetModuleHandleW(WindowsPath(module.unixPath).c_str());
        if (loaded == nullptr)
            return E_FAIL;
        auto canUnloadNow = reinterpret_cast<CanUnloadNowEntry>(
            reinterpret_cast<void*>(GetProcAddress(loaded, "DllCanUnloadNow")));
        return canUnloadNow != nullptr ? canUnloadNow() : E_FAIL;
    }

    // The own source, in the graph, connected to the sink's input.
    void ConnectOwnSource()
    {
        ASSERT_EQ(graph->AddFilter(source.Get(), L"Test Source"), S_OK);
        ASSERT_EQ(graph->ConnectDirect(source->Pin(), sinkInput.Get(), nullptr), S_OK);
    }

    // The clip played by the File Source and the AVI Splitter, its video stream connected to the sink's input.
    void ConnectClip()
    {
        ComPtr<IPin> video;
        ASSERT_EQ(AddClipPlayback(graph.Get(), WindowsPath(E2E_CLIP_AVI).c_str(), video.Out()), S_OK);
        ASSERT_EQ(graph->ConnectDirect(video.Get(), sinkInput.Get(), nullptr), S_OK);
    }

    // The file at `unixPath` in the File Source, connected to the sink's input by the graph's own intelligent
    // connection (which inserts whatever parser and decoder it finds).
    HRESULT ConnectFileThroughGraph(const char* unixPath)
    {
        ComPtr<IPin> fileOutput;
        HRESULT hr = AddFileSource(graph.Get(), WindowsPath(unixPath).c_str(), fileOutput.Out());
        return SUCCEEDED(hr) ? graph->Connect(fileOutput.Get(), sinkInput.Get()) : hr;
    }

    // The subtype the sink's input is connected with; GUID_NULL when it is not connected.
    GUID ConnectedSubtype() const
    {
        AM_MEDIA_TYPE connected;
        if (sinkInput->ConnectionMediaType(&connected) != S_OK)
            return GUID_NULL;
        const GUID subtype = connected.subtype;
        MediaTypeReleaseFormat(&connected);
        return subtype;
    }

    const ModuleUnderTest& module;
    ComPtr<TestSourceFilter> source;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> sink;
    ComPtr<IPin> sinkInput;
};
