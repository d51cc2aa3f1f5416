// A kill at any moment of a Delete or a Delete a Category leaves every recipe in its category
// or in the history: never in neither, never in both.

#include "tests/history/history_fixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <csignal>

using namespace kb;
using namespace kb::test;

class TestCrash : public QObject {
    Q_OBJECT

    // Fewer under the sanitizers, where each run is slow and memory faults show in any run.
    const int m_runs = qEnvironmentVariableIntValue("KB_CRASH_RUNS") > 0
                           ? qEnvironmentVariableIntValue("KB_CRASH_RUNS")
                           : 20;

    // Starts the child on the fixture's file and kills it at a random moment of its work.
    static void killMidway(const HistoryFixture& f, const char* mode, int count, int upToMs) {
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + "/history_crash_child",
                    {f.base, QString::fromLatin1(mode), QString::number(count)});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(10000));
        QTest::qWait(static_cast<int>(QRandomGenerator::global()->bounded(5, upToMs)));
        // A child that has already ended has no id: kill(0) would end this whole group.
        if (const qint64 pid = child.processId(); pid > 0)
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        QVERIFY(child.state() == QProcess::NotRunning || child.waitForFinished(10000));
    }

    // Every recipe name in the categories and in the history, counted.
    static QHash<QString, int> everywhere(const HistoryFixture& f) {
        QHash<QString, int> seen;
        auto db = f.open();
        for (const QString& t : db->TableDefs())
            for (const QVariantList& r : db->Query("SELECT trim(Name) FROM main.\"" + t + "\""))
                ++seen[r.value(0).toString()];
        for (const HistoryEntry& e : listHistory(*db))
            ++seen[e.recipe.name()];
        return seen;
    }

    static void verifyEachOnce(const HistoryFixture& f, int total) {
        const QHash<QString, int> seen = everywhere(f);
        for (int i = 1; i <= total; ++i)
            QVERIFY2(seen.value(QStringLiteral("R%1").arg(i)) == 1,
                     qPrintable(QStringLiteral("R%1 seen %2 times")
                                    .arg(i)
                                    .arg(seen.value(QStringLiteral("R%1").arg(i)))));
        QCOMPARE(seen.size(), total);
    }

  private slots:
    void killedDuringDelete() {
        for (int run = 0; run < m_runs; ++run) {
            HistoryFixture f;
            f.makeCategory("Soups");
            f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                   "400) INSERT INTO Soups SELECT 'R' || i || ' ', 'A ', 'I ', 'S ' FROM n");
            killMidway(f, "recipes", 400, 400);
            verifyEachOnce(f, 400);
        }
    }

    void killedDuringDeleteACategory() {
        for (int run = 0; run < m_runs; ++run) {
            HistoryFixture f;
            QString sql;
            for (int c = 1; c <= 8; ++c) {
                f.makeCategory(QStringLiteral("C%1").arg(c));
                sql += QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                      "FROM n WHERE i < 500) INSERT INTO C%1 SELECT 'R' || (i + "
                                      "%2) || ' ', 'A ', hex(randomblob(100)), 'S ' FROM n;")
                           .arg(c)
                           .arg((c - 1) * 500);
            }
            f.exec(sql);
            killMidway(f, "categories", 8, 600);
            verifyEachOnce(f, 4000);
        }
    }
};

QTEST_MAIN(TestCrash)
#include "test_crash.moc"
