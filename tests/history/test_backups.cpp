// Whole-file backups: made consistent and keyed, kept by retention, restored with care, and a
// damaged file noticed.

#include "core/printexport.h"
#include "core/recipelock.h"
#include "core/store_error.h"
#include "tests/history/history_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTest>
#include <atomic>
#include <thread>

using namespace kb;
using namespace kb::test;

class TestBackups : public QObject {
    Q_OBJECT

    static int count(const QString& mdbFile, const QString& table) {
        auto db = Database::OpenDatabase(mdbFile.chopped(4));
        return db->Query(QStringLiteral("SELECT count(*) FROM main.\"%1\"").arg(table))
            .value(0)
            .value(0)
            .toInt();
    }

  private slots:
    void aBackupOpensWithThePasswordAndHoldsTheFile() {
        HistoryFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        // Large enough to be copied in several steps.
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
               "INSERT INTO Soups SELECT 'r' || i, hex(randomblob(400)), 'I', 'S' FROM n");
        QList<std::int64_t> steps;
        const QString path = backupRecipeFile(f.base, [&](std::int64_t done, std::int64_t total) {
            steps << done;
            return done <= total;
        });
        QVERIFY(steps.size() > 1);
        QCOMPARE(steps.last(), QFileInfo(path).size() / 1024);
        QVERIFY(path.startsWith(f.dir.filePath("Backups/Recipe-")));
        QVERIFY(checkRecipeFile(path).clean);
        QCOMPARE(count(path, "Soups"), 2001);
        // Only finished backups are there: no temporary name is left.
        QCOMPARE(QDir(f.dir.filePath("Backups")).entryList(QDir::Files | QDir::Hidden).size(), 1);
        QCOMPARE(listBackups(f.base).size(), 1);

        // A stopped backup leaves nothing behind.
        auto db = f.open();
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 makeBackup(*db, [](std::int64_t, std::int64_t) { return false; }));
        QCOMPARE(QDir(f.dir.filePath("Backups")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void aBackupWhileAnotherConnectionWritesIsOneCommittedState() {
        HistoryFixture f;
        Database::setBusyTimeout(std::chrono::milliseconds(5000));
        f.makeCategory("A");
        f.makeCategory("B");
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
               "INSERT INTO A SELECT 'r' || i, hex(randomblob(200)), 'I', 'S' FROM n;"
               "INSERT INTO B SELECT * FROM A");
        std::atomic<bool> stop = false;
        // Every transaction of the writer adds one row to each table: a consistent copy has as
        // many rows in A as in B.
        std::thread writer([&] {
            while (!stop) {
                rawExec(f.fileName(), "BEGIN IMMEDIATE; INSERT INTO A VALUES ('w', "
                                      "hex(randomblob(500)), 'I', 'S'); INSERT INTO B VALUES "
                                      "('w', 'x', 'I', 'S'); COMMIT");
            }
        });
        QStringList paths;
        for (int i = 0; i < 5; ++i)
            paths << backupRecipeFile(f.base);
        stop = true;
        writer.join();
        for (const QString& p : paths) {
            QVERIFY2(checkRecipeFile(p).clean, qPrintable(p));
            QCOMPARE(count(p, "A"), count(p, "B"));
        }
    }

    void retentionKeepsTheTenNewestAndOnePerDayForThirtyDays() {
        HistoryFixture f;
        f.makeCategory("Soups");
        const QString one = backupRecipeFile(f.base);
        const QDateTime now = QDateTime::currentDateTime();
        const QDir dir(f.dir.filePath("Backups"));
        QFile::remove(one);
        // Three a day for the last 40 days, newest first in the names.
        QStringList made;
        for (int day = 0; day < 40; ++day)
            for (int hour : {20, 12, 8}) {
                QDateTime when(now.date().addDays(-day), QTime(hour, 0));
                const QString name =
                    dir.filePath("Recipe-" + when.toString("yyyyMMdd-HHmmss") + ".mdb");
                QVERIFY(QFile::copy(f.fileName(), name));
                made << name;
            }
        pruneBackups(f.base, QDateTime(now.date(), QTime(23, 0)));
        QStringList kept;
        for (const BackupInfo& b : listBackups(f.base))
            kept << b.path;
        QStringList expected = made.mid(0, 10); // days 0 to 3
        for (int day = 4; day < kBackupDays; ++day)
            expected << made.at(day * 3); // the newest of the day
        QCOMPARE(kept, expected);
    }

    void theFollowerBacksUpDailyAndBeforeEachCategoryDelete() {
        HistoryFixture f;
        QStringList failures;
        BackupFollower backups([&](const QString& why, bool beforeDelete) {
            failures << why + (beforeDelete ? " (category)" : "");
        });
        f.store->addFollower(&backups);
        f.makeCategory("Soups");
        f.makeCategory("Cakes");
        f.makeCategory("Pies");
        f.addRecipe("Soups", "Leek");
        f.addRecipe("Soups", "Onion");
        f.store->DeleteRecipe("Soups", "Leek");
        QCOMPARE(listBackups(f.base).size(), 1); // the first change of the day
        QCOMPARE(count(listBackups(f.base).first().path, "Soups"), 2);
        f.store->DeleteRecipe("Soups", "Onion");
        QCOMPARE(listBackups(f.base).size(), 1);
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Cakes");
        QCOMPARE(listBackups(f.base).size(), 2);
        {
            // An import, however many changes the day has had.
            auto db = f.open();
            backups.prepare(*db, {RecipeChange::Kind::Import, {"Soups", 0}, {}, {}});
        }
        QCOMPARE(listBackups(f.base).size(), 3);
        QVERIFY(failures.isEmpty());

        // A backup that can't be made is told, and the command is done all the same.
        QDir(f.dir.filePath("Backups")).removeRecursively();
        QFile blocker(f.dir.filePath("Backups"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Pies");
        QCOMPARE(failures.size(), 1);
        QVERIFY(failures.first().endsWith(" (category)"));
        QCOMPARE(f.store->RecipeDatabase, nullptr);
        auto db = f.open();
        QCOMPARE(db->TableDefs(), QStringList{"Soups"});
    }

    void restoringTheDaysOldestBackupKeepsIt() {
        HistoryFixture f;
        f.makeCategory("Soups");
        for (int i = 0; i < kBackupsKeptNewest; ++i)
            backupRecipeFile(f.base);
        const QString oldest = listBackups(f.base).last().path;
        f.addRecipe("Soups", "Leek");
        restoreBackup(oldest, f.base);
        QVERIFY(QFile::exists(oldest));
        QCOMPARE(count(f.fileName(), "Soups"), 0);
    }

    void everyFileMadeBesideTheRecipeFileIsNoMoreOpenThanIt() {
        HistoryFixture f;
        QVERIFY(QFile::setPermissions(f.fileName(), QFile::ReadOwner | QFile::WriteOwner));
        BackupFollower backups([](const QString&, bool) {});
        f.store->addFollower(&backups);
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.store->DeleteRecipe("Soups", "Leek"); // the history and the day's backup
        restoreBackup(listBackups(f.base).first().path, f.base);
        f.store->file().removeFollower(&backups);
        QLockFile window(recipeLockPath(f.dir.path()));
        QCOMPARE(takeRecipeLock(window), RecipeLock::Held);
        writePrintFiles(f.dir.path(), {"Leek", "", "leeks", "Boil."}); // the recipe's text

        const QDir dir(f.dir.path());
        QStringList wider;
        for (const QFileInfo& fi :
             dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) +
                 QDir(dir.filePath("Backups")).entryInfoList(QDir::Files))
            if ((fi.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup |
                                     QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther)) != 0)
                wider << fi.fileName();
        QCOMPARE(wider, QStringList{});
        QVERIFY(QFileInfo::exists(dir.filePath("Recipe.history")));
        QVERIFY(QFileInfo(dir.filePath("Backups")).permissions() & QFile::ExeOwner);
    }

    void anUndeleteAsTheDaysFirstChangeIsBackedUpFirst() {
        HistoryFixture f;
        const QDateTime today = QDateTime::currentDateTime();
        QDateTime now = today.addDays(-1);
        BackupFollower backups([](const QString&, bool) {}, [&] { return now; });
        f.store->addFollower(&backups);
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.store->DeleteRecipe("Soups", "Leek");
        QCOMPARE(listBackups(f.base).first().when.date(), now.date());

        now = today;
        putBack(f.store->file(), f.history().first().id);
        const QList<BackupInfo> all = listBackups(f.base);
        QCOMPARE(all.first().when.date(), today.date());
        QCOMPARE(count(all.first().path, "Soups"), 0); // the file as it was before
        f.store->file().removeFollower(&backups);
    }

    void aBackupAheadServesTheCategoryDeleteOnlyOfTheFileAsItWasCopied() {
        HistoryFixture f;
        BackupFollower backups([](const QString&, bool) {});
        f.store->addFollower(&backups);
        f.makeCategory("Cakes");
        f.makeCategory("Pies");
        f.addRecipe("Cakes", "Lemon"); // the day's backup
        const qsizetype daily = listBackups(f.base).size();
        const auto holding = [&](const char* table, int rows) {
            int n = 0;
            for (const BackupInfo& b : listBackups(f.base))
                n += count(b.path, table) == rows;
            return n;
        };

        // Made while the user picks the category; once only for a file that stays as it is.
        backups.backUpAhead(f.base);
        backups.backUpAhead(f.base);
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Cakes");
        QCOMPARE(listBackups(f.base).size(), daily + 1);
        QCOMPARE(holding("Cakes", 1), daily + 1);

        // Written after the copy was made: the delete backs up the file as it is then.
        backups.backUpAhead(f.base);
        while (backups.aheadRunning())
            QTest::qWait(5);
        f.addRecipe("Pies", "Apple");
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Pies");
        QCOMPARE(listBackups(f.base).size(), daily + 3);
        QCOMPARE(holding("Pies", 1), 1);
    }

    void restoreRefusesWhileTheProgramHoldsTheFileOrTheBackupIsDamaged() {
        HistoryFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        const QString good = backupRecipeFile(f.base);
        f.addRecipe("Soups", "Onion");

        {
            QLockFile running(recipeLockFileOf(f.base));
            QVERIFY(running.tryLock(0));
            QVERIFY_THROWS_EXCEPTION(StoreError, restoreBackup(good, f.base));
        }
        const QString damaged = f.dir.filePath("Backups/Recipe-20000101-000000.mdb");
        QVERIFY(QFile::copy(good, damaged));
        flipByte(damaged);
        QVERIFY(!checkRecipeFile(damaged).clean);
        QVERIFY_THROWS_EXCEPTION(StoreError, restoreBackup(damaged, f.base));
        QCOMPARE(count(f.fileName(), "Soups"), 2);

        // A stale journal beside the replaced file must not be played into the restored one.
        QFile journal(f.fileName() + "-journal");
        QVERIFY(journal.open(QIODevice::WriteOnly));
        journal.write(QByteArray(4096, 'j'));
        journal.close();
        const QString saved = restoreBackup(good, f.base);
        QCOMPARE(count(f.fileName(), "Soups"), 1);
        QVERIFY(!QFile::exists(f.fileName() + "-journal"));
        QVERIFY(checkRecipeFile(saved).clean);
        QCOMPARE(count(saved, "Soups"), 2);
    }

    void aDamagedFileIsNoticedWithTheNewestCleanBackup() {
        HistoryFixture f;
        f.makeCategory("Soups");
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
               "INSERT INTO Soups SELECT 'r' || i, hex(randomblob(300)), 'I', 'S' FROM n");
        QVERIFY(!damagedFileMessage(f.base));
        const QString clean = backupRecipeFile(f.base);
        // A newer backup that is itself damaged is passed over.
        const QString newer = f.dir.filePath("Backups/Recipe-29991231-000000.mdb");
        QVERIFY(QFile::copy(clean, newer));
        flipByte(newer);

        flipByte(f.fileName());
        const std::optional<QString> message = damagedFileMessage(f.base);
        QVERIFY(message);
        QVERIFY2(message->contains("is damaged"), qPrintable(*message));
        QVERIFY2(
            message->contains("kettlebox-db restore \"" + clean + "\" \"" + f.dir.path() + "\""),
            qPrintable(*message));
        QVERIFY(!message->contains(newer));
    }
};

QTEST_MAIN(TestBackups)
#include "test_backups.moc"
