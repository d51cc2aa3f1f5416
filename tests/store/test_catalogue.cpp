// Filling the tree from the recipe file: the full catalogue and the categories-only tree.

#include "core/store_error.h"
#include "platform/nodes.h"
#include "tests/store/store_fixture.h"

#include <QPainter>
#include <QTest>

using namespace kb;
using namespace kb::test;

namespace {

QIcon solid(Qt::GlobalColor colour) {
    QPixmap pm(16, 16);
    pm.fill(colour);
    return QIcon(pm);
}

QIcon iconOf(const QModelIndex& at) {
    return at.data(Qt::DecorationRole).value<QIcon>();
}

QColor colourOf(const QModelIndex& at, QIcon::Mode mode) {
    return iconOf(at).pixmap(QSize(16, 16), mode).toImage().pixelColor(8, 8);
}

QModelIndex child(const QModelIndex& at, int row) {
    return at.model()->index(row, 0, at);
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

  private slots:
    void emptyFileGivesOnlyTheRoot() {
        StoreFixture f;
        f.list.addItem(QStringLiteral("left over"));
        f.store->LoadCatalogue();
        QCOMPARE(f.tree(), QStringList{QStringLiteral("Kettlebox Recipe")});
        QCOMPARE(Nodes::key(f.root()), QStringLiteral("AB"));
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);
    }

    void categoriesSortedRecipesInStoredOrder() {
        StoreFixture f;
        // Made out of order, with case and accent variants, the seven excluded names and
        // case variants of them, and names that need quoting.
        const QStringList made{"zzzNothing",
                               "banana",
                               "Äpfel",
                               "apfel",
                               "Zucchini",
                               "MSysObjects",
                               "MSysACEs",
                               "MSysModules",
                               "MSysModules2",
                               "MSysQueries",
                               "MSysRelationships",
                               "MSysAccessObjects",
                               "Mum's \"best\" [old]",
                               "Ärger"};
        for (const QString& name : made)
            f.makeCategory(name);
        f.addRecipe("banana", "Split");
        f.addRecipe("banana", "Bread");
        f.addRecipe("banana", "Apple Pie"); // stored last, stays last
        f.addRow("Zucchini", {QStringLiteral("  Fritters  "), {}, {}, {}});
        f.addRow("Zucchini", {std::nullopt, {}, {}, {}});
        f.addRow("Zucchini", {QStringLiteral("   "), {}, {}, {}});
        f.addRow("Zucchini", {QStringLiteral("\tTabbed\n"), {}, {}, {}});
        f.addRecipe("Mum's \"best\" [old]", "Grandma's \"secret\" [1]");
        f.addRecipe("Zucchini", "Fritters"); // the same name twice: both are listed

        f.store->LoadCatalogue();
        const QStringList expected{
            "Kettlebox Recipe",
            "  apfel",
            "  Äpfel",
            "  Ärger",
            "  banana",
            "    Split",
            "    Bread",
            "    Apple Pie",
            "  Mum's \"best\" [old]",
            "    Grandma's \"secret\" [1]",
            "  Zucchini",
            "    Fritters",
            "    ",
            "    ",
            "    \tTabbed\n",
            "    Fritters",
            "  zzzNothing",
        };
        QCOMPARE(f.tree(), expected);
        QCOMPARE(f.list.count(), 0);

        // Only the exact names are left out: a case variant is an ordinary category.
        f.exec("DROP TABLE MSysQueries; DROP TABLE MSysACEs");
        f.makeCategory("msysqueries");
        f.makeCategory("MSYSACES");
        f.store->LoadCatalogue();
        QVERIFY(f.category("msysqueries").isValid());
        QVERIFY(f.category("MSYSACES").isValid());
        QVERIFY(!f.category("MSysObjects").isValid());

        // Keys: categories by name, recipes none; pictures by kind.
        f.tree(); // reads the closed categories
        const QModelIndex banana = f.category("banana");
        QCOMPARE(Nodes::key(banana), QStringLiteral("banana"));
        QCOMPARE(Nodes::key(child(banana, 0)), QString());
        // The last category is empty: only the root is open.
        QVERIFY(f.tv.isExpanded(f.root()));
        QVERIFY(!f.tv.isExpanded(f.category("Zucchini")));
    }

    void picturesAndSelectedPictures() {
        StoreFixture f;
        f.images = ImageList(solid(Qt::red), solid(Qt::green), solid(Qt::blue), solid(Qt::yellow));
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.addRecipe("Soups", "Onion");

        f.store->LoadCatalogue();
        const QModelIndex root = f.root();
        const QModelIndex soups = f.category("Soups");
        QCOMPARE(colourOf(root, QIcon::Normal), QColor(Qt::red));
        QCOMPARE(colourOf(soups, QIcon::Normal), QColor(Qt::green));
        QCOMPARE(colourOf(soups, QIcon::Selected), QColor(Qt::blue));
        QCOMPARE(colourOf(child(soups, 0), QIcon::Normal), QColor(Qt::yellow));
        QCOMPARE(colourOf(child(soups, 0), QIcon::Selected), QColor(Qt::blue));
        // Nodes showing the same pictures share one icon.
        QCOMPARE(iconOf(child(soups, 0)).cacheKey(), iconOf(child(soups, 1)).cacheKey());

        // The categories-only tree: no recipes, and a selected category keeps its picture.
        f.store->LoadCategoryTree();
        QCOMPARE(f.tree(), (QStringList{"Kettlebox Recipe", "  Soups"}));
        QCOMPARE(colourOf(f.category("Soups"), QIcon::Selected), QColor(Qt::green));
        QCOMPARE(f.list.count(), 0);
        QVERIFY(!f.store->RecipeDatabase);
    }

    void lastNodeAddedIsMadeVisible() {
        StoreFixture f;
        f.makeCategory("Alpha");
        f.makeCategory("Beta");
        f.addRecipe("Alpha", "One");
        f.store->LoadCatalogue();
        QVERIFY(f.tv.isExpanded(f.root()));
        QVERIFY(!f.tv.isExpanded(f.category("Alpha")));
        QVERIFY(!f.tv.model()->hasChildren(f.category("Beta")));

        // With recipes in the last category, it is shown open.
        f.addRecipe("Beta", "Two");
        f.store->LoadCatalogue();
        QVERIFY(f.tv.isExpanded(f.category("Beta")));
        QVERIFY(!f.tv.isExpanded(f.category("Alpha")));
    }

    void aClosedCategoryIsReadWhenOpened() {
        StoreFixture f;
        f.makeCategory("Alpha");
        f.makeCategory("Beta");
        f.makeCategory("Gamma");
        f.addRecipe("Alpha", "One");
        f.addRecipe("Gamma", "Last");
        f.store->LoadCatalogue();
        QAbstractItemModel* m = f.tv.model();
        const QModelIndex alpha = f.category("Alpha");
        // Closed: nothing read yet, but the arrow tells that there are recipes.
        QCOMPARE(m->rowCount(alpha), 0);
        QVERIFY(m->hasChildren(alpha));
        QVERIFY(!m->hasChildren(f.category("Beta")));
        QCOMPARE(m->rowCount(f.category("Gamma")), 1);

        // Another program adds a row meanwhile: opening shows the file as it is then.
        f.addRecipe("Alpha", "Two");
        f.addRow("Alpha", {std::nullopt, {}, {}, {}});
        f.tv.expand(alpha);
        QCOMPARE(m->rowCount(alpha), 3);
        QCOMPARE(m->index(1, 0, alpha).data().toString(), QStringLiteral("Two"));
        QCOMPARE(m->index(2, 0, alpha).data().toString(), QString());
        QCOMPARE(f.list.count(), 0);
        QVERIFY(!f.store->RecipeDatabase);

        // A category dropped before it is opened shows no recipes and raises nothing.
        f.store->LoadCatalogue();
        f.exec("DROP TABLE Alpha");
        f.tv.expand(f.category("Alpha"));
        QCOMPARE(m->rowCount(f.category("Alpha")), 0);
    }

    void reloadReplacesTheTree() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.store->LoadCatalogue();
        f.store->LoadCatalogue();
        QCOMPARE(f.tree(), (QStringList{"Kettlebox Recipe", "  Soups", "    Leek"}));
    }

    void failuresBeforeTheFirstCategoryGoToTheCaller() {
        StoreFixture f;
        f.makeCategory("Soups");
        f.store->LoadCatalogue();
        const QStringList before = f.tree();
        QFile::remove(f.fileName());
        try {
            f.store->LoadCatalogue();
            QFAIL("a missing file must be reported");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains("missing"), qPrintable(e.message()));
        }
        QCOMPARE(f.tree(), before); // the tree is left as it was
        QVERIFY_THROWS_EXCEPTION(StoreError, f.store->LoadCategoryTree());
        QVERIFY(!f.store->RecipeDatabase);
    }

    void noCategoryHidesTheOthers() {
        // A table named like the root's key, made by another tool, comes first in name order;
        // a table without row ids can't be walked. Every other category is listed all the same,
        // and one message names both.
        StoreFixture f;
        f.exec("CREATE TABLE AB (Name TEXT, Author TEXT, Ingredients TEXT, Instructions TEXT)");
        f.exec("INSERT INTO AB VALUES ('Hidden ', 'x ', 'y ', 'z ')");
        f.makeCategory("Breads");
        f.addRecipe("Breads", "Rye");
        f.exec("CREATE TABLE Keyed (Name TEXT PRIMARY KEY, Author TEXT) WITHOUT ROWID");
        f.exec("INSERT INTO Keyed VALUES ('Odd ', 'x ')");
        f.makeCategory("Soups");
        f.addRecipe("Soups", "Leek");
        f.store->LoadCatalogue();
        const QStringList shown{"Kettlebox Recipe", "  Breads", "    Rye",
                                "  Keyed",          "  Soups",  "    Leek"};
        QCOMPARE(f.tree(), shown);
        QCOMPARE(f.list.count(), 0);
        QVERIFY(!f.store->RecipeDatabase && !f.store->RecipeRecordset);
        QCOMPARE(f.dialogs.prompts().size(), 1);
        const QString text = f.dialogs.prompts().first().text;
        QVERIFY2(text.contains("\"AB\"") && text.contains("\"Keyed\"") &&
                     text.contains("could not be read"),
                 qPrintable(text));

        // The tree is rebuilt after every change: the same news is not repeated each time.
        f.store->LoadCatalogue();
        QCOMPARE(f.tree(), shown);
        QCOMPARE(f.dialogs.prompts().size(), 1);
        // The categories-only tree skips the same table and says nothing new.
        f.store->LoadCategoryTree();
        QCOMPARE(f.tree(), (QStringList{"Kettlebox Recipe", "  Breads", "  Keyed", "  Soups"}));
        QCOMPARE(f.dialogs.prompts().size(), 1);
        // A mended table is not mentioned again; a newly unreadable one is.
        f.exec("DROP TABLE Keyed");
        f.store->LoadCatalogue();
        QCOMPARE(f.dialogs.prompts().size(), 1);
        f.exec("DROP TABLE AB");
        f.exec("CREATE TABLE Zed (Name TEXT PRIMARY KEY) WITHOUT ROWID");
        f.store->LoadCatalogue();
        QCOMPARE(f.dialogs.prompts().size(), 2);
        QVERIFY(f.dialogs.prompts().last().text.contains("\"Zed\""));
        f.exec("DROP TABLE Zed");
        f.store->LoadCatalogue();
        QCOMPARE(f.dialogs.prompts().size(), 2);
        QCOMPARE(f.tree().size(), 5);
    }
};

QTEST_MAIN(TestCatalogue)
#include "test_catalogue.moc"
