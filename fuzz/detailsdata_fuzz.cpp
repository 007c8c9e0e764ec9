// "Details.data": the connection settings' fixed records, read as a start-up does.
#include "fuzzsupport.h"

#include "core/server/connectiondetails.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::WriteInput("packages/Details.data", fuzzsupport::Bytes(data, size));
    CConnectionDetails details;
    (void)details.ReadDetails();
    (void)details.DetailsRecords();
    return 0;
}
