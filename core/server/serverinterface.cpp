#include "core/server/serverinterface.h"

ServerInterface* ServerInterface::Instance()
{
    static ServerInterface instance;
    return &instance;
}

void ServerInterface::CloseConnections() {}

// No transfer engine yet: the tool works off-line.
int ServerInterface::TestConnection() { return 1; }

int ServerInterface::GetFile(const std::string&, const std::string&, bool) { return 10; }
