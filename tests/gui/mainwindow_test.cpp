// The main window as the user meets it: menus and tool bars, the state rules of its commands,
// the start-up report, working off line, busy state, output and progress.
#include "gui/onlinelabel.h"
#include "gui/packagedialogs.h"
#include "guifixture.h"

#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QToolBar>

using namespace guitest;

namespace {

/// "text|shortcut|tip" of every entry of menu, sub-menus as "[title]", separators as "-".
QStringList Entries(const QMenu* menu)
{
    QStringList entries;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            entries << "-";
        else if (action->menu())
            entries << "[" + action->text() + "]";
        else
            entries << action->text() + "|" + action->shortcut().toString() + "|" + action->statusTip();
    }
    return entries;
}

QMenu* MenuOf(QMainWindow& window, const QString& title)
{
    for (QAction* action : window.menuBar()->actions())
        if (action->text() == title)
            return action->menu();
    return nullptr;
}

}  // namespace

class MainWindowTest : public GuiTest {};

TEST_F(MainWindowTest, MenusCarryEveryCommandInOrderWithShortcutsAndTips)
{
    MakeWindow();
    QStringList titles;
    for (QAction* action : m_Window->menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(QStringList({"&File", "&Connection", "&View", "&Actions", "&Help"}), titles);
    EXPECT_EQ(QStringList({"&New Package...|Ctrl+N|Create a new Package",
                           "&Open Package...|Ctrl+O|Opens an existing Package",
                           "&Close Package...|Ctrl+W|Closes an open Package",
                           "&Delete Package...|Ctrl+D|Delete a Package",
                           "Duplicate Package...||Duplicate a whole package, giving it a new path and name",
                           "-", "[&Import]", "[&Export]", "-",
                           "Change Package Installation Path...||Change the location of the installation",
                           "Change Package Tag...||Change the package's tag",
                           "Change Package Alias...||Change the package's name",
                           "Clear Cache...||Displays the Cache Management Window.", "-",
                           "&Edit Options...|Ctrl+E|Edit Options", "-", "E&xit|Ctrl+X|Close Application"}),
              Entries(MenuOf(*m_Window, "&File")));
    EXPECT_EQ(QStringList({"Connection Details...||Connection details options", "Work Offline||"}),
              Entries(MenuOf(*m_Window, "&Connection")));
    EXPECT_EQ(QStringList({"Standard View||Displays all Components in the Distribution",
                           "Installed Components||Displays only the installed Components",
                           "Downloaded Components||Displays only the downloaded Components",
                           "New Components||Displays Components with newer version of those that are installed or downloaded",
                           "Capped Components||Displays all Components that have had their version capped",
                           "-", "Expand Tree||Expand the whole of the Component Tree view",
                           "Collapse Tree||Collapses the whole of the Component Tree view", "[&Windows]"}),
              Entries(MenuOf(*m_Window, "&View")));
    EXPECT_EQ(QStringList({"Install||Installs the component", "Download||Downloads the component",
                           "Uninstall||Uninstalls the component", "Delete||Deletes the component from cache", "-",
                           "Cap Current Version||Cap the component with current version",
                           "Uncap||Releases the current cap for the selected component", "-",
                           "Exclude||Exclude this component for this distribution",
                           "Include||Include this component for this distribution",
                           "Set Version||Set version of Component to be used",
                           "Rollback||Restore Component to previous version", "-",
                           "View Release Note||downloads and displays the release note for the selected Component"}),
              Entries(MenuOf(*m_Window, "&Actions")));
    EXPECT_EQ(QStringList({"Save Output Text...||Save the the output window text to file",
                           "About...||Displays the About dialog box"}),
              Entries(MenuOf(*m_Window, "&Help")));
    EXPECT_TRUE(m_Window->Action("Work Offline")->isCheckable());

    // The developer's two extra commands exist only with "-developer".
    EXPECT_FALSE(m_Window->Action("Save CmpntList"));
    m_Window.reset();
    MakeWindow(true);
    EXPECT_EQ(4, MenuOf(*m_Window, "&Help")->actions().size());
    EXPECT_EQ("Creates Component List", m_Window->Action("Save CmpntList")->statusTip());
}

TEST_F(MainWindowTest, ToolBarsStatusBarAndDocksAreNamedForTheUserAndScreenReaders)
{
    MakeWindow();
    QStringList bars;
    for (QToolBar* bar : m_Window->findChildren<QToolBar*>()) {
        bars << bar->windowTitle();
        for (QAction* action : bar->actions()) {
            EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
            EXPECT_FALSE(bar->widgetForAction(action)->accessibleName().isEmpty());
        }
    }
    EXPECT_EQ(QStringList({"File", "Package"}), bars);
    QStringList docks;
    for (QDockWidget* dock : m_Window->findChildren<QDockWidget*>())
        docks << dock->windowTitle();
    EXPECT_EQ(QStringList({"Component Information", "Release Notes", "Output Window"}), docks);
    EXPECT_EQ("Cancels the current Action", m_Window->CancelButton()->toolTip());
    EXPECT_TRUE(m_Window->CancelButton()->isHidden());
    EXPECT_TRUE(m_Window->ProgressBar()->isHidden());
    EXPECT_TRUE(m_Window->OutputText().startsWith("Tessom Installation Tool v2.0.21"));
    EXPECT_EQ("Tessom Installation Tool", m_Window->windowTitle());
}

TEST_F(MainWindowTest, CommandsFollowThePackageBusyAndOnlineState)
{
    MakePackage();
    const QStringList packageCommands = {"Close Package...", "Create Tessom Package File",
                                         "Change Package Tag...", "Expand Tree"};
    for (const QString& name : packageCommands)
        EXPECT_FALSE(m_Window->Action(name)->isEnabled()) << name.toStdString();
    EXPECT_FALSE(Tree()->isEnabled());
    EXPECT_FALSE(Menu()->menuAction()->isEnabled());

    OpenPackage();
    EXPECT_EQ("Tessom Installation Tool - pkg", m_Window->windowTitle());
    EXPECT_EQ("Main", m_Window->DistributionText());
    EXPECT_EQ("tag1", m_Window->TagText());
    for (const QString& name : packageCommands)
        EXPECT_TRUE(m_Window->Action(name)->isEnabled()) << name.toStdString();
    EXPECT_TRUE(Tree()->isEnabled());

    m_Window->SetBusy(true);
    for (const char* name : {"Open Package...", "New Package...", "Close Package...", "Connection Details...",
                                "Work Offline", "Edit Options..."})
        EXPECT_FALSE(m_Window->Action(name)->isEnabled()) << name;
    EXPECT_FALSE(Tree()->isEnabled());
    EXPECT_FALSE(Menu()->menuAction()->isEnabled());
    EXPECT_TRUE(m_Window->Action("Exit")->isEnabled());
    EXPECT_FALSE(m_Window->CancelButton()->isHidden());
    m_Window->ClearBusy();
    EXPECT_TRUE(m_Window->CancelButton()->isHidden());
    EXPECT_TRUE(m_Window->Action("Open Package...")->isEnabled());

    m_Window->Action("Close Package...")->trigger();
    EXPECT_EQ("Tessom Installation Tool", m_Window->windowTitle());
    EXPECT_EQ("", m_Window->DistributionText());
    EXPECT_EQ(0, Tree()->topLevelItemCount());
    EXPECT_FALSE(m_Window->Action("Close Package...")->isEnabled());
}

TEST_F(MainWindowTest, OpenPackageDialogListsThePackagesAndOpensTheChosenOne)
{
    MakePackage();
    m_Prompts->onDialog = [](QDialog& dialog) {
        auto& open = static_cast<COpenPackageDlg&>(dialog);
        EXPECT_EQ(1, open.Packages()->count());
        open.SLOTOpenClicked();
        return dialog.result();
    };
    m_Window->Action("Open Package...")->trigger();
    EXPECT_EQ(std::vector<QString>{"NUV - Open Package"}, m_Prompts->dialogs);
    EXPECT_EQ("Tessom Installation Tool - pkg", m_Window->windowTitle());
    EXPECT_TRUE(m_Window->OutputText().contains("Opening Package: pkg\n"));
    EXPECT_TRUE(m_Window->ProgressBar()->isHidden());
}

TEST_F(MainWindowTest, ChangedTagIsSavedAndShown)
{
    MakePackage();
    OpenPackage();
    m_Prompts->onDialog = [](QDialog& dialog) {
        auto& tag = static_cast<CChangePackageTag&>(dialog);
        EXPECT_EQ(128, tag.Field()->maxLength());
        tag.Field()->setText("release 7");
        return int(QDialog::Accepted);
    };
    m_Window->Action("Change Package Tag...")->trigger();
    EXPECT_EQ("release 7", m_Window->TagText());
    EXPECT_NE(std::string::npos, ReadFile(Path("packages/pkg/package.dat")).find("\n2\nrelease 7\n"));
}

TEST_F(MainWindowTest, StartUpReportWarnsAboutAFailedConnectionAndShowsTheOfflineLabel)
{
    WriteUnreachableServerDetails(Path());
    CNUVFunctions::Instance()->NUVSetup();
    MakeWindow();
    m_Window->ShowLogInResult();
    // The generic log-in of the unreachable details is warned about first.
    ASSERT_EQ(2u, m_Prompts->boxes.size()) << m_Prompts->Boxes().toStdString();
    EXPECT_EQ("Generic Login", m_Prompts->boxes[0].title);
    EXPECT_EQ("Failed Communications", m_Prompts->boxes[1].title);
    EXPECT_TRUE(m_Prompts->boxes[1].text.startsWith("Command Failed: "));
    EXPECT_TRUE(m_Prompts->boxes[1].text.endsWith("\nCheck Connection Details..."));
    EXPECT_EQ(CNUVOnlineLabel::Offline, m_Window->OnlineLabel()->GetState());
}

TEST_F(MainWindowTest, WorkOfflineWithACataloguefromDiskAsksToReloadAndNoKeepsItOffline)
{
    MakePackage();
    OpenPackage();
    QAction* offline = m_Window->Action("Work Offline");
    offline->trigger();   // on
    EXPECT_TRUE(CNUVFunctions::Instance()->m_bWorkOffline);
    EXPECT_FALSE(CNUVFunctions::Instance()->IsOnline());
    EXPECT_EQ(CNUVOnlineLabel::Offline, m_Window->OnlineLabel()->GetState());

    CNUVFunctions::Instance()->m_bCatalogueFromServer = false;
    m_Prompts->answers = {QMessageBox::No};
    offline->trigger();   // off: the package must be reloaded; the user says No
    ASSERT_EQ(1u, m_Prompts->boxes.size());
    EXPECT_EQ("Reload Package From Server", m_Prompts->boxes[0].title);
    EXPECT_TRUE(offline->isChecked());
    EXPECT_TRUE(CNUVFunctions::Instance()->m_bWorkOffline);
    EXPECT_EQ(CNUVOnlineLabel::Offline, m_Window->OnlineLabel()->GetState());
    EXPECT_EQ("Tessom Installation Tool - pkg", m_Window->windowTitle());

    // Yes reloads the package from the server, on line.
    CNUVFunctions::Instance()->m_bWorkOffline = false;
    offline->setChecked(false);
    m_Prompts->answers = {QMessageBox::Yes};
    m_Window->LogInAgain(2);
    EXPECT_EQ(CNUVOnlineLabel::Online, m_Window->OnlineLabel()->GetState());
    EXPECT_EQ("Tessom Installation Tool - pkg", m_Window->windowTitle());
    EXPECT_TRUE(CNUVFunctions::Instance()->m_bCatalogueFromServer);
}

TEST_F(MainWindowTest, DownloadProgressShowsTheRateAndHidesAfterCompletion)
{
    MakeWindow();
    m_Window->SLOTDownloadProgress("/software/r5/main/App-1.0.0.zip", 50, 100, 2048);
    EXPECT_EQ(" App-1.0.0.zip ( 2.00 Kb/s )", m_Window->TransferLabel()->text());
    EXPECT_EQ(50, m_Window->ProgressBar()->value());
    EXPECT_FALSE(m_Window->ProgressBar()->isHidden());
    m_Window->SLOTDownloadProgress("/software/r5/main/App-1.0.0.zip", 100, 100, 2048);
    m_Window->SLOTProgressBarTimerTimeout();
    EXPECT_TRUE(m_Window->ProgressBar()->isHidden());
    EXPECT_EQ("", m_Window->TransferLabel()->text());
}

TEST_F(MainWindowTest, QuitAsksFirstAndCancelKeepsTheWindow)
{
    MakeWindow();
    m_Prompts->answers = {QMessageBox::Cancel};
    m_Window->show();
    EXPECT_FALSE(m_Window->close());
    ASSERT_EQ(1u, m_Prompts->boxes.size());
    EXPECT_EQ("NUV Exit: Are you sure you wish to exit?\n", m_Prompts->Boxes());
    EXPECT_TRUE(m_Window->isVisible());
}
