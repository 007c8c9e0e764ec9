#include "support/componentarchive.h"

#include "core/catalogue/componentmanager.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

void MakeArchive(const std::string& workingDir, const std::string& name,
                 const std::string& version, const ArchiveFiles& files,
                 const std::string& extension)
{
    const std::string staging = workingDir + "/staging/" + name + "-" + version;
    for (const auto& [path, content] : files) {
        const std::string full = staging + "/" + name + "/" + path;
        if (content.rfind("->", 0) == 0) {
            WriteFile(full + ".tmp", "");   // creates the folders
            ::unlink((full + ".tmp").c_str());
            ASSERT_EQ(0, ::symlink(content.substr(2).c_str(), full.c_str())) << full;
            continue;
        }
        WriteFile(full, content);
        auto endsWith = [&path](const std::string& end) {
            return path.size() >= end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0;
        };
        const bool executable = endsWith(".sh") || endsWith("tool");
        ::chmod(full.c_str(), executable ? 0755 : 0644);
    }
    const std::string archive =
        workingDir + "/cache/Linux/" + name + "-" + version + extension;
    WriteFile(archive, "");
    ::unlink(archive.c_str());
    const ProgramRun run =
        extension == ".tgz" ? RunProgram("tar", {"-czf", archive, name}, staging)
                            : RunProgram("zip", {"-qry", archive, name}, staging);
    ASSERT_EQ(0, run.exitCode) << run.err;
}

CTestPackage::CTestPackage(const std::string& root) : m_Distribution("Main")
{
    m_Distribution.SetPlatform(2);
    m_Distribution.SetAlias("pkg");
    (void)m_Distribution.setTessomRoot(root);
}

CComponent* CTestPackage::Add(const std::string& name, const std::string& version,
                              const std::string& depends, const std::string& extension)
{
    CComponent record(&m_Distribution);
    record.SetName(name);
    record.SetVersion(version);
    record.SetPlatform(2);
    record.SetExtention(extension);
    if (!depends.empty())
        record.SetDepends(depends);
    CComponentManager* manager = m_Distribution.GetComponentManager();
    CComponent* filed = manager->FileRecord(std::move(record));
    manager->ResolveDependencies();
    return filed;
}

}  // namespace testsupport
