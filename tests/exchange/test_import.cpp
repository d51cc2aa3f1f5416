// Importing into a recipe file: our own export comes back byte for byte, peers' recipes come in
// under the chosen rules for names and categories, and a cancel or a failure writes nothing.

#include "core/app.h"
#include "core/database.h"
#include "core/store_error.h"
#include "exchange/exporter.h"
#include "exchange/importer.h"
#include "exchange/jsonld.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "exchange_fixture.h"
#include "tests/support/files.h"

using namespace kb;
using namespace kb::exchange;

namespace {

RecipeRecord peer(const QString& name, const QString& category = {},
                  const QString& instructions = "Do it.") {
    RecipeRecord r;
    r.name = name;
    r.category = category;
    r.author = "Peer";
    r.ingredients = "1 thing";
    r.instructions = instructions;
    r.position = "item";
    return r;
}

ImportReport importRecords(Database& db, const QList<RecipeRecord>& recipes,
                           const ImportOptions& options = {}, const QString& source = "peer.json",
                           const QList<RecipeFollower*>& followers = {}) {
    ReadResult read;
    read.recipes = recipes;
    for (int i = 0; i < read.recipes.size(); ++i)
        read.recipes[i].position = QString("item %1").arg(i + 1);
    Importer importer(options);
    importer.addRecords(source, read);
    RecipeFile file = RecipeFile::fromDatabasePath(db.FileName());
    for (RecipeFollower* f : followers)
        file.addFollower(f);
    return importer.run(file, db);
}

ImportReport importFile(Database& db, const QString& fileName, const ImportOptions& options = {}) {
    Importer importer(options);
    importer.addFile(fileName);
    RecipeFile file = RecipeFile::fromDatabasePath(db.FileName());
    return importer.run(file, db);
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

  private slots:
    void ownExportComesBackByteForByte();
    void namesTheStoreCantTakeAsTheyAre_data();
    void namesTheStoreCantTakeAsTheyAre();
    void categoriesChosenOrTheirOwn();
    void cancelMidwayLeavesTheFileAsItWas();
    void beforeWriteRunsFirstAndCanStopTheImport();
    void followersHearOfEveryNewRowOrNothingIsWritten();
    void mealMasterFileWithOneBrokenRecipe();
    void exportOfOneRecipeOrOneCategory();
};

void TestImport::ownExportComesBackByteForByte() {
    auto source = test::newRecipeFile(m_dir.path(), "Source");
    test::addRows(*source, "Soups",
                  {{"Pea \"Split\" Soup ", " ", "1 <b>kg</b> & peas\r\n2 onions ",
                    "Soak.\r\n\r\nBoil: 'slowly'. "},
                   {"Pea \"Split\" Soup ", "Second of that name ", " ", " "},
                   {"  Spaced  ", std::nullopt, "\t tab first", std::nullopt},
                   {std::nullopt, "no name at all ", "x ", "y "},
                   {"Ὀψοποιία 🍲 ", "Ελένη ", "½ tsp ° ", "Line\u2028separated "}});
    test::addRows(*source, "Äpfel", {{"Strudel ", "Oma ", "Äpfel ", "Backen. "}});
    test::addRows(*source, "Empty Category", {});
    const QStringList before = test::dumpAll(*source);

    const QString out = path("all.jsonld");
    exportRecipes(out, collectRecipes(*source), ExportFormat::JsonLd);
    source->Close();

    auto target = test::newRecipeFile(m_dir.path(), "Target");
    const ImportReport report = importFile(*target, out);
    QVERIFY2(report.complete(), qPrintable(report.text()));
    QCOMPARE(report.imported, 6);
    QCOMPARE(report.changed, 0);
    QCOMPARE(test::dumpAll(*target), before);

    // A second import of the same file finds every recipe there already and doubles nothing.
    const ImportReport again = importFile(*target, out);
    QVERIFY(again.complete());
    QCOMPARE(again.alreadyThere, 6);
    QCOMPARE(again.imported, 0);
    QVERIFY(again.text().contains("Already there, so not brought in again:"));
    QCOMPARE(test::dumpAll(*target), before);
}

void TestImport::namesTheStoreCantTakeAsTheyAre_data() {
    QTest::addColumn<bool>("suffix");
    QTest::newRow("suffix") << true;
    QTest::newRow("report") << false;
}

void TestImport::namesTheStoreCantTakeAsTheyAre() {
    QFETCH(bool, suffix);
    auto db = test::newRecipeFile(m_dir.path());
    test::addRows(*db, "Soups", {{"Borscht ", " ", "b ", "c "}});
    const QString longName = QString("Very long name ").repeated(20).trimmed();
    ImportOptions options;
    options.category = "Soups";
    options.names = suffix ? NamePolicy::Suffix : NamePolicy::Report;
    const ImportReport report =
        importRecords(*db,
                      {peer("Borscht"), peer(""), peer("Two\nlines"), peer(longName), peer("Fine"),
                       peer("FINE", {}, "Do it twice.")},
                      options);
    const QStringList rows = test::dumpAll(*db);
    if (!suffix) {
        QCOMPARE(report.imported, 1);
        QCOMPARE(report.skipped, 5);
        QVERIFY(!report.complete());
        QCOMPARE(rows.size(), 3);
        const QString text = report.text();
        for (int item : {1, 2, 3, 4, 6})
            QVERIFY2(text.contains(QString("peer.json, item %1: ").arg(item)), qPrintable(text));
        return;
    }
    QVERIFY2(report.complete(), qPrintable(report.text()));
    QCOMPARE(report.imported, 6);
    QCOMPARE(report.changed, 5);
    QStringList names;
    for (const QString& row : rows.mid(1))
        names << row.section("]|", 0, 0).mid(1);
    QCOMPARE(names.mid(0, 4),
             (QStringList{"Borscht ", "Borscht (2) ", "Untitled recipe ", "Two lines "}));
    QVERIFY(names[4].size() <= kMaxNameLength + 1);
    // Names are told apart as the window tells them: whatever their letter case.
    QCOMPARE(names.mid(5), (QStringList{"Fine ", "FINE (2) "}));
    // Nothing is cut: the whole name heads the instructions.
    QVERIFY(rows[5].contains("[Full name:\r\n" + longName + "\r\n\r\nDo it. ]"));
    QVERIFY(rows[4].contains("[Full name:\r\nTwo\r\nlines\r\n\r\nDo it. ]"));
    QVERIFY(report.text().contains("imported as \"Borscht (2)\" (was \"Borscht\")"));
}

void TestImport::categoriesChosenOrTheirOwn() {
    auto db = test::newRecipeFile(m_dir.path());
    test::addRows(*db, "Soups", {});

    // A category that differs only in letter case is the one already there.
    ImportOptions chosen;
    chosen.category = "SOUPS";
    QVERIFY(importRecords(*db, {peer("One", "Cakes")}, chosen).complete());
    QCOMPARE(db->TableDefs(), QStringList{"Soups"});

    // The recipes' own categories; one that can't be a table name goes to the default one.
    const ImportReport rb =
        importRecords(*db, {peer("Two", "Cakes"), peer("Three", "Bad.Name"), peer("Four", ""),
                            peer("Five", "MSysObjects"), peer("Six", "  Cakes ")});
    QVERIFY(rb.complete());
    QCOMPARE(rb.changed, 2);
    QCOMPARE(db->TableDefs(), (QStringList{"Cakes", "Imported", "Soups"}));
    QCOMPARE(db->OpenRecordset("Imported")->RecordCount(), 3);
    QCOMPARE(db->OpenRecordset("Cakes")->RecordCount(), 2);
    QCOMPARE(db->OpenRecordset("Cakes")->FieldCount(), 4);

    // A chosen category that can't be made stops everything before anything is written.
    const QStringList before = test::dumpAll(*db);
    ImportOptions bad;
    bad.category = "No.Dots";
    const ImportReport rc = importRecords(*db, {peer("Six")}, bad);
    QVERIFY(!rc.complete());
    QVERIFY(rc.failure.contains("No.Dots"));
    QVERIFY(rc.summary().startsWith("Nothing was imported"));
    QCOMPARE(test::dumpAll(*db), before);
}

void TestImport::cancelMidwayLeavesTheFileAsItWas() {
    auto db = test::newRecipeFile(m_dir.path());
    test::addRows(*db, "Soups", {{"Borscht ", " ", "b ", "c "}});
    db->Close();
    const QByteArray bytesBefore = test::fileBytes(path("Recipe.mdb"));
    db = Database::OpenDatabase(path("Recipe"));

    QList<RecipeRecord> many;
    for (int i = 0; i < 1000; ++i)
        many << peer(QString("Dish %1").arg(i), i % 2 ? "Soups" : "New Category");
    qsizetype seen = 0;
    ImportOptions options;
    options.progress = [&](std::int64_t done, std::int64_t) {
        seen = done;
        return seen < 500;
    };
    const ImportReport report = importRecords(*db, many, options);
    QVERIFY(report.cancelled);
    QVERIFY(!report.complete());
    QCOMPARE(seen, 500);
    db->Close();
    QCOMPARE(test::fileBytes(path("Recipe.mdb")), bytesBefore);
}

void TestImport::beforeWriteRunsFirstAndCanStopTheImport() {
    auto db = test::newRecipeFile(m_dir.path());
    int calls = 0;
    ImportOptions options;
    options.beforeWrite = [&] {
        ++calls;
        QVERIFY(db->TableDefs().isEmpty());
    };
    QVERIFY(importRecords(*db, {peer("One", "Cakes"), peer("Two", "Cakes")}, options).complete());
    QCOMPARE(calls, 1);

    options.beforeWrite = [] { throw StoreError("The backup could not be made."); };
    QCOMPARE(importRecords(*db, {peer("Three", "Pies")}, options).failure,
             QString("The backup could not be made."));
    QCOMPARE(db->TableDefs(), QStringList{"Cakes"});
}

namespace {
struct Follower : RecipeFollower {
    int attached = 0;
    int prepared = 0;
    int commits = 0;
    QList<RecipeChange> changes;
    int failAt = -1;
    void attach(Database&) override { ++attached; }
    void prepare(Database& db, const RecipeChange&) override {
        ++prepared;
        QVERIFY(!db.InTransaction());
    }
    void committed(Database&) override { ++commits; }
    void record(Database&, const RecipeChange& change) override {
        if (changes.size() == failAt)
            throw StoreError("The history could not be written.");
        changes << change;
    }
};
} // namespace

void TestImport::followersHearOfEveryNewRowOrNothingIsWritten() {
    auto db = test::newRecipeFile(m_dir.path());
    Follower follower;
    ImportOptions options;
    QVERIFY(importRecords(*db, {peer("One", "Cakes"), peer("Two", "Cakes")}, options, "peer.json",
                          {&follower})
                .complete());
    QCOMPARE(follower.attached, 1);
    QCOMPARE(follower.prepared, 1);
    QCOMPARE(follower.commits, 1);
    QCOMPARE(follower.changes.size(), 3);
    QCOMPARE(int(follower.changes[0].kind), int(RecipeChange::Kind::CategoryAdded));
    QCOMPARE(int(follower.changes[2].kind), int(RecipeChange::Kind::Added));
    QCOMPARE(follower.changes[2].after[0], std::optional<QString>("Two "));
    QVERIFY(follower.changes[2].place.rowid > follower.changes[1].place.rowid);

    const QStringList before = test::dumpAll(*db);
    Follower failing;
    failing.failAt = 1;
    QCOMPARE(importRecords(*db, {peer("Three", "Cakes"), peer("Four", "Cakes")}, options,
                           "peer.json", {&failing})
                 .failure,
             QString("The history could not be written."));
    QCOMPARE(failing.commits, 0);
    QCOMPARE(test::dumpAll(*db), before);
}

void TestImport::mealMasterFileWithOneBrokenRecipe() {
    QByteArray file =
        writeMealMaster(test::generatedMealMaster(100), CodePage::Cp437, false) +
        writeMealMaster(test::generatedMealMaster(101).mid(100), CodePage::Cp437, false)
            .replace("Title:", "Titel:") +
        writeMealMaster(test::generatedMealMaster(200).mid(100), CodePage::Cp437, true);
    const QString mmf = path("big.mmf");
    test::writeFile(mmf, file);
    const int brokenLine = int(file.left(file.indexOf("Titel:")).count('\n')) - 1;

    auto db = test::newRecipeFile(m_dir.path());
    ImportOptions options;
    options.category = "From MealMaster";
    const ImportReport report = importFile(*db, mmf, options);
    QCOMPARE(report.imported, 200);
    QCOMPARE(report.skipped, 1);
    QVERIFY(!report.complete());
    QCOMPARE(db->OpenRecordset("From MealMaster")->RecordCount(), 200);
    // Stored with the program's own line ends, whatever the file had.
    auto rs = db->OpenRecordset("From MealMaster");
    const QString ingredients = rs->Fields(2).value_or(QString());
    QVERIFY(ingredients.contains("\r\n"));
    QCOMPARE(ingredients.count('\n'), ingredients.count("\r\n"));
    QVERIFY2(report.text().contains(
                 QString("big.mmf, line %1: the recipe has no title line").arg(brokenLine)),
             qPrintable(report.text().left(2000)));

    saveReport(report, mmf);
    const QByteArray saved = test::fileBytes(reportFileName(mmf));
    QVERIFY(saved.contains("Read: " + QDir::toNativeSeparators(mmf).toUtf8() +
                           " (MealMaster, code page 437)\r\n"));
}

void TestImport::exportOfOneRecipeOrOneCategory() {
    auto db = test::newRecipeFile(m_dir.path());
    test::addRows(*db, "Soups", {{"A ", " ", "x ", "y "}, {"B ", "Bo ", "x ", "y "}});
    test::addRows(*db, "Cakes", {{"C ", " ", "x ", "y "}});

    const Collection one = collectRecipes(*db, "Soups", "B");
    QCOMPARE(one.recipes.size(), 1);
    exportRecipes(path("one.jsonld"), one, ExportFormat::JsonLd);
    QVERIFY(test::fileBytes(path("one.jsonld")).startsWith("{\n    \"@context\""));

    exportRecipes(path("soups.txt"), collectRecipes(*db, "Soups"), ExportFormat::Text);
    QCOMPARE(test::fileBytes(path("soups.txt")),
             QByteArray("Name: A\r\n\r\nAuthor: \r\n\r\nIngredints:\r\nx\r\n\r\n\r\nInstructions:"
                        "\r\ny\r\n\r\n\r\nName: B\r\n\r\nAuthor: Bo\r\n\r\nIngredints:\r\nx\r\n"
                        "\r\n\r\nInstructions:\r\ny\r\n"));
    exportRecipes(path("all.txt"), collectRecipes(*db), ExportFormat::Text);
    const QByteArray all = test::fileBytes(path("all.txt"));
    QVERIFY(all.startsWith("Category: Cakes\r\n\r\nName: C\r\n"));
    QVERIFY(all.contains("\r\n\r\n\r\nCategory: Soups\r\n\r\nName: A\r\n"));

    QVERIFY_THROWS_EXCEPTION(StoreError, collectRecipes(*db, "Pies"));
    QVERIFY_THROWS_EXCEPTION(StoreError, collectRecipes(*db, "Soups", "Z"));
    // An export into a folder that isn't there leaves nothing behind.
    QVERIFY_THROWS_EXCEPTION(StoreError,
                             exportRecipes(path("missing/x.jsonld"), one, ExportFormat::JsonLd));
}

QTEST_GUILESS_MAIN(TestImport)
#include "test_import.moc"
