// The history of deleted and overwritten recipes, and putting them back.

#include "core/recipefile.h"
#include "core/store_error.h"
#include "tests/history/history_fixture.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace kb;
using namespace kb::test;

class TestHistory : public QObject {
    Q_OBJECT

    // Values as other programs may have stored them: no trailing space, line breaks of both
    // kinds, letters beyond ASCII, a missing value.
    static void fillSoups(HistoryFixture& f) {
        f.makeCategory("Soups");
        f.exec("INSERT INTO Soups VALUES ('Leek ', ' Ann', '2 leeks\r\n1 potato ', 'Chop.\nBoil.');"
               "INSERT INTO Soups VALUES ('Crème  ', NULL, 'crème fraîche', '');"
               "INSERT INTO Soups VALUES ('Onion ', 'Bo ', 'onions', 'Fry. ')");
    }

  private slots:
    void deletedEditedAndDroppedRecipesComeBackByteForByte() {
        HistoryFixture f;
        fillSoups(f);
        f.makeCategory("Cakes");
        f.exec("INSERT INTO Cakes VALUES ('Sponge ', 'Cy ', 'eggs\r\nsugar ', 'Bake. ')");
        const QStringList soups = f.storedBytes("Soups");
        const QStringList cakes = f.storedBytes("Cakes");

        f.store->DeleteRecipe("Soups", "Crème");
        f.setBoxes("Leek", "Someone else", "nothing", "nothing");
        f.store->UpdateRecipe("Soups", "Leek");
        f.dialogs.answer(vbYes);
        f.store->SelectedCategory = "Cakes";
        f.store->DeleteCategory("Cakes");
        // The window's own messages only, nothing of the history among them.
        QCOMPARE(f.dialogs.messages().first(), QStringLiteral("Recipe UpDated"));
        QCOMPARE(f.dialogs.messages().size(), 3);

        const QList<HistoryEntry> h = f.history();
        QCOMPARE(h.size(), 3);
        QCOMPARE(h[0].why, HistoryEntry::Why::CategoryDeleted);
        QCOMPARE(h[0].recipe.place.category, QStringLiteral("Cakes"));
        QCOMPARE(h[0].recipe.name(), QStringLiteral("Sponge"));
        QCOMPARE(h[1].why, HistoryEntry::Why::Edited);
        QCOMPARE(h[1].recipe.name(), QStringLiteral("Leek"));
        QCOMPARE(h[2].why, HistoryEntry::Why::Deleted);
        QCOMPARE(h[2].recipe.name(), QStringLiteral("Crème"));
        QVERIFY(qAbs(h[2].when.secsTo(f.now)) < 2);
        QCOMPARE(f.historyBytes(), (QStringList{soups[1], soups[0], cakes[0]}));

        // Each entry back: the dropped category made again, the others at the end.
        auto db = f.open();
        HistoryEntry back = putBack(f.store->file(), h[0].id);
        QCOMPARE(back.recipe.place.category, QStringLiteral("Cakes"));
        QCOMPARE(f.storedBytes("Cakes"), cakes);
        QCOMPARE(db->Query("SELECT name FROM main.sqlite_master WHERE name = 'Cakes.name'").size(),
                 1);
        putBack(f.store->file(), h[2].id);
        // The old version of a recipe that is still there comes back under a numbered name,
        // whatever the case and spaces of the name it meets.
        f.exec("UPDATE Soups SET Name = ' LEEK' WHERE Name = 'Leek'");
        QString backAs;
        putBack(f.store->file(), h[1].id, &backAs);
        QCOMPARE(backAs, QStringLiteral("Leek (2)"));
        const QStringList now = f.storedBytes("Soups");
        QCOMPARE(now.size(), 4);
        QCOMPARE(now[2], soups[1]);
        QCOMPARE(db->Query("SELECT Name, Author, Ingredients FROM Soups ORDER BY rowid").value(3),
                 (QVariantList{"Leek (2)", " Ann", "2 leeks\r\n1 potato "}));
        QVERIFY(listHistory(*db).isEmpty());

        // An entry that is gone is said so.
        RecipeFile bare = RecipeFile::fromDatabasePath(f.base);
        QVERIFY_THROWS_EXCEPTION(StoreError, putBack(bare, h[0].id));
    }

    void theHistoryIsNeverACategory() {
        HistoryFixture f;
        fillSoups(f);
        f.store->DeleteRecipe("Soups", "Onion");
        QVERIFY(QFileInfo::exists(f.dir.filePath("Recipe.history")));
        f.store->LoadCatalogue();
        QCOMPARE(f.tree(), (QStringList{"Kettlebox Recipe", "  Soups", "    Leek", "    Crème"}));
        auto db = f.open();
        attachHistory(*db);
        QCOMPARE(db->TableDefs(), QStringList{"Soups"});
        // The recipe file itself holds nothing but the category and its name index.
        QCOMPARE(db->Query("SELECT count(*) FROM main.sqlite_master").value(0).value(0).toInt(), 1);
    }

    void aCategoryOfTenThousandIsKeptWhole() {
        HistoryFixture f;
        f.makeCategory("Big");
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
               "INSERT INTO Big SELECT 'Recipe ' || i || ' ', 'A ', 'I ', 'S ' FROM n");
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Big");
        const QList<HistoryEntry> h = f.history();
        QCOMPARE(h.size(), 10000);
        QCOMPARE(h.last().recipe.name(), QStringLiteral("Recipe 1"));
        QCOMPARE(h.first().recipe.name(), QStringLiteral("Recipe 10000"));
    }

    void aFailedHistoryWriteLeavesTheRecipeInPlace() {
        HistoryFixture f;
        fillSoups(f);
        f.store->DeleteRecipe("Soups", "Onion"); // makes the history file
        {
            // A history that refuses every new entry, as a full disk would.
            auto db = f.open();
            attachHistory(*db);
            db->Execute("CREATE TRIGGER history.refuse BEFORE INSERT ON entries BEGIN SELECT "
                        "RAISE(ABORT, 'disk full'); END");
        }
        QVERIFY_THROWS_EXCEPTION(StoreError, f.store->DeleteRecipe("Soups", "Leek"));
        f.dialogs.answer(vbYes);
        QVERIFY_THROWS_EXCEPTION(StoreError, f.store->DeleteCategory("Soups"));
        QCOMPARE(f.storedBytes("Soups").size(), 2);
        QCOMPARE(f.history().size(), 1);
    }

    void pruningKeepsNinetyDaysAndNeverTheNewestThousand() {
        HistoryFixture f;
        f.makeCategory("Old");
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1200) "
               "INSERT INTO Old SELECT 'Old ' || i || ' ', 'A ', 'I ', 'S ' FROM n");
        f.now = QDateTime::currentDateTimeUtc().addDays(-120);
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Old"); // 1,200 entries, 120 days old
        QCOMPARE(f.history().size(), 1200);

        // A change today prunes the old ones down to the newest thousand in all.
        f.now = QDateTime::currentDateTimeUtc();
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.addRecipe("Soups", "Onion");
        f.store->DeleteRecipe("Soups", "Leek");
        QList<HistoryEntry> h = f.history();
        QCOMPARE(h.size(), kHistoryKeptAlways);
        QCOMPARE(h.first().recipe.name(), QStringLiteral("Leek"));
        QCOMPARE(h.last().recipe.name(), QStringLiteral("Old 202"));

        // Entries younger than ninety days stay, however many there are.
        f.makeCategory("Young");
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1100) "
               "INSERT INTO Young SELECT 'Young ' || i || ' ', 'A ', 'I ', 'S ' FROM n");
        f.now = QDateTime::currentDateTimeUtc();
        f.dialogs.answer(vbYes);
        f.store->DeleteCategory("Young");
        h = f.history();
        QCOMPARE(h.size(), 1101);
        QCOMPARE(h.last().recipe.name(), QStringLiteral("Leek"));
    }

    // A backup of another folder restored, or a recipe file copied in: the side files beside it
    // are another's. They are put aside whole and said so; the Delete goes on.
    void sideFilesOfAnotherRecipeFileAreSetAside_data() {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<QString>("name");
        QTest::newRow("history") << "history"
                                 << "Recipe.history";
        QTest::newRow("details") << "details"
                                 << "Recipe.details";
    }
    void sideFilesOfAnotherRecipeFileAreSetAside() {
        QFETCH(QString, schema);
        QFETCH(QString, name);
        HistoryFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        QTemporaryDir other;
        Database::CreateDatabase(other.filePath("Recipe"));
        {
            auto db = Database::OpenDatabase(other.filePath("Recipe"));
            db->AttachSideFile(schema, other.filePath(name));
            db->Execute("CREATE TABLE " + schema + ".kept (x)");
            db->Close();
        }
        const QString mine = f.dir.filePath(name);
        QFile::remove(mine);
        QVERIFY(QFile::copy(other.filePath(name), mine));
        QFile original(mine);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();
        takeSideFileNotices();

        f.store->DeleteRecipe("Soups", "Leek");
        auto db = f.open();
        attachOwnSideFile(*db, schema, mine);
        db->Close();

        QFile aside(mine + ".from-another-recipe-file");
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), bytes);
        const QStringList said = f.dialogs.messages() + takeSideFileNotices();
        QVERIFY2(said.join('\n').contains("put aside"), qPrintable(said.join('\n')));
        if (schema == QLatin1String("history"))
            QCOMPARE(f.history().size(), 1);
    }
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
