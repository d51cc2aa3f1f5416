// schema.org Recipe JSON-LD: what we write for peers, and every shape peers write that we read.

#include "exchange/jsonld.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include "exchange_fixture.h"

using namespace kb;
using namespace kb::exchange;

class TestJsonLd : public QObject {
    Q_OBJECT

  private slots:
    void writesTheStandardFieldsPeersRead();
    void readsEveryDocumentShape_data();
    void readsEveryDocumentShape();
    void authorsAndInstructionsInEveryForm();
    void fieldsWithoutAColumnGoUnderHeadings();
    void storedValuesYieldToEditedStandardFields();
    void damagedListKeepsEveryWholeLine();
    void brokenAndEmptyRecordsAreNamed();
    void webPageWithSections();
    void webPageInAWesternCodePage();
};

void TestJsonLd::writesTheStandardFieldsPeersRead() {
    RecipeRecord r = RecipeRecord::fromStored(
        {{"Soups", 0},
         {QString("Pea Soup "), QString("Ann "), QString("1 kg peas\r\n\r\n2 onions "),
          QString("Soak.\nBoil.\n\nServe. ")}});
    const QJsonObject o = recipeToJsonLd(r, true);
    QCOMPARE(o["@context"].toString(), QString("https://schema.org"));
    QCOMPARE(o["@type"].toString(), QString("Recipe"));
    QCOMPARE(o["name"].toString(), QString("Pea Soup"));
    QCOMPARE(o["author"].toObject()["@type"].toString(), QString("Person"));
    QCOMPARE(o["author"].toObject()["name"].toString(), QString("Ann"));
    QCOMPARE(o["recipeCategory"].toString(), QString("Soups"));
    QCOMPARE(o["recipeIngredient"].toArray(), (QJsonArray{"1 kg peas", "2 onions"}));
    const QJsonArray steps = o["recipeInstructions"].toArray();
    // One step a paragraph.
    QCOMPARE(steps.size(), 2);
    QCOMPARE(steps[0].toObject()["text"].toString(), QString("Soak. Boil."));
    QCOMPARE(steps[1].toObject()["@type"].toString(), QString("HowToStep"));
    QCOMPARE(steps[1].toObject()["text"].toString(), QString("Serve."));

    // An empty author is left out rather than written as a nameless person.
    r = RecipeRecord::fromStored(
        {{"Soups", 0}, {QString("X "), QString(" "), QString("a "), QString("b ")}});
    QVERIFY(!recipeToJsonLd(r, false).contains("author"));
    QVERIFY(!recipeToJsonLd(r, false).contains("@context"));

    // Many recipes: an ItemList of ListItems, every category named.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    writeJsonLd(buffer, {r, r}, {"Soups", "Empty"}, true);
    const QJsonObject list = QJsonDocument::fromJson(buffer.data()).object();
    QCOMPARE(list["@type"].toString(), QString("ItemList"));
    QCOMPARE(list["numberOfItems"].toInt(), 2);
    QCOMPARE(list["itemListElement"].toArray()[1].toObject()["position"].toInt(), 2);
    QCOMPARE(list[kCategoriesProperty].toArray(), (QJsonArray{"Soups", "Empty"}));
    const ReadResult back = readJsonLd(buffer.data());
    QCOMPARE(back.recipes.size(), 2);
    QCOMPARE(back.categories, (QStringList{"Soups", "Empty"}));
}

void TestJsonLd::readsEveryDocumentShape_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("object") << QByteArray(R"({"@type":"Recipe","name":"A"})") << QStringList{"A"};
    QTest::newRow("array") << QByteArray(R"([{"@type":"Recipe","name":"A"},
        {"@type":"Person","name":"not a recipe"},{"@type":"Recipe","name":"B"}])")
                           << QStringList{"A", "B"};
    QTest::newRow("graph") << QByteArray(R"({"@context":"https://schema.org","@graph":[
        {"@type":"WebPage"},{"@type":"Recipe","name":"A"}]})")
                           << QStringList{"A"};
    QTest::newRow("item list of recipes")
        << QByteArray(R"({"@type":"ItemList","itemListElement":[{"@type":"Recipe","name":"A"},
        {"@type":"Recipe","name":"B"}]})")
        << QStringList{"A", "B"};
    QTest::newRow("item list of list items")
        << QByteArray(R"({"@type":"ItemList","itemListElement":[{"@type":"ListItem",
        "position":1,"item":{"@type":"Recipe","name":"A"}}]})")
        << QStringList{"A"};
    QTest::newRow("main entity") << QByteArray(R"({"@type":"WebPage","mainEntity":
        {"@type":"Recipe","name":"A"}})")
                                 << QStringList{"A"};
    QTest::newRow("type as list and as full address")
        << QByteArray(R"([{"@type":["Recipe","HowTo"],"name":"A"},
        {"@type":"http://schema.org/Recipe","name":"B"}])")
        << QStringList{"A", "B"};
}

void TestJsonLd::readsEveryDocumentShape() {
    QFETCH(QByteArray, json);
    QFETCH(QStringList, names);
    const ReadResult r = readJsonLd(json);
    QCOMPARE(test::namesOf(r), names);
    QVERIFY(r.problems.isEmpty());
}

void TestJsonLd::authorsAndInstructionsInEveryForm() {
    const ReadResult r = readJsonLd(R"([
      {"@type":"Recipe","name":"Text","author":"Ann","recipeInstructions":"Mix.\nBake."},
      {"@type":"Recipe","name":"Person","author":{"@type":"Person","name":"Bo"},
       "recipeInstructions":[{"@type":"HowToStep","text":"One."},"Two."]},
      {"@type":"Recipe","name":"List","author":["Cy",{"@type":"Organization","name":"Kitchen"}],
       "recipeInstructions":{"@type":"HowToSection","name":"Dough","itemListElement":[
         {"@type":"HowToStep","text":"Knead."}]}},
      {"@type":"Recipe","name":"Old","ingredients":["1 egg"],"recipeIngredient":null}
    ])");
    QCOMPARE(r.recipes.size(), 4);
    QCOMPARE(r.recipes[0].author, QString("Ann"));
    QCOMPARE(r.recipes[0].instructions, QString("Mix.\nBake."));
    QCOMPARE(r.recipes[1].author, QString("Bo"));
    QCOMPARE(r.recipes[1].instructions, QString("One.\nTwo."));
    QCOMPARE(r.recipes[2].author, QString("Cy, Kitchen"));
    QCOMPARE(r.recipes[2].instructions, QString("Dough:\nKnead."));
    QCOMPARE(r.recipes[3].ingredients, QString());
}

void TestJsonLd::fieldsWithoutAColumnGoUnderHeadings() {
    const QString longText = QString("A long description. ").repeated(100);
    const QByteArray json = R"({"@type":"Recipe","name":"Stew","recipeIngredient":["beef"],
        "recipeInstructions":"Stew it.","description":")" +
                            longText.toUtf8() + R"(","recipeYield":4,
        "prepTime":"PT20M","cookTime":"PT2H","totalTime":"P1DT2H","nutrition":
        {"@type":"NutritionInformation","calories":"500 kcal","fatContent":"20 g"},
        "url":"https://cooking.example/stew","recipeCuisine":"Irish"})";
    const ReadResult r = readJsonLd(json);
    QCOMPARE(r.recipes.size(), 1);
    const QString expected = "Stew it.\n\nDescription:\n" + longText.trimmed() +
                             "\n\nYield:\n4\n\nPreparation time:\n20 min\n\nCooking time:\n2 h"
                             "\n\nTotal time:\n1 d 2 h\n\nNutrition:\ncalories: 500 kcal\n"
                             "fatContent: 20 g\n\nCuisine:\nIrish\n\nSource:\n"
                             "https://cooking.example/stew";
    QCOMPARE(r.recipes[0].fullInstructions(), expected);
}

void TestJsonLd::storedValuesYieldToEditedStandardFields() {
    const RecipeRecord mine = RecipeRecord::fromStored(
        {{"Soups", 0}, {QString(" Soup "), std::nullopt, QString("a\r\nb "), QString("x ")}});
    // Another program changed the name: its text is taken, and the report is told.
    QJsonObject o = recipeToJsonLd(mine, true);
    o["name"] = "Better Soup";
    const ReadResult r = readJsonLd(QJsonDocument(o).toJson());
    QVERIFY(!r.recipes[0].stored.has_value());
    QCOMPARE(r.recipes[0].name, QString("Better Soup"));
    QCOMPARE(r.recipes[0].notes.size(), 1);

    // Values of the wrong kind are not trusted.
    o = recipeToJsonLd(mine, true);
    o[kStoredProperty] = QJsonArray{1, 2, 3, 4};
    QVERIFY(!readJsonLd(QJsonDocument(o).toJson()).recipes[0].stored.has_value());
}

void TestJsonLd::damagedListKeepsEveryWholeLine() {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QList<RecipeRecord> recipes;
    for (int i = 1; i <= 5; ++i)
        recipes << RecipeRecord::fromStored(
            {{"C", 0}, {QString("R%1 ").arg(i), QString(" "), QString("i "), QString("s ")}});
    writeJsonLd(buffer, recipes, {"C"}, true);
    QList<QByteArray> lines = buffer.data().split('\n');
    // The fourth item is cut in the middle, and the file ends after the fifth.
    lines[9] = lines[9].left(40);
    const QByteArray damaged = lines.mid(0, 11).join('\n');
    const ReadResult r = readJsonLd(damaged);
    QCOMPARE(test::namesOf(r), (QStringList{"R1", "R2", "R3", "R5"}));
    QCOMPARE(r.problems.size(), 1);
    QCOMPARE(r.problems[0].position, QString("line 10"));
}

void TestJsonLd::brokenAndEmptyRecordsAreNamed() {
    ReadResult r = readJsonLd("{\n\"@type\": \"Recipe\",\n\"name\": \"A\",\n}");
    QVERIFY(r.recipes.isEmpty());
    QCOMPARE(r.problems.size(), 1);
    QCOMPARE(r.problems[0].position, QString("line 4"));

    // A pretty-printed peer's file with one comma too many: named as a whole, not in pieces.
    r = readJsonLd("[\n{\"@type\": \"Recipe\", \"name\": \"A\",\n"
                   " \"recipeInstructions\": [\n  {\"@type\": \"HowToStep\", \"text\": \"x\"},\n"
                   "  {\"@type\": \"HowToStep\", \"text\": \"y\"},\n ]}\n]");
    QVERIFY(r.recipes.isEmpty());
    QCOMPARE(r.problems.size(), 1);
    QVERIFY(r.problems[0].reason.startsWith("the file is not valid JSON"));

    r = readJsonLd(R"([{"@type":"Recipe"},{"@type":"Recipe","name":"Kept"}])");
    QCOMPARE(r.recipes.size(), 1);
    QCOMPARE(r.problems.size(), 1);
    QCOMPARE(r.problems[0].position, QString("item 1"));

    // Nesting without end is cut off, not followed.
    QByteArray deep;
    for (int i = 0; i < 5000; ++i)
        deep += "{\"@graph\":[";
    deep += "{}";
    for (int i = 0; i < 5000; ++i)
        deep += "]}";
    r = readJsonLd(deep);
    QVERIFY(r.recipes.isEmpty());
}

void TestJsonLd::webPageWithSections() {
    const ReadResult r = readHtml(test::dataFile("sectioned-recipe.html"));
    QCOMPARE(r.recipes.size(), 1);
    const RecipeRecord& rec = r.recipes[0];
    QCOMPARE(rec.name, QString("Layered Lasagne"));
    QCOMPARE(rec.author, QString("Ana Ruiz, Tom Field"));
    QCOMPARE(rec.category, QString("Main Dishes"));
    QCOMPARE(rec.ingredients,
             QString("500 g minced beef\n12 lasagne sheets\n1 l milk\n80 g butter & flour"));
    QVERIFY2(rec.fullInstructions().startsWith(
                 "The sauce:\nBrown the beef.\nSimmer with tomatoes for 40 minutes.\n"
                 "The béchamel:\nMelt the butter, stir in the flour.\n"
                 "Whisk in the milk until thick.\nAssembly:\n"
                 "Layer sauce, sheets and béchamel three times.\nBake at 180 °C for 40 minutes."
                 "\n\nDescription:\n"),
             qPrintable(rec.fullInstructions()));
    QVERIFY(
        rec.fullInstructions().contains("Preparation time:\n45 min\n\nCooking time:\n1 h 10 min"));
    QVERIFY(rec.fullInstructions().endsWith("Source:\nhttps://cooking.example/lasagne"));
    // The third block is broken JSON; it is named by its place on the page.
    QCOMPARE(r.problems.size(), 1);
    QVERIFY2(r.problems[0].position.startsWith("script block 3 (line 46), line 3"),
             qPrintable(r.problems[0].position));
}

void TestJsonLd::webPageInAWesternCodePage() {
    const QByteArray page = "<html><head><meta charset=\"windows-1252\"><script "
                            "type=\"application/ld+json\">{\"@type\":\"Recipe\",\"name\":"
                            "\"Cr\xE8me \x93"
                            "br\xFBl\xE9\x94\"}</script></head></html>";
    const ReadResult r = readHtml(page);
    QCOMPARE(r.recipes.size(), 1);
    QCOMPARE(r.recipes[0].name, QString("Crème “brûlé”"));

    const ReadResult none = readHtml("<html><body><p>No data here.</p></body></html>");
    QVERIFY(none.recipes.isEmpty());
    QCOMPARE(none.problems.size(), 1);
}

QTEST_GUILESS_MAIN(TestJsonLd)
#include "test_jsonld.moc"
