// The recipe file's one write driver, the busy pointer's hook and the one way work leaves the
// GUI thread.

#include "core/background.h"
#include "core/busywait.h"
#include "core/recipefile.h"
#include "core/recipetable.h"
#include "core/store_error.h"

#include <QScopeGuard>
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
        told
            << QStringLiteral("prepare %1 locked=%2").arg(c.place.category).arg(db.InTransaction());
    }
    void record(Database&, const RecipeChange& c) override {
        told << QStringLiteral("record %1").arg(c.place.category);
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
            *db, {RecipeChange::Kind::Added, {QStringLiteral("B"), 0}, {}, {}}, [&](RecipeChange&) {
                m_file.write(*db,
                             {RecipeChange::Kind::CategoryAdded, {QStringLiteral("A"), 0}, {}, {}},
                             [&](RecipeChange&) { db->AppendTableDef(recipeTableDef(*db, "A")); });
                db->AppendTableDef(recipeTableDef(*db, "B"));
            });
        QCOMPARE(w.told, (QStringList{"prepare B locked=0", "record A", "record B",
                                      "committed locked=0 tables=A,B"}));
        m_file.removeFollower(&w);
    }

    // The commands' writes return what they did, are each one change told to the followers,
    // and a refused name writes nothing.
    void theRecipeCommandsReturnWhatTheyWrote() {
        Witness w;
        w.databasePath = m_file.databasePath();
        auto db = m_file.open();
        const QString table = m_file.createCategory(*db, "Soups");
        QCOMPARE(table, QStringLiteral("Soups"));
        m_file.addFollower(&w);
        RecipeFollower* const follower = &w;
        const auto forget = qScopeGuard([this, follower] { m_file.removeFollower(follower); });
        auto rs = db->OpenRecordset(table);
        const RecipeFields soup{"Leek Soup ", "Ann ", "leeks ", "simmer "};
        const std::int64_t first = m_file.addRecipe(*db, *rs, table, soup);
        const std::int64_t second =
            m_file.addRecipe(*db, *rs, table, {"Pea Soup ", std::nullopt, "peas ", "boil "});
        QVERIFY(second > first);
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 m_file.addRecipe(*db, *rs, table, {"  leek soup", {}, {}, {}}));
        QCOMPARE(rs->RecordCount(), 2);

        QVERIFY(RecipeFile::findRecipe(*rs, " Pea Soup ", 0, false));
        QCOMPARE(rs->RowId(), second);
        const StoredRecipe edited =
            m_file.updateRecipe(*db, *rs, table, {"Pea Soup ", "Bo ", "peas ", "boil "});
        QCOMPARE(edited.fields, (RecipeFields{"Pea Soup ", std::nullopt, "peas ", "boil "}));
        QVERIFY(edited.place == (RecipePlace{table, second}));
        QVERIFY(RecipeFile::findRecipe(*rs, "Leek Soup", 0, false));
        const StoredRecipe deleted = m_file.deleteRecipe(*db, *rs, table);
        QCOMPARE(deleted.fields, soup);
        QVERIFY(deleted.place == (RecipePlace{table, first}));
        bool failed = false;
        QCOMPARE(RecipeFile::recipeNames(*rs, failed), QStringList{"Pea Soup"});
        QVERIFY(!failed);
        rs->Close();
        m_file.deleteCategory(*db, table);
        QVERIFY(db->TableDefs().isEmpty());
        QCOMPARE(w.told.filter("record"),
                 (QStringList{"record Soups", "record Soups", "record Soups", "record Soups",
                              "record Soups"}));
    }

    // Rows of one name are told apart by their order; a missing name is "" only when asked.
    void aRecipeIsFoundByNameAndOccurrence() {
        auto db = m_file.open();
        const QString table = m_file.createCategory(*db, "Cakes");
        db->Execute("INSERT INTO Cakes VALUES ('Torte ', 'a', '', ''), (NULL, 'b', '', ''), "
                    "('Pie', 'c', '', ''), (' torte', 'd', '', ''), ('Torte', 'e', '', '')");
        auto rs = db->OpenRecordset(table);
        const struct {
            QString name;
            int occurrence;
            bool missingIsEmpty;
            QString author; // of the row found; empty when none is
        } cases[] = {
            {"Torte", 0, false, "a"}, {" Torte ", 1, false, "e"}, {"Torte", 2, false, ""},
            {"torte", 0, false, "d"}, {"", 0, true, "b"},         {"", 0, false, ""},
        };
        for (const auto& c : cases) {
            const bool found = RecipeFile::findRecipe(*rs, c.name, c.occurrence, c.missingIsEmpty);
            QCOMPARE(found ? rs->Fields(1).value_or("?") : QString(), c.author);
        }
        QVERIFY(RecipeFile::findRecipe(*rs, "Torte", 1, false));
        QCOMPARE(RecipeFile::occurrenceOf(*rs, "Torte", rs->RowId()), 1);
        QCOMPARE(RecipeFile::occurrenceOf(*rs, "Pie", rs->RowId()), 0);
        QStringList unreadable;
        db->Execute("CREATE TABLE Empty (Name TEXT, Author TEXT, Ingredients TEXT, "
                    "Instructions TEXT)");
        QCOMPARE(RecipeFile::categoriesWithRecipes(*db, {"Cakes", "Empty", "Gone"}, unreadable),
                 (QList<bool>{true, false, false}));
        QCOMPARE(unreadable, QStringList{"Gone"});
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

    // Work whose result is no longer wanted keeps running; new work starts beside it at once,
    // and only past the limit waits.
    void newWorkStartsBesideWorkStillRunning() {
        std::atomic_bool release{false};
        std::atomic_int finished{0};
        const auto blocked = [&] {
            while (!release)
                QThread::msleep(1);
            ++finished;
        };
        BackgroundJobs jobs(2);
        const auto unblock = qScopeGuard([&] { release = true; }); // before jobs waits
        BackgroundJob& first = jobs.free();
        first.start(blocked);
        BackgroundJob& second = jobs.free();
        QVERIFY(&second != &first);
        second.start(blocked);
        QCOMPARE(&jobs.free(), &first); // both busy: the oldest is waited for
        release = true;
        first.wait();
        second.wait();
        QCOMPARE(finished.load(), 2);
        QCOMPARE(&jobs.free(), &first); // free again
    }
};

QTEST_MAIN(TestRecipeFile)
#include "test_recipefile.moc"
