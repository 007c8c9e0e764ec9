#include "core/nuvfunctions.h"
#include "core/nuvoptions.h"
#include "core/base/trace.h"
#include "gui/guioutput.h"
#include "gui/mainwindow.h"
#include "gui/splashscreen.h"
#include "gui/startup.h"
#include "gui/userprompts.h"

#include <QApplication>
#include <QDir>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const std::unique_ptr<QLockFile> instance = AcquireSingleInstance();
    if (!instance) {
        Inform("NUV Multiple Instance",
               "Error encountered; Application already running, please note only one instance of "
               "this application can run at a time");
        return 0;
    }
    if (!IsAdministrator())
        Inform("NUV", "You will not be able to install or uninstall software via the NUV, becuase "
                      "you do not have the correct user permissions.\n\nMake sure you have "
                      "Administrator rights.");
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    const CGuiSwitches switches = ReadSwitches(QCoreApplication::arguments());
    ApplySwitches(switches);
    if (switches.usageError) {
        Warn("NUV", "Usage: -font-size <size>\n<size> must be an integer greater than zero");
        return 0;
    }
    QFont font = QApplication::font();
    font.setPointSize(switches.fontSize);
    QApplication::setFont(font);

    NUVGUIOutputModule output;
    CNUVFunctions* nuv = CNUVFunctions::Instance();
    nuv->SetOutputModule(&output);

    auto splash = std::make_unique<CNUVSplashScreen>();
    splash->SetMessage("Connecting to Server...");
    splash->show();
    QCoreApplication::processEvents();
    CNUVOptions::Instance()->Read();
    nuv->NUVSetup();
    splash->hide();

    auto window = std::make_unique<CNUVMainWindow>(switches.developer, &output);
    Trace("Interface created");
    window->showNormal();
    window->ShowLogInResult();
    if (IsNewerClientRequired())
        Inform("NUV Upgrade", "A new version of the Tessom Installation Tool is available from "
                              "https://www.nuv.example/downloads.\n\nIt is strongly recommended you "
                              "upgrade the NUV before continuing with further software updates.");
    splash.reset();
    Trace("App Start");
    const int result = QApplication::exec();
    CNUVOptions::Instance()->Write();
    nuv->SetOutputModule(nullptr);
    window.reset();
    return result;
}
