#include "cmd/nuvprogram.h"

#include "cmd/consoleinput.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/catalogue/packagetemplate.h"
#include "core/nuvoptions.h"
#include "core/nuvfunctions.h"
#include "core/base/fileutils.h"
#include "core/base/nuvresult.h"
#include "core/base/nuvversion.h"
#include "cmd/consoleoutput.h"
#include "core/packagefiles/deltapackage.h"
#include "core/packagefiles/npfmaker.h"
#include "core/base/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"

#include <QProcess>
#include <QString>

#include <unistd.h>

namespace {

const char kEULAFolder[] = "EULA";
const char kEULAFile[] = "End_User_Licence_Agreement.txt";

/// The file name without its folder and without the text from its last ".".
std::string FileStem(const std::string& path)
{
    const std::string name = BaseName(path);
    return name.substr(0, name.rfind('.'));
}

constexpr int kNoPlatform = 0;
constexpr int kSyntaxError = 1;   // the dispatcher's code for a line it cannot run
constexpr int kThisPlatform = 2;   // Linux

std::string PlatformName(int platform)
{
    switch (platform) {
    case 1:
        return "Windows";
    case 2:
        return "Linux";
    case 3:
        return "Solaris";
    default:
        return "Not Specified";
    }
}

CDistribution* CurrentDistribution()
{
    return CDistributionList::instance()->getCurrentDistribution();
}

int CountMarked(const CComponentManager& manager, int action)
{
    int count = 0;
    for (int i = 0; i < manager.HolderCount(); ++i)
        if (manager.GetHolder(i)->HasAction(action))
            ++count;
    return count;
}

/// The exit code of a batch command. The batches report their failures in their summaries
/// and end with 0 (or the state save's code); scripts calling the program need a failure to
/// show in the exit code, so failed components give the batch's failure code. A first
/// installation or uninstallation that could not start (unwritable root) is a failure too, and
/// so is a batch whose state could not be saved.
int BatchExitCode(int batchResult, const CComponentManager& manager, int failureCode)
{
    if (!manager.FailedComponents().empty())
        return failureCode;
    if (manager.StateNotSaved())
        return batchResult != rc::Success ? batchResult : failureCode;
    if (batchResult == rc::RootNotWritable)
        return batchResult;
    return rc::Success;
}

}  // namespace

std::string NUVCmdVersion()
{
    return kNUVVersion;
}

CNUVProgram* CNUVProgram::Instance()
{
    static CNUVProgram instance;
    return &instance;
}

CNUVProgram::CNUVProgram() : m_pOutputModule(std::make_unique<NUVCMDOutputModule>())
{
    CNUVFunctions::Instance()->SetOutputModule(m_pOutputModule.get());
}

CNUVProgram::~CNUVProgram()
{
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    if (nuv->GetOutputModule() == m_pOutputModule.get())
        nuv->SetOutputModule(nullptr);
}

bool CNUVProgram::ChangesStore(int command)
{
    // "-packages" and "-version" only read; "-list" opens the package, which rewrites its
    // details and the cached catalogue, so it changes the store as much as the others.
    return command != cmdcode::Packages && command != cmdcode::Version &&
           command != cmdcode::EmptyWord;
}

int CNUVProgram::LockStore(bool tidy)
{
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    const int locked = nuv->LockWorkingFolder(tidy);
    if (locked == rc::WorkingFolderLocked)
        NUVDisplay("Another NUV process (process id %lld) is working in this folder; nothing "
                   "was changed. Try again when it has finished.\n",
                   nuv->WorkingFolderLockHolder());
    return locked;
}

void CNUVProgram::SetJsonOutput(FILE* stream)
{
    m_pJson.reset(stream);
}

int CNUVProgram::CheckOutputSwitches(int command) const
{
    const bool batch = command == cmdcode::Install || command == cmdcode::Download ||
                       command == cmdcode::Uninstall || command == cmdcode::Delete;
    const bool listing = command == cmdcode::Packages || command == cmdcode::List;
    // Run for real, a command the user meant only to look at would change the machine.
    const char* refusal = nullptr;
    if (m_bDryRun && !batch)
        refusal = "-dryrun works with -install, -download, -uninstall and -delete only";
    else if (m_pJson && !listing)
        refusal = "-json works with -packages and -list only";
    if (!refusal)
        return rc::Success;
    std::fflush(stdout);
    std::fprintf(stderr, "NUV_CMD: %s; nothing was done.\n", refusal);
    return kSyntaxError;
}

void CNUVProgram::WriteJson(const std::string& document) const
{
    std::fputs(document.c_str(), m_pJson.get());
    std::fflush(m_pJson.get());
}

int CNUVProgram::DryRunBatch(int action)
{
    return CurrentDistribution()->GetComponentManager()->DryRun(action);
}

int CNUVProgram::RunCommand(int command, const std::string& name)
{
    if (const int refused = CheckOutputSwitches(command); refused != rc::Success)
        return refused;
    if (m_bDryRun)
        NUVDisplay("Dry run: what the command would do; nothing is changed\n");
    if (ChangesStore(command)) {
        if (const int locked = LockStore(!m_bDryRun); locked != rc::Success)
            return locked;
    }
    const std::string installed = CNUVFunctions::Instance()->GetInstalledPackage();
    if (CConnectionDetails::Instance()->IsGenericLogin())
        NUVDisplay("%s", CConnectionDetails::GenericLoginWarning().c_str());

    switch (command) {
    case cmdcode::New:
        if (name.empty())
            return CommandError(rc::NoPackageSpecified);
        if (const int checked = CNUVFunctions::CheckPackageName(name); checked != rc::Success)
            return ReportResult(checked, name);
        return ReportResult(NewPackageWizard(name), name);
    case cmdcode::Install:
        return InstallPackage(name, installed);
    case cmdcode::Download:
    case cmdcode::Uninstall:
    case cmdcode::Delete:
        return RunPackageBatch(command, name);
    case cmdcode::List:
        if (name.empty())
            return CommandError(rc::NoPackageSpecified);
        return ListPackageUpdates(name);
    case cmdcode::Packages:
        return ListPackages(installed);
    case cmdcode::Setup:
        return OptionsMenu();
    case cmdcode::Remove:
        return RemovePackage(name);
    case cmdcode::MakePTF:
        return MakeTemplate(name);
    case cmdcode::MakeNPF:
        return MakePortable(name);
    case cmdcode::LoadPTF:
        if (name.empty())
            return CommandError(rc::FailedOpeningPTF);
        CNUVFunctions::Instance()->m_bPTFReferenceOnly = false;
        return ReportResult(PackageFromTemplate(true, name), name);
    case cmdcode::LoadDPF:
        return LoadDelta(name);
    case cmdcode::LoadNPF:
        return LoadPortable(name);
    case cmdcode::Version:
        return PrintVersion();
    default:
        return CommandError(rc::UnknownAction);
    }
}

int CNUVProgram::InstallPackage(const std::string& name, const std::string& installed)
{
    // Only one package can be installed on a machine at a time; this is checked before
    // anything else so even an empty name is told which package holds the machine.
    if (!installed.empty() && installed != name) {
        NUVDisplay("Cannot install package '%s', as package '%s' is already installed.\n",
                   name.c_str(), installed.c_str());
        return CommandError(rc::InstallFailed, installed);
    }
    if (name.empty())
        return CommandError(rc::NoPackageSpecified);
    if (const int opened = CNUVFunctions::Instance()->OpenPackage(name, m_bDryRun);
        opened != rc::Success)
        return ReportResult(opened, name);
    return InstallOpenPackage();
}

int CNUVProgram::InstallOpenPackage()
{
    CDistribution* distribution = CurrentDistribution();
    if (!distribution)
        return rc::Success;   // an open package without a component manager has nothing to install
    CComponentManager* manager = distribution->GetComponentManager();
    const int platform = distribution->GetPlatform();
    if (platform != kNoPlatform && platform != kThisPlatform) {
        NUVDisplay("%s", ("There is a mismatch between the machine's Operating System of " +
                          PlatformName(kThisPlatform) +
                          " and the Distribution's Target Operating System of " +
                          PlatformName(platform) + ".\n\nThe installation cannot proceeed.")
                             .c_str());
        return rc::UnsupportedOS;
    }
    // A root holding another package's marker was installed from another working folder,
    // whose record this folder cannot see: installing over it would mix two packages.
    const std::string root = InstallationRoot();
    const std::string name = distribution->GetAlias();
    if (const std::string other = CNUVFunctions::Instance()->InstalledPackageIn(root, name);
        !other.empty()) {
        NUVDisplay("Cannot install package '%s', as package '%s' is already installed.\n",
                   name.c_str(), other.c_str());
        return CommandError(rc::InstallFailed, other,
                            other + " is installed in " + root +
                                " from another working folder; -uninstall it there first, or "
                                "choose another root with -path");
    }
    std::string previousRoot;
    const bool rootChanged = ApplyInstallationPath(&previousRoot, !m_bDryRun);
    if (manager->CountInstalled() == 0) {
        if (const int accepted = AcceptLicence(m_bDryRun); accepted != rc::Success)
            return accepted;
    }

    (void)manager->MarkAll(CComponent::ActionInstall);
    if (m_bDryRun)
        return DryRunBatch(CComponent::ActionInstall);
    // Both counts are taken before either batch runs: the uninstall batch must not decide
    // whether the installs run.
    const bool uninstall = CountMarked(*manager, CComponent::ActionUninstall) > 0;
    const bool install = CountMarked(*manager, CComponent::ActionInstall) > 0;
    // A replaced version that could not be removed fails the install, even when its successor
    // went in: the uninstall batch ends such a run with "Install failed" (63) as well.
    int uninstallResult = rc::Success;
    if (uninstall)
        uninstallResult = BatchExitCode(manager->UninstallComponents(), *manager, rc::InstallFailed);
    int installResult = rc::Success;
    if (install)
        installResult = BatchExitCode(manager->InstallComponents(), *manager, rc::InstallFailed);
    if (rootChanged && installResult == rc::RootNotWritable) {
        // Nothing went into the new root, so the package keeps the root it had.
        std::fprintf(stderr, "NUV_CMD: the installation path %s was not kept; the package's "
                             "root stays %s\n",
                     distribution->GetTessomRoot().c_str(), previousRoot.c_str());
        (void)distribution->setTessomRoot(previousRoot);
    }
    const bool saved = CNUVFunctions::Instance()->SavePackageDetails();
    if (installResult != rc::Success)
        return installResult;
    if (uninstallResult != rc::Success)
        return uninstallResult;
    return saved ? rc::Success : rc::CannotCreateFile;
}

std::string CNUVProgram::InstallationRoot() const
{
    const CDistribution* distribution = CurrentDistribution();
    if (!m_InstallationPath.empty() && distribution->GetComponentManager()->CountInstalled() == 0)
        return m_InstallationPath;
    return distribution->GetTessomRoot();
}

bool CNUVProgram::ApplyInstallationPath(std::string* previous, bool save)
{
    if (m_InstallationPath.empty())
        return false;
    CDistribution* distribution = CurrentDistribution();
    if (distribution->GetComponentManager()->CountInstalled() > 0) {
        NUVDisplay("Unable to change installation path because a number of Components are already "
                   "installed\n");
        NUVDisplay("If you wish to change the installation path, uninstall all Components first "
                   "using the '-uninstall' switch\n");
        NUVDisplay("Current installation path is set to: %s\n",
                   distribution->GetTessomRoot().c_str());
        return false;
    }
    *previous = distribution->GetTessomRoot();
    (void)distribution->setTessomRoot(m_InstallationPath);
    if (!save) {
        NUVDisplay("Would set the installation path to: %s\n",
                   distribution->GetTessomRoot().c_str());
        return true;
    }
    // A failed save is shown now and fails the command through the save at its end.
    (void)CNUVFunctions::Instance()->SavePackageDetails();
    NUVDisplay("New installation path set to: %s\n", distribution->GetTessomRoot().c_str());
    return true;
}

int CNUVProgram::AcceptLicence(bool dryRun)
{
    if (!CNUVOptions::Instance()->m_bShowEULA)
        return rc::Success;
    static const char kRefused[] =
        "Licence not accepted; nothing was installed. Scripts accept it with -readEULA.\n";
    // Agreeing to a text nobody saw is no agreement.
    if (!IsRegularFile(JoinPath(kEULAFolder, kEULAFile))) {
        std::fprintf(stderr, "NUV_CMD: the licence text %s/%s/%s is missing, so it cannot be "
                             "shown.\n%s",
                     WorkingDirectory().c_str(), kEULAFolder, kEULAFile, kRefused);
        return rc::EULARefused;
    }
    if (dryRun) {
        NUVDisplay("Would show the licence and ask for agreement (-readEULA accepts it)\n");
        return rc::Success;
    }
    ShowEULA();
    if (AskEULAAgreement(stdin) == rc::Success)
        return rc::Success;
    std::fflush(stdout);
    std::fputs(kRefused, stderr);
    return rc::EULARefused;
}

int CNUVProgram::RunPackageBatch(int command, const std::string& name)
{
    if (name.empty())
        return CommandError(rc::NoPackageSpecified);
    if (const int opened = CNUVFunctions::Instance()->OpenPackage(name, m_bDryRun);
        opened != rc::Success)
        return ReportResult(opened, name);
    CDistribution* distribution = CurrentDistribution();
    if (!distribution)
        return rc::Success;   // an open package without a component manager has nothing to do
    CComponentManager* manager = distribution->GetComponentManager();
    switch (command) {
    case cmdcode::Download:
        if (manager->MarkAll(CComponent::ActionDownload) == rc::CannotDownloadOffline) {
            NUVDisplay("Cannot download Components from a local Distribution\nDistribution Not "
                       "recognised or currently working offline");
            return CommandError(rc::CannotDownloadOffline);
        }
        if (m_bDryRun)
            return DryRunBatch(CComponent::ActionDownload);
        return BatchExitCode(manager->DownloadComponents(), *manager, rc::DownloadFailed);
    case cmdcode::Uninstall:
        if (manager->CountInstalled() == 0) {
            NUVDisplay("Package '%s' is not currently installed.\n", name.c_str());
            return rc::Success;
        }
        (void)manager->MarkAll(CComponent::ActionUninstall);
        if (m_bDryRun)
            return DryRunBatch(CComponent::ActionUninstall);
        return BatchExitCode(manager->UninstallComponents(), *manager, rc::UninstallFailed);
    default:
        (void)manager->MarkAll(CComponent::ActionDelete);
        if (m_bDryRun)
            return DryRunBatch(CComponent::ActionDelete);
        return BatchExitCode(manager->DeleteComponents(), *manager, rc::DeletingFromCacheFailed);
    }
}

int CNUVProgram::RemovePackage(const std::string& name)
{
    // Only a warning: the package folder is removed all the same.
    if (OpenDistribution(name))
        NUVDisplay("Cannot remove Package as it is currently opened\n");
    const int result = CNUVFunctions::Instance()->DeletePackage(name);
    if (result == rc::Success) {
        NUVDisplay("Package removed\n");
        return rc::Success;
    }
    if (result == rc::PackageInstalled) {
        NUVDisplay("Cannot remove package '%s' as it is currently installed\n", name.c_str());
        return CommandError(rc::PackageInstalled, name);
    }
    NUVDisplay("Failed to removed package '%s', error %d\n", name.c_str(), result);
    return ReportResult(result, name);
}

int CNUVProgram::MakeTemplate(const std::string& name)
{
    if (name.empty())
        return rc::Success;
    if (const int opened = CNUVFunctions::Instance()->OpenPackage(name); opened != rc::Success) {
        NUVDisplay("Failed opening Package %s\n", name.c_str());
        return ReportResult(opened, name);
    }
    if (const CDistribution* current = CurrentDistribution()) {
        if (const int written = current->WriteTemplate(); written != rc::Success) {
            NUVDisplay("File creation unsuccessfully");
            return written;
        }
        NUVDisplay("File created successfully");
    }
    return rc::Success;
}

int CNUVProgram::LoadDelta(const std::string& file)
{
    if (file.empty())
        return CommandError(rc::InvalidFile, file, "name the delta package file after -loadDPF");
    std::string invalid;
    const int result = CDeltaPackage::ApplyDPF(file, &invalid);
    if (result == rc::PackageNotFound)
        NUVDisplay("Cannot find specified file");
    else if (result == rc::UpgradingPackageMissing)
        NUVDisplay("Package to upgrade ( %s ) does not exist",
                   FileStem(ToNativeSeparators(file)).c_str());
    else if (result == rc::InvalidDeltaPackageName)
        NUVDisplay("Invaild file\nFailed to install Delta package");
    if (result == rc::InvalidFile && !invalid.empty())
        return CommandError(result, file, file + " is invalid: " + invalid);
    return ReportResult(result, file);
}

int CNUVProgram::LoadPortable(const std::string& file)
{
    if (file.empty()) {
        PrintVersion();
        return CommandError(rc::InvalidFile, file, "name the portable package file after -loadNPF");
    }
    const std::string path = ToNativeSeparators(file);
    const std::string package = FileStem(path);
    // A renamed file is refused for the package its entries would overwrite: that is the one
    // the user has to remove, not the one the file name suggests.
    std::string blocking;
    std::string invalid;
    const int result = CNPFMaker::LoadNPF(file, &blocking, &invalid);
    switch (result) {
    case rc::Success:
        NUVDisplay("Package created\n");
        break;
    case rc::PackageNameAlreadyDefined:
        NUVDisplay("A Package with the same name already exists.\nTo unpack this Package please "
                   "uninstall and delete the Package %s\n", blocking.c_str());
        break;
    case rc::FileDoesNotExist:
        NUVDisplay("File: %s does not exists\n", path.c_str());
        break;
    case rc::FailedCreatingProcess:
        NUVDisplay("Internal error occurred\nPackage %s failed to unpack\n", package.c_str());
        break;
    case rc::InvalidFile:
        NUVDisplay("%s is an invalid file\n", path.c_str());
        break;
    default:
        break;
    }
    if (result == rc::InvalidFile && !invalid.empty())
        return CommandError(result, file, path + " is invalid: " + invalid);
    if (result == rc::PackageNameAlreadyDefined)
        return CommandError(result, blocking);
    return ReportResult(result, file);
}

int CNUVProgram::ListPackages(const std::string& installed)
{
    if (m_pJson) {
        WriteJson(CNUVFunctions::Instance()->PackagesJson());
        return rc::Success;
    }
    const std::vector<std::string> packages = CNUVFunctions::Instance()->GetPackageList();
    std::printf("Packages\n");
    std::printf("--------\n");
    if (packages.empty()) {
        std::printf("\t No Packages found\n");
        return rc::Success;
    }
    for (size_t i = 0; i < packages.size(); ++i) {
        if (packages[i].empty())
            continue;
        std::printf("\t%.2d: %s", int(i + 1), packages[i].c_str());
        std::fputs(packages[i] == installed ? "\t*\n" : "\n", stdout);
    }
    std::printf("\n");
    std::printf("'*' indicates the currently installed package\n");
    return rc::Success;
}

CDistribution* CNUVProgram::OpenDistribution(const std::string& name)
{
    CDistribution* current = CurrentDistribution();
    return current && current->GetAlias() == name ? current : nullptr;
}

int CNUVProgram::PackageFromTemplate(bool localFile, const std::string& file)
{
    CPackageTemplate ptf(file, localFile);
    if (!ptf.ReadTemplate()) {
        // No package was made: scripts calling the program must see a failure.
        NUVDisplay("Failed reading PTF file");
        return rc::FailedCreatingPackage;
    }
    if (CNUVFunctions::Instance()->CreatePackageFromTemplate(ptf, std::string())) {
        NUVDisplay("Package %s created\n", file.c_str());
        ReportMissingVersions(ptf);
        return rc::Success;
    }
    switch (ptf.GetErrorState()) {
    case CPackageTemplate::NoTemplateText:
        NUVDisplay("No text to read from PTF file");
        break;
    case CPackageTemplate::PackageAlreadyExists:
        NUVDisplay("Error, cannot create Package from PTF as Package already exists with the same name\n");
        break;
    case CPackageTemplate::DistributionNotListed:
        NUVDisplay("Could not match base Distribution");
        break;
    case CPackageTemplate::CreatingPackageFailed:
        NUVDisplay("Failed creating new package");
        break;
    default:
        NUVDisplay("Unknown Error");
        break;
    }
    return rc::FailedCreatingPackage;
}

void CNUVProgram::ReportMissingVersions(const CPackageTemplate& ptf)
{
    const std::vector<CComponent>& missing = ptf.GetMissingVersions();
    if (missing.empty())
        return;
    std::string list;
    for (const CComponent& record : missing)
        list += record.GetName() + " " + record.GetVersion().ToString() + "\n";
    NUVDisplay("The requested version of the following components are no longer available on the "
               "server.\n\n%sThey have therefore been set at the latest available version.\n\n",
               list.c_str());
}

int CNUVProgram::ListPackageUpdates(const std::string& name)
{
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    if (const int opened = nuv->OpenPackage(name); opened != rc::Success)
        return ReportResult(opened, name);
    // Without the server's catalogue "up to date" only means up to date with the cache.
    if (!nuv->IsOnline() || !nuv->m_bCatalogueFromServer)
        std::fprintf(stderr, "NUV_CMD: the server was not reached; the versions shown come from "
                             "the catalogue cached in this working folder, and newer ones may "
                             "exist.\n");
    if (m_pJson)
        WriteJson(nuv->OpenPackageJson());
    else
        ListUpdates();
    return rc::Success;
}

int CNUVProgram::MakePortable(const std::string& name)
{
    if (name.empty())
        return rc::Success;
    if (const int opened = CNUVFunctions::Instance()->OpenPackage(name); opened != rc::Success) {
        NUVDisplay("Failed opening Package %s\n", name.c_str());
        return ReportResult(opened, name);
    }
    const CDistribution* current = CurrentDistribution();
    if (!current || !current->GetComponentManager())
        return rc::Success;   // nothing to export
    // A zip run that wrote nothing must not be reported as an export.
    if (const int made = CNPFMaker(current->GetComponentManager()).MakeNPF(); made != rc::Success)
        return ReportResult(made, name);
    NUVDisplay("NPF file created\n");
    return rc::Success;
}

int CNUVProgram::ReportResult(int code, const std::string& name)
{
    if (code == rc::Success)
        return code;
    if (code == rc::PackageNotFound)
        NUVDisplay("Package '%s' not found\n", name.c_str());
    else if (code == rc::FileDamaged)
        ;   // the damaged file and what is wrong with it were shown when it was read
    else if (code == rc::DistributionNoLongerSupported)
        NUVDisplay("The distirbution '%s' used by package '%s' is not supported with you current "
                   "connection details.\n",
                   CNUVFunctions::Instance()->GetDetailsForPackage(name).distribution.c_str(),
                   name.c_str());
    else
        CommandError(code, name);
    return code;
}

namespace {

/// What to do after a refusal that ends with the generic "Command Error" line.
std::string NextStep(int code, const std::string& name)
{
    switch (code) {
    case rc::PackageInstalled:
        return "uninstall it first with -uninstall " + name;
    case rc::PackageNameAlreadyDefined:
        return "choose another name or -remove " + name;
    case rc::InstallFailed:
        return name + " is installed here; -uninstall it first";
    case rc::NoPackageSpecified:
        return "name the package after the command";
    case rc::UnknownAction:
        return "an empty word stands where the command should be";
    case rc::FailedOpeningPTF:
        return "name the template file after -loadPTF";
    case rc::CannotDownloadOffline:
        return "the server was not reached (see the first line); check the settings with -setup";
    case rc::NotEnoughDiskSpace:
        return "free at least 200 MiB where the working folder is";
    default:
        return "result " + std::to_string(code) + ": " + CNUVResult::Text(code);
    }
}

}  // namespace

int CNUVProgram::CommandError(int code, const std::string& name, const std::string& hint)
{
    NUVDisplay("\nCommand Error, please check your connection details and package name\n");
    std::fflush(stdout);
    std::fprintf(stderr, "NUV_CMD: %s\n", (hint.empty() ? NextStep(code, name) : hint).c_str());
    return code;
}

int CNUVProgram::PrintVersion()
{
    std::printf("NUV_CMD %s\n", NUVCmdVersion().c_str());
    std::fflush(stdout);
    return rc::Success;
}

void CNUVProgram::ShowEULA()
{
    const std::string path = JoinPath(kEULAFolder, kEULAFile);
    std::fflush(stdout);
    // The pager needs the terminal itself, so it cannot run through the process runner, which
    // captures what its children print.
    if (::isatty(STDOUT_FILENO)) {
        QProcess pager;
        pager.setProcessChannelMode(QProcess::ForwardedChannels);
        pager.setInputChannelMode(QProcess::ForwardedInputChannel);
        pager.start(QStringLiteral("more"), {QString::fromLatin1(path.c_str())});
        if (pager.waitForStarted()) {
            pager.waitForFinished(-1);
            return;
        }
        Trace("Cannot start more for %s", path.c_str());
    }
    std::string text;
    if (!ReadFileBytes(path, &text)) {
        Trace("Cannot read %s", path.c_str());
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int CNUVProgram::AskEULAAgreement(FILE* input)
{
    std::string answer;
    while (answer != "y") {
        if (answer == "n")
            return rc::EULARefused;
        NUVDisplay("Do you agree? [y/n]");
        std::string line;
        // At the end of input no answer can come any more: that is a refusal, not a reason to
        // ask again for ever.
        if (!ReadConsoleLine(input, kAnswerBuffer, &line))
            return rc::EULARefused;
        answer = ToLower(TrimSpaces(line));
    }
    return rc::Success;
}
