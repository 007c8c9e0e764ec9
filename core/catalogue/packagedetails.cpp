#include "core/catalogue/packagedetails.h"

#include "core/base/textutil.h"

#include <QByteArray>
#include <QDataStream>
#include <QString>

namespace {

constexpr int kRequiredStrings = 3;

std::string ReadString(QDataStream& stream)
{
    if (stream.status() != QDataStream::Ok)
        return std::string();
    QString text;
    stream >> text;   // a count beyond the data ends in ReadPastEnd with an empty string
    if (stream.status() != QDataStream::Ok)
        return std::string();
    return text.toLatin1().toStdString();
}

}  // namespace

bool CPackageDetails::ReadOldFormat(const std::string& path)
{
    *this = CPackageDetails();
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return false;
    (void)ParseOldFormat(bytes);   // a file without the exact layout keeps what could be read
    return true;
}

bool CPackageDetails::ParseOldFormat(const std::string& bytes)
{
    *this = CPackageDetails();
    const QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QDataStream stream(data);
    stream.setVersion(QDataStream::Qt_4_0);
    stream.setByteOrder(QDataStream::BigEndian);
    std::string* fields[] = {&distribution, &root, &setup, &remove, &start, &stop};
    int read = 0;
    for (std::string* field : fields) {
        if (read >= kRequiredStrings && stream.atEnd())
            break;
        *field = ReadString(stream);
        if (stream.status() == QDataStream::Ok)
            ++read;
    }
    return read >= kRequiredStrings && stream.status() == QDataStream::Ok && stream.atEnd();
}
