// kettlebox-db find as a user runs it: lines of category and name, best first, with the index
// made or brought up to date first.

#include "tests/store/store_fixture.h"
#include "tests/support/run_tool.h"

#include <QTest>

using namespace kb::test;

class TestCmdFind : public QObject {
    Q_OBJECT

    using Run = ToolRun;
    static Run run(const QStringList& args) { return runTool(QStringLiteral(KB_DB_TOOL), args); }

  private slots:
    void printsTheMatchesBestFirstAndFollowsTheFile() {
        StoreFixture f;
        f.makeCategory(QStringLiteral("Pies"));
        f.makeCategory(QStringLiteral("Soups"));
        f.addRow(QStringLiteral("Soups"), {QStringLiteral("Pâté Soup "), QStringLiteral("x "),
                                           QStringLiteral("pie crust "), QStringLiteral("- ")});
        f.addRow(QStringLiteral("Pies"), {QStringLiteral("Pâté Pie "), QStringLiteral("x "),
                                          QStringLiteral("pastry "), QStringLiteral("- ")});
        const QString folder = f.dir.path();
        Run r = run({QStringLiteral("find"), QStringLiteral("PATE"), QStringLiteral("pie"),
                     QStringLiteral("--folder"), folder});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("Pies\tPâté Pie\nSoups\tPâté Soup\n"));

        // A change by another program is seen on the next run.
        f.exec(QStringLiteral("DELETE FROM \"Pies\""));
        r = run(
            {QStringLiteral("find"), QStringLiteral("pate"), QStringLiteral("--folder"), folder});
        QCOMPARE(r.out, QStringLiteral("Soups\tPâté Soup\n"));
        r = run({QStringLiteral("find"), QStringLiteral("nothing"), QStringLiteral("--folder"),
                 folder});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString());
        QCOMPARE(f.rows(QStringLiteral("Soups")).size(), 1);
    }

    void refusesWhatItCannotDo() {
        QCOMPARE(run({QStringLiteral("find")}).code, 2);
        QCOMPARE(run({QStringLiteral("find"), QStringLiteral("\"\"")}).code, 2);
        QCOMPARE(run({QStringLiteral("find"), QStringLiteral("x"), QStringLiteral("--limit")}).code,
                 2);
        const Run missing =
            run({QStringLiteral("find"), QStringLiteral("x"), QStringLiteral("--folder"),
                 QStringLiteral("/nonexistent/folder")});
        QCOMPARE(missing.code, 1);
        QVERIFY(missing.err.contains(QStringLiteral("does not exist")));
        QTemporaryDir empty;
        const Run noFile = run({QStringLiteral("find"), QStringLiteral("x"),
                                QStringLiteral("--folder"), empty.path()});
        QCOMPARE(noFile.code, 1);
        QVERIFY(!QFile::exists(empty.filePath(QStringLiteral("Recipe.index"))));
    }
};

QTEST_MAIN(TestCmdFind)
#include "test_cmd_find.moc"
