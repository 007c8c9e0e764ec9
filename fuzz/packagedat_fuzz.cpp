// "package.dat" in its text form (either form is accepted by the same reader).
#include "fuzzsupport.h"

#include "core/catalogue/distributionlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path =
        fuzzsupport::WriteInput("packages/Fuzz/package.dat", fuzzsupport::Bytes(data, size));
    (void)CDistributionList::instance()->readDistributionDetails(path);
    CDistributionList::destroy();
    return 0;
}
