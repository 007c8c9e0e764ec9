#pragma once
// Shared by the graphical program's tests: a QApplication, prompts the tests answer, and a
// working folder with package "pkg" whose catalogue a real FTP server serves.

#include "core/catalogue/componentmanager.h"
#include "core/catalogue/distributionlist.h"
#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "gui/componenttree.h"
#include "gui/guioutput.h"
#include "gui/mainwindow.h"
#include "gui/userprompts.h"
#include "support/componentarchive.h"
#include "support/ftpserver.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>

/// Lets gtest print Qt strings as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace guitest {

using namespace testsupport;

/// The one QApplication of a test program; gtest tears it down before Qt's globals go.
class GuiApplicationEnvironment : public ::testing::Environment {
public:
    GuiApplicationEnvironment()
    {
        static int argc = 1;
        static char name[] = "nuvguitest";
        static char* argv[] = {name, nullptr};
        m_App = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_App.reset(); }

private:
    std::unique_ptr<QApplication> m_App;
};

inline void EnsureGuiApplication()
{
    if (!QCoreApplication::instance())
        ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);   // gtest owns it
}

/// Records every box and dialog; answers boxes from a queue (Yes/Ok when empty) and dialogs
/// through onDialog (rejected when unset).
class CScriptedPrompts : public CUserPrompts {
public:
    struct Shown {
        int icon;
        QString title;
        QString text;
    };
    std::vector<Shown> boxes;
    std::vector<QString> dialogs;
    std::deque<QMessageBox::StandardButton> answers;
    std::function<int(QDialog&)> onDialog;

    QMessageBox::StandardButton Ask(Icon icon, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons) override
    {
        boxes.push_back({icon, title, text});
        if (!answers.empty()) {
            const QMessageBox::StandardButton answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    }
    int Run(QDialog& dialog) override
    {
        dialogs.push_back(dialog.windowTitle());
        return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
    }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return QString();
    }
    /// "title: text" of every box, one a line.
    QString Boxes() const
    {
        QString all;
        for (const Shown& box : boxes)
            all += box.title + ": " + box.text + "\n";
        return all;
    }
};

/// A window over package "pkg" (Main line, Linux, root "root") whose catalogue the suite's FTP
/// server serves: App 1.0.0 and 2.0.0 (group Apps.Tools, needs Core, release notes), Core 1.0.0
/// (group Base), Docs 1.0.0 (group Apps.Manuals).
class GuiTest : public TempDirTest {
protected:
    struct Server {
        QTemporaryDir dir;
        CFtpServer ftp;
        std::string Served(const std::string& relative) const
        {
            return dir.path().toStdString() + "/server/software/" + relative;
        }
    };
    static std::unique_ptr<Server>& TheServer()
    {
        static std::unique_ptr<Server> server;
        return server;
    }
    static std::string Section(const std::string& name, const std::string& version,
                               const std::string& group, const std::string& extra = std::string())
    {
        return "[" + name + "]\npackage=" + name + "-" + version + ".zip\nversion=" + version +
               "\ngroup=" + group + "\ndescription=" + name + " component\n" + extra;
    }
    static void Publish(const std::string& name, const std::string& version)
    {
        Server& server = *TheServer();
        const std::string build = server.dir.path().toStdString() + "/build";
        MakeArchive(build, name, version,
                    {{"lib/" + name, name + " " + version}, {"installer/" + name + "/filelist", "lib/" + name + "\n"}});
        const std::string archive = name + "-" + version + ".zip";
        WriteFile(server.Served("r5/main/" + archive), ReadFile(build + "/cache/Linux/" + archive));
    }
    static void SetUpTestSuite()
    {
        EnsureGuiApplication();
        TheServer() = std::make_unique<Server>();
        Server& server = *TheServer();
        WriteFile(server.Served("distributions.txt"),
                  "[Main]\ndescription=Main line\npath=r5/main\nplatform=Linux\npackagetype=zip\n"
                  "filelist=r5/main/main.pdf\n\n[Old]\ndescription=Old line\npath=r5/main\n"
                  "platform=Windows\npackagetype=zip\nfilelist=r5/main/main.pdf\n");
        WriteFile(server.Served("r5/main/main.pdf"),
                  Section("App", "1.0.0", "Apps.Tools", "depends=Core\nreleasenotes=app-notes.txt\n") +
                      Section("App", "2.0.0", "Apps.Tools",
                              "depends=Core\nreleasenotes=app-notes.txt\ninstallmessage=Restart the desk\n") +
                      Section("Core", "1.0.0", "Base") + Section("Docs", "1.0.0", "Apps.Manuals"));
        WriteFile(server.Served("r5/main/app-notes.txt"), "App release notes\n");
        Publish("App", "1.0.0");
        Publish("App", "2.0.0");
        Publish("Core", "1.0.0");
        Publish("Docs", "1.0.0");
        const std::string root = server.dir.path().toStdString();
        ASSERT_TRUE(server.ftp.Start(root + "/server", root + "/ftp.log"));
    }
    static void TearDownTestSuite() { TheServer().reset(); }

    void SetUp() override
    {
        TempDirTest::SetUp();
        auto prompts = std::make_unique<CScriptedPrompts>();
        m_Prompts = prompts.get();
        m_PreviousPrompts = CUserPrompts::Replace(std::move(prompts));
        *CNUVOptions::Instance() = CNUVOptions();
        CNUVOptions::Instance()->m_bDisplayNewComponentDlg = false;
        CNUVFunctions* nuv = CNUVFunctions::Instance();
        nuv->SetOutputModule(&m_Output);
        nuv->m_bWorkOffline = false;
        nuv->m_bPTFReferenceOnly = false;
        nuv->m_bCatalogueFromServer = false;
        CDistributionList::destroy();
        WriteServerDetails(Path(), TheServer()->ftp.Address(), CFtpServer::kUser, CFtpServer::kPassword);
        nuv->NUVSetup();
        ASSERT_TRUE(nuv->IsOnline());
    }
    void TearDown() override
    {
        m_Window.reset();
        CNUVFunctions::Instance()->ClosePackage();
        CNUVFunctions::Instance()->SetOutputModule(nullptr);
        CUserPrompts::Replace(std::move(m_PreviousPrompts));
        TempDirTest::TearDown();
    }

    /// Creates "pkg" on distribution name (as the new-package dialog would) and the window.
    void MakePackage(const std::string& distribution = "Main")
    {
        CDistributionList* list = CDistributionList::instance();
        int index = 0;
        while (index < list->count() && list->getDistribution(index)->GetName() != distribution)
            ++index;
        ASSERT_EQ(0, CNUVFunctions::Instance()->CreateNewPackage(index, Path("root"), "pkg", "tag1"));
        CNUVFunctions::Instance()->ClosePackage();
        MakeWindow();
    }
    void MakeWindow(bool developer = false)
    {
        m_Window = std::make_unique<CNUVMainWindow>(developer, &m_Output);
    }
    void OpenPackage()
    {
        m_Window->OpenPackageByName("pkg");
        ASSERT_EQ("pkg", CNUVFunctions::Instance()->CurrentPackage());
    }
    CComponentTreeView* Tree() const { return m_Window->Tree(); }
    CComponentTreeViewMenu* Menu() const { return Tree()->Menu(); }
    CComponentManager* Manager() const { return CurrentManager(); }
    /// Makes the named item (component or group caption) current.
    void Select(const QString& name)
    {
        QList<QTreeWidgetItem*> items = Tree()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_FALSE(items.isEmpty()) << name.toStdString();
        Tree()->setCurrentItem(items.first());
        Tree()->UpdateMenuState(items.first());
    }
    /// Runs an action of the Actions menu on the named item.
    void Trigger(const QString& item, QAction* action)
    {
        Select(item);
        action->trigger();
    }

    NUVGUIOutputModule m_Output;
    CScriptedPrompts* m_Prompts = nullptr;
    std::unique_ptr<CUserPrompts> m_PreviousPrompts;
    std::unique_ptr<CNUVMainWindow> m_Window;
};

}  // namespace guitest
