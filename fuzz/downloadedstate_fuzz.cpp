// The downloaded-state file, merged into a catalogue and written back.
#include "fuzzsupport.h"

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/statefiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzzsupport::WriteInput("state", fuzzsupport::Bytes(data, size));
    CComponentManager manager;
    (void)manager.ReadPDF(fuzzsupport::SampleCatalogue(), "software/r5/linux", ".zip");
    manager.ReadDownloadedState(path);
    manager.ResolveDependencies();
    (void)CStateFiles::DownloadedStateText(manager);
    return 0;
}
