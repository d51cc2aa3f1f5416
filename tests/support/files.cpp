#include "files.h"

#include <QFile>

namespace kb::test {

QByteArray fileBytes(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace kb::test
