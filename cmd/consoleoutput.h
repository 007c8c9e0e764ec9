#pragma once

#include "core/base/outputmodule.h"

#include <QObject>
#include <QString>

/// Console module: writes every message to standard output.
class NUVCMDOutputModule : public QObject, public NUVOutputModule {
    Q_OBJECT
public:
    using QObject::QObject;

Q_SIGNALS:
    void DisplayTextReady(QString text);   // not connected by the console program

protected:
    void DisplayText(const std::string& text) override;
};
