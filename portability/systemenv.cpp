#include "portability/systemenv.h"

#include <cstdio>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

std::unique_ptr<CSystemEnv>& Slot()
{
    static std::unique_ptr<CSystemEnv> instance = std::make_unique<CSystemEnv>();
    return instance;
}

}  // namespace

std::string CSystemEnv::WorkingDir() const
{
    std::string buffer(4096, '\0');
    if (!::getcwd(&buffer[0], buffer.size()))
        return ".";
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

std::string CSystemEnv::EnvironmentFile() const { return "/etc/environment"; }

long long CSystemEnv::FreeDiskSpace(const std::string& path) const
{
    struct statvfs st;
    if (::statvfs(path.c_str(), &st) != 0)
        return -1;
    return static_cast<long long>(st.f_bavail) * static_cast<long long>(st.f_frsize);
}

unsigned CSystemEnv::EffectiveUserId() const { return ::geteuid(); }

bool CSystemEnv::RemoveFile(const std::string& path) const { return ::unlink(path.c_str()) == 0; }

bool CSystemEnv::SyncFile(int fd) const { return ::fsync(fd) == 0; }

CSystemEnv& CSystemEnv::Instance() { return *Slot(); }

std::unique_ptr<CSystemEnv> CSystemEnv::Replace(std::unique_ptr<CSystemEnv> env)
{
    std::unique_ptr<CSystemEnv> previous = std::move(Slot());
    Slot() = env ? std::move(env) : std::make_unique<CSystemEnv>();
    return previous;
}
