#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

namespace fuzzsupport {

const std::string& WorkFolder()
{
    static QTemporaryDir folder(QDir::tempPath() + "/nuv-fuzz-XXXXXX");
    static const std::string path = [] {
        if (!folder.isValid() || !QDir::setCurrent(folder.path()))
            std::abort();
        return folder.path().toStdString();
    }();
    return path;
}

std::string WriteInput(const std::string& relative, const std::string& bytes)
{
    const QString path = QString::fromStdString(WorkFolder() + "/" + relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        std::abort();
    return path.toStdString();
}

const std::string& SampleCatalogue()
{
    static const std::string text =
        "[R5_Base]\n"
        "version=6.4.0\n"
        "package=R5_Base-6.4.0.zip\n"
        "group=Platform\n"
        "description=Base\n"
        "needsetup=yes\n"
        "[R5_Base]\n"
        "version=6.4.1\n"
        "package=R5_Base-6.4.1.zip\n"
        "[Message_Broker]\n"
        "version=2.0.1b3\n"
        "package=Message_Broker-2.0.1b3.zip\n"
        "depends=R5_Base\n"
        "[Backup_Tool]\n"
        "version=2.3.0\n"
        "package=Backup_Tool-2.3.0.zip\n"
        "depends=R5_Base,Message_Broker\n";
    return text;
}

}  // namespace fuzzsupport
