// The viewer's title: what it shows (geometry, frames per second; with a sync block the frames skipped, the
// shown frame's age and whether the publisher has ended; the frame block's name),
// or that it waits for a channel, or why it cannot show the announced picture. A channel named on the command
// line is named after the program ("camview [left_camera] - ..."); the default channel's titles name none.
#pragma once

#include <string>

#include "ChannelFrameSource.h"

std::wstring ViewerTitle(const ViewStatus& status, double framesPerSecond, const std::wstring& channelName = {});
