#pragma once

#include <memory>
#include <string>

/// Everything the core asks of the machine that a test must be able to replace: the working
/// directory, the machine-wide environment file, free disk space, the user id, the removal of
/// a file, the sync of a written file. The real implementation talks to Linux; tests install
/// a subclass for one call.
class CSystemEnv {
public:
    virtual ~CSystemEnv() = default;

    /// The process's current directory.
    virtual std::string WorkingDir() const;
    /// The machine-wide environment file ("/etc/environment").
    virtual std::string EnvironmentFile() const;
    /// Bytes available to this user on the file system holding path; -1 when unknown.
    virtual long long FreeDiskSpace(const std::string& path) const;
    /// Effective user id (0: administrator).
    virtual unsigned EffectiveUserId() const;
    /// Removes one file or symbolic link (not a folder); false on failure, errno set.
    virtual bool RemoveFile(const std::string& path) const;
    /// Brings the open file's content (or a folder's entries) to the disk: fsync. False on
    /// failure, errno set.
    virtual bool SyncFile(int fd) const;

    /// The process-wide instance (the real one unless a test installed another).
    static CSystemEnv& Instance();
    /// Installs env as the process-wide instance and returns the previous one; a test puts the
    /// previous one back when it ends. Passing nullptr restores the real implementation.
    static std::unique_ptr<CSystemEnv> Replace(std::unique_ptr<CSystemEnv> env);
};
