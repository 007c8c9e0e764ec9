// The preferences file, read and written back as text.
#include "fuzzsupport.h"

#include "core/nuvoptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::WorkFolder();
    CNUVOptions* options = CNUVOptions::Instance();
    options->ParseText(fuzzsupport::Bytes(data, size));
    (void)options->FileText();
    return 0;
}
