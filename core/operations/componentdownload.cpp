// Fetching a component archive from the installation server into the cache.

#include "core/catalogue/cache.h"
#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/server/serverinterface.h"
#include "core/base/trace.h"

std::string CComponent::RemotePath() const
{
    return "/software/" + m_ServerPath + ArchiveName();
}

int CComponent::Download()
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
    const int transfer =
        ServerInterface::Instance()->GetFile(remotePath, GetCacheFolder(m_Platform), false);
    if (transfer != ServerInterface::NO_FTP_ERROR) {
        Trace("Failed to Download - %s - FTP RETURN CODE  = %d", remotePath.c_str(), transfer);
        NUVDisplay("\t%s failed to download\n", remotePath.c_str());
        return rc::FTPDownloadError;
    }
    if (m_Package.empty())
        m_Package = name;
    if (m_pHolder)
        m_pHolder->SetDownloadedVersion(m_Version);
    return rc::Success;
}
