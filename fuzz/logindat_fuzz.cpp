// "login.dat": the older connection settings, a big-endian data stream.
#include "fuzzsupport.h"

#include "core/server/connectiondetails.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::WriteInput("packages/login.dat", fuzzsupport::Bytes(data, size));
    CConnectionDetails details;
    details.ReadLegacyDetails();
    (void)details.DetailsRecords();
    return 0;
}
