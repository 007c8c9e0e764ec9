#pragma once

#include <QObject>

/// The one way to reach the installation server. Process-wide; created on first use.
class ServerInterface : public QObject {
    Q_OBJECT
public:
    static ServerInterface* Instance();

    /// Closes open FTP and HTTP connections.
    void CloseConnections();
    /// Logs in to the server with the current connection details. 0 when it answers.
    int TestConnection();

private:
    ServerInterface() = default;
};
