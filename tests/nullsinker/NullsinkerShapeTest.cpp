// The null sink's outer object, filter and receive path locking, through the tests both sinks share.
#include "NullsinkerSink.h"
#include "SinkShapeTests.h"

INSTANTIATE_TYPED_TEST_SUITE_P(Nullsinker, SinkShapeTest, NullsinkerSink);
