// A kill at any moment of a rename leaves the recipe and its details both as before or both
// as after: the details are always found under the name the recipe has.

#include "details/details.h"
#include "tests/store/store_fixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <csignal>

using namespace kb;
using namespace kb::test;

class TestDetailsCrash : public QObject {
    Q_OBJECT

  private slots:
    void killedDuringRenames() {
        constexpr int kRuns = 6;
        for (int run = 0; run < kRuns; ++run) {
            StoreFixture f;
            f.makeCategory("Soups");
            f.addRecipe("Soups", "R0");
            {
                auto db = Database::OpenDatabase(f.base);
                Details d;
                d.notes = QStringLiteral("keep me");
                writeDetails(*db, "Soups", "R0", d);
            }
            QProcess child;
            child.start(QCoreApplication::applicationDirPath() + "/details_crash_child", {f.base});
            QVERIFY(child.waitForStarted());
            QVERIFY(child.waitForReadyRead(10000));
            QTest::qWait(static_cast<int>(QRandomGenerator::global()->bounded(50, 600)));
            if (const qint64 pid = child.processId(); pid > 0)
                ::kill(static_cast<pid_t>(pid), SIGKILL);
            QVERIFY(child.state() == QProcess::NotRunning || child.waitForFinished(10000));

            const QList<Row> rows = f.rows("Soups");
            QCOMPARE(rows.size(), 1);
            const QString name = rows.first().first().value_or(QString()).trimmed();
            auto db = Database::OpenDatabase(f.base);
            QCOMPARE(readDetails(*db, "Soups", name).notes, QStringLiteral("keep me"));
            QCOMPARE(db->Query("SELECT count(*) FROM details.recipes").value(0).value(0).toInt(),
                     1);
        }
    }
};

QTEST_MAIN(TestDetailsCrash)
#include "test_details_crash.moc"
