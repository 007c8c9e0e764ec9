#include "core/server/serverinterface.h"

#include "core/base/filewriter.h"
#include "core/base/jobthread.h"
#include "core/base/nuvversion.h"
#include "core/nuvoptions.h"
#include "core/server/connectiondetails.h"
#include "core/server/curlmulti.h"
#include "core/server/ntlm.h"
#include "core/base/textutil.h"
#include "core/base/trace.h"
#include "portability/systemenv.h"

#include <QEventLoop>
#include <QFile>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr long kReceiveBlock = 512 * 1024;
constexpr qint64 kWriteBackStep = 8 * 1024 * 1024;

std::string ComputerName()
{
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return std::string();
    const std::string name = buffer;
    return name.substr(0, name.find('.'));
}

/// %-encodes everything but unreserved characters and the bytes in keep.
std::string Escape(const std::string& text, const char* keep)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' ||
            (c != 0 && std::strchr(keep, c))) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

/// "ftp://server/%2F..." so that the server sees the absolute path in one RETR, however
/// its log-in folder is set up.
std::string FtpUrl(const std::string& server, const std::string& remotePath)
{
    if (!remotePath.empty() && remotePath[0] == '/')
        return "ftp://" + server + "/%2F" + Escape(remotePath.substr(1), "/");
    return "ftp://" + server + "/" + Escape(remotePath, "/");
}

/// A line of curl's account with the log-in password replaced by Stars(password): the FTP
/// "PASS" command and the "user:password@" part of the target a proxy request names.
std::string MaskPassword(std::string text, const std::string& password)
{
    if (text.compare(0, 5, "PASS ") == 0)
        return "PASS " + Stars(password);
    const size_t scheme = text.find("ftp://");
    if (scheme == std::string::npos)
        return text;
    const size_t start = scheme + 6;
    const size_t end = text.find_first_of("/ \r\n", start);
    const size_t at = text.rfind('@', end);
    const size_t colon = text.find(':', start);
    if (at != std::string::npos && at >= start && colon < at)
        text.replace(colon + 1, at - colon - 1, Stars(password));
    return text;
}

/// The first bytes of the archives a component can be: Windows and self-extracting
/// programs, gzip, zip, Linux programs and scripts.
bool HasArchiveSignature(const char* data, size_t length)
{
    static const std::string kSignatures[] = {"MZ", "\x1F\x8B", "PK", "\x7F" "ELF", "#!"};
    const std::string head(data, std::min<size_t>(length, 4));
    for (const std::string& signature : kSignatures) {
        if (head.compare(0, signature.size(), signature) == 0)
            return true;
    }
    return false;
}

/// Why a finished file could not take its name (errno failure).
std::string CompletionError(const std::string& path, int failure)
{
    return "cannot complete " + path + ": " + std::strerror(failure);
}

}  // namespace

ServerInterface* ServerInterface::Instance()
{
    static ServerInterface instance;
    return &instance;
}

ServerInterface::ServerInterface(CConnectionDetails* details)
    : m_pDetails(details ? details : CConnectionDetails::Instance())
{
    NetTrace("Creating ServerInterface Object");
    curl_global_init(CURL_GLOBAL_DEFAULT);
    m_HostName = ComputerName();
    NetTrace("HostName = %s", m_HostName.c_str());
    m_InactivityTimer.setObjectName("inactivity");
    m_InactivityTimer.setSingleShot(true);
    connect(&m_InactivityTimer, &QTimer::timeout, this, &ServerInterface::SLOTWaitForTimeOut);
    connect(this, &ServerInterface::ChangeOfState, this, &ServerInterface::SLOTSetConnectedState);
}

ServerInterface::~ServerInterface()
{
    NetTrace("Destroying ServerInterface Object");
    EndTransfer();
    DropTargetFile(Partial::Keep);
    PostCompletions();
    m_Completer.reset();   // waits until every finished file has its name
    m_Ftp.reset();
    m_Http.reset();
    NetTraceClose();
}

CConnectionDetails& ServerInterface::Details() const { return *m_pDetails; }

int ServerInterface::MapOutcome(int outcome)
{
    switch (outcome) {
    case kAborted:
        return ABORTED;
    case kFailed:
        return TRANSFER_FAILED;
    case kTimedOut:
        return TIMED_OUT;
    default:
        return NO_FTP_ERROR;
    }
}

int ServerInterface::GetFile(const std::string& remotePath, const std::string& localDir,
                             bool toMemory, const std::string& sha256, Completion completion)
{
    NetTrace("ServerInterface::GetFile( %s )", remotePath.c_str());
    if (m_Waiting) {
        NetTrace("!!! a transfer is already running !!!");
        return TRANSFER_FAILED;
    }
    // Files finished earlier go to the disk while this one arrives. Started only now, not
    // when they arrived, their syncs do not hold up the state a batch saves between two
    // downloads: a sync there would have to wait for the data of every file being synced.
    PostCompletions();
    m_LocalDir = localDir;
    m_FailureReason.clear();
    m_LastReply.clear();
    if (remotePath.empty()) {
        m_DownloadComplete = true;
        return NO_FILE_NAME;
    }
    m_RemotePath = remotePath;
    m_DownloadComplete = false;
    m_ToMemory = toMemory;
    m_Completion = completion;
    m_Rate = 0;
    m_BytesDone = 0;
    m_ExpectedDigest = toMemory ? std::string() : sha256;
    m_ReceivedDigest.clear();
    m_DigestMismatch = false;
    m_RestartWanted = false;
    m_Restarted = false;
    m_ResumeFrom = 0;
    const int result = Details().UsesProxy() ? GetFileHttp() : GetFileFtp();
    if (result != NO_FTP_ERROR) {
        m_DownloadComplete = true;
        return result;
    }
    const int outcome = MapOutcome(WaitForJobs(false));
    return outcome == TRANSFER_FAILED && m_DigestMismatch ? DIGEST_MISMATCH : outcome;
}

int ServerInterface::FinishFile(const std::string& localPath)
{
    const auto pending = m_Completing.find(localPath);
    if (pending == m_Completing.end())
        return NO_FTP_ERROR;
    // Only this one: a file that arrived after it is to be synced with the next transfer.
    PostCompletion(localPath, pending->second.get());
    m_Completer->Wait();
    const int failure = pending->second->failure;
    m_Completing.erase(pending);
    if (failure == 0)
        return NO_FTP_ERROR;
    m_ErrorString = CompletionError(localPath, failure);
    NetTrace("Has Error - %s", m_ErrorString.c_str());
    return TRANSFER_FAILED;
}

bool ServerInterface::PrepareTargetNames()
{
    m_DisplayName = BaseName(ToBackslashes(m_RemotePath));
    m_LocalPath = JoinPath(m_LocalDir, m_DisplayName);
    // The same file fetched again: the earlier download must have its name first.
    if (FinishFile(m_LocalPath) != NO_FTP_ERROR)
        NetTrace("The earlier download of %s did not complete", m_LocalPath.c_str());
    return QFile::exists(QFile::decodeName(m_LocalPath.c_str()));
}

std::string ServerInterface::PartialPath(const std::string& localPath)
{
    return localPath + kPartialSuffix;
}

bool ServerInterface::OpenTargetFile()
{
    // The body streams into the partial name; only a complete file gets the real name, so an
    // interrupted or killed transfer never leaves something that looks like the archive.
    // What an earlier transfer left there is the file's start: this one continues it.
    const std::string partial = PartialPath(m_LocalPath);
    m_TargetFile = std::make_unique<QFile>(QFile::decodeName(partial.c_str()));
    m_Hash.Reset();
    // Unbuffered: every received block goes to the file in one write, not in 16 KiB pieces.
    if (!m_TargetFile->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        NetTrace("Cannot create %s - %s", partial.c_str(),
                 m_TargetFile->errorString().toLatin1().constData());
        m_TargetFile.reset();
        return false;
    }
    m_ResumeFrom = m_TargetFile->size();
    m_WrittenBack = m_ResumeFrom;
    if (m_ResumeFrom > 0) {
        NetTrace("Resuming %s after %lld bytes", partial.c_str(), (long long)m_ResumeFrom);
        // The digest covers the whole file: the bytes already there go in first.
        if (!m_ExpectedDigest.empty() && !m_Hash.UpdateFromFile(partial))
            DiscardPartial();
    }
    return true;
}

void ServerInterface::DiscardPartial()
{
    m_Pending.clear();
    m_Hash.Reset();
    m_ResumeFrom = 0;
    m_WrittenBack = 0;
    if (m_TargetFile && !m_TargetFile->resize(0))
        NetTrace("Cannot empty %s", PartialPath(m_LocalPath).c_str());
}

bool ServerInterface::WriteTarget(const char* data, size_t length)
{
    // curl hands the body over in pieces of 16 KiB at most; they are gathered into blocks of
    // kReceiveBlock so that the file gets few, large writes.
    m_Pending.append(data, length);
    return m_Pending.size() < size_t(kReceiveBlock) || FlushTarget();
}

bool ServerInterface::FlushTarget()
{
    if (!m_TargetFile || m_Pending.empty())
        return true;
    if (!m_ExpectedDigest.empty())
        m_Hash.Update(m_Pending.data(), m_Pending.size());
    const bool written =
        m_TargetFile->write(m_Pending.data(), qint64(m_Pending.size())) == qint64(m_Pending.size());
    m_Pending.clear();
    if (written)
        StartWriteBack();
    return written;
}

void ServerInterface::StartWriteBack()
{
    // A finished file is synced before it takes its real name. Handing the written blocks to
    // the disk as they come leaves that sync little to do: the disk writes while the network
    // delivers, not after it.
    if (!m_TargetFile)
        return;
    const qint64 written = m_TargetFile->pos();
    if (written - m_WrittenBack < kWriteBackStep || !m_TargetFile->flush())
        return;
    (void)::sync_file_range(m_TargetFile->handle(), m_WrittenBack, written - m_WrittenBack,
                            SYNC_FILE_RANGE_WRITE);   // only a head start; the sync decides
    m_WrittenBack = written;
}

void ServerInterface::DropTargetFile(Partial partial)
{
    if (m_TargetFile && partial == Partial::Keep)
        (void)FlushTarget();   // what arrived is worth keeping whole
    m_Pending.clear();
    if (!m_TargetFile)
        return;
    m_TargetFile->close();
    if (partial == Partial::Remove || m_TargetFile->size() == 0)
        m_TargetFile->remove();
    else
        NetTrace("Kept %lld bytes in %s for the next download", (long long)m_TargetFile->size(),
                 PartialPath(m_LocalPath).c_str());
    m_TargetFile.reset();
}

bool ServerInterface::CompleteTargetFile(bool removeIfEmpty)
{
    if (!m_TargetFile)
        return true;
    const bool flushed = FlushTarget();
    if (flushed && removeIfEmpty && m_TargetFile->size() == 0) {
        DropTargetFile(Partial::Remove);
        return true;
    }
    // A descriptor of its own for the sync and the rename, so the file object can go now.
    const int fd = flushed ? ::fcntl(m_TargetFile->handle(), F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) {
        FailCompletion(errno);
        DropTargetFile(Partial::Remove);
        return false;
    }
    m_TargetFile->close();
    m_TargetFile.reset();
    if (m_Completion == Completion::InBackground) {
        m_Completing[m_LocalPath] = std::make_unique<Completing>(Completing{fd});
        return true;
    }
    if (const int failure = SyncCloseAndRename(fd, PartialPath(m_LocalPath), m_LocalPath)) {
        FailCompletion(failure);
        return false;
    }
    return true;
}

void ServerInterface::FailCompletion(int failure)
{
    m_ErrorString = CompletionError(m_LocalPath, failure);
    NetTrace("%d Has Error - %s", m_RequestId, m_ErrorString.c_str());
    m_Error = true;
}

void ServerInterface::PostCompletions()
{
    for (auto& [path, pending] : m_Completing)
        PostCompletion(path, pending.get());
}

void ServerInterface::PostCompletion(const std::string& path, Completing* job)
{
    if (job->posted)
        return;
    if (!m_Completer)
        m_Completer = std::make_unique<CJobThread>();
    job->posted = true;
    // The entry stays in the map until its job has run.
    m_Completer->Post([job, path] {
        job->failure = SyncCloseAndRename(job->fd, PartialPath(path), path);
    });
}

bool ServerInterface::VerifyDigest(bool* restarted)
{
    *restarted = false;
    if (m_ExpectedDigest.empty() || !m_TargetFile || !FlushTarget())
        return true;   // a failed write is CompleteTargetFile's to report
    m_ReceivedDigest = m_Hash.HexDigest();
    if (m_ReceivedDigest == m_ExpectedDigest)
        return true;
    NetTrace("Digest of %s: expected %s, received %s", m_RemotePath.c_str(),
             m_ExpectedDigest.c_str(), m_ReceivedDigest.c_str());
    if (m_ResumeFrom > 0 && RestartWhole("the joined file does not match its digest")) {
        *restarted = true;
        return false;
    }
    m_ErrorString = "the file does not match its sha256 digest";
    m_FailureReason = "checksum mismatch: expected " + m_ExpectedDigest + ", received " +
                      m_ReceivedDigest;
    m_DigestMismatch = true;
    m_Error = true;
    DropTargetFile(Partial::Remove);   // known bad: nothing of it is worth resuming
    return false;
}

bool ServerInterface::RestartWhole(const char* why)
{
    if (m_Restarted || !m_TargetFile)
        return false;
    NetTrace("Resuming %s failed (%s): fetching it whole", m_RemotePath.c_str(), why);
    m_Restarted = true;
    m_RestartWanted = false;
    DiscardPartial();
    const Kind kind = m_Kind;
    bool started = false;
    if (kind == Kind::HttpGet) {
        m_SentNewType1 = false;
        m_SentNewType3 = false;
        m_SentAgainPlain = false;
        started = NewEasy() && SendHttpRequest() == NO_FTP_ERROR;
    } else {
        started = StartFtp(FtpUrl(Details().GetServer(), m_RemotePath), false);
    }
    if (!started)
        return false;
    m_DownloadComplete = false;
    m_InactivityTimer.start();
    return true;
}

void ServerInterface::CreateClient(std::unique_ptr<CCurlMulti>& client)
{
    if (!client)
        client = std::make_unique<CCurlMulti>(
            [this](CURL* easy, CURLcode result) { OnTransferDone(easy, result); });
}

void ServerInterface::CreateFTPInterface()
{
    NetTrace("ServerInterface::CreateFTPInterface()");
    CreateClient(m_Ftp);
}

void ServerInterface::CreateHTTPInterface()
{
    NetTrace("ServerInterface::CreateHTTPInterface()");
    CreateClient(m_Http);
}

CURL* ServerInterface::NewEasy()
{
    EndTransfer();
    m_Easy = curl_easy_init();
    if (!m_Easy)
        return nullptr;
    m_CurlError[0] = '\0';
    curl_easy_setopt(m_Easy, CURLOPT_ERRORBUFFER, m_CurlError);
    curl_easy_setopt(m_Easy, CURLOPT_NOSIGNAL, 1L);
    // Large blocks: each one costs a write to the target file and a progress report, and
    // curl's default of 16 KiB made those the bulk of a download's work.
    curl_easy_setopt(m_Easy, CURLOPT_BUFFERSIZE, kReceiveBlock);
    // Only the configured proxy is ever used, never one from the environment.
    curl_easy_setopt(m_Easy, CURLOPT_PROXY, "");
    curl_easy_setopt(m_Easy, CURLOPT_WRITEFUNCTION, &ServerInterface::OnBody);
    curl_easy_setopt(m_Easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_Easy, CURLOPT_HEADERFUNCTION, &ServerInterface::OnHeader);
    curl_easy_setopt(m_Easy, CURLOPT_HEADERDATA, this);
    if (IsNetTraceOn()) {
        // curl's own account of the exchange, for support: commands, replies, connections.
        curl_easy_setopt(m_Easy, CURLOPT_DEBUGFUNCTION, &ServerInterface::OnCurlDebug);
        curl_easy_setopt(m_Easy, CURLOPT_DEBUGDATA, this);
        curl_easy_setopt(m_Easy, CURLOPT_VERBOSE, 1L);
    }
    return m_Easy;
}

int ServerInterface::OnCurlDebug(CURL*, curl_infotype type, char* data, size_t size, void* self)
{
    static const char* const kPrefix[] = {"*", "<", ">"};
    if (type > CURLINFO_HEADER_OUT)
        return 0;   // bodies stay out of the trace
    std::string text(data, size);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    // The trace is for support: the password stays out of curl's words.
    const std::string& password = static_cast<ServerInterface*>(self)->Details().GetPassword();
    NetTrace("curl %s %s", kPrefix[type], MaskPassword(text, password).c_str());
    return 0;
}

int ServerInterface::GetFileFtp()
{
    NetTrace("ServerInterface::GetFileFtp()");
    if (Details().GetUserName().empty() || Details().GetServer().empty()) {
        NetTrace("!!! NO_CONNECTION_DETAILS !!!");
        return NO_CONNECTION_DETAILS;
    }
    CreateFTPInterface();
    if (PrepareTargetNames()) {
        if (!m_ToMemory) {
            NetTrace("!!! FILE_ALREADY_EXISTS !!!");
            return FILE_ALREADY_EXISTS;
        }
        QFile::remove(QFile::decodeName(m_LocalPath.c_str()));
    }
    DropTargetFile(Partial::Keep);
    m_TextData.clear();
    if (!m_ToMemory) {
        NetTrace("Create File to copy to - %s", m_LocalPath.c_str());
        if (!OpenTargetFile())
            return TRANSFER_FAILED;
    }
    if (!StartFtp(FtpUrl(Details().GetServer(), m_RemotePath), false)) {
        DropTargetFile(Partial::Keep);
        return TRANSFER_FAILED;
    }
    NetTrace("get = %d", m_RequestId);
    return NO_FTP_ERROR;
}

long long ServerInterface::GetFileSize(const std::string& remotePath)
{
    NetTrace("ServerInterface::GetFileSize( %s )", remotePath.c_str());
    // A size through the proxy would cost it a whole FTP session per archive; it stays unknown.
    if (m_Waiting || remotePath.empty() || Details().UsesProxy() ||
        Details().GetUserName().empty() || Details().GetServer().empty())
        return -1;
    CreateFTPInterface();
    m_RemotePath = remotePath;
    m_DisplayName = BaseName(remotePath);
    m_FailureReason.clear();
    m_TextData.clear();
    m_ToMemory = true;
    m_ContentLength = -1;
    m_DownloadComplete = false;
    // Without a body curl asks the size and stops before any data connection.
    if (!StartFtp(FtpUrl(Details().GetServer(), remotePath), true))
        return -1;
    return MapOutcome(WaitForJobs(false)) == NO_FTP_ERROR ? m_ContentLength : -1;
}

bool ServerInterface::StartFtp(const std::string& url, bool loginOnly)
{
    if (!NewEasy())
        return false;
    const CConnectionDetails& details = Details();
    if (!m_FtpLoggedIn) {
        NetTrace("ftpState != QFtp::LoggedIn - The current ftpState = %d", 0);
        NetTrace("connectToHost = %d (%s)", m_RequestId + 1, details.GetServer().c_str());
        NetTrace("login = %d user = %s password = %s", m_RequestId + 1,
                 details.GetUserName().c_str(), details.GetPassword().c_str());
    }
    curl_easy_setopt(m_Easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_Easy, CURLOPT_USERNAME, details.GetUserName().c_str());
    curl_easy_setopt(m_Easy, CURLOPT_PASSWORD, details.GetPassword().c_str());
    curl_easy_setopt(m_Easy, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(m_Easy, CURLOPT_FTP_USE_EPSV, 0L);
    if (loginOnly)
        curl_easy_setopt(m_Easy, CURLOPT_NOBODY, 1L);
    else if (m_ResumeFrom > 0)
        curl_easy_setopt(m_Easy, CURLOPT_RESUME_FROM_LARGE, curl_off_t(m_ResumeFrom));
    m_Kind = loginOnly ? Kind::FtpLogin : Kind::FtpGet;
    ++m_RequestId;
    m_Clock.start();
    m_Active = m_Ftp.get();
    if (m_Active->Add(m_Easy))
        return true;
    EndTransfer();
    return false;
}

int ServerInterface::GetFileHttp()
{
    NetTrace("ServerInterface::GetFileHttp()");
    const int result = StartHttpGet();
    if (result != NO_FTP_ERROR)
        NetTrace("Error != ServerInterface::NO_FTP_ERROR - setting download as complete");
    return result;
}

int ServerInterface::StartHttpGet()
{
    if (Details().GetUserName().empty() || Details().GetServer().empty()) {
        NetTrace("!!! NO_CONNECTION_DETAILS !!!");
        return NO_CONNECTION_DETAILS;
    }
    CreateHTTPInterface();
    // A memory download writes no file, so a local file of the same name is no obstacle (the
    // connection test fetches the list into memory with the working folder as target).
    if (PrepareTargetNames() && !m_ToMemory) {
        NetTrace("!!! FILE_ALREADY_EXISTS !!!");
        return FILE_ALREADY_EXISTS;
    }
    DropTargetFile(Partial::Keep);
    m_TextData.clear();
    if (!m_ToMemory) {
        NetTrace("Create File to Copy to - %s", m_LocalPath.c_str());
        if (!OpenTargetFile())
            return TRANSFER_FAILED;
    }
    m_SentNewType1 = false;
    m_SentNewType3 = false;
    m_SentAgainPlain = false;
    m_ProxyAnswered = false;
    const int result = NewEasy() ? SendHttpRequest() : TRANSFER_FAILED;
    if (result != NO_FTP_ERROR)
        DropTargetFile(Partial::Keep);
    return result;
}

int ServerInterface::SendHttpRequest()
{
    const CConnectionDetails& details = Details();
    // The proxy fetches the file over FTP itself, so the log-in travels in the request target.
    const std::string target = "ftp://" + Escape(details.GetUserName(), "!$&'()*+,;=") + ":" +
                               Escape(details.GetPassword(), "!$&'()*+,;=") + "@" +
                               details.GetServer() + Escape(m_RemotePath, "/");
    std::vector<std::string> lines = {
        "host: " + details.GetServer(),
        std::string("user-agent: Tessom-Install-Tool/") + kNUVVersion,
        "Accept: */*",
        "Cache-Control: no-cache",
    };
    std::string message;
    if (!m_Type3.empty())
        message = ntlm::Encode(m_Type3, ntlm::kType3TextBuffer);
    else if (!m_Type1.empty())
        message = ntlm::Encode(m_Type1, ntlm::kType1TextBuffer);
    if (!message.empty()) {
        lines.push_back("Proxy-Authorization: NTLM " + message);
        lines.push_back("Authorization: NTLM " + message);
        lines.push_back("Proxy-Connection: Keep-Alive");
    }
    curl_slist_free_all(m_RequestHeaders);
    m_RequestHeaders = nullptr;
    for (const std::string& line : lines)
        m_RequestHeaders = curl_slist_append(m_RequestHeaders, line.c_str());

    const std::string proxy = "http://" + details.GetProxyServer() + ":" +
                              std::to_string(details.GetProxyPort()) + "/";
    curl_easy_setopt(m_Easy, CURLOPT_URL, proxy.c_str());
    curl_easy_setopt(m_Easy, CURLOPT_REQUEST_TARGET, target.c_str());
    curl_easy_setopt(m_Easy, CURLOPT_HTTPHEADER, m_RequestHeaders);
    curl_easy_setopt(m_Easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    // The rest of a partial file; the answer's status and range say whether that is what
    // came (AcceptRangeAnswer).
    const std::string range = std::to_string(m_ResumeFrom) + "-";
    curl_easy_setopt(m_Easy, CURLOPT_RANGE, m_ResumeFrom > 0 ? range.c_str() : nullptr);
    m_Header.Clear();
    m_Next = Next::Finish;
    m_FileCorrupt = false;
    m_FirstBlock = true;
    m_Kind = Kind::HttpGet;
    ++m_RequestId;
    m_Clock.start();
    m_Active = m_Http.get();
    if (!m_Active->Add(m_Easy))
        return TRANSFER_FAILED;
    NetTrace("http get %s (id = %d)", m_RemotePath.c_str(), m_RequestId);
    return NO_FTP_ERROR;
}

int ServerInterface::WaitForJobs(bool useLoginTimeout)
{
    NetTrace("WaitForJobs");
    m_AbortOperation = false;
    m_TimedOutOperation = false;
    m_Waiting = true;
    // The options file is edited by hand at times: a value too large for the millisecond
    // count would switch the time-out off, so it is capped at the largest the settings offer.
    const int seconds = std::clamp(useLoginTimeout ? CNUVOptions::Instance()->m_nLoginTimeout
                                                   : Details().GetTransferTimeout(),
                                   1, CConnectionDetails::kMaxTimeout);
    if (!m_DownloadComplete) {
        QEventLoop loop;
        m_Loop = &loop;
        m_InactivityTimer.start(seconds * 1000);
        loop.exec();
        m_Loop = nullptr;
    }
    m_InactivityTimer.stop();
    m_Waiting = false;
    if (!m_DownloadComplete && !m_TimedOutOperation && !m_AbortOperation) {
        // The loop was ended from outside (the application quitting ends every loop): the
        // transfer did not finish, so it is abandoned as an abort would.
        NetTrace("Event loop ended before the transfer completed");
        m_AbortOperation = true;
    }

    int outcome = kFinished;
    if (m_AbortOperation) {
        NetTrace("m_AbortOperation == true");
        m_AbortOperation = false;
        EndTransfer();
        DropTargetFile(Partial::Keep);
        outcome = kAborted;
    }
    if (m_TimedOutOperation) {
        NetTrace("m_TimedOutOperation == true");
        EndTransfer();
        DropTargetFile(Partial::Keep);
        CloseConnections(false);
        m_TimedOutOperation = false;
        outcome = kTimedOut;
    }
    if (m_Error) {
        m_Error = false;
        return kFailed;
    }
    return outcome;
}

void ServerInterface::EndTransfer()
{
    if (!m_Easy)
        return;
    if (m_Active)
        m_Active->Remove(m_Easy);   // a transfer still running closes its connection
    curl_easy_cleanup(m_Easy);
    m_Easy = nullptr;
    m_Active = nullptr;
    m_Kind = Kind::None;
    curl_slist_free_all(m_RequestHeaders);
    m_RequestHeaders = nullptr;
    m_DownloadComplete = true;
}

void ServerInterface::OnTransferDone(CURL* easy, CURLcode result)
{
    if (easy != m_Easy)
        return;
    m_Active->Remove(m_Easy);
    if (m_Kind == Kind::HttpGet) {
        FinishHttp(result);
        return;
    }
    NetTrace("Finished %d", m_RequestId);
    m_InactivityTimer.stop();
    bool restarted = false;
    curl_off_t length = -1;
    if (result == CURLE_OK &&
        curl_easy_getinfo(m_Easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        m_ContentLength = length;
    if (result != CURLE_OK) {
        if (result == CURLE_LOGIN_DENIED || result == CURLE_COULDNT_CONNECT)
            m_FtpLoggedIn = false;
        // The server refused REST, or the partial file is longer than the file.
        const bool refusedResume =
            result == CURLE_FTP_COULDNT_USE_REST || result == CURLE_BAD_DOWNLOAD_RESUME;
        if (m_ResumeFrom > 0 && refusedResume && RestartWhole(curl_easy_strerror(result)))
            return;
        FailTransfer(result);
    } else if (m_TargetFile) {
        NetTrace("Finished get=%s", m_RemotePath.c_str());
        if (!VerifyDigest(&restarted)) {
            if (restarted)
                return;
        } else {
            (void)CompleteTargetFile(true);
        }
    }
    NetTrace("END Finished %d", m_RequestId);
    EndTransfer();
    Complete("SLOTDoneFTP no pending commands");
}

void ServerInterface::FinishHttp(CURLcode result)
{
    bool restarted = false;
    // A resumed answer that was refused or ended short cannot be trusted to continue the
    // file (proxies have been seen to skip the offset twice): the file is fetched whole.
    const bool resumeFailed = m_ResumeFrom > 0 && m_TargetFile &&
                              (m_RestartWanted ||
                               (result != CURLE_OK && m_Header.StatusCode() == 206));
    if (resumeFailed && RestartWhole(m_RestartWanted ? "the answer does not continue the file"
                                                     : "the ranged answer ended short"))
        return;
    if (result != CURLE_OK) {
        FailTransfer(result);
    } else if (m_Next == Next::SendAgain) {
        if (SendHttpRequest() == NO_FTP_ERROR)
            return;
        FailTransfer(CURLE_FAILED_INIT);
    } else if (m_Header.StatusCode() < 200 || m_Header.StatusCode() > 299) {
        // A final answer that is not a success must not look like a (short) download.
        m_ErrorString = Format(256, "HTTP status %d %s", m_Header.StatusCode(),
                               m_Header.Reason().c_str());
        NetTrace("%d Has Error - %s", m_RequestId, m_ErrorString.c_str());
        DescribeFailure(CURLE_OK);
        m_Error = true;
        DropTargetFile(Partial::Keep);   // nothing of this answer went into it
    } else if (!VerifyDigest(&restarted)) {
        if (restarted)
            return;
    } else {
        // A body refused for its missing signature stays as an empty file, for the unpacking
        // to report.
        (void)CompleteTargetFile(false);
    }
    EndTransfer();
    Complete("SLOTDoneHTTP");
}

void ServerInterface::FailTransfer(CURLcode result)
{
    m_ErrorString = m_CurlError[0] ? m_CurlError : curl_easy_strerror(result);
    NetTrace("%d Has Error - %s", m_RequestId, m_ErrorString.c_str());
    DescribeFailure(result);
    m_Error = true;
    DropTargetFile(Partial::Keep);   // what arrived is the file's start: the next one resumes
}

void ServerInterface::DescribeFailure(CURLcode result)
{
    const bool proxy = m_Kind == Kind::HttpGet;
    const int status = proxy ? m_Header.StatusCode() : 0;
    if (status >= 300) {
        // The header callback stopped the transfer: the proxy's answer says more than curl.
        m_FailureReason = Format(256, "%s (HTTP %d %s)",
                                 status == 407 ? "the proxy refused the log-in"
                                               : "the proxy refused the request",
                                 status, m_Header.Reason().c_str());
        return;
    }
    const char* what = nullptr;
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        what = "the server's name does not resolve";
        break;
    case CURLE_COULDNT_RESOLVE_PROXY:
        what = "the proxy's name does not resolve";
        break;
    case CURLE_COULDNT_CONNECT:
        what = proxy ? "the proxy refused the connection" : "connection refused";
        break;
    case CURLE_LOGIN_DENIED:
        m_FailureReason = m_LastReply.empty()
                              ? "log-in rejected (" + m_ErrorString + ")"
                              : "log-in rejected, the server replied \"" + m_LastReply + "\"";
        return;
    case CURLE_OPERATION_TIMEDOUT:
        what = "timed out";
        break;
    default:
        what = "the transfer failed";
        break;
    }
    m_FailureReason = std::string(what) + " (" + m_ErrorString + ")";
}

void ServerInterface::Complete(const char* why)
{
    m_DownloadComplete = true;
    NetTrace("Signal EXIT from event loop ( %s )", why);
    Q_EMIT DownloadCompleted();
    if (m_Loop)
        m_Loop->quit();
}

size_t ServerInterface::OnBody(char* data, size_t size, size_t count, void* self)
{
    const size_t length = size * count;
    return static_cast<ServerInterface*>(self)->TakeBody(data, length) ? length : 0;
}

size_t ServerInterface::OnHeader(char* data, size_t size, size_t count, void* self)
{
    const size_t length = size * count;
    return static_cast<ServerInterface*>(self)->TakeHeaderLine(std::string(data, length))
               ? length
               : 0;
}

bool ServerInterface::TakeBody(const char* data, size_t length)
{
    if (m_Kind == Kind::HttpGet) {
        const int status = m_Header.StatusCode();
        if (status < 200 || status > 298)
            return true;   // the body of an answer that is not the file
        NetTrace("SLOTReadyRead(%d bytes)", int(length));
        if (m_ToMemory) {
            AppendText(data, length);
        } else if (!m_FileCorrupt) {
            if (m_FirstBlock && !HasArchiveSignature(data, length)) {
                NetTrace("FileCorrupt = true");
                m_FileCorrupt = true;
            } else if (m_TargetFile) {
                if (!WriteTarget(data, length))
                    return false;
                m_FirstBlock = false;
            }
        }
    } else if (m_ToMemory) {
        AppendText(data, length);
    } else if (m_TargetFile && !WriteTarget(data, length)) {
        return false;   // a full disk ends the transfer as failed
    }
    m_BytesDone += int(length);
    Progress();
    return true;
}

void ServerInterface::AppendText(const char* data, size_t length)
{
    // The whole text in one allocation when the server gave its size: a file list of a few
    // hundred kilobytes was otherwise copied at every doubling. A size beyond the limit is
    // not trusted with an allocation; the text then grows as it arrives.
    constexpr curl_off_t kLargestReserve = curl_off_t(64) << 20;
    curl_off_t total = -1;
    if (m_TextData.empty() && m_Easy &&
        curl_easy_getinfo(m_Easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total) == CURLE_OK &&
        total > 0 && total <= kLargestReserve)
        m_TextData.reserve(size_t(total));
    m_TextData.append(data, length);
}

bool ServerInterface::TakeHeaderLine(const std::string& line)
{
    if (m_Kind != Kind::HttpGet) {
        // FTP server replies: 230 is the successful log-in. The last one is kept for the
        // user when the log-in is rejected.
        m_LastReply = TrimSpaces(line.substr(0, line.find_first_of("\r\n")));
        if (line.compare(0, 3, "230") == 0 && !m_FtpLoggedIn) {
            m_FtpLoggedIn = true;
            NetTrace("STATE CHANGED - QFtp::LoggedIn, id = %d", m_RequestId);
            Q_EMIT ChangeOfState(true);
        }
        Progress();
        return true;
    }
    if (!m_ProxyAnswered) {
        m_ProxyAnswered = true;
        NetTrace("HTTP Connected");
        Q_EMIT ChangeOfState(true);
    }
    Progress();
    if (!m_Header.AddLine(line))
        return true;
    return OnHttpHeader();
}

bool ServerInterface::OnHttpHeader()
{
    const int status = m_Header.StatusCode();
    NetTrace("::SLOTResponceHeaderReceived()");
    NetTrace("%s", m_Header.Reason().c_str());
    for (const std::string& key : m_Header.Keys())
        NetTrace("\t%s", key.c_str());
    NetTrace("HTTP status code %d", status);
    if (status < 200)
        return true;   // an interim answer; the real one follows
    if (status <= 299) {
        m_Next = Next::Finish;
        return AcceptRangeAnswer(status);
    }
    if (status == 416 && m_ResumeFrom > 0) {
        NetTrace("Range not satisfiable %d", status);
        m_RestartWanted = true;
        return false;
    }
    if (status == 404) {
        NetTrace("File not found %d", status);
        return false;
    }
    if (status == 403) {
        NetTrace("Access Forbidden %d", status);
        return false;
    }
    if (status >= 400 && status <= 499) {
        for (const char* key : {"www-authenticate", "proxy-authenticate"}) {
            if (m_Header.Has(key)) {
                NetTrace("%s", key);
                return OnAuthentication(key);
            }
        }
        NetTrace("HTTP: don't know whats going on(%s)", m_Header.Reason().c_str());
        return false;
    }
    // Redirects and server errors get one more try; a second such answer ends the request.
    m_Next = m_SentAgainPlain ? Next::Finish : Next::SendAgain;
    m_SentAgainPlain = true;
    return true;
}

bool ServerInterface::AcceptRangeAnswer(int status)
{
    if (m_ToMemory || !m_TargetFile || m_ResumeFrom == 0)
        return true;
    if (status == 206) {
        // "bytes FIRST-LAST/TOTAL": it must start where the partial file ends.
        const std::string range = m_Header.Value("content-range");
        const std::string start = "bytes " + std::to_string(m_ResumeFrom) + "-";
        if (range.compare(0, start.size(), start) == 0) {
            m_FirstBlock = false;   // the body continues the file: no signature at its start
            return true;
        }
        NetTrace("The answer covers another range (%s)", range.c_str());
        m_RestartWanted = true;
        return false;
    }
    NetTrace("The range was not honoured (HTTP %d): the whole file follows", status);
    DiscardPartial();
    return true;
}

bool ServerInterface::OnAuthentication(const std::string& key)
{
    const std::string value = m_Header.Value(key);
    if (value == "NTLM") {
        // An offer: the proxy has no exchange running on this connection. A request answers
        // at most one offer, so refused credentials cannot loop.
        if (m_SentNewType1) {
            NetTrace("NTLM offer repeated - request aborted");
            return false;
        }
        SetProxy1TypeMessage();
        if (m_Type1.empty())
            return false;
        m_Type3.clear();
        m_SentNewType1 = true;
        m_Next = Next::SendAgain;
        return true;
    }
    if (m_SentNewType3) {
        NetTrace("NTLM challenge repeated - request aborted");
        return false;
    }
    GetProxy2TypeMessage(value.size() > 5 ? value.substr(5) : std::string());
    SetProxy3TypeMessage();
    if (m_Type3.empty())
        return false;
    m_SentNewType3 = true;
    m_Next = Next::SendAgain;
    return true;
}

void ServerInterface::Progress()
{
    const qint64 elapsed = m_Clock.isValid() ? m_Clock.elapsed() : 0;
    if (m_InactivityTimer.isActive())
        m_InactivityTimer.start();   // inactivity only: every sign of life restarts it
    if (elapsed >= 1) {
        const qint64 bytes = m_TargetFile ? m_TargetFile->pos() + qint64(m_Pending.size())
                                          : qint64(m_TextData.size());
        m_Rate = float(double(bytes) / (double(elapsed) * 0.001));
    }
    curl_off_t total = -1;
    if (m_Easy)
        curl_easy_getinfo(m_Easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
    if (m_Kind == Kind::FtpGet)
        NetTrace("Got Data = %d", m_BytesDone);
    Q_EMIT ProgressReport(QString::fromLatin1(m_DisplayName.c_str()), m_BytesDone,
                          total > 0 ? int(std::min<curl_off_t>(total, INT32_MAX)) : 0, m_Rate);
}

void ServerInterface::SetProxy1TypeMessage()
{
    NetTrace("::SetProxy1TypeMessage()");
    m_Type1.clear();
    if (Details().GetProxyUsername().empty() || Details().GetProxyDomain().empty())
        return;
    m_Type1 = ntlm::Type1Message(m_HostName, Details().GetProxyDomain());
}

void ServerInterface::GetProxy2TypeMessage(const std::string& challenge)
{
    NetTrace("::GetProxy2TypeMessage()");
    if (!ntlm::Type2Challenge(challenge, &m_Challenge))
        NetTrace("The challenge does not decode; a zero challenge is used");
}

void ServerInterface::SetProxy3TypeMessage()
{
    NetTrace("::SetProxy3TypeMessage()");
    m_Type3.clear();
    const CConnectionDetails& details = Details();
    if (details.GetProxyUsername().empty())
        return;
    ntlm::Hash lm = details.GetLMHash();
    ntlm::Hash nt = details.GetNTHash();
    if (lm[0] == 0 && nt[0] == 0) {
        const std::string password = details.GetProxyPassword().substr(0, ntlm::kMaxPassword);
        lm = ntlm::LmHash(password);
        nt = ntlm::NtHash(password);
    }
    m_Type3 = ntlm::Type3Message(details.GetProxyDomain(), details.GetProxyUsername(),
                                 m_HostName, lm, nt, m_Challenge);
}

int ServerInterface::TestConnection()
{
    NetTrace("ServerInterface::TestConnection()");
    if (m_Waiting) {
        NetTrace("!!! a transfer is already running !!!");
        return TRANSFER_FAILED;
    }
    m_DownloadComplete = false;
    m_FailureReason.clear();
    m_LastReply.clear();
    int result = NO_CONNECTION_DETAILS;
    if (Details().GetUserName().empty() || Details().GetServer().empty()) {
        NetTrace("!!! NO_CONNECTION_DETAILS !!!");
        m_FailureReason = "no user name or server is set";
        m_CanConnect = false;
    } else {
        result = Details().UsesProxy() ? TestConnectionHTTP() : TestConnectionFTP();
        m_CanConnect = result == NO_FTP_ERROR;
    }
    NetTrace("!!! m_CanConnect = %s : Error = %d !!!", m_CanConnect ? "true" : "false", result);
    if (m_CanConnect && !Details().UsesProxy()) {
        // The session just logged in stays in the FTP client's connection cache for the
        // transfers that follow: a second log-in costs the server a new session, about as
        // long as fetching a whole catalogue over the first one.
        EndTransfer();
        m_LastError = NO_FTP_ERROR;
    } else {
        CloseConnections(m_CanConnect);
    }
    return result;
}

int ServerInterface::TestConnectionFTP()
{
    NetTrace("ServerInterface::TestConnectionFTP()");
    CreateFTPInterface();
    NetTrace("Following Commands are being queued");
    NetTrace("\t%d: connectToHost - (%s)", m_RequestId + 1, Details().GetServer().c_str());
    NetTrace("\t%d: login (%s:%s)", m_RequestId + 1, Details().GetUserName().c_str(),
             Details().GetPassword().c_str());
    DropTargetFile(Partial::Keep);
    m_DisplayName.clear();
    m_DownloadComplete = false;
    if (!StartFtp("ftp://" + Details().GetServer() + "/", true)) {
        m_LastError = TRANSFER_FAILED;
        return m_LastError;
    }
    m_LastError = MapOutcome(WaitForJobs(true));
    return m_LastError;
}

int ServerInterface::TestConnectionHTTP()
{
    NetTrace("ServerInterface::TestConnectionHTTP()");
    CreateHTTPInterface();
    return GetFile(kConnectionTestPath, CSystemEnv::Instance().WorkingDir(), true);
}

bool ServerInterface::IsConnected() const
{
    NetTrace("ServerInterface::IsConnected() = %s", m_CanConnect ? "true" : "false");
    return m_CanConnect;
}

void ServerInterface::Abort()
{
    NetTrace("!!! Signal EXIT from event loop ( Abort ) !!!");
    m_FailureReason = "cancelled";
    m_AbortOperation = true;
    if (m_Loop)
        m_Loop->quit();
}

int ServerInterface::SetOffline()
{
    Q_EMIT ChangeOfState(false);
    CloseConnections(false);
    return NO_FTP_ERROR;
}

int ServerInterface::CloseConnections(bool wait)
{
    if (m_Waiting) {
        // Called from a slot inside a wait: the connections are in use by curl right now.
        NetTrace("ServerInterface::CloseConnections - ignored during a transfer");
        return m_LastError;
    }
    EndTransfer();
    if (m_Ftp) {
        NetTrace("ServerInterface::CloseConnections - close ftp connection");
        m_Ftp.reset();   // curl logs out of a cached connection and closes it
        NetTrace("Destroyed QFTP object");
    }
    if (m_Http) {
        NetTrace("ServerInterface::CloseConnections - close http connection");
        m_Http.reset();
        NetTrace("Destroyed QHTTP object");
    }
    m_FtpLoggedIn = false;
    if (wait)
        m_LastError = NO_FTP_ERROR;   // closing completes before the call returns
    return m_LastError;
}

void ServerInterface::SLOTWaitForTimeOut()
{
    NetTrace("SLOTWaitForTimeOut()");
    NetTrace("ClearPendingCommands");
    NetTrace("%s", m_Kind == Kind::HttpGet ? "HTTP Abort sent" : "FTP Abort sent");
    m_FailureReason = Format(128, "timed out: no answer within %d seconds",
                             m_InactivityTimer.interval() / 1000);
    m_TimedOutOperation = true;
    m_Error = true;
    if (m_Loop)
        m_Loop->quit();
}

void ServerInterface::SLOTSetConnectedState(bool Online) { m_CanConnect = Online; }

