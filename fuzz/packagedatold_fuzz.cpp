// "package.dat" in the older data-stream form: the layout test, the stream reader, and the
// details reader that chooses between the forms.
#include "fuzzsupport.h"

#include "core/catalogue/distributionlist.h"
#include "core/catalogue/packagedetails.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes = fuzzsupport::Bytes(data, size);
    const std::string path = fuzzsupport::WriteInput("packages/Old/package.dat", bytes);
    CPackageDetails layout;
    (void)layout.ParseOldFormat(bytes);
    CPackageDetails stream;
    (void)stream.ReadOldFormat(path);
    (void)CDistributionList::instance()->readDistributionDetails(path);
    CDistributionList::destroy();
    return 0;
}
