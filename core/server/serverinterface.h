#pragma once

#include <QObject>

#include <string>

/// The one way to reach the installation server. Process-wide; created on first use.
class ServerInterface : public QObject {
    Q_OBJECT
public:
    static ServerInterface* Instance();

    /// Closes open FTP and HTTP connections.
    void CloseConnections();
    /// Logs in to the server with the current connection details. 0 when it answers.
    int TestConnection();
    /// Fetches remotePath into localDir, or into memory (GetFileTextData). 0 on success.
    int GetFile(const std::string& remotePath, const std::string& localDir, bool toMemory);
    /// The text of the last memory-mode download.
    std::string GetFileTextData() const { return std::string(); }
    /// Whether the last test or log-in succeeded.
    bool IsConnected() const { return false; }

private:
    ServerInterface() = default;
};
