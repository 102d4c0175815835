// The fixture of the end-to-end graph tests: a sink module registered with regsvr32, its filter created by
// class id in a fresh platform filter graph, and the tests' own source filter ready to be connected in front
// of it (or a file through the graph's intelligent connection). Everything runs on the test's thread; the
// fixture holds one reference on each object and gives it back when the test ends. Every test then ends with
// the platform's filter graph and the tests' source destroyed by the fixture's last reference, and with the
// sink's module answering DllCanUnloadNow with S_OK: nothing the test made keeps anything alive.
#pragma once

#include <gtest/gtest.h>
#include <dshow.h>

#include "ComPtr.h"
#include "E2eModules.h"
#include "TestSourceFilter.h"

class SinkGraphTest : public testing::Test {
protected:
    explicit SinkGraphTest(const ModuleUnderTest& module);

    void SetUp() override;
    void TearDown() override;

    // The own source, in the graph, connected to the sink's input.
    void ConnectOwnSource();
    // The file at `unixPath` in the File Source, connected to the sink's input by the graph's own intelligent
    // connection (which inserts whatever parser and decoder it finds).
    HRESULT ConnectFileThroughGraph(const char* unixPath);
    // The subtype the sink's input is connected with; GUID_NULL when it is not connected.
    GUID ConnectedSubtype() const;

    const ModuleUnderTest& module;
    ComPtr<TestSourceFilter> source;
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> sink;
    ComPtr<IPin> sinkInput;
};
