#pragma once

#include "core/base/digest.h"
#include "core/base/fileutils.h"
#include "core/server/responseheader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <curl/curl.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

class CConnectionDetails;
class CCurlMulti;
class CJobThread;
class QEventLoop;
class QFile;

/// The one way to reach the installation server: single files over FTP, or over HTTP
/// through the configured proxy (with NTLM proxy authentication), into a file or into memory.
/// Every blocking call runs a nested event loop on the calling thread until the transfer ends,
/// the inactivity time-out fires or Abort is called; nothing runs on other threads.
/// Process-wide; created on first use.
class ServerInterface : public QObject {
    Q_OBJECT
public:
    /// Result codes of the transfer operations; callers treat every non-zero one as failure.
    enum : int {
        NO_FTP_ERROR = 0,
        NO_CONNECTION_DETAILS = 1,   // user name or server empty; nothing is sent
        NO_FILE_NAME = 7,            // empty remote path
        FILE_ALREADY_EXISTS = 8,     // the local target exists (left untouched)
        TIMED_OUT = 9,
        TRANSFER_FAILED = 10,        // also a time-out, a refused log-in or a busy engine
        ABORTED = 11,
        DIGEST_MISMATCH = 12,        // the file arrived but is not the one asked for; removed
    };

    static constexpr const char* kMemoryTempFile = "NUV2_TempFTPFile.temp";
    static constexpr const char* kConnectionTestPath = "/software/distributions.txt";
    /// A file download streams into its local path plus this suffix and takes its own name
    /// only when complete.
    static constexpr const char* kPartialSuffix = ::kPartialSuffix;
    /// Where the download to localPath streams until it is complete.
    static std::string PartialPath(const std::string& localPath);

    static ServerInterface* Instance();
    /// An engine of its own over the given details; the programs use Instance().
    explicit ServerInterface(CConnectionDetails* details = nullptr);
    ~ServerInterface() override;

    /// Fetches remotePath (below the server root, "/" separated) into localDir/base name, or
    /// into memory (GetFileTextData). 0, 1, 7, 8, 10, 11 or 12. The file is written under
    /// PartialPath and renamed when complete. A transfer cut short (failed, aborted, timed
    /// out) keeps what arrived under PartialPath, and the next download of that file asks for
    /// the rest only (FTP REST, an HTTP range through the proxy); when the server refuses,
    /// the partial file is larger than the file, or the answer does not continue it, the file
    /// is fetched whole instead. Nothing is kept when nothing arrived, nor for an answer that
    /// was not the file. A download of an empty file leaves no file either.
    /// sha256 (file mode only; 64 lower-case hex digits): the file is hashed as it arrives
    /// (a resumed one from its partial start) and must match, or it is removed and the result
    /// is 12 (a resumed file is first fetched again whole). GetReceivedDigest gives the digest.
    /// Spins an event loop; a call made from inside that loop gets 10.
    /// Completion::InBackground (file mode): the result comes as soon as the file has arrived
    /// and matched its digest, still under its partial name; its sync and rename run on a
    /// worker from the start of the next GetFile (or FinishFile), and FinishFile says how they
    /// went.
    enum class Completion { Now, InBackground };
    int GetFile(const std::string& remotePath, const std::string& localDir, bool toMemory,
                const std::string& sha256 = std::string(),
                Completion completion = Completion::Now);
    /// Waits until a file fetched with Completion::InBackground into localPath has its name
    /// on the disk: 0, or 10 with GetErrorString saying why (the file is then removed). 0 for
    /// a path with nothing pending.
    int FinishFile(const std::string& localPath);
    /// The SHA-256 of the last file downloaded with a digest to match; empty otherwise.
    const std::string& GetReceivedDigest() const { return m_ReceivedDigest; }
    /// The text of the last memory-mode download.
    const std::string& GetFileTextData() const { return m_TextData; }
    /// The same text handed over without a copy; the interface keeps none of it.
    std::string TakeFileTextData() { return std::exchange(m_TextData, std::string()); }
    /// The size in bytes the server gives for remotePath (FTP SIZE; nothing is transferred
    /// and nothing is written), or -1 when it gives none: through the proxy, off-line, a
    /// missing file, a failed or busy engine. Spins an event loop.
    long long GetFileSize(const std::string& remotePath);
    /// Logs in with the current details (FTP), or fetches the distribution list through the
    /// proxy into memory, then closes the connections. 0 when the server answers.
    int TestConnection();
    /// Whether the last test or log-in succeeded.
    bool IsConnected() const;
    /// Ends the running wait; its transfer fails with 11 and keeps what arrived for a later
    /// resume. Safe from slots that run inside the wait.
    void Abort();
    /// Drops every connection and announces the off-line state. 0.
    int SetOffline();
    int GetLastError() const { return m_LastError; }
    /// A blocking call is running its nested event loop.
    bool IsWaiting() const { return m_Waiting; }
    /// Closes the open FTP and HTTP connections. Returns the last error code.
    int CloseConnections(bool wait = false);

    /// curl's words for the last failure.
    const std::string& GetErrorString() const { return m_ErrorString; }
    /// Why the last transfer or connection test failed, in words for the user: what failed
    /// (connection refused, name not resolved, log-in rejected with the server's reply, proxy
    /// refused, timed out) and curl's or the proxy's own words. Empty after a success.
    const std::string& GetFailureReason() const { return m_FailureReason; }
    /// The last file body through the proxy had no archive signature, so none was written.
    bool IsFileCorrupt() const { return m_FileCorrupt; }
    /// This computer's name as sent in NTLM messages.
    const std::string& GetHostName() const { return m_HostName; }

Q_SIGNALS:
    void ProgressReport(QString Name, int Done, int Total, float Rate);
    void DownloadCompleted();
    void ChangeOfState(bool Online);

public Q_SLOTS:
    void SLOTWaitForTimeOut();
    void SLOTSetConnectedState(bool Online);

private:
    enum class Kind { None, FtpGet, FtpLogin, HttpGet };
    /// What follows the end of the current HTTP response.
    enum class Next { Finish, SendAgain };
    /// Raw outcomes of a wait.
    enum { kFinished = 0, kAborted = 1, kFailed = 2, kTimedOut = 3 };

    CConnectionDetails& Details() const;
    int GetFileFtp();
    int GetFileHttp();
    /// GetFileHttp's checks, target and first request.
    int StartHttpGet();
    int TestConnectionFTP();
    int TestConnectionHTTP();
    /// Waits for the running transfer; the log-in time-out or the file-transfer time-out.
    int WaitForJobs(bool useLoginTimeout);
    static int MapOutcome(int outcome);

    void CreateClient(std::unique_ptr<CCurlMulti>& client);
    void CreateFTPInterface();
    void CreateHTTPInterface();
    /// Display name and local path for m_RemotePath; true when the local file exists.
    bool PrepareTargetNames();
    bool OpenTargetFile();
    /// Adds received body bytes to the target file. False when the file refused them.
    bool WriteTarget(const char* data, size_t length);
    /// Writes what WriteTarget gathered. False when the file refused it.
    bool FlushTarget();
    /// Starts the disk writing the blocks received since the last call, every few MiB.
    void StartWriteBack();
    /// What becomes of the partial file when the target is dropped: removed, or kept for a
    /// later resume (an empty one is removed all the same).
    enum class Partial { Remove, Keep };
    void DropTargetFile(Partial partial);
    /// Empties the target so the file is written from its start again.
    void DiscardPartial();
    /// After a resume went wrong (why): the same file again, whole, in a new transfer. False
    /// when that was done already or cannot be started.
    bool RestartWhole(const char* why);
    /// Whether a final 2xx answer continues the partial file; false aborts it.
    bool AcceptRangeAnswer(int status);
    /// The finished file against the digest asked for; false when it does not match (then it
    /// is fetched again whole when resumed, *restarted true, or removed with the transfer
    /// failed).
    bool VerifyDigest(bool* restarted);
    /// Syncs the finished target and gives it its own name (an empty one is removed when
    /// removeIfEmpty); false, with the transfer failed, when that cannot be done.
    bool CompleteTargetFile(bool removeIfEmpty);
    /// Fails the transfer: the finished file could not take its name (errno failure).
    void FailCompletion(int failure);
    /// Hands the sync and rename of the finished files not handed over yet to m_Completer.
    void PostCompletions();
    struct Completing;
    void PostCompletion(const std::string& path, Completing* job);
    CURL* NewEasy();
    bool StartFtp(const std::string& url, bool loginOnly);
    int SendHttpRequest();
    /// Stops the running transfer, if any, and frees its handle.
    void EndTransfer();
    void OnTransferDone(CURL* easy, CURLcode result);
    void FinishHttp(CURLcode result);
    void FailTransfer(CURLcode result);
    /// Fills m_FailureReason for a transfer curl ended with result.
    void DescribeFailure(CURLcode result);
    void Complete(const char* why);

    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static int OnCurlDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* self);
    bool TakeBody(const char* data, size_t length);
    void AppendText(const char* data, size_t length);
    bool TakeHeaderLine(const std::string& line);
    /// Decides what the finished header of an HTTP response asks for; false aborts.
    bool OnHttpHeader();
    bool OnAuthentication(const std::string& key);
    void Progress();

    void SetProxy1TypeMessage();
    void GetProxy2TypeMessage(const std::string& challenge);
    void SetProxy3TypeMessage();

    CConnectionDetails* m_pDetails;
    std::unique_ptr<CCurlMulti> m_Ftp;    // the FTP client, with its cached log-in
    std::unique_ptr<CCurlMulti> m_Http;   // the HTTP client, with its proxy connection
    CCurlMulti* m_Active = nullptr;       // the client running m_Easy
    CURL* m_Easy = nullptr;               // the running transfer, owned
    curl_slist* m_RequestHeaders = nullptr;
    char m_CurlError[CURL_ERROR_SIZE] = {};
    Kind m_Kind = Kind::None;
    std::unique_ptr<QFile> m_TargetFile;
    std::string m_LocalPath;
    Completion m_Completion = Completion::Now;
    /// A finished file still under its partial name: its descriptor, whether its sync and
    /// rename were posted, and the errno they ended with.
    struct Completing {
        int fd;
        bool posted = false;
        int failure = 0;
    };
    /// By local path, until FinishFile; each entry outlives its job.
    std::map<std::string, std::unique_ptr<Completing>> m_Completing;
    std::unique_ptr<CJobThread> m_Completer;   // syncs and renames them; ended before the map
    QElapsedTimer m_Clock;
    QTimer m_InactivityTimer{this};   // a child, so tests can find it by its name
    QEventLoop* m_Loop = nullptr;   // the running wait's loop, on the stack of WaitForJobs

    int m_BytesDone = 0;
    long long m_ContentLength = -1;   // of the last finished FTP request, -1 when not given
    qint64 m_WrittenBack = 0;   // bytes of the target file handed to the disk
    std::string m_Pending;      // received bytes not yet written to the target file
    float m_Rate = 0;
    std::string m_TextData;
    std::string m_DisplayName;
    std::string m_HostName;
    std::string m_RemotePath;
    std::string m_LocalDir;
    std::string m_ErrorString;
    std::string m_FailureReason;
    std::string m_LastReply;   // the FTP server's last reply line
    bool m_ToMemory = false;
    bool m_DownloadComplete = false;
    bool m_AbortOperation = false;
    bool m_Error = false;
    bool m_TimedOutOperation = false;
    bool m_FileCorrupt = false;
    bool m_FirstBlock = false;
    bool m_CanConnect = false;
    bool m_Waiting = false;
    bool m_FtpLoggedIn = false;

    // The current file download.
    std::string m_ExpectedDigest;   // empty: nothing to match
    std::string m_ReceivedDigest;
    CSha256 m_Hash;                 // of the target's bytes, when a digest is to be matched
    qint64 m_ResumeFrom = 0;        // bytes of an earlier partial file this transfer continues
    bool m_RestartWanted = false;   // the answer showed the resume went wrong
    bool m_Restarted = false;       // fetched whole again after a failed resume
    bool m_DigestMismatch = false;
    int m_LastError = 0;
    int m_RequestId = 0;

    // The current HTTP request.
    CResponseHeader m_Header;
    Next m_Next = Next::Finish;
    bool m_ProxyAnswered = false;
    bool m_SentNewType1 = false;   // this request already answered an offer
    bool m_SentNewType3 = false;   // this request already answered a challenge
    bool m_SentAgainPlain = false;

    // NTLM messages; the current type-3 goes on every later request through the proxy.
    std::string m_Type1;
    std::string m_Challenge;
    std::string m_Type3;
};
