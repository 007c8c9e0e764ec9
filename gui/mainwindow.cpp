#include "gui/mainwindow.h"

#include "core/catalogue/component.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/cache.h"
#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distributionlist.h"
#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/catalogue/packagetemplate.h"
#include "core/packagefiles/deltapackage.h"
#include "core/packagefiles/npfmaker.h"
#include "core/base/resultcodes.h"
#include "core/server/connectiondetails.h"
#include "core/base/trace.h"
#include "gui/actiondialogs.h"
#include "gui/componentinfo.h"
#include "gui/componenttree.h"
#include "gui/guioutput.h"
#include "gui/onlinelabel.h"
#include "gui/packagedialogs.h"
#include "gui/startup.h"
#include "gui/storedialogs.h"
#include "gui/userprompts.h"
#include "gui/dialogparts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QDockWidget>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// This machine's platform number (2, Linux) and the names the platform numbers stand for.
constexpr int kMachinePlatform = 2;
const char* const kPlatformNames[] = {"Not Specified", "Windows", "Linux", "Solaris"};
constexpr int kProgressHideMs = 2000;
constexpr int kCompletedMessageMs = 5000;

const char* PlatformName(int platform)
{
    return platform >= 0 && platform <= 3 ? kPlatformNames[platform] : kPlatformNames[0];
}

QString ErrorCodeText(int code)
{
    return "Error Code " + QString::number(code) + " has occurred. Please contact Tessom Support.";
}

CNUVFunctions* Nuv() { return CNUVFunctions::Instance(); }

CDistribution* CurrentDistribution() { return CDistributionList::instance()->getCurrentDistribution(); }

}  // namespace

/// One menu command: created once, shared by menu, tool bar and state rules.
struct CNUVMainWindow::Command {
    const char* text;
    const char* shortcut;
    const char* tip;
    const char* icon;
    void (CNUVMainWindow::*slot)();
    int needs;
};

CNUVMainWindow::CNUVMainWindow(bool developer, NUVGUIOutputModule* output, QWidget* parent)
    : QMainWindow(parent),
      m_bDeveloper(developer),
      m_pOutput(output),
      m_pSignaler(std::make_unique<NUVGUISignaler>()),
      m_pTree(new CComponentTreeView(this)),
      m_pInfo(new CComponentInfoWidget(this)),
      m_pDistribution(new QLabel(this)),
      m_pTag(new QLabel(this))
{
    setObjectName("NUVMainWindow");
    const int iconSize = CNUVOptions::Instance()->m_nIconSize;
    setIconSize(QSize(iconSize, iconSize));
    setWindowIcon(QIcon(":imgs/nuv.png"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* labels = new QHBoxLayout;
    auto* distributionCaption = new QLabel("Distribution: ", central);
    auto* tagCaption = new QLabel("Package Tag: ", central);
    m_pDistribution->setAccessibleName("Distribution");
    m_pTag->setAccessibleName("Package Tag");
    labels->addWidget(distributionCaption);
    labels->addWidget(m_pDistribution, 1);
    labels->addWidget(tagCaption);
    labels->addWidget(m_pTag, 1);
    layout->addLayout(labels);
    layout->addWidget(m_pTree, 1);
    setCentralWidget(central);

    CreateDocks();
    CreateActions();
    CreateMenus();
    CreateStatusBar();

    if (m_pOutput)
        connect(m_pOutput, &NUVGUIOutputModule::DisplayTextReady, this, &CNUVMainWindow::SLOTDisplayOutput);
    connect(m_pTree, &QTreeWidget::currentItemChanged, this, &CNUVMainWindow::SLOTItemChanged);
    connect(m_pTree, &QTreeWidget::currentItemChanged, this, &CNUVMainWindow::SLOTDisplayReleaseNotes);
    connect(m_pTree, &CComponentTreeView::StartAction, this, &CNUVMainWindow::SLOTStartActions);
    connect(m_pTree, &CComponentTreeView::EmitText, this, &CNUVMainWindow::SLOTDisplayOutput);
    connect(m_pTree, &CComponentTreeView::ForceReleaseNoteDownload, this,
            &CNUVMainWindow::SLOTForceDisplayReleaseNotes);
    connect(m_pTree, &CComponentTreeView::RefreshComponentInfo, m_pInfo,
            &CComponentInfoWidget::SLOTRefreshCmpntInfo);
    connect(&m_QuitTimer, &QTimer::timeout, this, &CNUVMainWindow::QuitWhenIdle);
    connect(m_pSignaler.get(), &NUVGUISignaler::OpenPackageProgress, this,
            &CNUVMainWindow::SLOTOpenPackageProgress);

    m_pOutputView->setPlainText("Tessom Installation Tool " + CNUVAboutBox::VersionText() +
                                "\nWelcome. Open a package from the File menu to see its components.\n");
    resize(1024, 700);
    UpdateWindowTitle();
}

CNUVMainWindow::~CNUVMainWindow()
{
    Nuv()->SetTransferProgress(nullptr);
    Nuv()->SetOnlineChange(nullptr);
    Nuv()->UnlockWorkingFolder();
}

namespace {

/// The window's size and dock layout, per user (they are no setting of the working folder).
QSettings LayoutSettings() { return QSettings(QSettings::IniFormat, QSettings::UserScope, "Tessom", "NUV_GUI"); }

}  // namespace

void CNUVMainWindow::RestoreWindowLayout()
{
    const QSettings settings = LayoutSettings();
    restoreGeometry(settings.value("window/geometry").toByteArray());
    restoreState(settings.value("window/state").toByteArray());
}

void CNUVMainWindow::SaveWindowLayout() const
{
    QSettings settings = LayoutSettings();
    settings.setValue("window/geometry", saveGeometry());
    settings.setValue("window/state", saveState());
}

// --- Building -------------------------------------------------------------------------------

void CNUVMainWindow::CreateDocks()
{
    m_pInfoDock = new QDockWidget("Component Information", this);
    m_pInfoDock->setObjectName("ComponentInformationDock");
    m_pInfoDock->setWidget(m_pInfo);
    addDockWidget(Qt::LeftDockWidgetArea, m_pInfoDock);

    m_pReleaseNotes = new QTextEdit(this);
    m_pReleaseNotes->setReadOnly(true);
    m_pReleaseNotes->setLineWrapMode(QTextEdit::WidgetWidth);
    m_pReleaseNotes->setAccessibleName("Release Notes");
    m_pNotesDock = new QDockWidget("Release Notes", this);
    m_pNotesDock->setObjectName("ReleaseNotesDock");
    m_pNotesDock->setWidget(m_pReleaseNotes);
    addDockWidget(Qt::BottomDockWidgetArea, m_pNotesDock);

    m_pOutputView = new QTextEdit(this);
    m_pOutputView->setReadOnly(true);
    QFont typewriter("Courier New");
    typewriter.setStyleHint(QFont::TypeWriter);
    m_pOutputView->setFont(typewriter);
    m_pOutputView->setAccessibleName("Output Window");
    m_pOutputDock = new QDockWidget("Output Window", this);
    m_pOutputDock->setObjectName("OutputDock");
    m_pOutputDock->setWidget(m_pOutputView);
    addDockWidget(Qt::BottomDockWidgetArea, m_pOutputDock);
    tabifyDockWidget(m_pNotesDock, m_pOutputDock);
    m_pOutputDock->raise();
}

QAction* CNUVMainWindow::MakeAction(const Command& command)
{
    auto* action = new QAction(command.text, this);
    if (command.shortcut)
        action->setShortcut(QKeySequence(command.shortcut));
    if (command.tip)
        action->setStatusTip(command.tip);
    if (command.icon)
        action->setIcon(QIcon(command.icon));
    if (command.slot)
        connect(action, &QAction::triggered, this, command.slot);
    m_Actions.insert(QString(command.text).remove('&'), action);
    m_Needs.insert(action, command.needs);
    return action;
}

void CNUVMainWindow::CreateActions()
{
    const int idlePackage = Idle | Package;
    const Command commands[] = {
        {"&New Package...", "Ctrl+N", "Create a new Package", ":imgs/new_document.png",
         &CNUVMainWindow::SLOTNewPackage, Idle},
        {"&Open Package...", "Ctrl+O", "Opens an existing Package", ":imgs/open_document.png",
         &CNUVMainWindow::SLOTOpenPackage, Idle},
        {"&Close Package...", "Ctrl+W", "Closes an open Package", ":imgs/folder_closed.png",
         &CNUVMainWindow::SLOTClosePackage, idlePackage},
        {"&Delete Package...", "Ctrl+D", "Delete a Package", ":imgs/delete.png",
         &CNUVMainWindow::SLOTDeletePackage, Idle},
        {"Duplicate Package...", nullptr, "Duplicate a whole package, giving it a new path and name",
         nullptr, &CNUVMainWindow::SLOTCopyPackage, Idle},
        {"Load Package Template File...", nullptr, "Load Package Template File", nullptr,
         &CNUVMainWindow::SLOTLoadPTF, Idle | OnLine},
        {"Load Delta Package File...", nullptr, "Load a Delta Package file to update a defined package",
         nullptr, &CNUVMainWindow::SLOTLoadDPF, Idle},
        {"Load Tessom Package File...", nullptr,
         "Create new package from file which contains all components required", nullptr,
         &CNUVMainWindow::SLOTLoadPackageFile, Idle},
        {"Create Tessom Package File", nullptr, "Export Package to an NPF for portability",
         ":imgs/compress.png", &CNUVMainWindow::SLOTZip, idlePackage | NotReference},
        {"Create Package Template File", nullptr, "Create a Package Template File for the current Package",
         nullptr, &CNUVMainWindow::SLOTCreatePTF, idlePackage | NotReference},
        {"Create Delta Package File...", nullptr,
         "Create Delta Package File, A Zipped file containing only the update componentes selected",
         nullptr, &CNUVMainWindow::SLOTDeltaPackage, idlePackage | NotReference},
        {"Change Package Installation Path...", nullptr, "Change the location of the installation",
         ":imgs/properties.png", nullptr, idlePackage | NotReference},
        {"Change Package Tag...", nullptr, "Change the package's tag", nullptr,
         &CNUVMainWindow::SLOTChangePackageTag, idlePackage | NotReference},
        {"Change Package Alias...", nullptr, "Change the package's name", nullptr,
         &CNUVMainWindow::SLOTChangeAlias, idlePackage | NotReference},
        {"Clear Cache...", nullptr, "Displays the Cache Management Window.", nullptr,
         &CNUVMainWindow::SLOTClearCache, Idle},
        {"&Edit Options...", "Ctrl+E", "Edit Options", nullptr, &CNUVMainWindow::SLOTOptions, Idle},
        {"E&xit", "Ctrl+X", "Close Application", nullptr, &CNUVMainWindow::SLOTQuit, Always},
        {"Connection Details...", nullptr, "Connection details options", nullptr,
         &CNUVMainWindow::SLOTConnectionDetails, Idle},
        {"Work Offline", nullptr, nullptr, nullptr, &CNUVMainWindow::SLOTWorkOffline, Idle},
        {"Expand Tree", nullptr, "Expand the whole of the Component Tree view", nullptr,
         &CNUVMainWindow::SLOTExpandTree, Package},
        {"Collapse Tree", nullptr, "Collapses the whole of the Component Tree view", nullptr,
         &CNUVMainWindow::SLOTCollapseTree, Package},
        {"Component Information", nullptr, nullptr, nullptr,
         &CNUVMainWindow::SLOTShowComponentInfoWindow, Always},
        {"Output", nullptr, nullptr, nullptr, &CNUVMainWindow::SLOTShowOutputWindow, Always},
        {"Releasenotes", nullptr, nullptr, nullptr, &CNUVMainWindow::SLOTShowRelNotesWindow, Always},
        {"Save Output Text...", nullptr, "Save the the output window text to file", nullptr,
         &CNUVMainWindow::SLOTSaveOutputWindow, Always},
        {"About...", nullptr, "Displays the About dialog box", nullptr, &CNUVMainWindow::SLOTAbout, Always},
    };
    for (const Command& command : commands)
        MakeAction(command);
    // SLOTChangePath returns a result, so it is connected apart from the table.
    connect(Action("Change Package Installation Path..."), &QAction::triggered, this,
            [this] { (void)SLOTChangePath(); });
    if (m_bDeveloper) {
        MakeAction({"Save CmpntList", nullptr, "Creates Component List", nullptr,
                    &CNUVMainWindow::SLOTDevCmpntList, idlePackage});
        MakeAction({"NUV Debug Funct", nullptr, nullptr, nullptr, &CNUVMainWindow::SLOTDevCmpntDebug,
                    idlePackage});
    }
    for (const char* checkable : {"Work Offline", "Component Information", "Output", "Releasenotes"})
        Action(checkable)->setCheckable(true);
}

void CNUVMainWindow::CreateMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    for (const char* name : {"New Package...", "Open Package...", "Close Package...",
                             "Delete Package...", "Duplicate Package..."})
        file->addAction(Action(name));
    file->addSeparator();
    QMenu* import = file->addMenu("&Import");
    for (const char* name : {"Load Package Template File...", "Load Delta Package File...",
                             "Load Tessom Package File..."})
        import->addAction(Action(name));
    QMenu* exportMenu = file->addMenu("&Export");
    for (const char* name : {"Create Tessom Package File", "Create Package Template File",
                             "Create Delta Package File..."})
        exportMenu->addAction(Action(name));
    file->addSeparator();
    for (const char* name : {"Change Package Installation Path...", "Change Package Tag...",
                             "Change Package Alias...", "Clear Cache..."})
        file->addAction(Action(name));
    file->addSeparator();
    file->addAction(Action("Edit Options..."));
    file->addSeparator();
    file->addAction(Action("Exit"));

    QMenu* connection = menuBar()->addMenu("&Connection");
    connection->addAction(Action("Connection Details..."));
    connection->addAction(Action("Work Offline"));

    m_pViewMenu = new CNUVViewMenu("&View", this);
    menuBar()->addMenu(m_pViewMenu);
    connect(m_pViewMenu, &CNUVViewMenu::ChangeView, m_pTree, &CComponentTreeView::SLOTChangeView);
    m_pViewMenu->addSeparator();
    m_pViewMenu->addAction(Action("Expand Tree"));
    m_pViewMenu->addAction(Action("Collapse Tree"));
    m_pWindowsMenu = m_pViewMenu->addMenu("&Windows");
    for (const char* name : {"Component Information", "Output", "Releasenotes"})
        m_pWindowsMenu->addAction(Action(name));
    connect(m_pWindowsMenu, &QMenu::aboutToShow, this, &CNUVMainWindow::SLOTSetWindowMenuStates);

    menuBar()->addMenu(m_pTree->Menu());

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(Action("Save Output Text..."));
    help->addAction(Action("About..."));
    if (m_bDeveloper) {
        help->addAction(Action("Save CmpntList"));
        help->addAction(Action("NUV Debug Funct"));
    }

    QToolBar* fileBar = addToolBar("File");
    fileBar->setObjectName("FileToolBar");
    for (const char* name : {"New Package...", "Open Package...", "Close Package...", "Delete Package..."})
        fileBar->addAction(Action(name));
    QToolBar* packageBar = addToolBar("Package");
    packageBar->setObjectName("PackageToolBar");
    packageBar->addAction(Action("Change Package Installation Path..."));
    packageBar->addAction(Action("Create Tessom Package File"));
    // Icon-only buttons say what they do to a screen reader.
    for (QToolBar* bar : {fileBar, packageBar})
        for (QAction* action : bar->actions())
            if (QWidget* button = bar->widgetForAction(action))
                button->setAccessibleName(action->text().remove('&').remove("..."));
}

void CNUVMainWindow::CreateStatusBar()
{
    m_pTransferLabel = new QLabel(this);
    m_pTransferLabel->setAccessibleName("Transfer");
    m_pProgressBar = new QProgressBar(this);
    m_pProgressBar->setAccessibleName("Progress");
    m_pProgressBar->setMaximumWidth(220);
    m_pCancelButton = new QPushButton("Cancel", this);
    m_pCancelButton->setToolTip("Cancels the current Action");
    m_pCancelButton->setAccessibleName("Cancel");
    m_pOnlineLabel = new CNUVOnlineLabel(this);
    statusBar()->addWidget(m_pTransferLabel);
    statusBar()->addWidget(m_pProgressBar);
    statusBar()->addWidget(m_pCancelButton);
    statusBar()->addPermanentWidget(m_pOnlineLabel);
    m_pTransferLabel->hide();
    m_pProgressBar->hide();
    m_pCancelButton->hide();
    connect(m_pCancelButton, &QPushButton::clicked, this, &CNUVMainWindow::SLOTCancelled);
}

QAction* CNUVMainWindow::Action(const QString& text) const
{
    return m_Actions.value(QString(text).remove('&'));
}

// --- State ----------------------------------------------------------------------------------

void CNUVMainWindow::UpdateActionStates()
{
    const CNUVFunctions* nuv = Nuv();
    const bool packageOpen = !nuv->CurrentPackage().empty();
    for (auto it = m_Needs.cbegin(); it != m_Needs.cend(); ++it) {
        const int needs = it.value();
        const bool enabled = !((needs & Idle) && m_bBusy) && !((needs & Package) && !packageOpen) &&
                             !((needs & OnLine) && !nuv->IsOnline()) &&
                             !((needs & NotReference) && nuv->m_bPTFReferenceOnly);
        it.key()->setEnabled(enabled);
    }
    m_pTree->setEnabled(packageOpen && !m_bBusy);
    m_pTree->Menu()->menuAction()->setEnabled(packageOpen && !m_bBusy);
    m_pViewMenu->setEnabled(!m_bBusy);
    Action("Work Offline")->setChecked(nuv->m_bWorkOffline);
}

void CNUVMainWindow::SetBusy(bool cancellable)
{
    m_bBusy = true;
    m_pCancelButton->setVisible(cancellable);
    UpdateActionStates();
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
}

void CNUVMainWindow::ClearBusy()
{
    m_bBusy = false;
    m_pCancelButton->hide();
    UpdateActionStates();
}

void CNUVMainWindow::SetOnlineState(int state)
{
    m_pOnlineLabel->SetState(state);
    UpdateActionStates();
}

void CNUVMainWindow::UpdateWindowTitle()
{
    const std::string& package = Nuv()->CurrentPackage();
    setWindowTitle(package.empty() ? QString("Tessom Installation Tool")
                                   : "Tessom Installation Tool - " + Text(package));
    UpdateActionStates();
}

QString CNUVMainWindow::OutputText() const { return m_pOutputView->toPlainText(); }

QString CNUVMainWindow::ReleaseNotesText() const { return m_pReleaseNotes->toPlainText(); }

QString CNUVMainWindow::DistributionText() const { return m_pDistribution->text(); }

QString CNUVMainWindow::TagText() const { return m_pTag->text(); }

// --- Start-up and connection ----------------------------------------------------------------

void CNUVMainWindow::ShowLogInResult()
{
    CNUVFunctions* nuv = Nuv();
    nuv->SetOnlineChange([this](bool online) { SLOTChangeLogInIcon(online); });
    WarnGenericLogin();
    static const struct {
        int code;
        const char* folder;
    } kFolders[] = {{rc::CacheDirNotWritable, "cache"},
                    {rc::PackagesDirNotWritable, "packages"},
                    {rc::PTFDirNotWritable, "PTF"}};
    const int permissions = nuv->TestPermissions();
    for (const auto& folder : kFolders)
        if (permissions == folder.code)
            Warn("Folder Permissions",
                 QString("The '") + folder.folder +
                     "' folder has permissions restricting your ability to create files\nFiles may "
                     "need to be created in this location, please check file permissions");
    SetOnlineState(nuv->IsOnline() ? CNUVOnlineLabel::Online : CNUVOnlineLabel::Offline);
    const QString error = Text(nuv->LastTransferErrorText());
    switch (nuv->LastTransferError()) {
    case 9:
        Warn("Failed Communications",
             "Command Failed: Failed attaching to server\nCheck Logon and server details\n" + error);
        break;
    case 10:
        Warn("Failed Communications", "Command Failed: " + error + "\nCheck Connection Details...");
        break;
    case 11:
        Warn("Failed Communications", "Command Aborted: Failed attaching to server");
        break;
    default:
        break;
    }
}

void CNUVMainWindow::SLOTChangeLogInIcon(bool Online)
{
    Nuv()->SetOnline(Online);
    SetOnlineState(Online ? CNUVOnlineLabel::Online : CNUVOnlineLabel::Offline);
}

void CNUVMainWindow::LogInAgain(int mode)
{
    CNUVFunctions* nuv = Nuv();
    const QString package = Text(nuv->CurrentPackage());
    if (nuv->m_bWorkOffline)
        return;
    SetBusy();
    nuv->SetOnlineState(true);
    ClearBusy();
    SetOnlineState(nuv->IsOnline() ? CNUVOnlineLabel::Online : CNUVOnlineLabel::Offline);
    if (!package.isEmpty()) {
        const bool yes =
            mode == 1 ? AskYesNo(CUserPrompts::Information, "Connection Details Changed",
                                 "Changes have been made to the connection details.\n\nThis will "
                                 "close the current open Package if one is open.\n\nWould you like "
                                 "to log in again with these new details?")
                      : AskYesNo(CUserPrompts::Information, "Reload Package From Server",
                                 "Package details need to be reloaded from the server\n\nIf you do "
                                 "not reload the package, you will continue working offline.\n\n"
                                 "Would you like to load the package details from the server?");
        if (yes) {
            nuv->m_bCatalogueFromServer = false;
            nuv->m_bPTFReferenceOnly = false;
            ClosePackageView();
            OpenPackageByName(package);
        } else if (mode == 1) {
            SLOTClosePackage();
        } else {
            nuv->m_bWorkOffline = true;
            nuv->SetOnline(false);
            SetOnlineState(CNUVOnlineLabel::Offline);
        }
    } else if (!nuv->IsOnline()) {
        Warn("Failed Communications",
             "Command Failed: " + Text(nuv->LastTransferErrorText()) + "\nCheck Connection Details...");
    }
    nuv->ConnectionDetails()->SetChanged(false);
}

void CNUVMainWindow::SLOTConnectionDetails()
{
    CNUVSettingDlg dialog(this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    CConnectionDetails* details = Nuv()->ConnectionDetails();
    details->SetChanged(details->IsChanged() || dialog.IsChanged());
    WarnGenericLogin();
    if (details->IsChanged() || !Nuv()->IsOnline())
        LogInAgain(1);
}

void CNUVMainWindow::SLOTOptions()
{
    CNUVOptionsDlg dialog(this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    if (Nuv()->ConnectionDetails()->IsChanged() || !Nuv()->IsOnline())
        LogInAgain(1);
}

void CNUVMainWindow::SLOTWorkOffline()
{
    CNUVFunctions* nuv = Nuv();
    if (Action("Work Offline")->isChecked()) {
        nuv->m_bWorkOffline = true;
        nuv->SetOnline(false);
        SetOnlineState(CNUVOnlineLabel::Offline);
        return;
    }
    nuv->m_bWorkOffline = false;
    if (nuv->ConnectionDetails()->IsChanged()) {
        LogInAgain(1);
        return;
    }
    nuv->SetOnline(true);
    SetOnlineState(CNUVOnlineLabel::Online);
    if (nuv->m_bCatalogueFromServer) {
        SetBusy();
        nuv->SetOnlineState(false);
        ClearBusy();
        SetOnlineState(nuv->IsOnline() ? CNUVOnlineLabel::Online : CNUVOnlineLabel::Offline);
    } else {
        LogInAgain(2);
    }
}

// --- Packages -------------------------------------------------------------------------------

void CNUVMainWindow::SLOTNewPackage()
{
    if (!Nuv()->IsOnline()) {
        Warn("Connection Error", "You cannot create a new package, because you are currently working "
                                 "offline.  Please check Connection Details...");
        return;
    }
    CNewPackage dialog(this);
    for (;;) {
        if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
            return;
        ClosePackageView();
        if (dialog.FromTemplate()) {
            Nuv()->m_bCatalogueFromServer = false;
            Nuv()->m_bPTFReferenceOnly = false;
            CreateFromTemplate(QString(), dialog.TemplateText(), dialog.Name());
            return;
        }
        if (!LockWorkingFolder("New Package"))
            return;
        int result = rc::Success;
        RunWithProgress([&] {
            result = Nuv()->CreateNewPackage(dialog.Distribution(), Latin1(dialog.Path()),
                                             Latin1(dialog.Name()), Latin1(dialog.Tag()));
        });
        switch (result) {
        case rc::PackageNameAlreadyDefined:
            UnlockUnlessOpen();
            Inform("New Package", "The package name \"" + dialog.Name() +
                                      "\" has already been used.\nPlease choose another name for your package.");
            continue;   // offered again with what was entered
        case rc::NotEnoughDiskSpace:
            ClosePackageView();
            Inform("New Package", "There is not enough disk space to create the package.");
            return;
        case rc::NoCurrentDistribution:
            ClosePackageView();
            Warn("Invalid Distribution", "The selection of the Distribution has cause and error");
            return;
        case rc::NoPackageName:
            UnlockUnlessOpen();
            Warn("New Package", Text(CNUVFunctions::UnsafePackageNameMessage(Latin1(dialog.Name()))));
            continue;
        default:
            FinishOpening(result, "New Package");
            return;
        }
    }
}

void CNUVMainWindow::SLOTOpenPackage()
{
    SetBusy();
    COpenPackageDlg dialog(this);
    const bool accepted = CUserPrompts::Instance().Run(dialog) == QDialog::Accepted;
    ClearBusy();
    if (!accepted || dialog.Chosen().isEmpty())
        return;
    Nuv()->m_bCatalogueFromServer = false;
    Nuv()->m_bPTFReferenceOnly = false;
    ClosePackageView();
    OpenPackageByName(dialog.Chosen());
}

void CNUVMainWindow::ShowProgress(bool shown)
{
    m_pProgressBar->setRange(0, 100);
    m_pProgressBar->setValue(0);
    m_pProgressBar->setVisible(shown);
    m_pTransferLabel->setVisible(shown);
    if (!shown)
        m_pTransferLabel->clear();
}

void CNUVMainWindow::RunWithProgress(const std::function<void()>& work)
{
    ShowProgress(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetBusy();
    CNUVFunctions* nuv = Nuv();
    nuv->SetWorkProgress([this](int done, int total, const std::string& what) {
        SLOTWorkProgress(done, total, Text(what));
    });
    nuv->SetTransferProgress([this](const std::string& name, int done, int total, float rate) {
        SLOTDownloadProgress(Text(name), done, total, rate);
    });
    work();
    nuv->SetTransferProgress(nullptr);
    nuv->SetWorkProgress(nullptr);
    ClearBusy();
    QApplication::restoreOverrideCursor();
    ShowProgress(false);
}

bool CNUVMainWindow::LockWorkingFolder(const QString& title)
{
    if (Nuv()->LockWorkingFolder() == rc::Success)
        return true;
    Warn(title, "The working folder " + QDir::currentPath() + " is in use by another NUV program (process " +
                    QString::number(Nuv()->WorkingFolderLockHolder()) +
                    ").\n\nWait until it has finished or close it, then try again.");
    return false;
}

void CNUVMainWindow::UnlockUnlessOpen()
{
    if (Nuv()->CurrentPackage().empty())
        Nuv()->UnlockWorkingFolder();
}

void CNUVMainWindow::OpenPackageByName(const QString& name)
{
    // The open package is this process's to change until it is closed.
    if (!LockWorkingFolder("Open Package"))
        return;
    int result = rc::Success;
    RunWithProgress([&] { result = Nuv()->OpenPackage(Latin1(name)); });
    FinishOpening(result, "Open Package");
}

void CNUVMainWindow::FinishOpening(int result, const QString& title)
{
    if (result != rc::Success && result != rc::DistributionNoLongerSupported) {
        ClosePackageView();
        Warn(title, ErrorCodeText(result));
        return;
    }
    PackageOpened();
    if (CNUVOptions::Instance()->m_bDisplayNewComponentDlg)
        OfferNewComponents();
}

void CNUVMainWindow::PackageOpened()
{
    UpdateWindowTitle();
    CDistribution* distribution = CurrentDistribution();
    if (!distribution) {
        Trace("CNUVMainWindow::PackageOpened()  m_pCurDistribution == 0\n");
        m_pDistribution->setText(Nuv()->IsOnline()
                                     ? "Base Distribution unavailable using current connection settings"
                                     : "Base Distribution unavailable while working offline");
    } else {
        m_pDistribution->setText(Text(distribution->GetName()));
        m_pTag->setText(Text(distribution->GetPackageTag()));
        if (m_bDeveloper) {
            std::vector<CComponentHolder*> duplicates;
            CComponentManager* manager = distribution->GetComponentManager();
            for (int i = 0; i < manager->HolderCount(); ++i)
                if (manager->GetHolder(i)->HasDuplicateVersions())
                    duplicates.push_back(manager->GetHolder(i));
            if (!duplicates.empty()) {
                CMultipleSameVersionsDlg dialog(duplicates, this);
                CUserPrompts::Instance().Run(dialog);
            }
        }
    }
    m_pTree->FillView();
    UpdateActionStates();
}

void CNUVMainWindow::OfferNewComponents()
{
    CComponentManager* manager = CurrentManager();
    if (!manager)
        return;
    std::vector<CComponent*> majors, others;
    for (CComponent* record : manager->UpgradeCandidates()) {
        const CComponentHolder* holder = record->GetHolder();
        const CVersion base = std::max(holder->GetInstalledVersion(), holder->GetDownloadedVersion());
        const bool major = !base.IsZero() && record->GetVersion().Major() > base.Major();
        (major ? majors : others).push_back(record);
    }
    if (majors.empty() && others.empty())
        return;
    CNUVNewComponentDlg dialog(majors, others, this);
    const int choice = CUserPrompts::Instance().Run(dialog);
    bool major = false;
    const std::vector<CComponent*> ticked = dialog.Ticked(&major);
    QStringList capped;
    bool marked = false;
    if (choice == CNUVNewComponentDlg::InstallChosen) {
        if (major && !AskYesNo(CUserPrompts::Question, "Installing Major Updates",
                               "Some of the components you have selected to install have increased "
                               "by at least one major version.\n\nYou are therefore advised to "
                               "conduct full testing against your current software, before "
                               "installing these updates on a live site.\n\nDo you wish to proceed "
                               "with the installation?"))
            return;
        for (CComponent* record : ticked) {
            if (record->SetAction(CComponent::ActionInstall) == rc::CapBelowInstallVersion)
                capped << Text(record->GetName());
            marked = true;
        }
    } else if (choice == CNUVNewComponentDlg::DownloadChosen) {
        for (CComponent* record : ticked)
            record->SetAction(CComponent::ActionDownload);
        marked = !ticked.empty();
    }
    if (!marked)
        return;
    if (!capped.isEmpty()) {
        QString text = "The following components will not be installed because they are capped at a "
                       "lower version\n\n";
        for (int i = 0; i < capped.size(); ++i)
            text += QString::asprintf("%3d: %s\n", i + 1, capped[i].toLatin1().constData());
        SLOTDisplayOutput(text + "\nUpdating the remaining components\n");
    }
    SLOTStartActions();
}

void CNUVMainWindow::SLOTClosePackage()
{
    Nuv()->m_bCatalogueFromServer = false;
    Nuv()->m_bPTFReferenceOnly = false;
    ClosePackageView();
}

void CNUVMainWindow::ClosePackageView()
{
    Nuv()->ClosePackage();
    Nuv()->UnlockWorkingFolder();
    m_pInfo->SetHolder(nullptr);
    m_pTree->ClearView();
    m_pViewMenu->Reset();
    m_pReleaseNotes->clear();
    m_pDistribution->clear();
    m_pTag->clear();
    UpdateWindowTitle();
}

void CNUVMainWindow::ShowHeldFunction(const QString& title)
{
    Inform(title, "This function is not available in this version of the Tessom Installation Tool.\n"
                  "Please use NUV_CMD for it.");
}

void CNUVMainWindow::SLOTDeletePackage()
{
    for (;;) {
        CDeletePackageDlg dialog(this);
        if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
            return;
        const QString name = dialog.Chosen();
        if (Latin1(name) == Nuv()->CurrentPackage()) {
            Inform("Delete Package", "Cannot delete package as it is currently opened");
            continue;
        }
        if (Latin1(name) == Nuv()->GetInstalledPackage()) {
            Inform("Delete Package", "Cannot delete package \"" + name + "\" as it is currently installed.\n");
            continue;
        }
        if (!AskYesNo(CUserPrompts::Warning, "Delete Package", "Are you sure you wish to delete \"" + name + "\"?"))
            continue;
        if (!LockWorkingFolder("Delete Package"))
            return;
        const int result = Nuv()->DeletePackage(Latin1(name));
        UnlockUnlessOpen();
        if (result != rc::Success)
            Warn("Delete Package", ErrorCodeText(result));
    }
}

void CNUVMainWindow::SLOTCopyPackage()
{
    if (Nuv()->GetPackageList().empty()) {
        Inform("No Packages", "Currently threre are no packages present to duplicate");
        return;
    }
    CNUVDuplicateDlg dialog(this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    if (!LockWorkingFolder("Duplicating Package"))
        return;
    const int result = Nuv()->CopyPackage(Latin1(dialog.Source()), Latin1(dialog.Name()), Latin1(dialog.Path()));
    UnlockUnlessOpen();
    if (result != rc::Success) {
        Trace("CopyPackage failed with %d", result);
        Warn("Duplicating Package", "An error occured during the package duplication, package duplication failed");
        return;
    }
    Inform("Duplicating Package", "Package \"" + dialog.Name() + "\" Created");
}

void CNUVMainWindow::SLOTLoadPTF()
{
    const QString file = ChooseFile(this, "Choose a file", "Package Templates (*.ptf)");
    if (file.isEmpty() || !CloseForLoad("Loading PTF"))
        return;
    enum { Creation, Reference };
    const int use = CUserPrompts::Instance().Choose(
        CUserPrompts::Question, "Loading PTF",
        "Would you like to use the selected PTF for\npackage creation or reference purposes?\n",
        {"Creation", "Reference", "Cancel"});
    if (use != Creation && use != Reference)
        return;
    Nuv()->m_bPTFReferenceOnly = use == Reference;
    CreateFromTemplate(file);
}

void CNUVMainWindow::CreateFromTemplate(const QString& file, const std::string& text, const QString& name)
{
    const QString title = "Package Template File";
    CPackageTemplate ptf(Latin1(file), true);
    ptf.SetText(text);
    if (!ptf.ReadTemplate()) {
        Nuv()->m_bPTFReferenceOnly = false;
        Warn(title, QFileInfo(file).isReadable() ? "No text to read from PTF file" : "Failed reading PTF file");
        return;
    }
    if (!LockWorkingFolder(title)) {
        Nuv()->m_bPTFReferenceOnly = false;
        return;
    }
    bool created = false;
    RunWithProgress([&] { created = Nuv()->CreatePackageFromTemplate(ptf, Latin1(name)); });
    if (!created) {
        Nuv()->m_bPTFReferenceOnly = false;
        ClosePackageView();
        switch (ptf.GetErrorState()) {
        case CPackageTemplate::PackageAlreadyExists:
            Warn(title, "Error, cannot create package from PTF as\nPackage already exists with the same name");
            return;
        case CPackageTemplate::DistributionNotListed:
            Warn(title, "Could not match base Distribution\n\nCheck Connection Details...");
            return;
        case CPackageTemplate::CreatingPackageFailed:
            Warn(title, "Failed creating new package");
            return;
        default:
            Warn(title, "Unknown Error");
            return;
        }
    }
    PackageOpened();
    ReportUnavailableComponents(ptf);
    if (!Nuv()->m_bPTFReferenceOnly)
        (void)SLOTChangePath();
}

void CNUVMainWindow::ReportUnavailableComponents(const CPackageTemplate& ptf)
{
    if (Nuv()->m_bPTFReferenceOnly)
        return;
    QString text;
    if (!ptf.GetMissingVersions().empty()) {
        text += "The requested version of the following components are no longer available on the server.\n\n";
        for (const CComponent& record : ptf.GetMissingVersions())
            text += Text(record.GetName()) + " " + Text(record.GetVersion().ToString()) + "\n";
        text += "They have therefore been set at the latest available version.\n\n";
    }
    const std::vector<CTemplateComponent> gone = Nuv()->ComponentsNoLongerOffered(ptf);
    if (!gone.empty()) {
        text += "No versions of the following components are available on the server.\n\n";
        for (const CTemplateComponent& entry : gone)
            text += Text(entry.name) + " " + Text(entry.version.ToString()) + "\n";
        text += "They have therefore been removed from the package.\n\n";
    }
    if (!text.isEmpty())
        Inform("Unavailable Components", text);
}

bool CNUVMainWindow::CloseForLoad(const QString& title)
{
    if (!Nuv()->CurrentPackage().empty() &&
        !AskYesNo(CUserPrompts::Warning, title, "This Operation will close the current pacakge\nDo wish to continue?"))
        return false;
    SLOTClosePackage();
    return true;
}

void CNUVMainWindow::OfferToOpen(const QString& name)
{
    if (Nuv()->PackageExists(Latin1(name)) &&
        AskYesNo(CUserPrompts::Question, "Open Package", "Do you wish to open this package now?"))
        OpenPackageByName(name);
}

void CNUVMainWindow::SLOTLoadDPF()
{
    const QString file = ChooseFile(this, "Choose a file", "Delta Package File (*.dpf)");
    if (file.isEmpty() || !CloseForLoad("Loading DPF") || !LockWorkingFolder("Unpacking Delta Package File"))
        return;
    std::string invalid;
    int result = rc::Success;
    RunWithProgress([&] { result = CDeltaPackage::ApplyDPF(Latin1(file), &invalid); });
    UnlockUnlessOpen();
    const QString name = QFileInfo(file).completeBaseName();
    switch (result) {
    case rc::Success:
        OfferToOpen(name);
        return;
    case rc::PackageNotFound:
        Warn("Unpacking Delta Package File", "Cannot find specified file");
        return;
    case rc::UpgradingPackageMissing:
        Warn("Unpacking Delta Package File", "Package to upgrade (" + name + " ) does not exist");
        return;
    case rc::InvalidDeltaPackageName:
    case rc::InvalidFile:
        Trace("Invalid delta package file %s: %s", Latin1(file).c_str(), invalid.c_str());
        Warn("Unpacking Delta Package File", "Invaild file\nFailed to install Delta package");
        return;
    default:
        Warn("Unpacking Delta Package File", ErrorCodeText(result));
    }
}

void CNUVMainWindow::SLOTLoadPackageFile()
{
    const QString file = ChooseFile(this, "Choose a file", "NUV Package File (*.npf)");
    if (file.isEmpty() || !CloseForLoad("Loading NPF") || !LockWorkingFolder("Unpacking NUV Package File"))
        return;
    const std::vector<std::string> before = Nuv()->GetPackageList();
    std::string blocking, invalid;
    int result = rc::Success;
    RunWithProgress([&] { result = CNPFMaker::LoadNPF(Latin1(file), &blocking, &invalid); });
    UnlockUnlessOpen();
    const QString title = "Unpacking NUV Package File";
    switch (result) {
    case rc::Success:
        // The package carries the name it was exported under, whatever the file is called.
        for (const std::string& name : Nuv()->GetPackageList())
            if (std::find(before.begin(), before.end(), name) == before.end()) {
                OfferToOpen(Text(name));
                return;
            }
        OfferToOpen(QFileInfo(file).completeBaseName());
        return;
    case rc::InvalidFile:
        Trace("Invalid portable package file %s: %s", Latin1(file).c_str(), invalid.c_str());
        Warn(title, file + " is an invalid file");
        return;
    case rc::PackageNameAlreadyDefined:
        Warn(title, "A package with the same name already exists.\nTo unpack this package please uninstall and "
                    "delete the package");
        return;
    case rc::FileDoesNotExist:
        Warn(title, "File:" + file + " does not exists");
        return;
    case rc::ChildFailedToStart:
    case rc::ProcessTimedOut:
    case rc::FailedCreatingProcess:
    case rc::ProcessFailed:
        Warn(title, "Internal error occurred\nPackage" + QFileInfo(file).completeBaseName() + " failed to unpack");
        return;
    default:
        Warn(title, ErrorCodeText(result));
    }
}

void CNUVMainWindow::SLOTZip()
{
    CComponentManager* manager = CurrentManager();
    if (!manager)
        return;
    // The file carries the state file as it is on disk: a package never written since it was
    // opened would arrive without components. Archives fetched for the export are recorded
    // afterwards.
    int result = manager->WriteDownloadedState();
    if (result == rc::Success)
        RunWithProgress([&] { result = CNPFMaker(manager).MakeNPF(); });
    (void)manager->WriteDownloadedState();
    if (result != rc::Success) {
        Warn("Creating NPF", ErrorCodeText(result));
        return;
    }
    Inform("Creating NPF", "The NPF has been created in:\n" +
                               QDir::current().absoluteFilePath(Text(CurrentDistribution()->GetAlias()) + ".npf"));
}

void CNUVMainWindow::SLOTDeltaPackage()
{
    CComponentManager* manager = CurrentManager();
    if (!manager)
        return;
    const std::vector<CComponentHolder*> changed = CDeltaPackage::ChangedHolders(*manager);
    const std::vector<CComponentHolder*> removed = CDeltaPackage::ExcludedHolders(*manager);
    if (changed.empty() && removed.empty()) {
        Warn("No changes detected", "No changes detected in the package\nDPF not created");
        return;
    }
    CDeltaComponentDlg dialog(changed, removed, this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    QString failure;
    RunWithProgress([&failure] {
        CDeltaPackage delta;
        if (const int populated = delta.PopulateDeltaFolder(); populated != rc::Success)
            failure = "Delta Package failure\nPopulating the Delta folder failed. error " + QString::number(populated);
        else if (delta.CreateDPF() != rc::Success)
            failure = "Delta Package failure\nCreating the file failed.";
        // The scratch folder goes whatever happened; a failure to remove it is reported only
        // when nothing failed before.
        if (delta.CleanDeltaFolder() != rc::Success && failure.isEmpty())
            failure = "Delta Package failure\nFile clean up failed.";
    });
    if (!failure.isEmpty()) {
        NUVDisplay("Delta Package creation failed\n");
        Warn("Creating DPF", failure);
        return;
    }
    Inform("Creating DPF", "The DPF has been created in:\n" +
                               QDir::current().absoluteFilePath(Text(CurrentDistribution()->GetAlias()) + ".dpf"));
}

void CNUVMainWindow::SLOTClearCache()
{
    SetBusy();
    CCacheManagementDlg dialog(this);
    const int choice = CUserPrompts::Instance().Run(dialog);
    if (choice == CCacheManagementDlg::Cancelled || !LockWorkingFolder("Clear Cache")) {
        ClearBusy();
        return;
    }
    CCacheList* cache = CCacheList::instance();
    if (choice == CCacheManagementDlg::DeleteAll) {
        (void)cache->DeleteAllCacheFiles();
        SetPackageCacheState();
    } else {
        (void)cache->DeleteUnattachedCacheFiles();
    }
    cache->RefreshCacheList();
    UnlockUnlessOpen();
    ClearBusy();
    Inform("Clear Cache", choice == CCacheManagementDlg::DeleteAll ? "Cache Cleaned"
                                                                    : "Unattached files removed from cache");
}

void CNUVMainWindow::SetPackageCacheState()
{
    // The open package's downloaded versions follow what is left in the cache.
    CComponentManager* manager = CurrentManager();
    if (!manager)
        return;
    manager->VerifyDownloaded();
    (void)manager->WriteDownloadedState();
    m_pTree->RefreshColumns();
    m_pInfo->SLOTRefreshCmpntInfo();
    UpdateActionStates();
}

int CNUVMainWindow::SLOTChangePath()
{
    CDistribution* distribution = CurrentDistribution();
    if (!distribution)
        return rc::NoCurrentDistribution;
    CChangePath dialog(Text(distribution->GetTessomRoot()), this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return rc::Success;
    const int result = distribution->setTessomRoot(Latin1(dialog.Path()));
    if (result == rc::ComponentInstallationError) {
        Inform("NUV - Error", "Some Components are installed, can't change installation path unless no "
                              "Components are installed");
        return result;
    }
    Nuv()->SavePackageDetails();
    NUVDisplay("New installation path set to: %s\n", distribution->GetTessomRoot().c_str());
    return result;
}

void CNUVMainWindow::SLOTChangePackageTag()
{
    CDistribution* distribution = CurrentDistribution();
    if (!distribution)
        return;
    CChangePackageTag dialog(Text(distribution->GetPackageTag()), this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
        return;
    distribution->SetPackageTag(Latin1(dialog.Tag()));
    Nuv()->SavePackageDetails();
    m_pTag->setText(dialog.Tag());
}

void CNUVMainWindow::SLOTChangeAlias()
{
    CDistribution* distribution = CurrentDistribution();
    if (!distribution)
        return;
    const QString alias = Text(Nuv()->CurrentPackage());
    CChangeAlias dialog(alias, this);
    if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted || dialog.Alias() == alias)
        return;
    const int result = Nuv()->RenamePackage(Latin1(alias), Latin1(dialog.Alias()));
    switch (result) {
    case rc::Success:
        NUVDisplay("Package %s renamed to %s\n", Latin1(alias).c_str(), Latin1(dialog.Alias()).c_str());
        UpdateWindowTitle();
        return;
    case rc::PackageNameAlreadyDefined:
        Inform("NUV - Change Alias", "The package name \"" + dialog.Alias() +
                                         "\" has already been used.\nPlease choose another name for your package.");
        return;
    case rc::NoPackageName:
        Warn("NUV - Change Alias", Text(CNUVFunctions::UnsafePackageNameMessage(Latin1(dialog.Alias()))));
        return;
    case rc::PackageInstalled:
        Inform("NUV - Error", "Some Components are installed, can't change the alias unless no Components are "
                              "installed");
        return;
    default:
        Warn("NUV - Change Alias", ErrorCodeText(result));
    }
}

void CNUVMainWindow::SLOTCreatePTF()
{
    CDistribution* distribution = CurrentDistribution();
    if (!distribution)
        return;
    if (distribution->WriteTemplate() != rc::Success) {
        Warn("Creating PTF", "File creation unsuccessfully");
        return;
    }
    const QString path = QDir::current().absoluteFilePath("PTF/" + Text(distribution->GetAlias()) + ".ptf");
    NUVDisplay("%s\n", Latin1(path).c_str());
    NUVDisplay("PTF Creation finished\n");
    Inform("Creating PTF", "The PTF has been created in:\n" + path);
}

// --- Tree, information and release notes ----------------------------------------------------

void CNUVMainWindow::SLOTItemChanged(QTreeWidgetItem* current, QTreeWidgetItem*)
{
    auto* item = static_cast<CComponentTreeViewItem*>(current);
    m_pInfo->SetHolder(item ? item->Holder() : nullptr);
}

void CNUVMainWindow::SLOTDisplayReleaseNotes(QTreeWidgetItem* current, QTreeWidgetItem*)
{
    auto* item = static_cast<CComponentTreeViewItem*>(current);
    if (item && !item->IsGroup())
        ShowReleaseNote(item->Holder()->GetCurrent(), false);
}

void CNUVMainWindow::SLOTForceDisplayReleaseNotes(CComponent* pCmpnt) { ShowReleaseNote(pCmpnt, true); }

void CNUVMainWindow::ShowReleaseNote(CComponent* record, bool forced)
{
    // Fetching runs the transfer engine's loop; a selection change arriving meanwhile is skipped.
    if (!m_ReleaseNoteLock.tryLock())
        return;
    m_pReleaseNotes->clear();
    if (record && (forced || CNUVOptions::Instance()->m_bAutoGetReleaseNotes)) {
        m_pReleaseNotes->append(Text(Nuv()->GetReleaseNotes(record)));
        m_pReleaseNotes->verticalScrollBar()->setValue(0);
        m_pNotesDock->raise();
    }
    m_ReleaseNoteLock.unlock();
}

void CNUVMainWindow::SLOTExpandTree() { m_pTree->expandAll(); }

void CNUVMainWindow::SLOTCollapseTree() { m_pTree->collapseAll(); }

void CNUVMainWindow::SLOTDevCmpntList()
{
    CComponentManager* manager = CurrentManager();
    if (!manager)
        return;
    QFile file("GenerateCompletePackageList.txt");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (int i = 0; i < manager->HolderCount(); ++i)
        if (const CComponent* record = manager->GetHolder(i)->GetCurrent())
            file.write((record->GetName() + " " + record->GetVersion().ToString() + "\n").c_str());
}

void CNUVMainWindow::SLOTDevCmpntDebug()
{
    if (CComponentManager* manager = CurrentManager())
        (void)manager->WriteServerPathList("NUV_DEBUG");
}

// --- Docks and output -----------------------------------------------------------------------

void CNUVMainWindow::SLOTDisplayOutput(const QString& text)
{
    QTextCursor cursor = m_pOutputView->textCursor();
    cursor.clearSelection();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    m_pOutputView->setTextCursor(cursor);
    m_pOutputView->verticalScrollBar()->setValue(m_pOutputView->verticalScrollBar()->maximum());
    m_pOutputDock->raise();
}

void CNUVMainWindow::SLOTSaveOutputWindow()
{
    QString name = CUserPrompts::Instance().SaveFileName(this, "Save Output Text", "OutputFile.txt",
                                                         "Text(*.txt)");
    if (name.isEmpty())
        return;
    if (!name.endsWith(".txt"))
        name += ".txt";
    QFile file(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(m_pOutputView->toPlainText().toLatin1());
}

void CNUVMainWindow::SLOTAbout()
{
    CNUVAboutBox box(this);
    CUserPrompts::Instance().Run(box);
}

void CNUVMainWindow::SLOTShowComponentInfoWindow() { m_pInfoDock->setVisible(!m_pInfoDock->isVisible()); }

void CNUVMainWindow::SLOTShowOutputWindow() { m_pOutputDock->setVisible(!m_pOutputDock->isVisible()); }

void CNUVMainWindow::SLOTShowRelNotesWindow() { m_pNotesDock->setVisible(!m_pNotesDock->isVisible()); }

void CNUVMainWindow::SLOTSetWindowMenuStates()
{
    Action("Component Information")->setChecked(m_pInfoDock->isVisible());
    Action("Output")->setChecked(m_pOutputDock->isVisible());
    Action("Releasenotes")->setChecked(m_pNotesDock->isVisible());
}

// --- Progress -------------------------------------------------------------------------------

void CNUVMainWindow::SLOTDownloadProgress(const QString& name, int done, int total, float rate)
{
    m_pProgressHideTimer.reset();   // a further report keeps the bar
    m_pProgressBar->setRange(0, total);
    m_pProgressBar->setValue(done);
    m_pTransferLabel->setText(TransferLabelText(name, rate));
    m_pTransferLabel->show();
    m_pProgressBar->show();
    if (done >= total) {
        m_pProgressHideTimer = std::make_unique<QTimer>();
        m_pProgressHideTimer->setSingleShot(true);
        connect(m_pProgressHideTimer.get(), &QTimer::timeout, this,
                &CNUVMainWindow::SLOTProgressBarTimerTimeout);
        m_pProgressHideTimer->start(kProgressHideMs);
    }
}

void CNUVMainWindow::SLOTProgressBarTimerTimeout()
{
    // The timer is deleted once its signal has been delivered.
    QTimer* timer = m_pProgressHideTimer.release();
    if (timer)
        timer->deleteLater();
    m_pProgressBar->setValue(0);
    m_pTransferLabel->clear();
    m_pProgressBar->hide();
    m_pTransferLabel->hide();
}

void CNUVMainWindow::SLOTWorkProgress(int done, int total, const QString& what)
{
    m_pProgressHideTimer.reset();   // a download's finished bar stays while the work goes on
    m_pProgressBar->setRange(0, std::max(total, 1));
    m_pProgressBar->setValue(std::min(done, std::max(total, 1)));
    m_pTransferLabel->setText(what);
    m_pTransferLabel->show();
    m_pProgressBar->show();
}

void CNUVMainWindow::SLOTOpenPackageProgress(int Percent, const QString& Package)
{
    SLOTWorkProgress(Percent, 100, "Opening " + Package);
}

// --- Running actions ------------------------------------------------------------------------

bool CNUVMainWindow::ConfirmDependencies(int action)
{
    CComponentManager* manager = CurrentManager();
    const std::vector<CComponent*> records = manager->GetDependencyList(action);
    if (records.empty())
        return true;
    CDependencyList dialog(action, records, this);
    const int result = CUserPrompts::Instance().Run(dialog);
    QCoreApplication::processEvents();
    if (result == CDependencyList::Include) {
        for (CComponent* record : records) {
            record->SetIncluded(true);
            record->SetAction(action);
        }
        return true;
    }
    return result == CDependencyList::Omit;
}

void CNUVMainWindow::ShowBatchResult(int result, const char* success, const char* failure, const char* trace)
{
    if (result == rc::Success) {
        Inform("NUV", success);
        return;
    }
    QCoreApplication::processEvents();
    Warn("NUV", failure);
    Trace(trace, result);
}

void CNUVMainWindow::SLOTStartActions()
{
    CComponentManager* manager = CurrentManager();
    if (!manager)
        return;
    QTimer responsive;
    connect(&responsive, &QTimer::timeout, this, [] { QCoreApplication::processEvents(); });
    responsive.start(100);
    m_bCancelAllowed = true;
    m_pOutputDock->raise();
    SetBusy(m_bCancelAllowed);

    int counts[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < manager->HolderCount(); ++i) {
        const CComponentHolder* holder = manager->GetHolder(i);
        for (int r = 0; r < holder->Count(); ++r) {
            const int action = holder->GetByIndex(r)->GetAction();
            if (action > 0 && action < 5)
                ++counts[action];
        }
    }
    bool uninstallRan = false;
    if (counts[CComponent::ActionUninstall] > 0)
        RunUninstalls(&uninstallRan, counts[1] + counts[2] + counts[4] == 0);
    if (counts[CComponent::ActionDelete] > 0) {
        SLOTDisplayOutput("Processing Deletions\n");
        if (ConfirmDependencies(CComponent::ActionDelete)) {
            (void)manager->DeleteComponents();
            (void)manager->WriteDownloadedState();
        }
    }
    if (counts[CComponent::ActionDownload] > 0) {
        SLOTDisplayOutput("Processing Downloads\n");
        if (ConfirmDependencies(CComponent::ActionDownload)) {
            Nuv()->SetTransferProgress([this](const std::string& name, int done, int total, float rate) {
                SLOTDownloadProgress(Text(name), done, total, rate);
            });
            (void)manager->DownloadComponents();
            Nuv()->SetTransferProgress(nullptr);
            (void)manager->WriteDownloadedState();
        }
    }
    if (counts[CComponent::ActionInstall] > 0)
        RunInstalls(uninstallRan);

    manager->ClearAllActions();
    m_pTree->RefreshColumns();
    m_pInfo->SLOTRefreshCmpntInfo();
    statusBar()->showMessage("Actions Completed", kCompletedMessageMs);
    m_bCancelAllowed = false;
    ClearBusy();
}

void CNUVMainWindow::RunUninstalls(bool* uninstallRan, bool onlyStep)
{
    CComponentManager* manager = CurrentManager();
    if (Nuv()->GetInstalledPackage() != Nuv()->CurrentPackage()) {
        Inform("Uninstall", "There are no components to uninstall.");
        return;
    }
    SLOTDisplayOutput("Processing Uninstalls\n");
    if (!ConfirmDependencies(CComponent::ActionUninstall))
        return;
    const int result = manager->UninstallComponents();
    *uninstallRan = true;
    (void)manager->WriteInstalledState();
    if (onlyStep)
        ShowBatchResult(result, "Uninstall Successful",
                        "Errors occurred during the uninstall process.\n\nSee Output Window for further details.",
                        "CNUVMainWindow::SLOTStartActions()  Uninstall error = %d");
}

void CNUVMainWindow::RunInstalls(bool uninstallRan)
{
    CComponentManager* manager = CurrentManager();
    CDistribution* distribution = CurrentDistribution();
    const int platform = distribution->GetPlatform();
    if (platform >= 1 && platform <= 3 && platform != kMachinePlatform) {
        Warn("Installation Warning",
             QString("There is a mismatch between the machine's Operating System of ") +
                 PlatformName(kMachinePlatform) + " and the Distribution's Target Operating System of " +
                 PlatformName(platform) + "." + "\n\nThe installation cannot proceeed.");
        SLOTDisplayOutput(QString::asprintf(
            "Installation Error\n\tDistribution Operating System set as: %s\n\tYour Operating System  "
            "set as: %s\n\tAborted the installation\n\n",
            PlatformName(platform), PlatformName(kMachinePlatform)));
        ClearBusy();
        return;
    }
    const std::string installed = Nuv()->GetInstalledPackage();
    if (!installed.empty() && installed != Nuv()->CurrentPackage()) {
        Inform("Install not performed",
               QString::asprintf("%s is already installed. To install the current package please uninstall %s",
                                 installed.c_str(), installed.c_str()));
        return;
    }
    SLOTDisplayOutput("Processing Install\n");
    if (!ConfirmDependencies(CComponent::ActionInstall))
        return;
    if (manager->CountInstalled() == 0 && !uninstallRan && CNUVOptions::Instance()->m_bShowEULA) {
        CEULABox licence(this);
        if (CUserPrompts::Instance().Run(licence) != QDialog::Accepted)
            return;
    }
    const QString warnings = Text(manager->InstallMessages());
    if (!warnings.isEmpty() && CNUVOptions::Instance()->m_bDisplayWarningMessage) {
        CNUVInstallWarningsDlg dialog(warnings, this);
        if (CUserPrompts::Instance().Run(dialog) != QDialog::Accepted)
            return;
    }
    Nuv()->SetTransferProgress([this](const std::string& name, int done, int total, float rate) {
        SLOTDownloadProgress(Text(name), done, total, rate);
    });
    const int result = manager->InstallComponents();
    ShowBatchResult(result, "Installation Successful",
                    "Errors occurred during Installation.\n\nSee Output Window for further details.",
                    "CNUVMainWindow::SLOTStartActions()  Installation error = %d");
    QCoreApplication::processEvents();
    Nuv()->SetTransferProgress(nullptr);
    (void)manager->WriteInstalledState();
}

void CNUVMainWindow::SLOTCancelled()
{
    if (!AskYesNo(CUserPrompts::Warning, "Cancel Actions",
                  "Cancelling your current Action may leave you installation in an incomplete "
                  "state\nAre you sure you wish to cancel?"))
        return;
    if (CComponentManager* manager = CurrentManager()) {
        manager->Stop();
        m_pCancelButton->hide();
    }
}

// --- Leaving --------------------------------------------------------------------------------

bool CNUVMainWindow::ConfirmQuit()
{
    if (CUserPrompts::Instance().Ask(CUserPrompts::Question, "NUV Exit", "Are you sure you wish to exit?",
                                     QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    m_bQuitting = true;
    if (Nuv()->IsTransferWaiting()) {
        // The batch, if one runs, stops before its next component; the wait ends with the abort.
        if (CComponentManager* manager = CurrentManager())
            manager->Stop();
        Nuv()->AbortTransfer();
    }
    return true;
}

void CNUVMainWindow::QuitWhenIdle()
{
    // Quitting inside a nested wait would end that wait as if it had finished.
    if (Nuv()->IsTransferWaiting() || m_bBusy)
        return;
    m_QuitTimer.stop();
    QCoreApplication::quit();
}

void CNUVMainWindow::SLOTQuit()
{
    if (ConfirmQuit())
        m_QuitTimer.start(20);
}

void CNUVMainWindow::closeEvent(QCloseEvent* event)
{
    if (m_bQuitting || ConfirmQuit()) {
        m_bQuitting = true;
        if (Nuv()->IsTransferWaiting() || m_bBusy) {
            event->ignore();
            m_QuitTimer.start(20);
            return;
        }
        event->accept();
        QCoreApplication::quit();
        return;
    }
    event->ignore();
}
