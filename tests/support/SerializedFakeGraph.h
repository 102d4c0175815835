// The graph double of tests that notify from several threads at once: FakeGraph serialises its Notify calls.
#pragma once

#include "FakeGraph.h"

using SerializedFakeGraph = FakeGraph;
