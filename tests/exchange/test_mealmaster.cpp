// MealMaster files: both ingredient layouts, several recipes a file, the old code pages, and
// files that end or break in the middle of a recipe.

#include "exchange/codepages.h"
#include "exchange/mealmaster.h"

#include <QTest>

#include "exchange_fixture.h"

using namespace kb;
using namespace kb::exchange;

class TestMealMaster : public QObject {
    Q_OBJECT

  private slots:
    void readsBothLayoutsAndSections();
    void codePagesAreTold_data();
    void codePagesAreTold();
    void generatedFilesOfBothLayoutsComeBackWhole();
    void truncatedOrForeignTextIsNoted();
};

void TestMealMaster::readsBothLayoutsAndSections() {
    const ReadResult r = readMealMaster(test::dataFile("two-recipes-cp437.mmf"));
    QCOMPARE(r.format, QString("MealMaster, code page 437"));
    QVERIFY(r.problems.isEmpty());
    QCOMPARE(r.recipes.size(), 2);

    const RecipeRecord& caramel = r.recipes[0];
    QCOMPARE(caramel.name, QString("Crème Caramel"));
    QCOMPARE(caramel.category, QString("Desserts"));
    QCOMPARE(caramel.position, QString("line 3"));
    QCOMPARE(caramel.ingredients.split('\n'),
             (QStringList{"1/2 c Sugar", "2 tb Water", "4 lg Eggs", "2 1/2 c Milk", "THE CUSTARD:",
                          "1 ts Vanilla extract or half a vanilla pod", "1 pn Salt"}));
    // Wrapped lines are one paragraph; the header's fields are details, written after them.
    QCOMPARE(caramel.fullInstructions(),
             QString("Heat the oven to 160°C. Melt the sugar with the water until golden. "
                     "Pour into six ramekins.\n\nBake in a water bath for ½ hour.\n\n"
                     "Yield:\n6 servings\n\nCategories:\nDesserts, French"));
    QVERIFY(caramel.notes.isEmpty());

    const RecipeRecord& bread = r.recipes[1];
    QCOMPARE(bread.name, QString("Plain Bread"));
    QCOMPARE(bread.ingredients.split('\n'),
             (QStringList{"500 g Flour", "1 ts Salt", "7 g Dried yeast",
                          "300 ml Warm water, at blood heat, not hotter than that"}));
    QCOMPARE(bread.fullInstructions(),
             QString("Knead for ten minutes, rise, shape and bake at 220°C.\n\nYield:\n1 loaf"));
}

void TestMealMaster::codePagesAreTold_data() {
    QTest::addColumn<int>("pageNumber");
    QTest::newRow("437") << int(CodePage::Cp437);
    QTest::newRow("1252") << int(CodePage::Windows1252);
    QTest::newRow("utf-8") << int(CodePage::Utf8);
}

void TestMealMaster::codePagesAreTold() {
    QFETCH(int, pageNumber);
    const auto page = static_cast<CodePage>(pageNumber);
    const QByteArray bytes = writeMealMaster(test::generatedMealMaster(3), page, false);
    QCOMPARE(int(detectCodePage(bytes)), int(page));
    const ReadResult r = readMealMaster(bytes);
    QCOMPARE(r.recipes.size(), 3);
    QVERIFY(r.recipes[1].ingredients.contains("Crème fraîche"));
    QCOMPARE(r.recipes[0].instructions,
             QString("Mix everything for dish 1 at 180°C.\n\nServe warm; it keeps for ½ day."));
    // Every character of both tables survives the way out and back.
    if (page != CodePage::Utf8) {
        QByteArray all;
        for (int b = 0x80; b <= 0xFF; ++b)
            all += char(b);
        QCOMPARE(encode(decode(all, page), page), all);
    }
}

void TestMealMaster::generatedFilesOfBothLayoutsComeBackWhole() {
    const QList<MmRecipe> recipes = test::generatedMealMaster(240);
    QByteArray file = writeMealMaster(recipes.mid(0, 120), CodePage::Cp437, false);
    file += writeMealMaster(recipes.mid(120), CodePage::Cp437, true);
    const ReadResult r = readMealMaster(file);
    QVERIFY(r.problems.isEmpty());
    QCOMPARE(r.recipes.size(), 240);
    for (int i = 0; i < recipes.size(); ++i) {
        QStringList expected;
        for (const MmIngredient& ing : recipes[i].ingredients) {
            QStringList parts;
            for (const QString& p : {ing.amount, ing.unit, ing.text})
                if (!p.isEmpty())
                    parts << p;
            expected << parts.join(' ');
        }
        QCOMPARE(r.recipes[i].name, recipes[i].title);
        QCOMPARE(r.recipes[i].ingredients.split('\n'), expected);
        QCOMPARE(r.recipes[i].category, recipes[i].categories.first());
    }
}

void TestMealMaster::truncatedOrForeignTextIsNoted() {
    QByteArray file = writeMealMaster(test::generatedMealMaster(3), CodePage::Windows1252, true);
    // The first recipe loses its end line; the file stops inside the third one's ingredients.
    file.replace(file.indexOf("MMMMM\r\n"), 7, "");
    file.truncate(file.lastIndexOf("Flour"));
    const ReadResult r = readMealMaster(file);
    QCOMPARE(r.recipes.size(), 3);
    QVERIFY(r.recipes[0].notes.first().contains("next recipe begins at line"));
    QVERIFY(r.recipes[1].notes.isEmpty());
    QVERIFY(r.recipes[2].notes.first().contains("file ends"));
    QVERIFY(!r.recipes[2].ingredients.isEmpty());
    // Text that holds no recipe at all is a problem, not an empty success. (A recipe without
    // a title line is reported by the import tests, by line, with the rest read.)
    QVERIFY(!readMealMaster("just some text\r\n").problems.isEmpty());
}

QTEST_GUILESS_MAIN(TestMealMaster)
#include "test_mealmaster.moc"
