#pragma once

#include <cstddef>

/// Not found: a code of this layer only.
constexpr int kPlatformRootNotFound = -1004;

/// Fills buffer (size bytes, terminated) with TESSOM_ROOT: from the process environment first,
/// cut to size - 1 characters; otherwise from the machine-wide environment file of
/// CSystemEnv. Returns 0, or -1004 when neither has it (the buffer must not be used then).
int vel_os_get_platform_root(char* buffer, size_t size);

/// The same lookup with an explicit environment file (lines NAME=VALUE, the value optionally
/// in double quotes). A missing or unreadable file means not found, silently.
int vel_os_get_platform_root_from(const char* environmentFile, char* buffer, size_t size);
