// The capture sink's outer object, filter and receive path locking, through the tests both sinks share.
#include "SinkShapeTests.h"
#include "VidtapSink.h"

INSTANTIATE_TYPED_TEST_SUITE_P(Vidtap, SinkShapeTest, VidtapSink);
