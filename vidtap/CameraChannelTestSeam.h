// What tests of the camera channel's set-up may reach beyond its operations: whether the set-up is still
// pending, the table of kernel calls the set-up makes (a test replaces an entry before the first set-up
// of its process), and how many named channels are alive. The product never includes this header.
#pragma once

#include "CameraChannelPlatform.h"

// True until the first set-up in the process has run, whatever its outcome.
bool CameraChannelSetUpPending();

// The module-wide table the set-up calls through; it holds the kernel's own functions until a test
// changes an entry.
CameraChannelPlatform& CameraChannelPlatformCalls();

// How many named channels exist in the module now (NamedCameraChannels.cpp).
unsigned NamedCameraChannelCount();
