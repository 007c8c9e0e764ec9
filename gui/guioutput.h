#pragma once

#include "core/base/outputmodule.h"

#include <QObject>
#include <QString>

/// The graphical program's output module: every message becomes a DisplayTextReady signal,
/// which the main window appends to its output window.
class NUVGUIOutputModule : public QObject, public NUVOutputModule {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void DisplayTextReady(QString text);
    /// Part of the module's interface for a progress display; the core does not emit it.
    void DownloadProgress(char* Name, int Progress, int Total);

protected:
    void DisplayText(const std::string& text) override
    {
        Q_EMIT DisplayTextReady(QString::fromLatin1(text.c_str()));
    }
};

/// Turns the facade's catalogue-loading progress into a Qt signal while it is registered.
class NUVGUISignaler : public QObject {
    Q_OBJECT
public:
    explicit NUVGUISignaler(QObject* parent = nullptr);
    ~NUVGUISignaler() override;

Q_SIGNALS:
    void OpenPackageProgress(int Percent, QString Package);
};
