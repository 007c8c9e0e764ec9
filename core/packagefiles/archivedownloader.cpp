#include "core/packagefiles/archivedownloader.h"

#include "core/catalogue/component.h"
#include "core/resultcodes.h"
#include "core/trace.h"

ArchiveDownloader DefaultArchiveDownloader()
{
    // The component download joins the core with the component operations; until then an
    // uncached archive is reported as not downloadable, which the package files survive.
    return [](CComponent& record) {
        Trace("No downloader for %s", record.GetPackage().c_str());
        return int(rc::DownloadFailed);
    };
}
