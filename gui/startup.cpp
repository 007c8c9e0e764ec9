#include "gui/startup.h"

#include "core/catalogue/distributionlist.h"
#include "core/catalogue/version.h"
#include "core/base/trace.h"
#include "portability/systemenv.h"

#include <QDir>
#include <QStandardPaths>

std::string ProgramVersion()
{
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionBuild);
}

CGuiSwitches ReadSwitches(const QStringList& words)
{
    CGuiSwitches switches;
    for (int i = 1; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word == "-debug") {
            switches.debug = true;
        } else if (word == "-developer") {
            switches.developer = true;
        } else if (word == "-ntrace") {
            switches.ntrace = true;
        } else if (word == "-font-size" && i + 1 < words.size()) {
            bool number = false;
            const int size = words[i + 1].toInt(&number, 10);
            if (!number || size <= 0) {
                switches.usageError = true;
                return switches;
            }
            switches.fontSize = size;
            ++i;
        }
    }
    return switches;
}

void ApplySwitches(const CGuiSwitches& switches)
{
    if (switches.debug) {
        DebugTraceOn();
        DebugTraceReset();
        Trace("NUV( %s ) debug trace activated", ProgramVersion().c_str());
    }
    if (switches.developer)
        Trace("Developer switch activated");
    if (switches.ntrace) {
        Trace("Network Trace activated");
        NetTraceOn(true);
    }
    if (switches.fontSize != CGuiSwitches().fontSize)
        Trace("Default Font Size set to: %d", switches.fontSize);
}

std::unique_ptr<QLockFile> AcquireSingleInstance()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    auto lock = std::make_unique<QLockFile>(folder + "/NUV_STARTUP_EVENT.lock");
    lock->setStaleLockTime(0);   // a lock left by a crashed run is taken over
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

bool IsAdministrator() { return CSystemEnv::Instance().EffectiveUserId() == 0; }

bool IsNewerClientRequired()
{
    const std::string& minClient = CDistributionList::instance()->getMinClient();
    return !minClient.empty() && CVersion(minClient) > CVersion(ProgramVersion());
}

QString TransferLabelText(const QString& name, float rate)
{
    const QString shown = name.mid(name.lastIndexOf('/') + 1);
    double value = rate;
    const char* unit = " bytes/s )";
    if (rate > 1048576) {
        value = rate / 1048576.0;
        unit = " Mb/s )";
    } else if (rate > 1024) {
        value = rate / 1024.0;
        unit = " Kb/s )";
    }
    return " " + shown + " ( " + QString::number(value, 'f', 2) + unit;
}
