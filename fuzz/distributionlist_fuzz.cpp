// The distributions text a server publishes, read into the process-wide list.
#include "fuzzsupport.h"

#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::WorkFolder();
    const std::string text = fuzzsupport::Bytes(data, size);
    CDistributionList* list = CDistributionList::instance();
    (void)list->addDistributions(text, "software", false);
    (void)list->addDistributions(text, "updates/software", true);   // a second server merges
    for (int i = 0; i < list->count(); ++i) {
        list->setCurrentDistribution(list->getDistribution(i)->GetName());
        (void)list->getCurrentDistribution();
    }
    (void)list->getMinClient();
    CDistributionList::destroy();
    return 0;
}
