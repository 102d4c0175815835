// The names an application gives vidtap's channels (the rules are the public ones of tarn_filters.h), and
// the names of the blocks derived from them. Plain functions on wide strings; any thread.
#pragma once

#include <cstddef>

// The prefixes of the two namespaces a channel may name.
inline constexpr wchar_t kLocalNamespacePrefix[] = L"Local\\";
inline constexpr wchar_t kGlobalNamespacePrefix[] = L"Global\\";

// The start of a name as the default channel's blocks are named (after any namespace prefix).
inline constexpr wchar_t kDefaultChannelNameStart[] = L"tarn_kro_shared_camera_";

// What names a channel's frame blocks after its own name: <name>_frame, then the naming tries' digits.
inline constexpr wchar_t kFrameBlockSuffix[] = L"_frame";

// Whether `name` (zero-terminated, any length) passes every rule: the length, the characters, the prefixes,
// and none of the names the default channel's blocks or another channel's derived blocks use.
bool CameraChannelNameValid(const wchar_t* name);

// Whether a valid name lies in the global namespace.
bool CameraChannelNameIsGlobal(const wchar_t* name);

// The part of a valid name that identifies its channel within the process: "Local\name" and "name" are the
// same kernel objects, so they are one channel.
const wchar_t* CameraChannelKey(const wchar_t* name);
