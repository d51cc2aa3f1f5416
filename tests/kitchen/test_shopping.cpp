// The shopping list: lines of several recipes merged by item and kind of measure, across unit
// systems; aisles guessed and corrected; the list kept in its side file; kettlebox-db shop.

#include "core/database.h"
#include "core/store_error.h"
#include "kitchen/shopping.h"
#include "kitchen/shoppingstore.h"
#include "tests/store/store_fixture.h"
#include "tests/support/run_tool.h"

#include <QTest>

using namespace kb;
using namespace kb::kitchen;
using namespace kb::test;

namespace {

ShoppingSource source(const char* name, const char* ingredients, double factor = 1) {
    return {QStringLiteral("Cakes"), QString::fromUtf8(name), factor,
            QString::fromUtf8(ingredients)};
}

QStringList texts(const QList<ShoppingLine>& lines) {
    QStringList out;
    for (const ShoppingLine& l : lines)
        out << aisleName(l.aisle) + QStringLiteral(": ") + l.text() + QStringLiteral(" [") +
                   l.recipes.join(QStringLiteral(", ")) + QLatin1Char(']');
    return out;
}

} // namespace

class TestShopping : public QObject {
    Q_OBJECT

  private slots:
    void mergesAcrossUnitSystems() {
        const QList<ShoppingSource> sources = {
            source("Bread", "2 cups all-purpose flour\n1 tsp salt\n2 onions, sliced\nEggs 2"),
            source("Cake",
                   "250 g all-purpose flour\n3 eggs\n1 onion\nsalt to taste\n"
                   "For the icing:\n100 g icing sugar",
                   2),
            source("Soup", "1 l stock\n2 cups stock\n2 cloves garlic\n1 (14 oz) can tomatoes\n"
                           "salt, pepper, basil")};
        const QStringList metric = texts(mergeShopping(sources, System::Metric, AisleTable()));
        QCOMPARE(metric,
                 QStringList({QStringLiteral("produce: 2 cloves garlic [Soup]"),
                              QStringLiteral("produce: 4 onions [Bread, Cake]"),
                              QStringLiteral("dairy: 6 eggs [Cake]"),
                              QStringLiteral("pantry: ~750 g all-purpose flour [Bread, Cake]"),
                              QStringLiteral("pantry: 200 g icing sugar [Cake]"),
                              QStringLiteral("pantry: 1.45 l stock [Soup]"),
                              QStringLiteral("pantry: 1 can tomatoes [Soup]"),
                              QStringLiteral("spices: 5 ml salt (to taste) [Bread, Cake]"),
                              QStringLiteral("spices: salt, pepper, basil [Soup]"),
                              QStringLiteral("other: Eggs 2 [Bread]")}));
        // The same list in US measures: the flour by the cup, marked approximate.
        const QStringList us = texts(mergeShopping(sources, System::Us, AisleTable()));
        QVERIFY2(us.contains(QStringLiteral("pantry: ~6 cups all-purpose flour [Bread, Cake]")),
                 qPrintable(us.join(u'\n')));
        QVERIFY(us.contains(QStringLiteral("pantry: 6 ¼ cups stock [Soup]")));
    }

    void guessesAislesAndKeepsTheCooksCorrections() {
        QCOMPARE(AisleTable::guess(u"black pepper"), Aisle::Spices);
        QCOMPARE(AisleTable::guess(u"red bell peppers"), Aisle::Produce);
        QCOMPARE(AisleTable::guess(u"peanut butter"), Aisle::Pantry);
        QCOMPARE(AisleTable::guess(u"unsalted butter"), Aisle::Dairy);
        QCOMPARE(AisleTable::guess(u"frozen peas"), Aisle::Frozen);
        QCOMPARE(AisleTable::guess(u"mystery"), Aisle::Other);

        StoreFixture f;
        {
            auto db = Database::OpenDatabase(f.base);
            correctAisle(*db, QStringLiteral("Tofu"), Aisle::Dairy);
            correctAisle(*db, QStringLiteral("milk"), Aisle::Dairy); // the guess: not stored
            db->Close();
        }
        auto db = Database::OpenDatabase(f.base);
        const AisleTable table = aisleTable(*db);
        QCOMPARE(table.aisleOf(u"tofu"), Aisle::Dairy);
        QCOMPARE(table.corrections().size(), 1);
    }

    // The list, its factors, its ticks and the system shown outlive the program, in an
    // encrypted side file; emptying keeps the aisle corrections.
    void keepsTheListInItsSideFile() {
        StoreFixture f;
        f.makeCategory(QStringLiteral("Cakes"));
        f.addRow(QStringLiteral("Cakes"),
                 {QStringLiteral("Sponge "), QStringLiteral("A "),
                  QStringLiteral("2 eggs\n100 g sugar "), QStringLiteral("Mix ")});
        {
            auto db = Database::OpenDatabase(f.base);
            addToShoppingList(*db, QStringLiteral("Cakes"), QStringLiteral("Sponge"), 1);
            addToShoppingList(*db, QStringLiteral("Cakes"), QStringLiteral("Sponge"), 1);
            addToShoppingList(*db, QStringLiteral("Cakes"), QStringLiteral("Gone"), 1);
            setTicked(*db, QStringLiteral("egg|count "), true);
            setShownSystem(*db, System::Us);
            correctAisle(*db, QStringLiteral("sugar"), Aisle::Bakery);
            QVERIFY_THROWS_EXCEPTION(StoreError, addToShoppingList(*db, QStringLiteral("Cakes"),
                                                                   QStringLiteral("X"), 0));
            db->Close();
        }
        QVERIFY(QFile::exists(shoppingFileOf(f.base)));
        // Encrypted: no trace of the recipe's name in the file's bytes.
        QFile raw(shoppingFileOf(f.base));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QVERIFY(!raw.readAll().contains("Sponge"));

        auto db = Database::OpenDatabase(f.base);
        const QList<ListedRecipe> listed = listedRecipes(*db);
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed[0].factor, 2.0);
        QStringList missing;
        const auto sources = shoppingSources(*db, listed, &missing);
        QCOMPARE(missing, QStringList{QStringLiteral("Cakes/Gone")});
        QCOMPARE(shownSystem(*db), System::Us);
        const auto lines =
            mergeShopping(sources, System::AsWritten, aisleTable(*db), tickedLines(*db));
        QCOMPARE(texts(lines), QStringList({QStringLiteral("dairy: 4 eggs [Sponge]"),
                                            QStringLiteral("bakery: 200 g sugar [Sponge]")}));
        QVERIFY(lines[0].ticked);
        QVERIFY(shoppingText(lines).startsWith(QStringLiteral("Dairy\n[x] 4 eggs  — Sponge\n")));
        clearShoppingList(*db);
        QVERIFY(listedRecipes(*db).isEmpty());
        QVERIFY(tickedLines(*db).isEmpty());
        QCOMPARE(aisleTable(*db).aisleOf(u"sugar"), Aisle::Bakery);
    }

    void printsAMergedListOnTheCommandLine() {
        StoreFixture f;
        f.makeCategory(QStringLiteral("Soups"));
        f.addRow(QStringLiteral("Soups"),
                 {QStringLiteral("Leek/Potato "), QStringLiteral("A "),
                  QStringLiteral("2 leeks\n500 g potatoes "), QStringLiteral("Cook ")});
        f.addRow(QStringLiteral("Soups"),
                 {QStringLiteral("Mash "), QStringLiteral("A "),
                  QStringLiteral("1 lb potatoes\n2 tbsp butter "), QStringLiteral("Mash ")});
        const QString folder = f.dir.path();
        const ToolRun r = runTool(
            QStringLiteral(KB_DB_TOOL),
            {QStringLiteral("shop"), QStringLiteral("--servings"), QStringLiteral("2"),
             QStringLiteral("--system"), QStringLiteral("metric"), QStringLiteral("--folder"),
             folder, QStringLiteral("Soups/Leek/Potato"), QStringLiteral("Soups/Mash")});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("Produce\n[ ] 4 leeks  — Leek/Potato\n"
                                       "[ ] 1.9 kg potatoes  — Leek/Potato, Mash\n\n"
                                       "Dairy\n[ ] ~57 g butter  — Mash\n"));
        const ToolRun missing =
            runTool(QStringLiteral(KB_DB_TOOL), {QStringLiteral("shop"), QStringLiteral("--folder"),
                                                 folder, QStringLiteral("Soups/Nothing")});
        QCOMPARE(missing.code, 1);
        QVERIFY(missing.err.contains(QStringLiteral("Soups/Nothing")));
        QCOMPARE(runTool(QStringLiteral(KB_DB_TOOL), {QStringLiteral("shop")}).code, 2);
        QCOMPARE(runTool(QStringLiteral(KB_DB_TOOL),
                         {QStringLiteral("shop"), QStringLiteral("--servings"),
                          QStringLiteral("-1"), QStringLiteral("Soups/Mash")})
                     .code,
                 1);
        // Printing a list writes nothing beside the recipe file.
        QVERIFY(!QFile::exists(shoppingFileOf(f.base)));
    }
};

QTEST_MAIN(TestShopping)
#include "test_shopping.moc"
