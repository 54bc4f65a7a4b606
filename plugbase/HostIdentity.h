#pragma once

// Which host a plug-in runs in, from the name the host gives itself.

#include <cstdint>

// The first known host name contained in the lower-cased name gives its code;
// no match (or no name) gives 0.
std::int32_t IdentifyHost(const char* hostName);
