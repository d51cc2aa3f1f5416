// kettlebox-db export and import as a user runs them: exit codes, the progress line, the
// report on standard output, and a whole file out and back in, compared by SQLCipher's own
// command line where it is installed.

#include "core/database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "exchange_fixture.h"

using namespace kb;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run tool(const QStringList& args) {
    QProcess p;
    p.start(KB_DB_TOOL, args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The file as SQLCipher's shell prints it: the tables, then every row of each.
QByteArray shellDump(const QString& fileName, const QStringList& tables) {
    QStringList args{fileName, "PRAGMA key='5820741963mxrdbe';", "PRAGMA cipher_compatibility=3;",
                     ".mode insert",
                     "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;"};
    for (QString t : tables)
        args << "SELECT * FROM \"" + t.replace('"', "\"\"") + "\" ORDER BY rowid;";
    QProcess p;
    p.start("sqlcipher", args);
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString sub(const QString& name) const {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }

  private slots:
    void sampleFileOutAndBackIn();
    void exitCodeSaysWhetherEverythingCameIn();
};

void TestCli::sampleFileOutAndBackIn() {
    const QString a = sub("a");
    const QString b = sub("b");
    QCOMPARE(tool({"init", "--sample", a}).code, 0);
    QCOMPARE(tool({"init", b}).code, 0);
    const QString json = m_dir.filePath("all.jsonld");
    const Run out = tool({"export", "--format", "jsonld", "--folder", a, json});
    QCOMPARE(out.code, 0);
    QVERIFY(out.err.contains("Exported 13 of 13 recipes"));

    const Run in = tool({"import", "--folder", b, json});
    QVERIFY2(in.code == 0, qPrintable(in.out + in.err));
    QVERIFY(in.err.contains("Imported 13 of 13 recipes"));
    QVERIFY(in.out.contains("13 recipes came in; 0 skipped."));
    // The empty file as it was before the import, backed up first; the index brought along.
    QCOMPARE(QDir(b + "/Backups").entryList({"Recipe-*.mdb"}).size(), 1);
    QVERIFY(QFile::exists(b + "/Recipe.index"));

    auto da = Database::OpenDatabase(a + "/Recipe");
    auto db = Database::OpenDatabase(b + "/Recipe");
    QCOMPARE(test::dumpAll(*db), test::dumpAll(*da));
    const QStringList tables = da->TableDefs();
    da->Close();
    db->Close();
    if (QStandardPaths::findExecutable("sqlcipher").isEmpty())
        QSKIP("SQLCipher's command line is not installed");
    const QByteArray shellA = shellDump(a + "/Recipe.mdb", tables);
    QVERIFY(shellA.contains("INSERT INTO"));
    QCOMPARE(shellDump(b + "/Recipe.mdb", tables), shellA);
}

void TestCli::exitCodeSaysWhetherEverythingCameIn() {
    // A folder that isn't there yet is made, with the one above it.
    const QString c = m_dir.filePath("c/new");
    QCOMPARE(tool({"init", c}).code, 0);
    QCOMPARE(QFile::permissions(c) & 0x7777, QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ExeOwner | QFile::ReadUser |
                                                 QFile::WriteUser | QFile::ExeUser);
    const QString mmf = m_dir.filePath("two.mmf");
    QFile::remove(mmf);
    QVERIFY(QFile::copy(QString(KB_EXCHANGE_DATA) + "/two-recipes-cp437.mmf", mmf));
    Run r = tool({"import", "--category", "Old Files", "--folder", c, mmf});
    QCOMPARE(r.code, 0);
    // The same file again doubles nothing: both are already there, which is no failure.
    r = tool({"import", "--names", "report", "--category", "Old Files", "--folder", c, mmf});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains("0 recipes came in; 2 already there; 0 skipped.") &&
                 r.out.contains("two.mmf, line 3: \"Crème Caramel\" in \"Old Files\": already "
                                "there"),
             qPrintable(r.out));
    // A recipe of a taken name that is not the same one is reported under --names report.
    QFile f(mmf);
    QVERIFY(f.open(QIODevice::ReadWrite | QIODevice::Append));
    f.write(test::dataFile("two-recipes-cp437.mmf").replace("Knead", "Knead well"));
    f.close();
    r = tool({"import", "--names", "report", "--category", "Old Files", "--folder", c, mmf});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.out.contains("\"Plain Bread\" in \"Old Files\": a recipe of that name is "
                            "already in the category"),
             qPrintable(r.out));

    // Nothing found, a file of no known kind, a device and a zip bomb: exit 1 and the reason.
    const QString empty = m_dir.filePath("nothing.jsonld");
    test::writeFile(empty, R"({"@context": "https://schema.org", "@type": "Person", "name": "x"})");
    const QString unknown = m_dir.filePath("notes.txt");
    test::writeFile(unknown, "Buy milk.\n");
    const QList<std::pair<QString, QString>> refused = {
        {empty, "no recipe was found in " + empty + ": it holds schema.org data, but no Recipe"},
        {unknown, "it is not a recipe file of a known kind"},
        {"/dev/zero", "it is not a regular file"},
        {QString(KB_EXCHANGE_DATA) + "/zip-bomb.zip", "it looks like a zip bomb"}};
    for (const auto& [file, reason] : refused) {
        r = tool({"import", "--folder", c, file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("Nothing was imported") && r.out.contains(reason),
                 qPrintable(r.out));
    }

    // Names from a file reach the terminal escaped, never as escape sequences.
    const QString escapes = m_dir.filePath("escapes.json");
    test::writeFile(escapes, "{\"@type\": \"Recipe\", \"name\": \"Red\\u001b[31m Soup\", "
                             "\"recipeIngredient\": [\"x\\u0000y\"]}");
    r = tool({"import", "--folder", c, escapes});
    QVERIFY(!r.out.contains(QChar(0x1b)));
    QVERIFY2(r.out.contains("Red\\x1b[31m Soup"), qPrintable(r.out));
    r = tool({"find", "--folder", c, "soup"});
    QVERIFY(!r.out.contains(QChar(0x1b)));
    QCOMPARE(tool({"import", "--folder", c}).code, 2);
    QCOMPARE(tool({"export", "--format", "xml", "out"}).code, 2);
    QVERIFY(tool({"import", "--help"}).out.contains("--names suffix|report"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
