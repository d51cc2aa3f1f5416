// The recipe file's one write driver, the busy pointer's hook and the one way work leaves the
// GUI thread.

#include "core/background.h"
#include "core/busywait.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"

#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>

using namespace kb;

namespace {

// Notes what the driver tells it, and how the file looks to another connection at each step.
struct Witness : RecipeFollower {
    QString databasePath;
    QStringList told;
    void attach(Database&) override {}
    void prepare(Database& db, const RecipeChange& c) override {
        told << QStringLiteral("prepare %1 locked=%2").arg(c.category).arg(db.InTransaction());
    }
    void record(Database&, const RecipeChange& c) override {
        told << QStringLiteral("record %1").arg(c.category);
    }
    void committed(Database& db) override {
        // Seen from outside: the change is in the file by now.
        auto other = Database::OpenDatabase(databasePath);
        told << QStringLiteral("committed locked=%1 tables=%2")
                    .arg(db.InTransaction())
                    .arg(other->TableDefs().join(QLatin1Char(',')));
    }
};

} // namespace

class TestRecipeFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    RecipeFile m_file{m_dir.path()};

  private slots:
    void init() {
        QFile::remove(m_file.fileName());
        Database::CreateDatabase(m_file.databasePath());
        Database::setBusyTimeout(std::chrono::milliseconds(100));
    }

    void aNestedWriteIsPreparedAndCommittedOnceWithTheOuterOne() {
        Witness w;
        w.databasePath = m_file.databasePath();
        m_file.addFollower(&w);
        auto db = m_file.open();
        m_file.write(
            *db, {RecipeChange::Kind::Added, QStringLiteral("B"), 0, {}, {}}, [&](RecipeChange&) {
                m_file.write(*db,
                             {RecipeChange::Kind::CategoryAdded, QStringLiteral("A"), 0, {}, {}},
                             [&](RecipeChange&) { db->AppendTableDef(recipeTableDef(*db, "A")); });
                db->AppendTableDef(recipeTableDef(*db, "B"));
            });
        QCOMPARE(w.told, (QStringList{"prepare B locked=0", "record A", "record B",
                                      "committed locked=0 tables=A,B"}));
        m_file.removeFollower(&w);
    }

    void theBusyHookRunsOnlyOnTheGuiThread() {
        std::atomic<int> onGui{0};
        std::atomic<int> onWorker{0};
        QThread* gui = QThread::currentThread();
        setBusyWaitHook([&] { (QThread::currentThread() == gui ? onGui : onWorker)++; });
        auto holder = m_file.open();
        holder->Transaction([&] {
            holder->AppendTableDef(recipeTableDef(*holder, "Held"));
            // Another connection's write waits for the lock, then gives up.
            const auto tryWrite = [this] {
                try {
                    auto db = m_file.open();
                    db->AppendTableDef(recipeTableDef(*db, "Other"));
                } catch (const StoreError&) {
                }
            };
            BackgroundJob job;
            job.start(tryWrite);
            job.wait();
            tryWrite();
        });
        setBusyWaitHook({});
        QCOMPARE(onWorker.load(), 0);
        QCOMPARE(onGui.load(), 1);
    }

    // A write holds the recipe file's lock from its start, and takes in a side file only when
    // it writes to it: another program writing a side file must not hold up a change that
    // leaves it alone (nor make its commit span both files).
    void aWriteLocksTheRecipeFileAtOnceAndASideFileOnlyWhenWritten() {
        const QString side = m_file.beside(QStringLiteral("Recipe.side"));
        QFile::remove(side);
        auto db = m_file.open();
        db->AttachSideFile(QStringLiteral("side"), side);
        db->Execute(QStringLiteral("CREATE TABLE side.notes (text)"));
        db->AppendTableDef(recipeTableDef(*db, "Soups"));

        auto other = m_file.open();
        const auto otherWrites = [&] {
            try {
                other->AppendTableDef(recipeTableDef(*other, "Stews"));
                return true;
            } catch (const StoreError&) {
                return false;
            }
        };
        db->Transaction([&] {
            // Nothing written yet, and another writer already waits, then gives up.
            db->Query(QStringLiteral("SELECT count(*) FROM main.Soups"));
            QVERIFY(!otherWrites());
        });

        auto sideWriter = m_file.open();
        sideWriter->AttachSideFile(QStringLiteral("side"), side);
        sideWriter->Transaction(
            [&] {
                db->AppendTableDef(recipeTableDef(*db, "Pies"));
                QVERIFY_THROWS_EXCEPTION(StoreError, db->Transaction([&] {
                    db->Execute(QStringLiteral("INSERT INTO side.notes VALUES ('x')"));
                }));
            },
            QStringLiteral("side"));
        QVERIFY(db->TableDefs().contains(QStringLiteral("Pies")));
        QVERIFY(otherWrites());
    }

    // A window keeps its connection between commands; after a failure the next command opens
    // the file it names then, so a file replaced or moved meanwhile is not read through a
    // connection to the old one.
    void aKeptConnectionIsForgottenAfterAFailure() {
        QTemporaryDir other;
        const RecipeFile second(other.path());
        Database::CreateDatabase(second.databasePath());
        {
            auto db = second.open();
            db->AppendTableDef(recipeTableDef(*db, "Elsewhere"));
            db->Close();
        }
        QString named = m_file.databasePath();
        KeptConnection kept([&] { return named; });
        QVERIFY(!kept.get().TableDefs().contains(QStringLiteral("Elsewhere")));
        named = second.databasePath();
        QVERIFY2(!kept.get().TableDefs().contains(QStringLiteral("Elsewhere")),
                 "kept until a failure");
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 kept.run([] { throw StoreError(QStringLiteral("gone")); }));
        QVERIFY(kept.get().TableDefs().contains(QStringLiteral("Elsewhere")));
        kept.close();

        // A one-off connection hands its work's failure on as it was.
        try {
            m_file.withConnection(
                [](Database&) { throw StoreError(QStringLiteral("the disk is full")); });
            QFAIL("no failure came through");
        } catch (const StoreError& e) {
            QCOMPARE(e.message(), QStringLiteral("the disk is full"));
        }
    }

    void aBackgroundResultArrivesOnTheGuiThread() {
        BackgroundJob job;
        QThread* ranOn = nullptr;
        QThread* deliveredOn = nullptr;
        int delivered = 0;
        QObject context;
        runThenDeliver<int>(
            job,
            [&] {
                ranOn = QThread::currentThread();
                return 42;
            },
            &context,
            [&](int v) {
                deliveredOn = QThread::currentThread();
                delivered = v;
            });
        QTRY_COMPARE(delivered, 42);
        QVERIFY(ranOn != QThread::currentThread());
        QCOMPARE(deliveredOn, QThread::currentThread());
    }
};

QTEST_MAIN(TestRecipeFile)
#include "test_recipefile.moc"
