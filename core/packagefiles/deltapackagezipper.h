#pragma once

#include <string>

/// Archives the delta folder ("delta" below the working directory) recursively into a delta
/// package file, with entry names relative to that folder ("packages/...", "cache/...").
class CDeltaPackageZipper {
public:
    /// deltaFilePath: the file to write, relative to the working directory.
    explicit CDeltaPackageZipper(const std::string& deltaFilePath);

    /// Replaces an older file of that name and runs the zip program in the delta folder,
    /// blocking in the process runner's nested event loop. Always 0: the zip program's result
    /// is only traced, a failing run leaving no file or an incomplete one.
    int CreateZipFile();

private:
    std::string m_DeltaFilePath;
};
