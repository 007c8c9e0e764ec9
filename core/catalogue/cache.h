#pragma once

#include <string>

/// Cache folder of a platform number, relative to a root: "cache/Windows" (1), "cache/Linux"
/// (2), "cache/Solaris" (3), "cache" otherwise.
std::string GetCacheFolder(int platform);

/// Creates root/cache and its three platform folders. 0 (also when they existed), or 111, 112,
/// 113, 114 for the first folder that could not be made.
int CreateCacheFolders(const std::string& root);
