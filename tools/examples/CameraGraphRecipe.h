// The two ways to put vidtap behind a camera in an application's filter graph, as the README shows them.
// Both run on the application's control thread with the graph stopped; the caller keeps its references.
#pragma once

#include <windows.h>
#include <dshow.h>

// The platform's capture graph builder finds the camera's capture pin (the pin that reports
// PIN_CATEGORY_CAPTURE) and connects it to vidtap, which must already be in `graph`.
HRESULT ConnectCameraThroughCaptureBuilder(IGraphBuilder* graph, IBaseFilter* camera, IBaseFilter* vidtap);

// Connects `cameraOutput` straight to vidtap's input pin, with the first media type both accept.
HRESULT ConnectCameraDirectly(IGraphBuilder* graph, IPin* cameraOutput, IBaseFilter* vidtap);
