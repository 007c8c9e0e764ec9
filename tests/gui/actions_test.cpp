// Running the marked work from the tree: the fixed order, the dependency dialog, the licence,
// the installation warnings, the platform and installed-package checks, progress, and the
// new-components dialog after opening.
#include "core/catalogue/componentholder.h"
#include "gui/actiondialogs.h"
#include "guifixture.h"

#include <QLabel>
#include <QStatusBar>

using namespace guitest;

namespace {

/// Answers each dialog by its title; unknown titles are rejected.
std::function<int(QDialog&)> Answer(std::map<QString, int> byTitle)
{
    return [byTitle](QDialog& dialog) {
        const auto it = byTitle.find(dialog.windowTitle());
        return it == byTitle.end() ? int(QDialog::Rejected) : it->second;
    };
}

}  // namespace

class ActionsTest : public GuiTest {
protected:
    CComponentHolder* Holder(const char* name) const { return Manager()->FindHolder(name); }
    bool Cached(const std::string& archive) const { return Exists(Path("cache/Linux/" + archive)); }
    QStringList Titles() const
    {
        QStringList titles;
        for (const auto& box : m_Prompts->boxes)
            titles << box.title + ": " + box.text.section('\n', 0, 0);
        return titles;
    }
};

TEST_F(ActionsTest, DownloadDragsItsDependencyAlongWhenTheUserIncludesIt)
{
    MakePackage();
    OpenPackage();
    m_Prompts->onDialog = Answer({{"NUV - Dependencies", CDependencyList::Cancel}});
    Trigger("App", Menu()->m_pDownload);
    EXPECT_EQ(std::vector<QString>{"NUV - Dependencies"}, m_Prompts->dialogs);
    EXPECT_FALSE(Cached("App-2.0.0.zip"));
    EXPECT_EQ(CComponent::ActionNone, Holder("App")->GetCurrent()->GetAction());   // marks cleared

    m_Prompts->onDialog = Answer({{"NUV - Dependencies", CDependencyList::Include}});
    Trigger("App", Menu()->m_pDownload);
    EXPECT_TRUE(Cached("App-2.0.0.zip"));
    EXPECT_TRUE(Cached("Core-1.0.0.zip"));
    EXPECT_FALSE(Cached("Docs-1.0.0.zip"));
    EXPECT_EQ("2.0.0", Tree()->FindComponentItem("App")->text(2));
    EXPECT_TRUE(m_Window->OutputText().contains("Processing Downloads\n"));
    EXPECT_TRUE(m_Window->TransferLabel()->text().contains(".zip ( "));
    EXPECT_EQ("Actions Completed", m_Window->statusBar()->currentMessage());
    EXPECT_TRUE(m_Window->Action("Open Package...")->isEnabled());   // no longer busy
}

TEST_F(ActionsTest, FirstInstallShowsTheLicenceAndTheWarningsBeforeInstalling)
{
    MakePackage();
    OpenPackage();
    m_Prompts->onDialog = Answer({{"NUV - Dependencies", CDependencyList::Include}});
    Trigger("App", Menu()->m_pInstall);   // the licence is refused
    EXPECT_EQ(std::vector<QString>({"NUV - Dependencies", "NUV - Tessom EULA"}), m_Prompts->dialogs);
    EXPECT_FALSE(Exists(Path("root/lib/App")));
    EXPECT_EQ(CComponent::ActionNone, Holder("Core")->GetCurrent()->GetAction());

    m_Prompts->dialogs.clear();
    m_Prompts->onDialog = Answer({{"NUV - Dependencies", CDependencyList::Include},
                                  {"NUV - Tessom EULA", QDialog::Accepted},
                                  {"NUV - Installation Warnings", QDialog::Accepted}});
    Trigger("App", Menu()->m_pInstall);
    EXPECT_EQ(std::vector<QString>({"NUV - Dependencies", "NUV - Tessom EULA", "NUV - Installation Warnings"}),
              m_Prompts->dialogs);
    EXPECT_EQ(QStringList{"NUV: Installation Successful"}, Titles());
    EXPECT_EQ("App 2.0.0", ReadFile(Path("root/lib/App")));
    EXPECT_EQ("2.0.0", Tree()->FindComponentItem("App")->text(1));

    // A rollback uninstalls and installs in one run: neither the licence nor the uninstall box.
    m_Prompts->dialogs.clear();
    m_Prompts->boxes.clear();
    m_Prompts->onDialog = Answer({{"NUV Set Rollback Version", QDialog::Accepted}});
    Trigger("App", Menu()->m_pRollback);
    EXPECT_EQ(std::vector<QString>{"NUV Set Rollback Version"}, m_Prompts->dialogs);
    EXPECT_EQ(QStringList{"NUV: Installation Successful"}, Titles());
    EXPECT_EQ("App 1.0.0", ReadFile(Path("root/lib/App")));
    EXPECT_EQ("1.0.0 (2.0.0)", Tree()->FindComponentItem("App")->text(3));
}

TEST_F(ActionsTest, WarningsStayHiddenWhenTheOptionIsOff)
{
    MakePackage();
    OpenPackage();
    CNUVOptions::Instance()->m_bDisplayWarningMessage = false;
    m_Prompts->onDialog = Answer({{"NUV - Dependencies", CDependencyList::Include},
                                  {"NUV - Tessom EULA", QDialog::Accepted}});
    Trigger("App", Menu()->m_pInstall);
    EXPECT_EQ(std::vector<QString>({"NUV - Dependencies", "NUV - Tessom EULA"}), m_Prompts->dialogs);
    EXPECT_EQ("App 2.0.0", ReadFile(Path("root/lib/App")));
}

TEST_F(ActionsTest, UninstallFromAPackageThatIsNotInstalledIsRefusedButDownloadsRun)
{
    MakePackage();
    OpenPackage();
    QObject::disconnect(Tree(), &CComponentTreeView::StartAction, m_Window.get(), nullptr);
    Holder("Docs")->SetInstalledVersion(CVersion("1.0.0"));
    Trigger("Docs", Menu()->m_pUninstall);
    Trigger("Core", Menu()->m_pDownload);
    m_Window->SLOTStartActions();
    EXPECT_EQ(QStringList{"Uninstall: There are no components to uninstall."}, Titles());
    EXPECT_TRUE(Cached("Core-1.0.0.zip"));
}

TEST_F(ActionsTest, DistributionForAnotherSystemIsNotInstalled)
{
    MakePackage("Old");
    OpenPackage();
    m_Prompts->onDialog = Answer({{"NUV - Dependencies", CDependencyList::Include}});
    Trigger("Docs", Menu()->m_pInstall);
    EXPECT_EQ(QStringList{"Installation Warning: There is a mismatch between the machine's Operating System "
                          "of Linux and the Distribution's Target Operating System of Windows."},
              Titles());
    EXPECT_EQ("\n\nThe installation cannot proceeed.", m_Prompts->boxes[0].text.mid(m_Prompts->boxes[0].text.indexOf('\n')));
    EXPECT_TRUE(m_Window->OutputText().endsWith(
        "Installation Error\n\tDistribution Operating System set as: Windows\n\tYour Operating System  set as: "
        "Linux\n\tAborted the installation\n\n"));
    EXPECT_FALSE(Exists(Path("root/lib/Docs")));
}

TEST_F(ActionsTest, NewComponentsDialogAfterOpeningDownloadsTheTickedOnes)
{
    MakePackage();
    CNUVOptions::Instance()->m_bDisplayNewComponentDlg = true;
    int listed = 0;
    m_Prompts->onDialog = [&listed](QDialog& dialog) {
        if (auto* offer = dynamic_cast<CNUVNewComponentDlg*>(&dialog)) {
            listed = offer->MajorList()->topLevelItemCount() + offer->OtherList()->topLevelItemCount();
            offer->OtherList()->topLevelItem(2)->setCheckState(0, Qt::Unchecked);   // Docs
            return int(CNUVNewComponentDlg::DownloadChosen);
        }
        return int(CDependencyList::Omit);
    };
    OpenPackage();
    EXPECT_EQ("NUV-New Components", m_Prompts->dialogs.front());
    EXPECT_EQ(3, listed);
    EXPECT_TRUE(Cached("App-2.0.0.zip"));
    EXPECT_TRUE(Cached("Core-1.0.0.zip"));
    EXPECT_FALSE(Cached("Docs-1.0.0.zip"));

    // Off line the dialog refuses to download and stays open.
    CNUVFunctions::Instance()->SetOnline(false);
    std::vector<CComponent*> none;
    CNUVNewComponentDlg offer(none, none);
    offer.SLOTDnldBtn();
    EXPECT_EQ("Failed Communications: Unable to download new components.", Titles().last());
    EXPECT_EQ(0, offer.result());
    CNUVFunctions::Instance()->SetOnline(true);
}
