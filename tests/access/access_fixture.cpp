#include "tests/access/access_fixture.h"

#include "core/recipetable.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace kb::test {

QString accessData(const QString& name) {
    return QDir(QStringLiteral(KB_ACCESS_DATA)).filePath(name);
}

QString readerHelper() {
    return QStringLiteral(KB_MDBREAD);
}

QString dbTool() {
    return QStringLiteral(KB_DB_TOOL);
}

access::ImportOptions importOptions() {
    access::ImportOptions o;
    o.helper = readerHelper();
    o.limits.wallMs = 20000;
    return o;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QString fakeHelper(const QString& dir, const QByteArray& body) {
    const QString path = QDir(dir).filePath(QStringLiteral("fake-reader.sh"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write("#!/bin/sh\n" + body + "\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString stored(const QString& text) {
    return storedValue(text);
}

} // namespace kb::test
