// A component's file list, read for an install from an empty unpacked archive: every entry's
// source is missing, so nothing is copied wherever an entry points.
#include "fuzzsupport.h"

#include "core/operations/filesync.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& top = fuzzsupport::WorkFolder();
    const std::string list = fuzzsupport::WriteInput("filelist", fuzzsupport::Bytes(data, size));
    static const bool folders = QDir().mkpath(QString::fromStdString(top + "/archive")) &&
                                QDir().mkpath(QString::fromStdString(top + "/root"));
    (void)folders;
    CFileSync sync(top + "/archive");
    sync.SetInstallListPath(list);
    (void)sync.SyncFiles(top + "/root", CFileSync::kInstall);
    (void)sync.ErrorText();
    return 0;
}
