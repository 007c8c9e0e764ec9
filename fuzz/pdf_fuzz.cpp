// A package definition file, read into a catalogue whose dependencies are then resolved.
#include "fuzzsupport.h"

#include "core/catalogue/component.h"
#include "core/catalogue/componentmanager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::WorkFolder();
    CComponentManager manager;
    if (manager.ReadPDF(fuzzsupport::Bytes(data, size), "software/r5/linux", ".zip") != 0)
        return 0;
    manager.SortHolders();
    manager.ResolveDependencies();
    manager.IncludeAll();
    for (int action : {CComponent::ActionInstall, CComponent::ActionUninstall}) {
        (void)manager.MarkAll(action);
        (void)manager.GetDependencyList(action);
        manager.ClearAllActions();
    }
    (void)manager.UpgradeCandidates();
    (void)manager.InstallMessages();
    return 0;
}
