#pragma once

#include <QMainWindow>
#include <QMap>
#include <QMutex>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class CComponent;
class CComponentInfoWidget;
class CComponentTreeView;
class CNUVOnlineLabel;
class CPackageTemplate;
class CNUVViewMenu;
class NUVGUIOutputModule;
class NUVGUISignaler;
class QDockWidget;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTreeWidgetItem;

/// The main window of NUV_GUI: the component tree of the open package, the information,
/// release-note and output docks, the status bar with transfer progress and the on-line
/// indicator, and every menu command. Commands refuse, ask, run through the facade and refresh.
class CNUVMainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// developer: the "-developer" switch. output: the program's output module (not owned).
    CNUVMainWindow(bool developer, NUVGUIOutputModule* output, QWidget* parent = nullptr);
    ~CNUVMainWindow() override;

    /// The start-up report, run once right after the window is shown.
    void ShowLogInResult();
    /// Nothing that starts work can be used; Cancel is shown when cancellable.
    void SetBusy(bool cancellable = false);
    void ClearBusy();
    bool IsBusy() const { return m_bBusy; }
    /// Log in again: mode 1 after changed connection details, mode 2 to reload the package.
    void LogInAgain(int mode);
    /// Opens a package by name and offers its newer components.
    void OpenPackageByName(const QString& name);
    /// Closes the package in the facade and empties every view of it.
    void ClosePackageView();
    /// Lets the user include the components an action drags along; false cancels the action.
    bool ConfirmDependencies(int action);
    /// Restores the window's size and dock layout of the last run (per user).
    void RestoreWindowLayout();
    void SaveWindowLayout() const;
    /// Enables and disables every command from the current state.
    void UpdateActionStates();

    /// The command with this menu text (without "&"), for the tests and the tool bars.
    QAction* Action(const QString& text) const;
    CComponentTreeView* Tree() const { return m_pTree; }
    CComponentInfoWidget* Info() const { return m_pInfo; }
    CNUVOnlineLabel* OnlineLabel() const { return m_pOnlineLabel; }
    CNUVViewMenu* ViewMenu() const { return m_pViewMenu; }
    QString OutputText() const;
    QString ReleaseNotesText() const;
    QLabel* TransferLabel() const { return m_pTransferLabel; }
    QProgressBar* ProgressBar() const { return m_pProgressBar; }
    QPushButton* CancelButton() const { return m_pCancelButton; }
    QString DistributionText() const;
    QString TagText() const;
    QDockWidget* OutputDock() const { return m_pOutputDock; }

public Q_SLOTS:
    void SLOTNewPackage();
    void SLOTOpenPackage();
    void SLOTClosePackage();
    void SLOTOptions();
    void SLOTQuit();
    void SLOTItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void SLOTStartActions();
    void SLOTDisplayOutput(const QString& text);
    void SLOTZip();
    void SLOTDownloadProgress(const QString& name, int done, int total, float rate);
    int SLOTChangePath();
    void SLOTChangePackageTag();
    void SLOTChangeAlias();
    void SLOTCreatePTF();
    void SLOTLogIn() {}
    void SLOTLogOut() {}
    void SLOTConnectionDetails();
    void SLOTWorkOffline();
    void SLOTCancelled();
    void SLOTLoadPTF();
    void SLOTChangeLogInIcon(bool Online);
    void SLOTDeletePackage();
    void SLOTSaveOutputWindow();
    void SLOTAbout();
    void SLOTDeltaPackage();
    void SLOTLoadDPF();
    void SLOTLoadPackageFile();
    void SLOTProgressBarTimerTimeout();
    void SLOTExpandTree();
    void SLOTCollapseTree();
    void SLOTDevCmpntList();
    void SLOTDevCmpntDebug();
    void SLOTDisplayReleaseNotes(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void SLOTForceDisplayReleaseNotes(CComponent* pCmpnt);
    void SLOTOpenPackageProgress(int Percent, const QString& Package);
    /// Progress of unpacking or writing a package file: entries done of total.
    void SLOTWorkProgress(int done, int total, const QString& what);
    void SLOTCopyPackage();
    void SLOTShowComponentInfoWindow();
    void SLOTShowOutputWindow();
    void SLOTShowRelNotesWindow();
    void SLOTSetWindowMenuStates();
    void SLOTClearCache();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    /// What a command needs before it can be used.
    enum Needs { Always = 0, Idle = 1, Package = 2, OnLine = 4, NotReference = 8 };
    struct Command;
    void CreateActions();
    void CreateMenus();
    void CreateDocks();
    void CreateStatusBar();
    QAction* MakeAction(const Command& command);
    void SetOnlineState(int state);
    void UpdateWindowTitle();
    void PackageOpened();
    void OfferNewComponents();
    void ShowReleaseNote(CComponent* record, bool forced);
    void ShowHeldFunction(const QString& title);
    /// Takes the working folder's lock; false (after saying who holds it) when another
    /// process has it.
    bool LockWorkingFolder(const QString& title);
    /// Lets the lock go when no package keeps it.
    void UnlockUnlessOpen();
    /// Shows the package the facade opened (or the failure, titled title).
    void FinishOpening(int result, const QString& title);
    /// The "Unavailable Components" box after a package was made from a template: versions
    /// no longer offered and components the server no longer has at all.
    void ReportUnavailableComponents(const CPackageTemplate& ptf);
    /// Asks before a load closes the open package; true when it may go on (closed).
    bool CloseForLoad(const QString& title);
    /// Offers to open a package a file brought in.
    void OfferToOpen(const QString& name);
    void SetPackageCacheState();
    /// Makes (or, for reference, only opens) the package a template file describes.
    /// text: the template's text when it did not come from file.
    void CreateFromTemplate(const QString& file, const std::string& text = std::string(),
                            const QString& name = QString());
    /// Asks whether to exit; true when the program is to end (now or after the wait).
    bool ConfirmQuit();
    void QuitWhenIdle();
    void RunUninstalls(bool* uninstallRan, bool onlyStep);
    void RunInstalls(bool uninstallRan);
    void ShowBatchResult(int result, const char* success, const char* failure, const char* trace);
    void ShowProgress(bool shown);
    /// Runs long work with the window busy, the wait cursor and the progress bar following
    /// what the core reports (catalogue loading, transfers, package-file entries); the
    /// nested loops of the transfers and archive programs keep the window painted.
    void RunWithProgress(const std::function<void()>& work);

    bool m_bDeveloper;
    NUVGUIOutputModule* m_pOutput;   // not owned
    std::unique_ptr<NUVGUISignaler> m_pSignaler;
    CComponentTreeView* m_pTree;
    CComponentInfoWidget* m_pInfo;
    QTextEdit* m_pReleaseNotes;
    QTextEdit* m_pOutputView;
    QDockWidget* m_pInfoDock;
    QDockWidget* m_pNotesDock;
    QDockWidget* m_pOutputDock;
    QLabel* m_pDistribution;
    QLabel* m_pTag;
    QLabel* m_pTransferLabel;
    QProgressBar* m_pProgressBar;
    QPushButton* m_pCancelButton;
    CNUVOnlineLabel* m_pOnlineLabel;
    CNUVViewMenu* m_pViewMenu;
    QMenu* m_pWindowsMenu;
    QMap<QString, QAction*> m_Actions;
    QMap<QAction*, int> m_Needs;
    std::unique_ptr<QTimer> m_pProgressHideTimer;
    QTimer m_QuitTimer;
    QMutex m_ReleaseNoteLock;
    bool m_bBusy = false;
    bool m_bCancelAllowed = false;
    bool m_bQuitting = false;
};
