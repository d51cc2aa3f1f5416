#include "tests/history/history_fixture.h"

#include <QFile>
#include <QTest>

namespace kb::test {

HistoryFixture::HistoryFixture() {
    store->addFollower(&follower);
}

QStringList HistoryFixture::storedBytes(const QString& category) const {
    auto db = open();
    QString q = category;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    QStringList out;
    for (const QVariantList& r :
         db->Query(QStringLiteral("SELECT quote(CAST(Name AS BLOB)), quote(CAST(Author AS BLOB)), "
                                  "quote(CAST(Ingredients AS BLOB)), quote(CAST(Instructions AS "
                                  "BLOB)) FROM main.\"%1\" ORDER BY rowid")
                       .arg(q)))
        out << r.value(0).toString() + r.value(1).toString() + r.value(2).toString() +
                   r.value(3).toString();
    return out;
}

QStringList HistoryFixture::historyBytes() const {
    auto db = open();
    attachHistory(*db);
    QStringList out;
    for (const QVariantList& r : db->Query(QStringLiteral(
             "SELECT quote(CAST(name AS BLOB)), quote(CAST(author AS BLOB)), "
             "quote(CAST(ingredients AS BLOB)), quote(CAST(instructions AS BLOB)) FROM "
             "history.entries ORDER BY id")))
        out << r.value(0).toString() + r.value(1).toString() + r.value(2).toString() +
                   r.value(3).toString();
    return out;
}

QList<HistoryEntry> HistoryFixture::history() const {
    auto db = open();
    return listHistory(*db);
}

void flipByte(const QString& fileName, qint64 at) {
    QFile f(fileName);
    QVERIFY(f.open(QIODevice::ReadWrite));
    if (at < 0)
        at = f.size() / 2 + 100;
    f.seek(at);
    char c = 0;
    f.getChar(&c);
    f.seek(at);
    f.putChar(static_cast<char>(c ^ 0x5a));
}

} // namespace kb::test
