// Fetching a component archive from the installation server into the cache, and checking an
// archive against the digest its catalogue publishes.

#include "core/catalogue/cache.h"
#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/base/digest.h"
#include "core/base/fileutils.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/server/serverinterface.h"
#include "core/base/trace.h"

std::string CComponent::RemotePath() const
{
    return "/software/" + m_ServerPath + ArchiveName();
}

int CComponent::Download(bool finishLater)
{
    CTraceScope scope("CComponent::Download()");
    if (!m_Included)
        return rc::NotIncluded;
    const std::string name = ArchiveName();
    if (name.empty()) {
        Trace("No archive name for %s: nothing to download", m_Name.c_str());
        return rc::InvalidComponentFileName;
    }
    const std::string remotePath = RemotePath();
    ServerInterface* server = ServerInterface::Instance();
    const auto completion = finishLater ? ServerInterface::Completion::InBackground
                                        : ServerInterface::Completion::Now;
    const int transfer =
        server->GetFile(remotePath, GetCacheFolder(m_Platform), false, m_Sha256, completion);
    if (transfer == ServerInterface::DIGEST_MISMATCH) {
        DisplayChecksumMismatch(name, m_Sha256, server->GetReceivedDigest());   // the engine removed it
        return rc::ChecksumMismatch;
    }
    if (transfer != ServerInterface::NO_FTP_ERROR) {
        Trace("Failed to Download - %s - FTP RETURN CODE  = %d", remotePath.c_str(), transfer);
        NUVDisplay("\t%s failed to download\n", remotePath.c_str());
        return rc::FTPDownloadError;
    }
    if (!m_Sha256.empty())
        NUVDisplay("\tChecksum verified (sha256 %.16s...)\n", m_Sha256.c_str());
    return finishLater ? rc::Success : FinishDownload();
}

int CComponent::FinishDownload()
{
    const std::string name = ArchiveName();
    if (name.empty())
        return rc::Success;
    if (ServerInterface::Instance()->FinishFile(ArchivePath()) != ServerInterface::NO_FTP_ERROR) {
        Trace("Failed to complete %s - %s", ArchivePath().c_str(),
              ServerInterface::Instance()->GetErrorString().c_str());
        NUVDisplay("\t%s failed to download\n", RemotePath().c_str());
        return rc::FTPDownloadError;
    }
    if (m_Package.empty())
        m_Package = name;
    if (m_pHolder)
        m_pHolder->SetDownloadedVersion(m_Version);
    return rc::Success;
}

int CComponent::VerifyCachedArchive()
{
    if (m_Sha256.empty())
        return rc::Success;
    const std::string path = ArchivePath();
    const std::string received = FileSha256(path);
    if (received == m_Sha256) {
        Trace("%s matches its checksum %s", path.c_str(), m_Sha256.c_str());
        return rc::Success;
    }
    DisplayChecksumMismatch(path, m_Sha256, received);
    (void)DeleteFromCache();   // never installed; the next download fetches it anew
    return rc::ChecksumMismatch;
}
