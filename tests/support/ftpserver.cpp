#include "support/ftpserver.h"

#include "core/base/textutil.h"

#include <QFile>

namespace testsupport {

CFtpServer::~CFtpServer() { Stop(); }

bool CFtpServer::Start(const std::string& root, const std::string& logFile,
                       const Options& options)
{
    m_LogFile = logFile;
    QFile(QString::fromStdString(logFile)).open(QIODevice::WriteOnly | QIODevice::Truncate);
    QStringList args = {QString(NUV_SOURCE_DIR) + "/tests/support/ftpserver.py",
                        "--root", QString::fromStdString(root),
                        "--user", kUser,
                        "--password", kPassword,
                        "--log", QString::fromStdString(logFile),
                        "--trickle-blocks", QString::number(options.trickleBlocks),
                        "--trickle-pause-ms", QString::number(options.tricklePauseMs)};
    if (!options.stallFile.empty())
        args << "--stall" << QString::fromStdString(options.stallFile);
    if (!options.trickleFile.empty())
        args << "--trickle" << QString::fromStdString(options.trickleFile);
    if (!options.dropFile.empty())
        args << "--drop" << QString::fromStdString(options.dropFile) << "--drop-after"
             << QString::number(options.dropAfter);
    if (options.refuseRest)
        args << "--no-rest";
    m_Process.setProcessChannelMode(QProcess::SeparateChannels);
    m_Process.start("/usr/bin/python3", args);
    if (!m_Process.waitForStarted(15000))
        return false;
    while (!m_Process.canReadLine()) {
        if (!m_Process.waitForReadyRead(15000))
            return false;
    }
    const std::string line = m_Process.readLine().trimmed().toStdString();
    if (line.compare(0, 5, "PORT ") != 0)
        return false;
    m_Port = int(ParseDecimal(line.substr(5)));
    return m_Port > 0;
}

void CFtpServer::Stop()
{
    if (m_Process.state() == QProcess::NotRunning)
        return;
    m_Process.terminate();   // SIGTERM to this process id only
    if (!m_Process.waitForFinished(5000)) {
        m_Process.kill();
        m_Process.waitForFinished(5000);
    }
}

std::string CFtpServer::Address() const { return "127.0.0.1:" + std::to_string(m_Port); }

std::vector<std::string> CFtpServer::Commands() const
{
    std::string text;
    if (!ReadFileBytes(m_LogFile, &text))
        return {};
    std::vector<std::string> lines = SplitLines(text);
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

std::vector<std::string> CFtpServer::Requests() const
{
    std::vector<std::string> requests;
    for (std::string& line : Commands())
        if (line != "QUIT" && line.compare(0, 5, "SENT ") != 0)
            requests.push_back(std::move(line));
    return requests;
}

int CFtpServer::Count(const std::string& word) const
{
    int count = 0;
    for (const std::string& line : Commands()) {
        if (line.compare(0, word.size(), word) == 0 &&
            (line.size() == word.size() || line[word.size()] == ' '))
            ++count;
    }
    return count;
}

void CFtpServer::ClearLog() const
{
    QFile(QString::fromStdString(m_LogFile)).open(QIODevice::WriteOnly | QIODevice::Truncate);
}

}  // namespace testsupport
