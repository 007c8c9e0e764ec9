#include "core/packagefiles/archivedownloader.h"

#include "core/catalogue/component.h"

ArchiveDownloader DefaultArchiveDownloader()
{
    return [](CComponent& record) { return record.Download(); };
}
