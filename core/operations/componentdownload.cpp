// Fetching a component archive from the installation server into the cache.

#include "core/catalogue/component.h"
#include "core/resultcodes.h"
#include "core/trace.h"

int CComponent::Download()
{
    CTraceScope scope("CComponent::Download()");
    if (!m_Included)
        return rc::NotIncluded;
    Trace("Failed to Download - %s - FTP RETURN CODE  = %d", ArchiveName().c_str(), -1);
    return rc::FTPDownloadError;
}
