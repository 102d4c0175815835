// Building a playback graph in the platform's filter graph manager, for the demo and the end-to-end tests:
// finding a filter's pin by direction, adding a filter created by class id, and a clip's File Source and AVI
// Splitter connected in front of a sink. Everything runs on the caller's thread; every interface handed out
// carries one reference for the caller, and nothing is handed out on failure.
#pragma once

#include <windows.h>
#include <dshow.h>

// The first pin of `filter` with the given direction; VFW_E_NOT_FOUND when it has none.
HRESULT FindPin(IBaseFilter* filter, PIN_DIRECTION direction, IPin** pin);

// A filter created by class id through COM and added to `graph` under `name`.
HRESULT AddFilterByClassId(IGraphBuilder* graph, REFCLSID classId, const wchar_t* name, IBaseFilter** filter);

// File Source (async reader) on the file at `path` (a Windows path), added to `graph`; gives its output pin.
HRESULT AddFileSource(IGraphBuilder* graph, const wchar_t* path, IPin** output);

// File Source (async reader) on the clip at `clipPath` (a Windows path) and the AVI Splitter behind it,
// connected; gives the splitter's first output pin (the clip's video stream).
HRESULT AddClipPlayback(IGraphBuilder* graph, const wchar_t* clipPath, IPin** videoOutput);
