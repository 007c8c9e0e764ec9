#include "core/catalogue/packagedetails.h"

#include <QDataStream>
#include <QFile>

namespace {

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
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDataStream stream(&file);
    stream.setVersion(QDataStream::Qt_4_0);
    stream.setByteOrder(QDataStream::BigEndian);
    distribution = ReadString(stream);
    root = ReadString(stream);
    setup = ReadString(stream);
    std::string* optional[] = {&remove, &start, &stop};
    for (std::string* field : optional) {
        if (stream.atEnd())
            break;
        *field = ReadString(stream);
    }
    return true;
}
