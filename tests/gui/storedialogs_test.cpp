// The package store from the main window: new, delete, duplicate, installation path, cache,
// portable and delta package files, the working-folder lock and the remembered layout.
#include "core/catalogue/cache.h"
#include "core/catalogue/componentholder.h"
#include "core/catalogue/distribution.h"
#include "core/catalogue/packagetemplate.h"
#include "gui/actiondialogs.h"
#include "gui/packagedialogs.h"
#include "gui/storedialogs.h"
#include "guifixture.h"

#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSysInfo>
#include <QTextEdit>
#include <QTreeWidget>

using namespace guitest;

namespace {

/// Answers the dialogs titled title with fill (which returns the dialog's result); others are
/// rejected.
std::function<int(QDialog&)> When(const QString& title, std::function<int(QDialog&)> fill)
{
    return [title, fill](QDialog& dialog) { return dialog.windowTitle() == title ? fill(dialog) : 0; };
}

void SelectDistribution(CNewPackage& dialog, const QString& name)
{
    QList<QTreeWidgetItem*> items = dialog.m_pDistributions->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(items.isEmpty());
    dialog.m_pDistributions->setCurrentItem(items.first());
}

}  // namespace

class StoreDialogsTest : public GuiTest {
protected:
    std::string Root(const std::string& package) const
    {
        return CNUVFunctions::Instance()->GetDetailsForPackage(package).root;
    }
};

TEST_F(StoreDialogsTest, NewPackageListsEveryMissingItemThenCreatesAndReoffersATakenName)
{
    MakePackage();
    int runs = 0;
    m_Prompts->onDialog = When("NUV - Create New Package", [&](QDialog& base) {
        auto& dialog = static_cast<CNewPackage&>(base);
        if (++runs == 1) {
            EXPECT_EQ("/opt/tessom/r5", dialog.m_pPath->text());
            dialog.m_pPath->clear();
            SelectDistribution(dialog, "Main");
            dialog.SLOTOKBtn();
            EXPECT_EQ(QDialog::Rejected, dialog.result());   // stays open
            dialog.m_pName->setText("pkg");
            dialog.m_pPath->setText(QString::fromStdString(Path("root2")));
        } else if (runs == 2) {
            dialog.m_pName->setText("fresh");
        } else {
            return 0;
        }
        dialog.SLOTOKBtn();
        return dialog.result();
    });
    m_Window->Action("New Package...")->trigger();
    EXPECT_EQ(2, runs);
    EXPECT_EQ("Missing Information: Required information is missing\n\tNo installation path set\n"
              "\tNo Package name defined\n\n"
              "New Package: The package name \"pkg\" has already been used.\nPlease choose another "
              "name for your package.\n",
              m_Prompts->Boxes());
    EXPECT_EQ("fresh", CNUVFunctions::Instance()->CurrentPackage());
    EXPECT_EQ(Path("root2"), Root("fresh"));
    EXPECT_EQ("Tessom Installation Tool - fresh", m_Window->windowTitle());
}

TEST_F(StoreDialogsTest, DeleteRefusesTheOpenPackageBeforeAskingAndDeletesAnotherOnYes)
{
    MakePackage();
    ASSERT_EQ(0, CNUVFunctions::Instance()->CopyPackage("pkg", "spare", Path("root2")));
    OpenPackage();
    std::vector<QString> chosen = {"pkg", "spare"};
    m_Prompts->onDialog = When("NUV - Delete Package", [&](QDialog& base) {
        auto& dialog = static_cast<CDeletePackageDlg&>(base);
        if (chosen.empty())
            return 0;
        dialog.m_pPackages->setCurrentItem(dialog.m_pPackages->findItems(chosen.front(), Qt::MatchExactly).first());
        chosen.erase(chosen.begin());
        return int(QDialog::Accepted);
    });
    m_Window->Action("Delete Package...")->trigger();
    EXPECT_EQ("Delete Package: Cannot delete package as it is currently opened\n"
              "Delete Package: Are you sure you wish to delete \"spare\"?\n",
              m_Prompts->Boxes());
    EXPECT_EQ(std::vector<std::string>{"pkg"}, CNUVFunctions::Instance()->GetPackageList());
}

TEST_F(StoreDialogsTest, DuplicateAsksForWhatIsMissingThenCopiesUnderTheNewRoot)
{
    MakePackage();
    int runs = 0;
    m_Prompts->onDialog = When("NUV - Duplicated Package", [&](QDialog& base) {
        auto& dialog = static_cast<CNUVDuplicateDlg&>(base);
        ++runs;
        dialog.SLOTCopyClicked();   // nothing entered
        dialog.m_pName->setText("copy");
        dialog.SLOTCopyClicked();
        dialog.m_pPath->setText(QString::fromStdString(Path("root2")));
        dialog.SLOTCopyClicked();
        return dialog.result();
    });
    m_Window->Action("Duplicate Package...")->trigger();
    EXPECT_EQ(1, runs);
    const QStringList titles = m_Prompts->Boxes().split('\n').filter(": ").replaceInStrings(QRegularExpression(":.*"), "");
    EXPECT_EQ(QStringList({"New Package Name", "New Package Path", "Are You Sure?", "Duplicating Package"}), titles);
    EXPECT_TRUE(m_Prompts->Boxes().endsWith("Duplicating Package: Package \"copy\" Created\n"));
    EXPECT_EQ(Path("root2"), Root("copy"));
}

TEST_F(StoreDialogsTest, ChangePathIsRefusedWhileComponentsAreInstalled)
{
    MakePackage();
    OpenPackage();
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Path("newroot"))));
    m_Prompts->chosenPath = QString::fromStdString(Path("newroot"));
    m_Prompts->onDialog = When("NUV - ChangePath", [](QDialog& base) {
        static_cast<CChangePath&>(base).SLOTBrowseBtn();
        return int(QDialog::Accepted);
    });
    Manager()->FindHolder("Core")->SetInstalledVersion(CVersion("1.0.0"));
    EXPECT_EQ(80, m_Window->SLOTChangePath());
    EXPECT_EQ("NUV - Error: Some Components are installed, can't change installation path unless no "
              "Components are installed\n",
              m_Prompts->Boxes());
    EXPECT_EQ(Path("root"), Root("pkg"));
    EXPECT_EQ(QFileInfo("/opt/tessom").isDir() ? "/opt/tessom" : QDir::homePath(), m_Prompts->chooserStarts.front());

    Manager()->FindHolder("Core")->SetInstalledVersion(CVersion());
    EXPECT_EQ(0, m_Window->SLOTChangePath());
    EXPECT_EQ(Path("newroot"), Root("pkg"));
    EXPECT_EQ(m_Prompts->chosenPath, m_Prompts->chooserStarts.back());   // the folder chosen last
}

TEST_F(StoreDialogsTest, CacheManagementListsAndDeletesUnattachedThenAllFiles)
{
    MakePackage();
    OpenPackage();
    Trigger("Core", Menu()->m_pDownload);
    ASSERT_TRUE(Exists(Path("cache/Linux/Core-1.0.0.zip")));
    WriteFile(Path("cache/Linux/Orphan-1.0.0.zip"), "PK");
    int choice = CCacheManagementDlg::DeleteUnattached;
    m_Prompts->onDialog = When("NUV - Cache Management", [&](QDialog& base) {
        auto& dialog = static_cast<CCacheManagementDlg&>(base);
        if (choice == CCacheManagementDlg::DeleteUnattached) {
            EXPECT_EQ(1, dialog.m_pAttached->topLevelItemCount());
            EXPECT_EQ("Core-1.0.0.zip", dialog.m_pAttached->topLevelItem(0)->text(0));
            EXPECT_EQ("pkg", dialog.m_pAttached->topLevelItem(0)->text(1));
            EXPECT_EQ("Orphan-1.0.0.zip", dialog.m_pUnattached->topLevelItem(0)->text(0));
            dialog.SLOTDeleteUnattached();
        } else {
            dialog.SLOTDeleteAll();
        }
        return dialog.result();
    });
    m_Window->Action("Clear Cache...")->trigger();
    EXPECT_FALSE(Exists(Path("cache/Linux/Orphan-1.0.0.zip")));
    EXPECT_TRUE(Exists(Path("cache/Linux/Core-1.0.0.zip")));

    choice = CCacheManagementDlg::DeleteAll;
    m_Window->Action("Clear Cache...")->trigger();
    EXPECT_FALSE(Exists(Path("cache/Linux/Core-1.0.0.zip")));
    EXPECT_TRUE(Manager()->FindHolder("Core")->GetDownloadedVersion().IsZero());
    EXPECT_EQ("Delete All: Are you sure you wish to delete all unattached component files ?\n"
              "Clear Cache: Unattached files removed from cache\n"
              "Delete All: Are you sure you wish to delete all component files ?\n"
              "Clear Cache: Cache Cleaned\n",
              m_Prompts->Boxes());
}

TEST_F(StoreDialogsTest, PortablePackageMadeOnLineInstallsInASecondFolderStartedOffLine)
{
    // What the progress bar showed: "label value/maximum" at every change.
    QStringList shown;
    const auto watch = [&] {
        QObject::connect(m_Window->ProgressBar(), &QProgressBar::valueChanged, m_Window.get(), [&](int value) {
            shown << m_Window->TransferLabel()->text() + " " + QString::number(value) + "/" +
                         QString::number(m_Window->ProgressBar()->maximum());
        });
    };
    MakePackage();
    watch();
    OpenPackage();
    m_Window->Action("Create Tessom Package File")->trigger();   // fetches the uncached archives
    ASSERT_TRUE(Exists(Path("pkg.npf")));
    EXPECT_TRUE(m_Prompts->Boxes().contains("Creating NPF: The NPF has been created in:\n"));
    // Five members and the list of the archives' digests.
    EXPECT_TRUE(shown.contains("Creating pkg.npf 6/6")) << shown.join(", ").toStdString();
    m_Window->Action("Close Package...")->trigger();

    // The second folder's program starts with the server out of reach.
    const std::string office = Path("office");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(office)));
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(office)));
    WriteServerDetails(office, "127.0.0.1:1", CFtpServer::kUser, CFtpServer::kPassword);
    CDistributionList::destroy();
    CCacheList::destroy();
    CNUVFunctions::Instance()->NUVSetup();
    ASSERT_FALSE(CNUVFunctions::Instance()->IsOnline());
    MakeWindow();
    watch();
    shown.clear();
    m_Prompts->boxes.clear();
    m_Prompts->chosenPath = QString::fromStdString(Path("pkg.npf"));
    m_Window->Action("Load Tessom Package File...")->trigger();
    EXPECT_EQ("Open Package: Do you wish to open this package now?\n", m_Prompts->Boxes());
    ASSERT_EQ("pkg", CNUVFunctions::Instance()->CurrentPackage());
    EXPECT_TRUE(shown.contains("Unpacking pkg.npf 1/6")) << shown.join(", ").toStdString();
    EXPECT_TRUE(shown.contains("Unpacking pkg.npf 6/6"));
    EXPECT_TRUE(m_Window->ProgressBar()->isHidden());

    m_Prompts->boxes.clear();
    m_Prompts->onDialog = [](QDialog&) { return int(QDialog::Accepted); };   // dependencies, licence, warnings
    Trigger("App", Menu()->m_pInstall);
    EXPECT_EQ("NUV: Installation Successful\n", m_Prompts->Boxes());
    EXPECT_EQ("App 2.0.0", ReadFile(Path("root/lib/App")));
    EXPECT_EQ("Core 1.0.0", ReadFile(Path("root/lib/Core")));

    m_Prompts->boxes.clear();   // a second load finds the package there and keeps it
    m_Prompts->answers = {QMessageBox::Yes};
    m_Window->Action("Load Tessom Package File...")->trigger();
    EXPECT_EQ("Loading NPF: This Operation will close the current pacakge\nDo wish to continue?\n"
              "Unpacking NUV Package File: A package with the same name already exists.\nTo unpack this "
              "package please uninstall and delete the package\n",
              m_Prompts->Boxes());
    EXPECT_TRUE(CNUVFunctions::Instance()->PackageExists("pkg"));
}

TEST_F(StoreDialogsTest, ChangeAliasRenamesTheOpenPackageUnlessItHasInstalledComponents)
{
    MakePackage();
    OpenPackage();
    m_Prompts->onDialog = When("NUV - Change Alias", [](QDialog& base) {
        auto& dialog = static_cast<CChangeAlias&>(base);
        EXPECT_EQ("pkg", dialog.Field()->text());
        dialog.Field()->setText("renamed");
        return int(QDialog::Accepted);
    });
    WriteFile(Path("root/installer/packages.pkg"), "");
    m_Window->Action("Change Package Alias...")->trigger();
    EXPECT_EQ("NUV - Error: Some Components are installed, can't change the alias unless no Components are "
              "installed\n",
              m_Prompts->Boxes());
    EXPECT_EQ(std::vector<std::string>{"pkg"}, CNUVFunctions::Instance()->GetPackageList());

    QFile::remove(QString::fromStdString(Path("root/installer/packages.pkg")));
    m_Window->Action("Change Package Alias...")->trigger();
    EXPECT_EQ(std::vector<std::string>{"renamed"}, CNUVFunctions::Instance()->GetPackageList());
    EXPECT_EQ("Tessom Installation Tool - renamed", m_Window->windowTitle());
    m_Window->Action("Create Package Template File")->trigger();   // the open package goes by its new name
    EXPECT_TRUE(Exists(Path("PTF/renamed.ptf")));
}

TEST_F(StoreDialogsTest, DeltaPackageListsTheChangedComponentsAndIsCreatedOnRequest)
{
    MakePackage();
    OpenPackage();
    m_Prompts->onDialog = When("NUV - Component Changes", [](QDialog& base) {
        auto& dialog = static_cast<CDeltaComponentDlg&>(base);
        const QTreeWidgetItem* app = dialog.m_pChanged->findItems("App", Qt::MatchExactly).value(0);
        EXPECT_TRUE(app && app->data(1, Qt::AccessibleDescriptionRole) == "newer");
        return int(QDialog::Accepted);
    });
    m_Window->Action("Create Delta Package File...")->trigger();
    EXPECT_TRUE(Exists(Path("pkg.dpf")));
    EXPECT_FALSE(Exists(Path("delta")));
    EXPECT_TRUE(m_Prompts->Boxes().startsWith("Creating DPF: The DPF has been created in:\n")) << m_Prompts->Boxes().toStdString();
}

TEST_F(StoreDialogsTest, AnOpenPackageHoldsTheWorkingFolderAgainstOtherProcesses)
{
    MakePackage();
    OpenPackage();
    EXPECT_TRUE(Exists(Path("nuv.lock")));
    m_Window->Action("Close Package...")->trigger();
    EXPECT_FALSE(Exists(Path("nuv.lock")));

    // Another live process holds the lock: opening is refused and says which one.
    QProcess holder;
    holder.start("sleep", {"30"});
    ASSERT_TRUE(holder.waitForStarted());
    const qint64 pid = holder.processId();
    WriteFile(Path("nuv.lock"), std::to_string(pid) + "\nsleep\n" +
                                    QSysInfo::machineHostName().toStdString() + "\n");
    m_Window->OpenPackageByName("pkg");
    holder.kill();
    holder.waitForFinished();
    EXPECT_TRUE(CNUVFunctions::Instance()->CurrentPackage().empty());
    EXPECT_TRUE(m_Prompts->Boxes().startsWith("Open Package: The working folder "));
    EXPECT_TRUE(m_Prompts->Boxes().contains("(process " + QString::number(pid) + ")"))
        << m_Prompts->Boxes().toStdString();
}

TEST_F(StoreDialogsTest, WindowSizeAndDockLayoutComeBackAtTheNextStart)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(Path("config")));
    MakeWindow();
    m_Window->resize(900, 640);
    m_Window->OutputDock()->setFloating(true);
    m_Window->SaveWindowLayout();
    MakeWindow();
    m_Window->RestoreWindowLayout();
    EXPECT_EQ(QSize(900, 640), m_Window->size());
    EXPECT_TRUE(m_Window->OutputDock()->isFloating());
}

TEST_F(StoreDialogsTest, MultiplyDefinedVersionsAreListedPerComponent)
{
    CComponentHolder holder("App");
    for (const char* version : {"1.0.0", "1.0.0", "2.0.0"}) {
        CComponent record;
        record.SetName("App");
        record.SetVersion(version);
        holder.AddComponent(std::move(record));
    }
    CMultipleSameVersionsDlg dialog({&holder});
    const auto* list = dialog.findChild<QTreeWidget*>();
    ASSERT_EQ(1, list->topLevelItemCount());
    EXPECT_EQ(QStringList({"App", "1.0.0"}),
              QStringList({list->topLevelItem(0)->text(0), list->topLevelItem(0)->text(1)}));
}

TEST_F(StoreDialogsTest, TemplateForReferenceSwitchesTheOperationsOffAndForCreationMakesThePackage)
{
    MakePackage();
    OpenPackage();
    m_Window->Action("Create Package Template File")->trigger();
    ASSERT_TRUE(Exists(Path("PTF/pkg.ptf")));
    // Since the template was made, Core 9.9.9 and the component Gone left the server.
    QString text = QString::fromStdString(ReadFile(Path("PTF/pkg.ptf")));
    text.replace("VERSION=1.0.0\nGROUP=Base", "VERSION=9.9.9\nGROUP=Base");
    text.replace("<END COMPONENTS>", "[Gone]\nCOMPONENT=Gone-1.2.0.zip\nVERSION=1.2.0\n<END COMPONENTS>");
    WriteFile(Path("PTF/pkg.ptf"), text.toStdString());
    m_Window->Action("Close Package...")->trigger();
    ASSERT_EQ(0, CNUVFunctions::Instance()->DeletePackage("pkg"));
    m_Prompts->chosenPath = QString::fromStdString(Path("PTF/pkg.ptf"));
    m_Prompts->boxes.clear();

    m_Prompts->choices = {1};   // Reference
    m_Window->Action("Load Package Template File...")->trigger();
    EXPECT_EQ("Loading PTF: Would you like to use the selected PTF for\npackage creation or reference purposes?\n\n",
              m_Prompts->Boxes());
    EXPECT_EQ("pkg", CNUVFunctions::Instance()->CurrentPackage());
    EXPECT_FALSE(CNUVFunctions::Instance()->PackageExists("pkg"));   // nothing written
    Select("Core");
    for (QAction* action : {Menu()->m_pInstall, Menu()->m_pDownload, Menu()->m_pUninstall, Menu()->m_pDelete})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();

    m_Prompts->choices = {0};   // Creation; the installation path is then offered
    m_Prompts->boxes.clear();
    m_Window->Action("Load Package Template File...")->trigger();
    EXPECT_TRUE(CNUVFunctions::Instance()->PackageExists("pkg"));
    EXPECT_TRUE(m_Prompts->Boxes().endsWith(
        "Unavailable Components: The requested version of the following components are no longer available on "
        "the server.\n\nCore 9.9.9\nThey have therefore been set at the latest available version.\n\n"
        "No versions of the following components are available on the server.\n\nGone 1.2.0\nThey have "
        "therefore been removed from the package.\n\n\n"))
        << m_Prompts->Boxes().toStdString();
    EXPECT_FALSE(CNUVFunctions::Instance()->m_bPTFReferenceOnly);
    EXPECT_EQ(std::vector<QString>{"NUV - ChangePath"}, m_Prompts->dialogs);
}

TEST_F(StoreDialogsTest, NewPackageFromAServerTemplateNeedsOneChosen)
{
    MakePackage();
    OpenPackage();
    WriteFile(TheServer()->Served("PTF/PTFList.txt"), "release1.ptf\n");
    WriteFile(TheServer()->Served("PTF/release1.ptf"), CPackageTemplate::TemplateText(*CDistributionList::instance()->getCurrentDistribution()));
    m_Prompts->onDialog = When("NUV - Create New Package", [](QDialog& base) {
        auto& dialog = static_cast<CNewPackage&>(base);
        dialog.m_pFromTemplate->click();
        dialog.SLOTOKBtn();   // none chosen
        const QTreeWidgetItem* top = dialog.m_pTemplates->topLevelItem(0);
        EXPECT_EQ("Available Releases", top->text(0));
        dialog.m_pTemplates->setCurrentItem(top->child(0));
        EXPECT_TRUE(dialog.m_pInformation->toPlainText().contains("Distribution: Main"));
        dialog.m_pName->setText("release");
        dialog.SLOTOKBtn();
        return dialog.result();
    });
    m_Window->Action("New Package...")->trigger();
    EXPECT_EQ("PTF Selection: No Package Template File(PTF) selected.\nPlease select one or cancel this operation\n",
              m_Prompts->Boxes());
    EXPECT_EQ("release", CNUVFunctions::Instance()->CurrentPackage());
    EXPECT_TRUE(CNUVFunctions::Instance()->PackageExists("release"));
    EXPECT_EQ((std::vector<QString>{"NUV - Create New Package", "NUV - ChangePath"}), m_Prompts->dialogs);
}
