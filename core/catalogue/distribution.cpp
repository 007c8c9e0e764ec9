#include "core/catalogue/distribution.h"

#include "core/catalogue/cache.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/packagetemplate.h"
#include "core/base/heap.h"
#include "core/base/jobthread.h"
#include "core/base/outputmodule.h"
#include "core/base/resultcodes.h"
#include "core/base/runstate.h"
#include "core/base/textutil.h"
#include "core/server/serverinterface.h"
#include "core/base/trace.h"

#include <memory>
#include <utility>
#include <vector>

namespace {

const char kSoftwareRoot[] = "/software";
constexpr size_t kCatalogueHeap = size_t(64) << 20;

/// The server path of a file list: below the software root, in the sub-path when there is one.
std::string RemoteFileListPath(const std::string& fileList, const std::string& subPath)
{
    if (subPath.empty())
        return std::string(kSoftwareRoot) + "/" + fileList;
    return std::string(kSoftwareRoot) + "/" + subPath + "/" + fileList;
}

/// Where the components of a file list lie on the server, relative to the software root: the
/// list's folder (with its trailing "/"), in the sub-path when there is one.
std::string ServerLocation(const std::string& fileList, const std::string& subPath)
{
    const size_t slash = fileList.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : fileList.substr(0, slash + 1);
    return subPath.empty() ? folder : subPath + "/" + folder;
}

}  // namespace

CDistribution::CDistribution(const std::string& name)
    : m_Name(name), m_pComponentManager(std::make_unique<CComponentManager>(this))
{
}

CDistribution::~CDistribution() = default;

int CDistribution::setTessomRoot(const std::string& root)
{
    CTraceScope scope("CDistribution::setTessomRoot(std::string tessom_root )");
    if (m_pComponentManager && m_pComponentManager->CountInstalled() > 0) {
        Trace("Detected Installed components - Not setting TESSOM ROOT");
        return rc::ComponentInstallationError;
    }
    Trace("TessomRoot = %s", root.c_str());
    m_TessomRoot = root;
    return rc::Success;
}

int CDistribution::getComponents()
{
    CTraceScope scope("CDistribution::getComponents()");
    CRunState& state = CRunState::Instance();
    const CRunState::CatalogueProgress& progress = state.m_CatalogueProgress;
    m_pComponentManager->ClearHolders();
    if (!progress)
        NUVDisplay("\nReading Distribution Info %3d%%\r", 0);
    ServerInterface* server = ServerInterface::Instance();
    int loaded = rc::Success;
    // Room for a large catalogue's records (tens of megabytes for a hundred thousand versions)
    // in few page faults; only what is used becomes resident.
    const CHeapReservation heap(kCatalogueHeap);
    // Each list is read into the catalogue on a thread of its own while the next one is being
    // fetched; the catalogue is that thread's until Wait() returns. It reads the lists one
    // after another in their order, so the records are filed as before. The state files are
    // read meanwhile on a third thread (the fetching one mostly waits for the server, and the
    // reading touches no record), and merged into the finished catalogue.
    const bool readState = !state.m_bPTFReferenceOnly;
    CComponentManager::StateFilesRead stateFiles;
    std::vector<std::pair<std::string, int>> unread;
    // After what their jobs use: they are ended first.
    std::unique_ptr<CJobThread> reader;
    std::unique_ptr<CJobThread> stateReader;
    if (state.m_bOnline && server->IsConnected()) {
        Trace("Processing File List for %s", m_Name.c_str());
        reader = std::make_unique<CJobThread>();
        if (readState) {
            stateReader = std::make_unique<CJobThread>();
            stateReader->Post([this, &stateFiles] {
                m_pComponentManager->ReadStateFilesAhead(&stateFiles);
            });
        }
        const int pairs = FileListCount();
        int counter = 1;
        for (const FileList& list : m_FileLists) {
            const std::string& file = list.first;
            const std::string& subPath = list.second;
            if (file.empty())
                continue;
            const std::string remote = RemoteFileListPath(file, subPath);
            const int percent = counter * 100 / pairs;
            if (progress)
                progress(percent, m_Alias);
            else
                NUVDisplay("Reading Distribution Info %3d%%\r", percent);
            const std::string folder = GetCacheFolder(0);
            int result = server->GetFile(remote, folder, true);
            if (result != 0) {
                Trace("\tFAILED Getting %s %d", remote.c_str(), result);
                ++counter;
                continue;
            }
            std::string text = server->TakeFileTextData();
            if (text.empty()) {
                Trace("\tFileListText Empty - UNEXPECTED RESULT");
                result = server->GetFile(remote, folder, true);
                if (result != 0) {
                    Trace("\tFTP ERROR FTPReturnCode = %d", result);
                    continue;
                }
                text = server->TakeFileTextData();
                if (text.empty()) {
                    Trace("\tStill FileListText Empty - DOUBLY UNEXPECTED RESULT");
                    continue;
                }
            }
            const std::string location = ServerLocation(file, subPath);
            Trace("\tServer Location = %s", location.c_str());
            if (!IsPlainText(text)) {
                // Read anyway, such bytes would give a catalogue nobody wrote.
                NUVDisplay("The file %s is damaged: it holds bytes that are not text\n",
                           (location + file).c_str());
                loaded = rc::FileDamaged;
                ++counter;
                continue;
            }
            reader->Post([this, &unread, text = std::move(text), location, file] {
                if (const int read = m_pComponentManager->ReadPDF(text, location, m_PackageType);
                    read != 0)
                    unread.emplace_back(location + file, read);
            });
            ++counter;
        }
        state.m_bCatalogueFromServer = true;
        if (stateReader)
            stateReader->Wait();
        reader->Wait();
    } else {
        state.m_bCatalogueFromServer = false;
        if (readState)
            m_pComponentManager->ReadStateFilesAhead(&stateFiles);
    }
    // Only an empty text is refused, and none is handed over: this is a safeguard.
    for (const auto& [name, read] : unread)
        NUVDisplay("\n\tError Reading ...  %s(%d)\n", name.c_str(), read);
    if (!progress)
        NUVDisplay("\n");
    m_pComponentManager->SortHolders();
    if (readState) {
        if (const int read = m_pComponentManager->MergeStateFiles(stateFiles); read != rc::Success)
            loaded = read;
        m_pComponentManager->VerifyDownloaded();
        m_pComponentManager->SortHolders();
    }
    m_pComponentManager->ResolveDependencies();
    return loaded;
}

bool CDistribution::IsOldBase() const
{
    const CComponent* base = m_pComponentManager->FindCurrentComponent("R5_Base");
    if (!base || !base->GetHolder())
        return false;
    return base->GetHolder()->GetInstalledVersion() < CVersion("6.4.0");
}

int CDistribution::WriteTemplate() const { return CPackageTemplate::WriteTemplate(*this); }
