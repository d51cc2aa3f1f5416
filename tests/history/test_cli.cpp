// kettlebox-db's history and backup commands on a sample file, as a user runs them.

#include "tests/history/history_fixture.h"
#include "tests/support/run_tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QTest>

using namespace kb;
using namespace kb::test;

namespace {

using Run = ToolRun;
Run kettleboxDb(const QStringList& args) {
    return runTool(QCoreApplication::applicationDirPath() + "/kettlebox-db", args, 60000);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

  private slots:
    void everyCommandHasHelp() {
        for (const char* c : {"check", "backup", "backups", "restore", "history", "undelete"}) {
            const Run r = kettleboxDb({QString::fromLatin1(c), "--help"});
            QCOMPARE(r.code, 0);
            QVERIFY(r.out.startsWith("usage: kettlebox-db " + QString::fromLatin1(c)));
        }
        QCOMPARE(kettleboxDb({"undelete"}).code, 2);
        QCOMPARE(kettleboxDb({"undelete", "x"}).code, 2);
    }

    void deleteListUndeleteBackupCheckAndRestore() {
        HistoryFixture f;
        QFile::remove(f.fileName());
        QCOMPARE(kettleboxDb({"init", "--sample", f.dir.path()}).code, 0);
        QStringList categories = f.open()->TableDefs();
        QVERIFY(categories.size() >= 2);
        const QString first = categories.at(0), second = categories.at(1);
        const QStringList firstBytes = f.storedBytes(first);
        const QStringList secondBytes = f.storedBytes(second);
        const QString recipe = f.open()
                                   ->Query("SELECT trim(Name) FROM main.\"" + first + "\" LIMIT 1")
                                   .value(0)
                                   .value(0)
                                   .toString();

        f.store->DeleteRecipe(first, recipe);
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory(second);

        Run r = kettleboxDb({"history", f.dir.path()});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), secondBytes.size() + 1);
        QVERIFY2(lines.last().contains("\tdeleted\t" + first + "\t" + recipe), qPrintable(r.out));
        QVERIFY(lines.first().contains("\tcategory deleted\t" + second + "\t"));
        // Back in the order they were deleted in, so each category ends as it was.
        for (qsizetype i = lines.size() - 1; i >= 0; --i) {
            const QString id = lines.at(i).section('\t', 0, 0);
            r = kettleboxDb({"undelete", id, f.dir.path()});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        QCOMPARE(f.storedBytes(second), secondBytes);
        QStringList firstNow = f.storedBytes(first);
        QCOMPARE(firstNow.size(), firstBytes.size());
        QCOMPARE(firstNow.last(), firstBytes.first());
        QCOMPARE(kettleboxDb({"history", f.dir.path()}).out,
                 QStringLiteral("The history is empty.\n"));

        r = kettleboxDb({"backup", f.dir.path()});
        QCOMPARE(r.code, 0);
        const QString backup = r.out.trimmed();
        QVERIFY(QFile::exists(backup));
        r = kettleboxDb({"backups", f.dir.path()});
        QVERIFY(r.out.contains(backup));
        QVERIFY(r.out.contains(
            QStringLiteral("%1 recipes").arg(firstBytes.size() + secondBytes.size() + [&] {
                int n = 0;
                for (const QString& c : categories.mid(2))
                    n += static_cast<int>(f.storedBytes(c).size());
                return n;
            }())));
        r = kettleboxDb({"check", f.dir.path()});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("ok "));

        // A flipped byte in a copy of the folder is found; the original stays clean.
        QTemporaryDir copy;
        QVERIFY(QFile::copy(f.fileName(), copy.filePath("Recipe.mdb")));
        QFile file(copy.filePath("Recipe.mdb"));
        if (file.size() < 4096) {
            // The sample is small: give the copy pages to damage.
            rawExec(copy.filePath("Recipe.mdb"),
                    "CREATE TABLE Pad (\"Name\", \"Author\", \"Ingredients\", \"Instructions\");"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                    "200) INSERT INTO Pad SELECT 'r' || i, hex(randomblob(300)), 'I', 'S' FROM n");
        }
        flipByte(copy.filePath("Recipe.mdb"));
        r = kettleboxDb({"check", copy.path()});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.startsWith("DAMAGED  "));

        // Restore: refused while the program holds the file, done when it does not.
        f.store->DeleteRecipe(first, recipe);
        {
            QLockFile running(recipeLockFileOf(f.base));
            QVERIFY(running.tryLock(0));
            r = kettleboxDb({"restore", backup, f.dir.path()});
            QCOMPARE(r.code, 1);
            QVERIFY(r.err.contains("close it first"));
        }
        r = kettleboxDb({"restore", QFileInfo(backup).fileName(), f.dir.path()});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(f.storedBytes(first).size(), firstBytes.size());
    }
};

QTEST_MAIN(TestCli)
#include "test_cli.moc"
