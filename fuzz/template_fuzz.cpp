// A package template, read and applied to a catalogue.
#include "fuzzsupport.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/packagetemplate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::WorkFolder();
    CPackageTemplate reader("", false);
    reader.SetText(fuzzsupport::Bytes(data, size));
    if (!reader.ReadTemplate())
        return 0;
    CComponentManager manager;
    (void)manager.ReadPDF(fuzzsupport::SampleCatalogue(), "software/r5/linux", ".zip");
    (void)reader.ApplyTemplateComponents(&manager);
    return 0;
}
