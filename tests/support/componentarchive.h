#pragma once

#include "core/catalogue/distribution.h"

#include <map>
#include <string>

class CComponent;

namespace testsupport {

/// Files of a component archive, by path below its top folder (named after the component).
/// A value starting with "->" makes a symbolic link to the rest; paths ending in ".sh" or
/// "tool" are made executable.
using ArchiveFiles = std::map<std::string, std::string>;

/// Builds cache/Linux/<name>-<version><extension> below workingDir with the real zip or tar
/// programs (extension ".zip" or ".tgz").
void MakeArchive(const std::string& workingDir, const std::string& name,
                 const std::string& version, const ArchiveFiles& files,
                 const std::string& extension = ".zip");

/// A Linux package "pkg" installing into root, with records filed into its catalogue.
class CTestPackage {
public:
    explicit CTestPackage(const std::string& root);
    /// Files a record (".zip" unless said) and re-resolves the dependencies.
    CComponent* Add(const std::string& name, const std::string& version,
                    const std::string& depends = std::string(),
                    const std::string& extension = ".zip");
    CDistribution m_Distribution;
};

}  // namespace testsupport
