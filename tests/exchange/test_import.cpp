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

RecipeRecord peer(const QString& name, const QString& category = {}) {
    RecipeRecord r;
    r.name = name;
    r.category = category;
    r.author = "Peer";
    r.ingredients = "1 thing";
    r.instructions = "Do it.";
    r.position = "item";
    return r;
}

ReadResult recordsOf(const QList<RecipeRecord>& recipes) {
    ReadResult r;
    r.recipes = recipes;
    for (int i = 0; i < r.recipes.size(); ++i)
        r.recipes[i].position = QString("item %1").arg(i + 1);
    return r;
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
    test::addRows(
        *source, "Soups",
        {{QString("Pea \"Split\" Soup "), QString(" "), QString("1 <b>kg</b> & peas\r\n2 onions "),
          QString("Soak.\r\n\r\nBoil: 'slowly'. ")},
         {QString("Pea \"Split\" Soup "), QString("Second of that name "), QString(" "),
          QString(" ")},
         {QString("  Spaced  "), std::nullopt, QString("\t tab first"), std::nullopt},
         {std::nullopt, QString("no name at all "), QString("x "), QString("y ")},
         {QString("Ὀψοποιία 🍲 "), QString("Ελένη "), QString("½ tsp ° "),
          QString("Line\u2028separated ")}});
    test::addRows(*source, "Äpfel",
                  {{QString("Strudel "), QString("Oma "), QString("Äpfel "), QString("Backen. ")}});
    test::addRows(*source, "Empty Category", {});
    const QStringList before = test::dumpAll(*source);

    const QString out = path("all.jsonld");
    exportRecipes(out, collectRecipes(*source), ExportFormat::JsonLd);
    source->Close();

    auto target = test::newRecipeFile(m_dir.path(), "Target");
    Importer importer({});
    importer.addFile(out);
    const ImportReport report = importer.run(*target);
    QVERIFY2(report.complete(), qPrintable(report.text()));
    QCOMPARE(report.imported, 6);
    QCOMPARE(report.changed, 0);
    QCOMPARE(test::dumpAll(*target), before);

    // A second import of the same file finds every name there already.
    Importer again({});
    again.addFile(out);
    const ImportReport second = again.run(*target);
    QCOMPARE(second.changed, 6);
    QVERIFY(test::dumpAll(*target).contains(
        "[Pea \"Split\" Soup (2) ]|[ ]|[1 <b>kg</b> & peas\r\n2 onions ]|[Soak.\r\n\r\nBoil: "
        "'slowly'. ]"));
    QVERIFY(test::dumpAll(*target).contains(
        "[Pea \"Split\" Soup (3) ]|[Second of that name ]|[ ]|[ ]"));
}

void TestImport::namesTheStoreCantTakeAsTheyAre_data() {
    QTest::addColumn<bool>("suffix");
    QTest::newRow("suffix") << true;
    QTest::newRow("report") << false;
}

void TestImport::namesTheStoreCantTakeAsTheyAre() {
    QFETCH(bool, suffix);
    auto db = test::newRecipeFile(m_dir.path());
    test::addRows(*db, "Soups",
                  {{QString("Borscht "), QString(" "), QString("b "), QString("c ")}});
    const QString longName = QString("Very long name ").repeated(20).trimmed();
    ImportOptions options;
    options.category = "Soups";
    options.names = suffix ? NamePolicy::Suffix : NamePolicy::Report;
    Importer importer(options);
    importer.addRecords("peer.json", recordsOf({peer("Borscht"), peer(""), peer("Two\nlines"),
                                                peer(longName), peer("Fine"), peer("Fine")}));
    const ImportReport report = importer.run(*db);
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
    QCOMPARE(names.mid(5), (QStringList{"Fine ", "Fine (2) "}));
    // Nothing is cut: the whole name heads the instructions.
    QVERIFY(rows[5].contains("[Full name:\n" + longName + "\n\nDo it. ]"));
    QVERIFY(rows[4].contains("[Full name:\nTwo\nlines\n\nDo it. ]"));
    QVERIFY(report.text().contains("imported as \"Borscht (2)\" (was \"Borscht\")"));
}

void TestImport::categoriesChosenOrTheirOwn() {
    auto db = test::newRecipeFile(m_dir.path());
    test::addRows(*db, "Soups", {});

    // A category that differs only in letter case is the one already there.
    ImportOptions chosen;
    chosen.category = "SOUPS";
    Importer a(chosen);
    a.addRecords("a", recordsOf({peer("One", "Cakes")}));
    QVERIFY(a.run(*db).complete());
    QCOMPARE(db->TableDefs(), QStringList{"Soups"});

    // The recipes' own categories; one that can't be a table name goes to the default one.
    Importer b({});
    b.addRecords("b", recordsOf({peer("Two", "Cakes"), peer("Three", "Bad.Name"), peer("Four", ""),
                                 peer("Five", "MSysObjects"), peer("Six", "  Cakes ")}));
    const ImportReport rb = b.run(*db);
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
    Importer c(bad);
    c.addRecords("c", recordsOf({peer("Six")}));
    const ImportReport rc = c.run(*db);
    QVERIFY(!rc.complete());
    QVERIFY(rc.failure.contains("No.Dots"));
    QVERIFY(rc.summary().startsWith("Nothing was imported"));
    QCOMPARE(test::dumpAll(*db), before);
}

void TestImport::cancelMidwayLeavesTheFileAsItWas() {
    auto db = test::newRecipeFile(m_dir.path());
    test::addRows(*db, "Soups",
                  {{QString("Borscht "), QString(" "), QString("b "), QString("c ")}});
    db->Close();
    const QByteArray bytesBefore = test::fileBytes(path("Recipe.mdb"));
    db = Database::OpenDatabase(path("Recipe"));

    QList<RecipeRecord> many;
    for (int i = 0; i < 1000; ++i)
        many << peer(QString("Dish %1").arg(i), i % 2 ? "Soups" : "New Category");
    qsizetype seen = 0;
    ImportOptions options;
    options.progress.step = [&](qsizetype done, qsizetype) { seen = done; };
    options.progress.cancelled = [&] { return seen >= 500; };
    Importer importer(options);
    importer.addRecords("many", recordsOf(many));
    const ImportReport report = importer.run(*db);
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
    Importer ok(options);
    ok.addRecords("a", recordsOf({peer("One", "Cakes"), peer("Two", "Cakes")}));
    QVERIFY(ok.run(*db).complete());
    QCOMPARE(calls, 1);

    options.beforeWrite = [] { throw StoreError("The backup could not be made."); };
    Importer stopped(options);
    stopped.addRecords("b", recordsOf({peer("Three", "Pies")}));
    const ImportReport report = stopped.run(*db);
    QCOMPARE(report.failure, QString("The backup could not be made."));
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
    options.followers = {&follower};
    Importer importer(options);
    importer.addRecords("a", recordsOf({peer("One", "Cakes"), peer("Two", "Cakes")}));
    QVERIFY(importer.run(*db).complete());
    QCOMPARE(follower.attached, 1);
    QCOMPARE(follower.prepared, 1);
    QCOMPARE(follower.commits, 1);
    QCOMPARE(follower.changes.size(), 3);
    QCOMPARE(int(follower.changes[0].kind), int(RecipeChange::Kind::CategoryAdded));
    QCOMPARE(int(follower.changes[2].kind), int(RecipeChange::Kind::Added));
    QCOMPARE(follower.changes[2].after.value(0), std::optional<QString>("Two "));
    QVERIFY(follower.changes[2].rowid > follower.changes[1].rowid);

    const QStringList before = test::dumpAll(*db);
    Follower failing;
    failing.failAt = 1;
    options.followers = {&failing};
    Importer second(options);
    second.addRecords("b", recordsOf({peer("Three", "Cakes"), peer("Four", "Cakes")}));
    const ImportReport report = second.run(*db);
    QCOMPARE(report.failure, QString("The history could not be written."));
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
    QFile f(mmf);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    const int brokenLine = int(file.left(file.indexOf("Titel:")).count('\n')) - 1;

    auto db = test::newRecipeFile(m_dir.path());
    ImportOptions options;
    options.category = "From MealMaster";
    Importer importer(options);
    importer.addFile(mmf);
    const ImportReport report = importer.run(*db);
    QCOMPARE(report.imported, 200);
    QCOMPARE(report.skipped, 1);
    QVERIFY(!report.complete());
    QCOMPARE(db->OpenRecordset("From MealMaster")->RecordCount(), 200);
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
    test::addRows(*db, "Soups",
                  {{QString("A "), QString(" "), QString("x "), QString("y ")},
                   {QString("B "), QString("Bo "), QString("x "), QString("y ")}});
    test::addRows(*db, "Cakes", {{QString("C "), QString(" "), QString("x "), QString("y ")}});

    const Collection one = collectRecipes(*db, "Soups", "B");
    QCOMPARE(one.recipes.size(), 1);
    exportRecipes(path("one.jsonld"), one, ExportFormat::JsonLd);
    QVERIFY(test::fileBytes(path("one.jsonld")).startsWith("{\n    \"@context\""));

    exportRecipes(path("soups.txt"), collectRecipes(*db, "Soups"), ExportFormat::Text);
    QCOMPARE(test::fileBytes(path("soups.txt")),
             QByteArray("Name: A\r\n\r\nAuthor: \r\n\r\nIngredints:\r\nx\r\n\r\n\r\nInstructions:"
                        "\r\ny\r\n\r\n\r\nName: B\r\n\r\nAuthor: Bo\r\n\r\nIngredints:\r\nx\r\n"
                        "\r\n\r\nInstructions:\r\ny\r\n"));
    const QByteArray all = [&] {
        exportRecipes(path("all.txt"), collectRecipes(*db), ExportFormat::Text);
        return test::fileBytes(path("all.txt"));
    }();
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
