// The console dialogues of NUV_CMD: the new-package wizard, the distribution choice, the
// options menu and the update listing.
#include "cmd/consoleinput.h"
#include "cmd/nuvprogram.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/distributionlist.h"
#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/base/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "core/base/textutil.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include <unistd.h>

namespace {

/// Where the wizard offers to install when the user gives no folder.
const char kDefaultInstallDir[] = "/opt/tessom/r5";
constexpr int kMaxPort = 65535;

/// One answer from standard input; false at the end of input.
bool ReadAnswer(size_t bufferSize, std::string* answer)
{
    std::fflush(stdout);
    return ReadConsoleLine(stdin, bufferSize, answer);
}

bool IsYes(const std::string& answer) { return answer == "y" || answer == "Y"; }
bool IsNo(const std::string& answer) { return answer == "n" || answer == "N"; }

/// Clears the console; only a terminal has a screen to clear.
void ClearConsole()
{
    std::fflush(stdout);
    if (::isatty(STDOUT_FILENO))
        std::fputs("\033[H\033[2J", stdout);
}

bool IsDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
}

bool IsHostLabel(const std::string& label)
{
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
        return false;
    return std::all_of(label.begin(), label.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-';
    });
}

/// A port number of "host:port": decimal, 1 to 65535.
bool IsPort(const std::string& text)
{
    return IsDigits(text) && text.size() <= 5 && ParseDecimal(text) >= 1 &&
           ParseDecimal(text) <= kMaxPort;
}

/// Reads numbers until one lies in [low, high]; false at the end of input.
bool AskTimeout(const char* prompt, int* seconds)
{
    for (;;) {
        NUVDisplay("%s", prompt);
        std::string answer;
        if (!ReadAnswer(kMenuAnswerBuffer, &answer))
            return false;
        const long long value = ParseDecimal(answer);
        if (value >= CConnectionDetails::kMinTimeout && value <= CConnectionDetails::kMaxTimeout) {
            *seconds = int(value);
            return true;
        }
        NUVDisplay("Timeout must be between 15 and 300 seconds\n");
    }
}

/// Reads addresses until one passes the check; false at the end of input.
bool AskAddress(const char* prompt, std::string* address)
{
    for (;;) {
        NUVDisplay("%s", prompt);
        if (!ReadAnswer(kMenuAnswerBuffer, address))
            return false;
        *address = TrimSpaces(*address);
        if (CNUVProgram::IsValidAddress(*address))
            return true;
        NUVDisplay("Invalid IP Address. Please Reenter\n");
    }
}

/// Reads the proxy port until it is a number from 0 to 65535; false at the end of input.
bool AskPort(int* port)
{
    for (;;) {
        NUVDisplay("Enter Proxy Port: ");
        std::string answer;
        if (!ReadAnswer(kMenuAnswerBuffer, &answer))
            return false;
        answer = TrimSpaces(answer);
        // Text that is no number, or a number no port can have, would leave a proxy that
        // can never be reached; both are asked again like a negative number.
        if (IsDigits(answer) && answer.size() <= 5 && ParseDecimal(answer) <= kMaxPort) {
            *port = int(ParseDecimal(answer));
            return true;
        }
        NUVDisplay("Must be positive number\n");
    }
}

/// "3. Change Proxy Settings"; false at the end of input.
bool AskProxy(CConnectionDetails* details)
{
    NUVDisplay("Enable Proxy Server <y/n>: ");
    std::string answer;
    if (!ReadAnswer(kMenuAnswerBuffer, &answer))
        return false;
    if (!IsYes(TrimSpaces(answer))) {
        details->SetProxyServer(std::string());
        return true;
    }
    std::string address;
    if (!AskAddress("Enter IP address of Proxy Server: ", &address))
        return false;
    details->SetProxyServer(address);
    int port = 0;
    if (!AskPort(&port))
        return false;
    details->SetProxyPort(port);
    NUVDisplay("Does Proxy require authentication <y/n>: ");
    if (!ReadAnswer(kMenuAnswerBuffer, &answer))
        return false;
    if (!IsYes(TrimSpaces(answer))) {
        details->SetProxyUsername(std::string());
        details->SetProxyPassword(std::string());
        return true;
    }
    NUVDisplay("Enter Proxy Username: ");
    if (!ReadAnswer(kMenuAnswerBuffer, &answer))
        return false;
    details->SetProxyUsername(answer);
    details->SetProxyPassword(CConnectionDetails::ReadPassword("Enter Proxy Password: "));
    // The NTLM messages carry the domain and cannot be made without one, so a proxy that
    // needs authentication is unusable unless the domain can be given here too. The stored
    // domain is offered as the default, as the wizard offers its folder: changing the
    // password must not cost the domain.
    const std::string stored = details->GetProxyDomain();
    if (stored.empty())
        NUVDisplay("\nEnter Proxy Domain: ");
    else
        NUVDisplay("\nEnter Proxy Domain [%s]: ", stored.c_str());
    if (!ReadAnswer(kMenuAnswerBuffer, &answer))
        return false;
    answer = TrimSpaces(answer);
    details->SetProxyDomain(answer.empty() ? stored : answer);
    return true;
}

/// One pass of the menu: shows it and carries out the selection. False at the end of input;
/// *exit is set by "x"; *result becomes 1 when the server was refused.
bool RunMenuSelection(bool* exit, int* result)
{
    CConnectionDetails* details = CConnectionDetails::Instance();
    ClearConsole();
    NUVDisplay("\n\t1. Change Server\n\t2. Change Username & Password\n\t3. Change Proxy "
               "Settings\n\t4. Change File Transfer Timeout\n\t5. Change Login Timeout\n"
               "\tx. Exit\n\n\t\tSelection: ");
    std::string selection;
    if (!ReadAnswer(kMenuAnswerBuffer, &selection))
        return false;
    if (selection == "x" || selection == "X") {
        *exit = true;
        return true;
    }
    if (selection == "1") {
        std::string server;
        if (!AskAddress("Enter new server IP Address: ", &server))
            return false;
        if (!details->SetServer(server))
            *result = 1;
    } else if (selection == "2") {
        NUVDisplay("Enter new username: ");
        std::string user;
        if (!ReadAnswer(kMenuAnswerBuffer, &user))
            return false;
        details->SetUserName(user);
        details->SetPassword(CConnectionDetails::ReadPassword("Enter Password: "));
    } else if (selection == "3") {
        return AskProxy(details);
    } else if (selection == "4") {
        int seconds = 0;
        if (!AskTimeout("Enter File Transfer Timeout (15-300sec): ", &seconds))
            return false;
        details->SetTransferTimeout(seconds);
    } else if (selection == "5") {
        int seconds = 0;
        if (!AskTimeout("Enter File Login Timeout (15-300sec): ", &seconds))
            return false;
        CNUVOptions::Instance()->m_nLoginTimeout = seconds;
    }
    return true;
}

/// Asks for the installation folder until the user confirms one; false at the end of input.
bool AskInstallDir(std::string* dir)
{
    for (;;) {
        NUVDisplay("Enter the directory that you would like to install the software to [%s]: ",
                   kDefaultInstallDir);
        std::string answer;
        if (!ReadAnswer(kAnswerBuffer, &answer))
            return false;
        *dir = TrimSpaces(answer);
        if (dir->empty())
            *dir = kDefaultInstallDir;
        NUVDisplay("Is %s correct? (y/n): ", dir->c_str());
        if (!ReadAnswer(kAnswerBuffer, &answer))
            return false;
        if (IsYes(TrimSpaces(answer)))
            return true;
    }
}

/// Asks for each component whether it is included; an included one takes its dependencies
/// along, and those cannot be excluded later. False at the end of input.
bool AskComponents(CComponentManager* manager)
{
    NUVDisplay("\n\n");
    std::set<std::string> required;
    const int count = manager->HolderCount();
    for (int i = 0; i < count; ++i) {
        CComponentHolder* holder = manager->GetHolder(i);
        CComponent* record = holder->GetCurrent();
        if (!record)
            continue;
        for (;;) {
            NUVDisplay("include %.2d/%.2d : %s ? .... (y/n) => ", i + 1, count,
                       holder->GetName().c_str());
            std::string answer;
            if (!ReadAnswer(kAnswerBuffer, &answer))
                return false;
            answer = TrimSpaces(answer);
            if (IsYes(answer)) {
                record->SetIncluded(true);
                for (CComponent* dependency : manager->CollectDependencies(record)) {
                    if (!required.insert(dependency->GetName()).second)
                        continue;
                    dependency->SetIncluded(true);
                    NUVDisplay("\tAdding %s due to dependencies\n", dependency->GetName().c_str());
                }
                NUVDisplay("\n");
                break;
            }
            if (IsNo(answer)) {
                if (required.count(holder->GetName()) != 0) {
                    record->SetIncluded(true);
                    NUVDisplay("\t%s is required due to dependencies, and cannot be removed\n",
                               holder->GetName().c_str());
                } else {
                    record->SetIncluded(false);
                    NUVDisplay("\n");
                }
                break;
            }
            NUVDisplay("\n");
        }
    }
    return true;
}

}  // namespace

int CNUVProgram::NewPackageWizard(const std::string& name)
{
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    CDistributionList* list = CDistributionList::instance();
    if (list->count() == 0)
        return rc::NoDistributions;
    if (nuv->PackageExists(name)) {
        NUVDisplay("Package with the name '%s' already defined\n", name.c_str());
        return rc::PackageNameAlreadyDefined;
    }
    if (!nuv->HasEnoughDiskSpace())
        return rc::NotEnoughDiskSpace;

    int chosen = 0;
    for (;;) {
        chosen = ChooseDistribution();
        if (chosen == 0) {
            NUVDisplay("%s", kNoMoreInput);
            return rc::UserCancelled;
        }
        if (!list->getDistribution(chosen - 1)->GetName().empty())
            break;
        NUVDisplay("Invalid Distribution name, try again\n\n");
    }
    std::string dir;
    if (!AskInstallDir(&dir)) {
        NUVDisplay("%s", kNoMoreInput);
        return rc::UserCancelled;
    }

    // A package that could not be made and opened has no components to ask about; the
    // creation names the distribution after the package before it opens it, so only its
    // result tells. A distribution the server no longer lists is still opened.
    const int created = nuv->CreateNewPackage(chosen - 1, dir, name, std::string());
    if (created != rc::Success && created != rc::DistributionNoLongerSupported)
        return created;
    CDistribution* distribution = OpenDistribution(name);
    if (!distribution)
        return rc::NoCurrentDistribution;
    CComponentManager* manager = distribution->GetComponentManager();

    NUVDisplay("Do you want to include all Components in this Package? (y/n): ");
    std::string answer;
    (void)ReadAnswer(kAnswerBuffer, &answer);   // the end of input reads as "include all"
    if (!IsNo(answer)) {
        NUVDisplay("Setting all Components to be included\n");
        manager->IncludeAll();
        NUVDisplay("All Components included\n");
    } else if (!AskComponents(manager)) {
        // The package was written when it was created; a cancelled wizard leaves none.
        (void)nuv->DeletePackage(name);
        NUVDisplay("%s", kNoMoreInput);
        return rc::UserCancelled;
    }
    return manager->WriteDownloadedState();
}

int CNUVProgram::ChooseDistribution()
{
    const CDistributionList* list = CDistributionList::instance();
    NUVDisplay("Please selected a Distribution to base you Package on:\n");
    for (int i = 0; i < list->count(); ++i) {
        const CDistribution* distribution = list->getDistribution(i);
        NUVDisplay("\t%.2d: %s [%s]\n", i + 1, distribution->GetDescription().c_str(),
                   distribution->GetName().c_str());
    }
    for (;;) {
        NUVDisplay("\nDistribution ( 1 - %d ): ", list->count());
        std::string answer;
        if (!ReadAnswer(kAnswerBuffer, &answer))
            return 0;
        const long long number = ParseDecimal(answer);
        if (number >= 1 && number <= list->count())
            return int(number);
    }
}

void CNUVProgram::ShowOptions()
{
    const CConnectionDetails* details = CConnectionDetails::Instance();
    ClearConsole();
    std::printf("Options\n");
    std::printf("-------\n");
    std::printf("\n");
    std::printf("NUV Server = %s\n", details->GetServer().c_str());
    std::printf("Username = %s\n", details->GetUserName().c_str());
    std::printf("Password = %s\n", Stars(details->GetPassword()).c_str());
    if (details->UsesProxy()) {
        std::printf("Proxy = %s\n", details->GetProxyServer().c_str());
        std::printf("Proxy Port = %d\n", details->GetProxyPort());
        if (details->ProxyNeedsAuthorisation()) {
            std::printf("Proxy Username = %s\n", details->GetProxyUsername().c_str());
            std::printf("Proxy Password = %s\n", Stars(details->GetProxyPassword()).c_str());
        }
    }
    std::printf("File Transfer Timeout = %d seconds\n", details->GetTransferTimeout());
    std::printf("Login Timeout = %d seconds\n", CNUVOptions::Instance()->m_nLoginTimeout);
    std::printf("\n");
    std::fflush(stdout);
}

int CNUVProgram::OptionsMenu()
{
    CConnectionDetails* details = CConnectionDetails::Instance();
    (void)details->ReadDetails();
    CNUVOptions::Instance()->Read();
    ShowOptions();
    NUVDisplay("\n");
    NUVDisplay("Do you wish to change these options (y/n): ");
    std::string answer;
    int result = rc::Success;
    // The end of input here is a "no": nothing changes, so nothing needs cancelling.
    if (ReadAnswer(kMenuAnswerBuffer, &answer) && IsYes(TrimSpaces(answer))) {
        bool exit = false;
        while (!exit) {
            if (!RunMenuSelection(&exit, &result)) {
                NUVDisplay("%s", kNoMoreInput);
                return rc::UserCancelled;
            }
        }
        ShowOptions();
        NUVDisplay("\n");
        // Settings that were not kept must not look saved to a script that ran the menu.
        if (details->WriteDetails() != 0) {
            NUVDisplay("Cannot save the connection details\n");
            result = rc::CannotCreateFile;
        }
        if (!CNUVOptions::Instance()->Write())
            result = rc::CannotCreateFile;
        ReportSettingsTest();
    }
    if (details->IsGenericLogin())
        NUVDisplay("%s", CConnectionDetails::GenericLoginWarning().c_str());
    return result;
}

void CNUVProgram::ReportSettingsTest()
{
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    nuv->SetOnlineState(false);
    std::fflush(stdout);
    if (nuv->LastConnectionFailure().empty())
        std::fprintf(stderr, "NUV_CMD: the new settings work: the server %s accepted the log-in.\n",
                     CConnectionDetails::Instance()->GetServer().c_str());
    else
        std::fprintf(stderr, "NUV_CMD: the new settings were saved, but the test failed: %s\n",
                     nuv->LastConnectionFailure().c_str());
}

void CNUVProgram::ListUpdates()
{
    const CDistribution* distribution = CDistributionList::instance()->getCurrentDistribution();
    const CComponentManager* manager = distribution ? distribution->GetComponentManager() : nullptr;
    const std::vector<CComponent*> updates =
        manager ? manager->UpgradeCandidates() : std::vector<CComponent*>();
    if (updates.empty()) {
        std::printf("All included components up to date.\n");
        std::fflush(stdout);
        return;
    }
    // One block per component, put together here: a formatted print per component cost more
    // than reading its records.
    std::string block;
    for (const CComponent* record : updates) {
        const CComponentHolder* holder = record->GetHolder();
        block.assign(record->GetName().c_str());   // as printed: up to a zero byte
        block += "\n\tinstalled ";
        block += holder->GetInstalledVersion().ToString();
        block += "\n\tdownloaded ";
        block += holder->GetDownloadedVersion().ToString();
        block += "\n\ton server ";
        block += record->GetVersion().ToString();
        block += "\n\n";
        std::fwrite(block.data(), 1, block.size(), stdout);
    }
    std::fflush(stdout);
}

bool CNUVProgram::IsValidAddress(const std::string& address)
{
    std::string host = address;
    const size_t colon = address.rfind(':');
    if (colon != std::string::npos) {
        if (!IsPort(address.substr(colon + 1)))
            return false;
        host = address.substr(0, colon);
    }
    if (host.empty() || host.size() > 253)
        return false;
    const std::vector<std::string> labels = SplitFields(host, '.');
    if (std::count(host.begin(), host.end(), '.') + 1 != long(labels.size()))
        return false;   // an empty label: ".." or a leading or trailing "."
    const bool numeric = std::all_of(labels.begin(), labels.end(), IsDigits);
    if (numeric) {
        // Only numbers: it must be a whole IPv4 address.
        return labels.size() == 4 &&
               std::all_of(labels.begin(), labels.end(), [](const std::string& part) {
                   return part.size() <= 3 && ParseDecimal(part) <= 255;
               });
    }
    return std::all_of(labels.begin(), labels.end(), IsHostLabel);
}
