// Other recipe programs' files: one well-made sample and one damaged one of each kind, read
// through the same door as an import; archives with limits; our own export's steps and the
// MealMaster export read back.

#include "exchange/archive.h"
#include "exchange/exporter.h"
#include "exchange/importer.h"
#include "exchange/jsonld.h"
#include "exchange/mealmaster.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include "exchange_fixture.h"

using namespace kb;
using namespace kb::exchange;

class TestFormats : public QObject {
    Q_OBJECT

  private slots:
    void wellMadeSamples_data();
    void wellMadeSamples();
    void damagedSamplesSayWhatWentWrong_data();
    void damagedSamplesSayWhatWentWrong();
    void photosAreKept();
    void archivesBeyondTheLimitsAreRefused();
    void exportKeepsParagraphsAndDetails();
    void mealMasterExportReadsBack();
};

namespace {
QString data(const QString& name) {
    return QString(KB_EXCHANGE_DATA) + "/" + name;
}
} // namespace

void TestFormats::wellMadeSamples_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QStringList>("ingredients");
    QTest::addColumn<QString>("instructions"); // with the details after them
    QTest::newRow("MasterCook text")
        << "mastercook.mxp" << 2 << "Shepherd's Pie"
        << "Ann Baker"
        << QStringList{"1 pound ground beef", "1 1/2 cups onion -- chopped",
                       "4 large potatoes -- peeled", "salt and pepper"}
        << "Brown the beef with the onion.\n\nBoil the potatoes and mash them; spread over the "
           "beef and bake at 200 °C for 25 minutes.\n\nYield:\n4 servings\n\nPreparation time:\n"
           "1:15\n\nCategories:\nMain Dish, Beef\n\nNotes:\nNOTES : Freezes well.";
    QTest::newRow("MasterCook XML, ISO-8859-1")
        << "mastercook.mx2" << 2 << "Crème Brûlée"
        << "Hélène"
        << QStringList{"For the custard:", "2 cups cream", "5 egg yolks -- beaten", "1/2 cup sugar"}
        << "Heat the cream; whisk in the yolks & sugar.\n\nBake at 150 °C in a water bath.\n\n"
           "Yield:\n6 servings\n\nPreparation time:\n1:00\n\nCategories:\nDesserts, French\n\n"
           "Source:\nGrandmother's book";
    QTest::newRow("RecipeML")
        << "recipeml.xml" << 1 << "Lentil Soup"
        << "" << QStringList{"250 g red lentils", "Seasoning:", "1 tsp cumin, toasted", "salt"}
        << "Rinse the lentils.\n\nSimmer with the cumin for 30 minutes; season with salt.\n\n"
           "Yield:\n4 servings\n\nCooking time:\n40 minutes\n\nCategories:\nSoups, Vegetarian\n\n"
           "Source:\nKitchen notebook";
    QTest::newRow("Gourmet")
        << "gourmet.grmt" << 1 << "Garlic Bread"
        << ""
        << QStringList{"1 baguette", "Butter:", "100 g butter, soft", "2 tbsp parsley (optional)"}
        << "Mix the butter with crushed garlic.\n\nSpread on the sliced bread and bake.\n\n"
           "Yield:\n8 slices\n\nPreparation time:\n10 min\n\nCooking time:\n15 min\n\nCuisine:\n"
           "Italian\n\nSource:\nNonna\nhttps://example.org/garlic-bread\n\nNotes:\n"
           "Less garlic for children.";
    QTest::newRow("KRecipes")
        << "krecipes.kreml" << 1 << "Apple Crumble"
        << "Tom" << QStringList{"1 kg apples, sliced", "Topping:", "150 g flour", "100 g butter"}
        << "Put the apples in a dish.\nRub the flour and butter together, scatter over and bake "
           "for 40 minutes.\n\nYield:\n6 servings\n\nPreparation time:\n00:45";
    QTest::newRow("RezKonv")
        << "rezkonv.rk" << 1 << "Apfelkuchen vom Blech"
        << ""
        << QStringList{"TEIG:",
                       "250 g Mehl",
                       "125 g Butter",
                       "1 Ei",
                       "1 Prise Salz",
                       "BELAG:",
                       "1 kg Äpfel; geschält und in Spalten geschnitten"}
        << "Mehl, Butter, Ei und Salz zu einem Teig verkneten und auf dem Blech ausrollen.\n\n"
           "Die Äpfel darauf verteilen und 40 Minuten backen.\n\nYield:\n1 Blech\n\n"
           "Categories:\nBacken, Kuchen";
    QTest::newRow("Cooklang")
        << "pancakes.cook" << 1 << "Easy Pancakes"
        << ""
        << QStringList{"3 eggs", "125 g plain flour", "250 ml milk", "1 pinch sea salt",
                       "butter, for frying"}
        << "Crack the eggs into a blender, then add the plain flour, milk and sea salt.\n\n"
           "Blitz until smooth, rest for 15 minutes.\n\nFry in a frying pan with a little "
           "butter.\n\nYield:\n4\n\nKeywords:\nbreakfast, quick\n\nSource:\n"
           "https://example.org/pancakes";
    QTest::newRow("Paprika recipe")
        << "banana-bread.paprikarecipe" << 1 << "Banana Bread"
        << "" << QStringList{"3 ripe bananas", "250 g flour", "1 tsp baking soda"}
        << "Mash the bananas.\n\nMix in the flour and soda and bake for an hour.\n\nYield:\n"
           "1 loaf\n\nPreparation time:\n15 min\n\nCooking time:\n1 hr\n\nCategories:\n"
           "Baking, Breakfast\n\nSource:\nAunt May\nhttps://example.org/banana\n\nPhoto:\n"
           "banana.jpg\n\nNotes:\nKeeps for a week.";
    QTest::newRow("Paprika archive")
        << "two.paprikarecipes" << 2 << "Banana Bread"
        << "" << QStringList{"3 ripe bananas", "250 g flour", "1 tsp baking soda"} << QString();
    QTest::newRow("Mealie export")
        << "mealie-export.zip" << 1 << "Tomato Salad"
        << "" << QStringList{"4 tomatoes, ripe", "Dressing:", "2 tbsp olive oil", "salt to taste"}
        << "Slice the tomatoes.\n\nDress and season.\n\nDescription:\nSummer salad.\n\nYield:\n"
           "2 servings\n\nTotal time:\n15 min\n\nKeywords:\nsummer\n\nSource:\n"
           "https://example.org/salad\n\nNotes:\nTip\nUse the best oil.";
    QTest::newRow("Tandoor export, an archive of archives")
        << "tandoor-export.zip" << 1 << "Pea Risotto"
        << "" << QStringList{"1 onion, chopped",   "30 g butter",  "For the rice:",
                             "160 g risotto rice", "150.5 g peas", "stock, hot"}
        << "Soften the onion in butter.\n\nRice:\n\nAdd the rice and the stock a ladle at a "
           "time.\n\nDescription:\nCreamy.\n\nYield:\n2 plates\n\nPreparation time:\n20 min\n\n"
           "Cooking time:\n25 min\n\nKeywords:\nrice, spring";
}

void TestFormats::wellMadeSamples() {
    QFETCH(QString, file);
    QFETCH(int, count);
    QFETCH(QString, name);
    QFETCH(QString, author);
    QFETCH(QStringList, ingredients);
    QFETCH(QString, instructions);
    const ReadResult r = readRecipeFile(data(file));
    for (const SourceProblem& p : r.problems)
        qWarning() << p.position << p.reason;
    QVERIFY(r.problems.isEmpty());
    QCOMPARE(r.recipes.size(), count);
    const RecipeRecord& first = r.recipes.first();
    QCOMPARE(first.name, name);
    QCOMPARE(first.author, author);
    QCOMPARE(first.ingredients.split('\n'), ingredients);
    if (!instructions.isEmpty())
        QCOMPARE(first.fullInstructions(), instructions);
    QVERIFY(first.notes.isEmpty());
}

void TestFormats::damagedSamplesSayWhatWentWrong_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("whole"); // recipes that still come in
    QTest::newRow("MasterCook text cut short") << "mastercook-damaged.mxp" << 2;
    // XML read as far as it goes, the recipe it breaks off in marked.
    QTest::newRow("MasterCook XML cut short") << "mastercook-damaged.mx2" << 2;
    QTest::newRow("RecipeML, a wrong end tag") << "recipeml-damaged.xml" << 1;
    QTest::newRow("Gourmet cut short") << "gourmet-damaged.grmt" << 1;
    QTest::newRow("KRecipes, a wrong end tag") << "krecipes-damaged.kreml" << 1;
    QTest::newRow("RezKonv without its end") << "rezkonv-damaged.rk" << 1;
    QTest::newRow("Cooklang, only comments") << "broken.cook" << 0;
    QTest::newRow("Paprika, gzip cut short") << "damaged.paprikarecipe" << 0;
    QTest::newRow("Paprika archive cut short") << "damaged.paprikarecipes" << 0;
    QTest::newRow("Mealie recipe without its parts") << "mealie-damaged.json" << 0;
    QTest::newRow("Tandoor, the inner archive cut short") << "tandoor-damaged.zip" << 0;
    QTest::newRow("Nextcloud folder, one recipe.json cut short") << "nextcloud" << 1;
}

void TestFormats::damagedSamplesSayWhatWentWrong() {
    QFETCH(QString, file);
    QFETCH(int, whole);
    const ReadResult r = readRecipeFile(data(file));
    QCOMPARE(r.recipes.size(), whole);
    // Never silent: a problem named, or the recipe that came in marked as maybe incomplete.
    bool said = !r.problems.isEmpty();
    for (const RecipeRecord& rec : r.recipes)
        said = said || !rec.notes.isEmpty();
    QVERIFY(said);
    for (const SourceProblem& p : r.problems)
        QVERIFY(!p.reason.isEmpty());
    if (whole > 0 && file.endsWith("damaged.mx2"))
        QVERIFY(r.recipes.first().notes.isEmpty() && !r.recipes.last().notes.isEmpty());
}

void TestFormats::photosAreKept() {
    QVERIFY(readRecipeFile(data("banana-bread.paprikarecipe"))
                .recipes.first()
                .details.photo.startsWith("\xff\xd8\xff"));
    const ReadResult folder = readRecipeFile(data("nextcloud"));
    QCOMPARE(folder.recipes.first().name, QString("Fluffy Pancakes"));
    QCOMPARE(folder.recipes.first().details.photo, QByteArray("\xff\xd8\xffNEXTCLOUDJPEG"));
    QVERIFY(readRecipeFile(data("tandoor-export.zip"))
                .recipes.first()
                .details.photo.startsWith("\xff\xd8\xff"));
}

void TestFormats::archivesBeyondTheLimitsAreRefused() {
    // 20 MB of zeros packed into 20 KB.
    const ReadResult bomb = readRecipeFile(data("zip-bomb.zip"));
    QVERIFY(bomb.recipes.isEmpty());
    QCOMPARE(bomb.problems.size(), 1);
    QVERIFY(bomb.problems.first().reason.contains("zip bomb"));

    const QByteArray archive = test::dataFile("two.paprikarecipes");
    ArchiveLimits few;
    few.maxEntries = 1;
    QVERIFY(readZip(archive, {}, few).failure.contains("more than the 1"));
    ArchiveLimits small;
    small.maxTotalBytes = 300;
    QVERIFY(readZip(archive, {}, small).failure.contains("zip bomb"));
    QCOMPARE(readZip(archive).entries.size(), 2);

    // Gzip that unpacks past its cap.
    QString failure;
    ArchiveLimits tiny;
    tiny.maxEntryBytes = 100;
    QVERIFY(gunzip(test::dataFile("banana-bread.paprikarecipe"), failure, tiny).isEmpty());
    QVERIFY(failure.contains("zip bomb"));
}

void TestFormats::exportKeepsParagraphsAndDetails() {
    RecipeRecord r;
    r.category = "Breads";
    r.name = "Soda Bread";
    r.ingredients = "500 g flour\n1 tsp soda";
    r.instructions = "Mix the flour and the soda with the buttermilk until it\nforms a soft dough."
                     "\n\nShape a round and bake\nfor 40 minutes.\n\nYield:\n1 loaf\n\n"
                     "Preparation time:\n1 h 30 min\n\nCooking time:\nuntil hollow\n\n"
                     "Categories:\nBreads, Irish";
    const QJsonObject o = recipeToJsonLd(r, true);
    const QJsonArray steps = o.value("recipeInstructions").toArray();
    QCOMPARE(steps.size(), 3);
    QCOMPARE(
        steps[0].toObject().value("text").toString(),
        QString("Mix the flour and the soda with the buttermilk until it forms a soft dough."));
    QCOMPARE(steps[1].toObject().value("text").toString(),
             QString("Shape a round and bake for 40 minutes."));
    // A time in words has no property: it stays a text, never lost.
    QCOMPARE(steps[2].toObject().value("text").toString(), QString("Cooking time: until hollow"));
    QCOMPARE(o.value("recipeYield").toString(), QString("1 loaf"));
    QCOMPARE(o.value("prepTime").toString(), QString("PT1H30M"));
    QCOMPARE(o.value("recipeCategory").toArray(), (QJsonArray{"Breads", "Irish"}));

    // Read back, it says the same.
    const ReadResult back = readJsonLd(QJsonDocument(o).toJson());
    QCOMPARE(back.recipes.size(), 1);
    QVERIFY(back.recipes.first().fullInstructions().contains("Yield:\n1 loaf"));
    QVERIFY(back.recipes.first().fullInstructions().contains("Preparation time:\n1 h 30 min"));
}

void TestFormats::mealMasterExportReadsBack() {
    RecipeRecord r;
    r.category = "Soups";
    r.name = "Leek and Potato Soup";
    r.author = "Mary O'Neill";
    r.ingredients = "2 lg leeks, sliced\n1½ lb potatoes\nTHE GARNISH:\n1 ts chives\n"
                    "a very long ingredient line that goes on and on beyond what a MealMaster "
                    "screen can show in one line";
    r.instructions = "Sweat the leeks in butter for ten minutes, add the potatoes and the stock "
                     "and simmer until soft, about twenty-five minutes in all.\n\nBlend.\n\n"
                     "Yield:\n4 servings\n\nCategories:\nSoups, Winter";
    const QByteArray file = writeMealMaster(QList<RecipeRecord>{r});
    for (const QByteArray& line : file.split('\n'))
        QVERIFY2(line.size() <= 81, line.constData());
    const ReadResult back = readMealMaster(file);
    QCOMPARE(back.recipes.size(), 1);
    const RecipeRecord& b = back.recipes.first();
    QCOMPARE(b.name, r.name);
    QCOMPARE(b.author, r.author);
    QCOMPARE(b.category, r.category);
    QCOMPARE(b.ingredients, r.ingredients);
    QCOMPARE(b.fullInstructions(), r.instructions);
}

QTEST_GUILESS_MAIN(TestFormats)
#include "test_formats.moc"
