// The component tree of an opened package: groups, columns, views, the information dock, the
// Actions menu's state rules and the marking, capping and excluding commands.
#include "core/catalogue/componentholder.h"
#include "gui/actiondialogs.h"
#include "gui/componentinfo.h"
#include "guifixture.h"
#include "portability/systemenv.h"

#include <QComboBox>

using namespace guitest;

namespace {

/// "caption(children...)" of item and everything below it.
QString Shape(const QTreeWidgetItem* item)
{
    QString shape = item->text(0);
    if (item->childCount() == 0)
        return shape;
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children << Shape(item->child(i));
    return shape + "(" + children.join(",") + ")";
}

QString Shape(const QTreeWidget* tree)
{
    QStringList tops;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        tops << Shape(tree->topLevelItem(i));
    return tops.join(" ");
}

/// The Actions menu as the user sees it: "+" enabled, "-" disabled, hidden entries left out.
QString MenuState(const CComponentTreeViewMenu* menu)
{
    QStringList state;
    for (QAction* action : menu->actions())
        if (!action->isSeparator() && action->isVisible())
            state << action->text().remove(' ') + (action->isEnabled() ? "+" : "-");
    return state.join(" ");
}

class UserEnv : public CSystemEnv {
public:
    unsigned EffectiveUserId() const override { return 1000; }
};

}  // namespace

class ComponentTreeTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        MakePackage();
        OpenPackage();
    }
    CComponentHolder* Holder(const char* name) const { return Manager()->FindHolder(name); }
    /// Marks set by the menu stay for the test to see instead of running at once.
    void KeepMarks() { QObject::disconnect(Tree(), &CComponentTreeView::StartAction, m_Window.get(), nullptr); }
    void Install(const char* name, const char* version) { Holder(name)->SetInstalledVersion(CVersion(version)); }
};

TEST_F(ComponentTreeTest, PackageFillsGroupsFromTheGroupTextWithVersionColumns)
{
    EXPECT_EQ("Excluded Components Included Components(Apps(Manuals(Docs),Tools(App)),Base(Core))", Shape(Tree()));
    EXPECT_FALSE(Tree()->TopGroup(0)->isExpanded());
    EXPECT_TRUE(Tree()->TopGroup(1)->isExpanded());
    CComponentTreeViewItem* app = Tree()->FindComponentItem("App");
    ASSERT_TRUE(app);
    EXPECT_EQ(QStringList({"App", "0.0.0", "0.0.0", "2.0.0", "App component"}),
              QStringList({app->text(0), app->text(1), app->text(2), app->text(3), app->text(4)}));
    EXPECT_EQ("App component", app->toolTip(0));
    EXPECT_TRUE(app->icon(0).isNull());

    Holder("App")->SetCappedVersion(CVersion("1.0.0"));
    Holder("App")->SetDownloadedVersion(CVersion("1.0.0"));
    Tree()->RefreshColumns();
    EXPECT_EQ("1.0.0 (2.0.0)", app->text(3));
    EXPECT_FALSE(app->icon(0).isNull());

    Select("App");
    EXPECT_EQ("App", m_Window->Info()->Value("Name"));
    EXPECT_EQ("1.0.0", m_Window->Info()->Value("Version"));
    EXPECT_EQ("Core", m_Window->Info()->Value("Depends"));
    EXPECT_EQ("true", m_Window->Info()->Value("Included"));
    EXPECT_EQ("None", m_Window->Info()->VersionLabel(0));
    EXPECT_EQ("1.0.0", m_Window->Info()->VersionLabel(2));
    Select("Apps");
    EXPECT_EQ("", m_Window->Info()->Value("Name"));
}

TEST_F(ComponentTreeTest, ViewsShowOnlyTheirComponents)
{
    Holder("App")->SetDownloadedVersion(CVersion("1.0.0"));
    Holder("App")->SetCappedVersion(CVersion("1.0.0"));
    Install("Core", "1.0.0");
    Holder("Core")->SetCappedVersion(CVersion("1.0.0"));   // capped at its highest version
    Holder("Docs")->SetDownloadedVersion(CVersion("1.0.0"));
    const char* const expected[] = {
        "Excluded Components Included Components(Apps(Manuals(Docs),Tools(App)),Base(Core))",
        "Excluded Components Installed Components(Base(Core))",
        "Downloaded Components(Apps(Manuals(Docs),Tools(App))) Excluded Components",
        "Excluded Components New Components(Apps(Tools(App)))",
        "Capped Components(Apps(Tools(App))) Excluded Components"};
    for (int view = 4; view >= 0; --view) {
        m_Window->ViewMenu()->ViewAction(view)->trigger();
        EXPECT_EQ(view, Tree()->View());
        EXPECT_EQ(QString(expected[view]), Shape(Tree()));
        EXPECT_EQ(view != 0, Tree()->TopGroup(0)->isExpanded());
    }
    // Closing the package goes back to the standard view.
    m_Window->ViewMenu()->ViewAction(2)->trigger();
    m_Window->ClosePackageView();
    EXPECT_TRUE(m_Window->ViewMenu()->ViewAction(0)->isChecked());
}

TEST_F(ComponentTreeTest, ActionsMenuFollowsTheItemAndTheUser)
{
    Install("Core", "1.0.0");
    Select("App");
    EXPECT_EQ("Install+ Download+ Uninstall- Delete- CapCurrentVersion+ Uncap- Exclude+ Include- "
              "SetVersion+ Rollback- ViewReleaseNote+",
              MenuState(Menu()));
    Select("Core");
    EXPECT_EQ("Install- Download+ Uninstall+ Delete- CapCurrentVersion+ Uncap- Exclude- Include- Rollback- "
              "ViewReleaseNote-",
              MenuState(Menu()));
    Select("Apps");
    EXPECT_EQ("Install+ Download+ Uninstall+ Delete+ CapCurrentVersion+ Uncap+ Exclude+ Include- ViewReleaseNote-",
              MenuState(Menu()));

    CNUVFunctions::Instance()->SetOnline(false);
    Select("App");
    EXPECT_TRUE(MenuState(Menu()).startsWith("Install+ Download- "));
    CNUVFunctions::Instance()->SetOnline(true);

    auto previous = CSystemEnv::Replace(std::make_unique<UserEnv>());
    Select("App");
    EXPECT_TRUE(MenuState(Menu()).startsWith("Install- Download+ "));
    CSystemEnv::Replace(std::move(previous));

    CNUVFunctions::Instance()->m_bPTFReferenceOnly = true;
    Select("App");
    EXPECT_EQ("CapCurrentVersion+ Uncap- Exclude- Include- SetVersion+ Rollback- ViewReleaseNote+", MenuState(Menu()));
    CNUVFunctions::Instance()->m_bPTFReferenceOnly = false;

    Trigger("Docs", Menu()->m_pExclude);
    Select("Docs");
    EXPECT_EQ("CapCurrentVersion- Uncap- Exclude- Include+ Rollback- ViewReleaseNote-", MenuState(Menu()));
}

TEST_F(ComponentTreeTest, MarkingRefusalsNameTheComponent)
{
    KeepMarks();
    Install("Core", "1.0.0");
    Trigger("Included Components", Menu()->m_pDelete);
    EXPECT_TRUE(m_Window->OutputText().endsWith("Core could not be set to delete as version 1.0.0 is still installed\n"));
    EXPECT_EQ(CComponent::ActionNone, Holder("Core")->GetCurrent()->GetAction());
    EXPECT_EQ(CComponent::ActionDelete, Holder("Docs")->GetCurrent()->GetAction());
    Manager()->ClearAllActions();

    // Capped at a version the catalogue no longer holds: nothing to act on, nothing offered.
    Holder("App")->SetCappedVersion(CVersion("1.5.0"));
    Select("App");
    Tree()->SLOTInstallMenu();
    EXPECT_TRUE(m_Window->OutputText().endsWith("Aborting installation, no Components to perform action.\n"));
    EXPECT_EQ("Install- Download- Uninstall- Delete- CapCurrentVersion- Uncap- Exclude- Include- SetVersion- "
              "Rollback- ViewReleaseNote-",
              MenuState(Menu()));
    Holder("App")->ClearCap();

    m_Prompts->boxes.clear();
    Trigger("Included Components", Menu()->m_pExclude);
    // The menu offers no rollback at the lowest version; the command refuses it all the same.
    Install("App", "1.0.0");
    Select("App");
    EXPECT_FALSE(Menu()->m_pRollback->isEnabled());
    Tree()->SLOTSetRollbackMenu();
    Install("App", "0");
    EXPECT_EQ("Cannot Exclude Components: One or more components in this group are installed, therefore "
              "they cannot be excluded.\n"
              "Rollback Component Verison: Mimimum Component version is currently installed.\nUnable to "
              "perform Rollback\n",
              m_Prompts->Boxes());
    EXPECT_EQ(0, Tree()->TopGroup(0)->childCount());

    // Another installed package refuses installing from this one.
    ASSERT_EQ(0, CNUVFunctions::Instance()->CopyPackage("pkg", "other", Path("root")));
    WriteFile(Path("root/installer/packages.other"), "");
    WriteFile(Path("packages/InstallDir.nuv"), Path("root") + "\n");
    m_Prompts->boxes.clear();
    Trigger("Docs", Menu()->m_pInstall);
    EXPECT_EQ("Installation: cannot install from this package as \"other\" is currently installed\n",
              m_Prompts->Boxes());
    EXPECT_EQ(CComponent::ActionNone, Holder("Docs")->GetCurrent()->GetAction());
}

TEST_F(ComponentTreeTest, ExcludeAndIncludeMoveTheGroupPathAndKeepTheChoice)
{
    Trigger("App", Menu()->m_pExclude);
    EXPECT_EQ("Excluded Components(Apps(Tools(App))) Included Components(Apps(Manuals(Docs)),Base(Core))",
              Shape(Tree()));
    EXPECT_FALSE(Holder("App")->GetCurrent()->IsIncluded());
    const std::string state = ReadFile(Path("packages/pkg/packages.dat"));
    EXPECT_NE(std::string::npos, state.find("included=no\ndepends=Core\n")) << state;

    Trigger("App", Menu()->m_pInclude);
    EXPECT_EQ("Excluded Components Included Components(Apps(Manuals(Docs),Tools(App)),Base(Core))", Shape(Tree()));
    EXPECT_TRUE(Holder("App")->GetCurrent()->IsIncluded());
}

TEST_F(ComponentTreeTest, CapAndUncapShowInTheColumnsAndTheInformation)
{
    Trigger("Apps", Menu()->m_pCap);
    EXPECT_EQ("2.0.0 (2.0.0)", Tree()->FindComponentItem("App")->text(3));
    EXPECT_EQ("1.0.0 (1.0.0)", Tree()->FindComponentItem("Docs")->text(3));
    EXPECT_EQ("1.0.0", Tree()->FindComponentItem("Core")->text(3));
    Trigger("App", Menu()->m_pUncap);
    EXPECT_EQ("2.0.0", Tree()->FindComponentItem("App")->text(3));
    EXPECT_EQ("None", m_Window->Info()->VersionLabel(2));
}

TEST_F(ComponentTreeTest, SetVersionOffersTheVersionsUpToTheCurrentNewestFirst)
{
    QStringList offered;
    m_Prompts->onDialog = [&offered](QDialog& dialog) {
        auto& choice = static_cast<CVersionChoiceDlg&>(dialog);
        for (int i = 0; i < choice.Versions()->count(); ++i)
            offered << choice.Versions()->itemText(i);
        choice.Versions()->setCurrentIndex(1);
        return int(QDialog::Accepted);
    };
    Trigger("App", Menu()->m_pSetVersion);
    EXPECT_EQ(std::vector<QString>{"NUV Set Capped Version"}, m_Prompts->dialogs);
    EXPECT_EQ(QStringList({"2.0.0", "1.0.0"}), offered);
    EXPECT_EQ("1.0.0 (2.0.0)", Tree()->FindComponentItem("App")->text(3));
}

TEST_F(ComponentTreeTest, ReleaseNotesAreFetchedWhenAskedOrWhenTheOptionIsOn)
{
    Select("App");
    EXPECT_EQ("", m_Window->ReleaseNotesText());
    Menu()->m_pViewReleaseNote->trigger();
    EXPECT_EQ("App release notes\n", m_Window->ReleaseNotesText());
    CNUVOptions::Instance()->m_bAutoGetReleaseNotes = true;
    Select("Core");
    EXPECT_EQ("Release Notes unavailable - none specified", m_Window->ReleaseNotesText());
}
