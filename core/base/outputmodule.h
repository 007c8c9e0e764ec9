#pragma once

#include <QObject>
#include <QString>

#include <cstdarg>
#include <string>

/// The one channel for messages to the user. Messages carry their own line ends.
/// Display formats printf-style into a 4096-byte buffer (cut to 4095 characters) and hands
/// the text to the module's DisplayText.
class NUVOutputModule {
public:
    static constexpr size_t kBufferSize = 4096;

    virtual ~NUVOutputModule() = default;
    void Display(const char* format, ...) __attribute__((format(printf, 2, 3)));

protected:
    virtual void DisplayText(const std::string& text) = 0;
};

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
