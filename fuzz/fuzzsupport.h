#pragma once
// Shared by the fuzz targets: each runs its reader in a private temporary working folder, so
// readers that take a path, or that look below the working folder, never touch anything else.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzsupport {

/// The fuzz input as a byte string.
inline std::string Bytes(const uint8_t* data, size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

/// Creates the temporary working folder on the first call and makes it current; returns its
/// path. It is removed when the process ends.
const std::string& WorkFolder();

/// Writes bytes to relative (below the working folder, folders created) and returns the
/// absolute path.
std::string WriteInput(const std::string& relative, const std::string& bytes);

/// The package definition text of a small catalogue, for readers that merge into one.
const std::string& SampleCatalogue();

}  // namespace fuzzsupport
