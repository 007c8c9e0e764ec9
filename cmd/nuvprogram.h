#pragma once

#include <cstdio>
#include <memory>
#include <string>

class CDistribution;
class CPackageTemplate;
class NUVCMDOutputModule;

/// Command codes of the command table; 11 is not assigned, 16 is the empty word.
namespace cmdcode {
enum : int {
    New = 0,
    Install = 1,
    Download = 2,
    Uninstall = 3,
    Delete = 4,
    List = 5,
    Packages = 6,
    Setup = 7,
    Remove = 8,
    MakePTF = 9,
    LoadPTF = 10,
    LoadDPF = 12,
    MakeNPF = 13,
    LoadNPF = 14,
    Version = 15,
    EmptyWord = 16,
};
}  // namespace cmdcode

/// The project version ("2.0.21"), shown by "-version" and in the debug trace.
std::string NUVCmdVersion();

/// The command executor of NUV_CMD. Process-wide; created on first use, lives until exit.
/// It owns the console output module and registers it with the facade when created, so every
/// message of the core goes to standard output.
class CNUVProgram {
public:
    static CNUVProgram* Instance();
    ~CNUVProgram();
    CNUVProgram(const CNUVProgram&) = delete;
    CNUVProgram& operator=(const CNUVProgram&) = delete;

    /// Runs one command with the word that followed it (empty for commands without one) and
    /// returns its result code, the process's exit code. A command that changes the store
    /// first takes the working folder's lock (123, with the holder's process id printed, when
    /// another process has it). Prints the generic log-in warning first when a generic log-in
    /// is in use. May run nested event loops (transfers, children).
    int RunCommand(int command, const std::string& argument);

    /// Set by "-path": the installation root "-install" gives a package with nothing installed.
    void SetInstallationPath(const std::string& path) { m_InstallationPath = path; }
    /// Set by "-dryrun": "-install", "-download", "-uninstall" and "-delete" print what they
    /// would do and change nothing; any other command is refused (1).
    void SetDryRun(bool dryRun) { m_bDryRun = dryRun; }
    /// Set by "-json": "-packages" and "-list" write one JSON document to stream (owned from
    /// here on) instead of their listing; any other command is refused (1).
    void SetJsonOutput(FILE* stream);

    /// Pages "EULA/End_User_Licence_Agreement.txt" with "more" on a terminal, otherwise writes
    /// it to standard output as it is. A missing file shows nothing.
    static void ShowEULA();
    /// Asks "Do you agree? [y/n]" until the answer, read from input, is y or n. 0 accepted;
    /// 115 refused, also when the input ends before an answer.
    static int AskEULAAgreement(FILE* input);

    /// The check of a server or proxy address typed in the options menu: a dotted IPv4
    /// address (four numbers 0 to 255) or a host name (letters, digits and "-" in dot-separated
    /// labels), either followed by ":port" (1 to 65535) or not.
    static bool IsValidAddress(const std::string& address);
    /// Printed when the input ends inside a dialogue that cannot finish without an answer.
    static constexpr const char* kNoMoreInput =
        "\nNo more input: the dialogue was cancelled and nothing was saved\n";

    /// Whether command changes the working folder's store (and so takes its lock): all but
    /// "-packages", "-version" and the empty word.
    static bool ChangesStore(int command);

private:
    CNUVProgram();
    /// Takes the working folder's lock; 0, or 123 with the refusal printed. Without tidy the
    /// temporaries of interrupted writes stay.
    static int LockStore(bool tidy);
    /// 0 when the "-dryrun" and "-json" switches suit command; otherwise 1 with the reason on
    /// standard error.
    int CheckOutputSwitches(int command) const;
    /// Writes the JSON document to the "-json" stream.
    void WriteJson(const std::string& document) const;
    /// The dry run of the batch of action over the open package's marks, framed by its first
    /// and last line; its code.
    static int DryRunBatch(int action);

    int InstallPackage(const std::string& name, const std::string& installed);
    /// "-download", "-uninstall" and "-delete": open the package, mark and run the batch.
    int RunPackageBatch(int command, const std::string& name);
    /// Steps of "-install" after the package is open.
    int InstallOpenPackage();
    /// "-path" for the open package: the new root, or why it stays. True when the root changed;
    /// *previous then holds the root it replaced.
    /// Without save (the dry run) the new root holds for this run only and is not saved.
    bool ApplyInstallationPath(std::string* previous, bool save = true);
    /// The root "-install" will use: the "-path" folder when it may still change, else the
    /// package's own.
    std::string InstallationRoot() const;
    /// The licence for a first installation: shown and asked for unless "-readEULA". 0 or 115
    /// (refused, no answer, or no licence text to show), with the reason on standard error.
    /// The dry run only says that it would ask (or refuses the missing text the same way).
    static int AcceptLicence(bool dryRun);
    int RemovePackage(const std::string& name);
    int MakeTemplate(const std::string& name);
    int LoadDelta(const std::string& file);
    int LoadPortable(const std::string& file);
    int ListPackages(const std::string& installed);
    /// "-list": opens the package and prints its update listing.
    int ListPackageUpdates(const std::string& name);
    /// "-makeNPF": opens the package and writes its portable package file.
    int MakePortable(const std::string& name);

    /// The current distribution when it is open as package name, else null.
    static CDistribution* OpenDistribution(const std::string& name);
    /// Creates a package from a template file (localFile: file is a local path). 0; 97 with
    /// the reason printed, also when the file gives no text ("Failed reading PTF file").
    int PackageFromTemplate(bool localFile, const std::string& file);
    /// Lists the template's component versions the catalogue no longer has.
    static void ReportMissingVersions(const CPackageTemplate& ptf);

    // --- Console dialogues (consoledialogs.cpp) -------------------------------------------
    // Answers are read from standard input one line at a time. The end of input in a question
    // that only a specific answer ends cancels the dialogue: kNoMoreInput is printed, nothing
    // is saved and the result is 98.

    /// "-new": asks for the distribution, the installation folder and the components, and
    /// creates the package. 0; 73 no distributions; 75 the name is taken (with a message);
    /// 38 low disk space; 98 cancelled (a package made before the end of input is removed
    /// again); otherwise the creation's or the state file's code.
    int NewPackageWizard(const std::string& name);
    /// Lists the distributions and asks for one until a listed number is given: 1 to count;
    /// 0 when the input ended first.
    int ChooseDistribution();
    /// The settings of the connection details and the options, with the passwords as "*".
    static void ShowOptions();
    /// "-setup": shows the settings and lets the user change them, then saves both files.
    /// 0; 98 when the input ended inside the menu (nothing is saved).
    int OptionsMenu();
    /// Tests the connection with the saved settings and says on standard error how it went.
    static void ReportSettingsTest();
    /// "-list" for the open package: each component with a newer version to fetch or install.
    static void ListUpdates();

    /// Prints what a failed command means for the package and returns code unchanged.
    int ReportResult(int code, const std::string& name);
    /// Prints the "Command Error" line and returns code; what to do next goes to standard
    /// error (hint, or the code's usual advice for name when hint is empty).
    static int CommandError(int code, const std::string& name = std::string(),
                            const std::string& hint = std::string());
    static int PrintVersion();

    std::unique_ptr<NUVCMDOutputModule> m_pOutputModule;
    std::string m_InstallationPath;
    bool m_bDryRun = false;
    std::unique_ptr<FILE, int (*)(FILE*)> m_pJson{nullptr, &std::fclose};
};
