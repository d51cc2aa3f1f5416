// Showing, adding, updating and deleting one recipe row.

#include "core/store_error.h"
#include "platform/guard.h"
#include "platform/nodes.h"
#include "tests/store/store_fixture.h"

#include <QGuiApplication>
#include <QTest>

using namespace kb;
using namespace kb::test;

namespace {
std::optional<QString> s(const char* text) {
    return QString::fromUtf8(text);
}
} // namespace

class TestRecords : public QObject {
    Q_OBJECT

  private slots:
    void showFillsTheBoxesFromTheFirstMatch() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.exec("INSERT INTO Soups VALUES ('Leek ', ' Ann ', ' 2 leeks\r\n1 potato ', "
               "'Chop.\nBoil. ');"
               "INSERT INTO Soups VALUES ('  Leek', 'Second', 'x', 'y');"
               "INSERT INTO Soups VALUES ('leek ', 'Lower', 'x', 'y');"
               "INSERT INTO Soups VALUES (NULL, NULL, NULL, NULL)");
        f.store->ShowRecipe("Soups", "Leek");
        // The name exactly as stored; the others without surrounding spaces, line breaks kept.
        QCOMPARE(f.boxes(), (QStringList{"Leek ", "Ann", "2 leeks\n1 potato", "Chop.\nBoil."}));
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);

        f.store->ShowRecipe("Soups", "leek"); // letter case matters
        QCOMPARE(f.text2.text(), QStringLiteral("Lower"));

        // A missing name is found under the empty name, every box empty.
        f.store->ShowRecipe("Soups", "");
        QCOMPARE(f.boxes(), (QStringList{"", "", "", ""}));
        QVERIFY(!f.text1.isReadOnly());
    }

    void showOfAnUnknownNameLocksTheBoxes() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.setBoxes("typed", "b", "c", "d");
        f.store->ShowRecipe("Soups", "Onion");
        QCOMPARE(f.boxes(), (QStringList{"typed", "b", "c", "d"}));
        QVERIFY(f.text1.isReadOnly() && f.text2.isReadOnly() && f.text3.isReadOnly() &&
                f.text4.isReadOnly());
    }

    void showFailuresGoToTheCaller() {
        StoreFixture f;
        f.makeCategory("Empty");
        try {
            f.store->ShowRecipe("Gone", "Leek");
            QFAIL("a missing category must be reported");
        } catch (const StoreError& e) {
            QCOMPARE(e.message(), QStringLiteral("The category \"Gone\" no longer exists."));
        }
        QVERIFY_THROWS_EXCEPTION(StoreError, f.store->ShowRecipe("Empty", "Leek"));
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);
    }

    void addWritesTheStoredValueFormat() {
        StoreFixture f;
        f.makeCategory("Mum's \"best\"");
        f.addRecipe("Mum's \"best\"", "First");
        f.setBoxes("  Crème brûlée  ", "", "\t2 eggs \n 1 cup  ", " Bake.\n");
        f.store->AddRecipe("Mum's \"best\"");
        const QList<Row> rows = f.rows("Mum's \"best\"");
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1],
                 (Row{s("Crème brûlée "), s(" "), s("\t2 eggs \n 1 cup "), s("Bake.\n ")}));
        QCOMPARE(f.boxes()[0], QStringLiteral("  Crème brûlée  ")); // the boxes are only read

        // Shown back: the bare name plus one space in the name box.
        f.store->ShowRecipe("Mum's \"best\"", "Crème brûlée");
        QCOMPARE(f.text1.text(), QStringLiteral("Crème brûlée "));
        QVERIFY_THROWS_EXCEPTION(StoreError, f.store->AddRecipe("Gone"));
        QCOMPARE(f.rows("Mum's \"best\"").size(), 2);
    }

    void updateRewritesTheFirstMatchInPlace() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.addRow("Soups", {s("Leek"), s("a"), s("b"), s("c")});
        f.addRow("Soups", {std::nullopt, s("none"), s("b"), s("c")});
        f.addRow("Soups", {s(" Onion "), s("1"), s("1"), s("1")});
        f.addRow("Soups", {s("Onion"), s("2"), s("2"), s("2")});
        f.setBoxes(" Red Onion ", "Bea", "3 onions", "Fry.\nServe.");
        f.store->UpdateRecipe("Soups", " Onion ");
        QCOMPARE(f.dialogs.messages(), QStringList{"Recipe UpDated"});
        const QList<Row> rows = f.rows("Soups");
        QCOMPARE(rows[2], (Row{s("Red Onion "), s("Bea "), s("3 onions "), s("Fry.\nServe. ")}));
        QCOMPARE(rows[3][1], s("2")); // the second row of the same name is left alone
        QCOMPARE(rows[1][1], s("none"));
        QCOMPARE(f.boxes(), (QStringList{"", "", "", ""}));
        QVERIFY(f.tree().contains("    Red Onion"));

        // No match (a missing name never matches): the row was changed or removed elsewhere.
        // Nothing is written, the typing stays, the tree shows the file as it is.
        f.dialogs.clear();
        f.setBoxes("x", "x", "x", "x");
        { kb::Nodes(&f.tv).Clear(); }
        try {
            f.store->UpdateRecipe("Soups", "");
            QFAIL("an update that found nothing must say so");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains("outside this window"), qPrintable(e.message()));
        }
        QVERIFY(f.dialogs.messages().isEmpty());
        QCOMPARE(f.boxes(), (QStringList{"x", "x", "x", "x"}));
        QCOMPARE(f.tree().first(), QStringLiteral("Kettlebox Recipe"));
        QCOMPARE(f.rows("Soups")[1][1], s("none"));
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);
    }

    void failedUpdateKeepsWhatWasTypedAndClaimsNothing() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.store->LoadCatalogue();
        const QStringList tree = f.tree();
        f.setBoxes("Leek and Potato", "Me", "leeks\npotatoes", "Simmer.");
        {
            WriteLock lock(f.fileName());
            try {
                f.store->UpdateRecipe("Soups", "Leek");
                QFAIL("a save that failed must be reported");
            } catch (const StoreError& e) {
                QVERIFY2(e.message().contains("busy"), qPrintable(e.message()));
            }
        }
        QVERIFY(f.dialogs.messages().isEmpty());
        QCOMPARE(f.boxes(), (QStringList{"Leek and Potato", "Me", "leeks\npotatoes", "Simmer."}));
        QCOMPARE(f.tree(), tree);
        QCOMPARE(f.rows("Soups")[0][0], s("Leek "));
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);

        // Once the other writer is done the same save goes through.
        f.store->UpdateRecipe("Soups", "Leek");
        QCOMPARE(f.rows("Soups")[0][0], s("Leek and Potato "));
    }

    void deleteRemovesOnlyTheFirstMatch() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.addRow("Soups", {std::nullopt, s("missing"), {}, {}});
        f.addRow("Soups", {s(" Leek"), s("1"), {}, {}});
        f.addRow("Soups", {s("Leek  "), s("2"), {}, {}});
        f.addRow("Soups", {s("Onion"), s("3"), {}, {}});
        f.setBoxes("a", "b", "c", "d");
        f.store->DeleteRecipe("Soups", "Leek ");
        QList<Row> rows = f.rows("Soups");
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1][1], s("2"));
        QCOMPARE(f.boxes(), (QStringList{"", "", "", ""}));
        QCOMPARE(f.tree(),
                 (QStringList{"Kettlebox Recipe", "  Soups", "    ", "    Leek", "    Onion"}));
        QVERIFY(f.dialogs.messages().isEmpty());

        // A missing name is never deleted, and nothing is claimed for it.
        f.setBoxes("a", "b", "c", "d");
        QVERIFY_THROWS_EXCEPTION(StoreError, f.store->DeleteRecipe("Soups", ""));
        QCOMPARE(f.rows("Soups").size(), 3);
        QCOMPARE(f.boxes(), (QStringList{"a", "b", "c", "d"}));
        QVERIFY_THROWS_EXCEPTION(StoreError, f.store->DeleteRecipe("Gone", "Leek"));
    }

    void waitingForAnotherWriterShowsTheBusyPointer() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.setBoxes("Onion", "Me", "onions", "Fry.");
        std::optional<Qt::CursorShape> during;
        {
            WriteLock lock(f.fileName(), true);
            runGuarded(f.dialogs, [&] {
                try {
                    f.store->AddRecipe("Soups");
                } catch (...) {
                    if (const QCursor* c = QGuiApplication::overrideCursor())
                        during = c->shape();
                    throw;
                }
            });
        }
        QCOMPARE(during, std::optional<Qt::CursorShape>(Qt::BusyCursor));
        QCOMPARE(f.dialogs.messages().size(), 1); // the failure, shown once
        QCoreApplication::processEvents();
        QVERIFY(!QGuiApplication::overrideCursor());

        // A write that does not wait leaves the pointer alone.
        runGuarded(f.dialogs, [&] {
            f.store->UpdateRecipe("Soups", "Leek");
            QVERIFY(!QGuiApplication::overrideCursor());
        });
    }

    // A cancel travels as a failure does, so every layer rolls back on one path; the guard
    // tells a failure once and a cancel, which the user asked for, not at all.
    void theGuardTellsAFailureButNotACancel() {
        StoreFixture f;
        runGuarded(f.dialogs, [] { throw StoreError(QStringLiteral("The disk is full.")); });
        runGuarded(f.dialogs, [] { throw StoreError::cancelled(); });
        QCOMPARE(f.dialogs.messages(), QStringList{QStringLiteral("The disk is full.")});
    }

    void failedDeleteIsReported() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.store->LoadCatalogue();
        f.setBoxes("Leek ", "A", "I", "S");
        {
            WriteLock lock(f.fileName());
            QVERIFY_THROWS_EXCEPTION(StoreError, f.store->DeleteRecipe("Soups", "Leek"));
        }
        QCOMPARE(f.rows("Soups").size(), 1);
        QCOMPARE(f.boxes(), (QStringList{"Leek ", "A", "I", "S"}));
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);
    }

    void closeIsHarmlessWhenNothingIsOpen() {
        StoreFixture f;
        f.store->CloseRecipeDatabase();
        f.store->OpenRecipeDatabase();
        QVERIFY(f.store->RecipeDatabase);
        f.store->CloseRecipeDatabase();
        f.store->CloseRecipeDatabase();
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);
    }
};

QTEST_MAIN(TestRecords)
#include "test_records.moc"
