// The tree menu's export, import and cookbook commands in the real main window, answered by
// scripted dialogs; the cookbook printed to PDF and read back.

#include "core/database.h"
#include "exchange/jsonld.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/exchange/exchangecommands.h"
#include "ui/print/frmprint.h"

#include <QAction>
#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "exchange_fixture.h"
#include "tests/main/main_fixture.h"
#include "tests/print/print_fixture.h"
#include "tests/support/files.h"

using namespace kb;
using namespace kb::test;

namespace {

void run(Main& form, const QString& text) {
    for (QAction* a : form.treeCommands())
        if (a->text() == text) {
            a->trigger();
            return;
        }
    QFAIL(qPrintable("no command " + text));
}

void importVia(Main& form, MainFixture& f, const QString& file, const QString& category) {
    f.dialogs.answerFile(file);
    f.dialogs.answerInput(category);
    f.dialogs.answer(vbYes);
    run(form, "Import Recipes...");
}

} // namespace

class TestExchangeCommands : public QObject {
    Q_OBJECT

  private slots:
    void exportsWhatIsChosen();
    void importIntoAChosenCategoryRebuildsTheTree();
    void longImportAndExportShowProgressAndCancelWritesNothing();
    void cookbookPrintsEachRecipeOnItsOwnPage();
    void cookbookCancelStopsTheReading();
};

void TestExchangeCommands::exportsWhatIsChosen() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();

    // Nothing chosen yet: the user is told, and no file dialog comes up.
    run(form, "Export Recipe...");
    QCOMPARE(f.dialogs.messages().last(), QString("Please Choose a Recipe"));

    f.clickNode("Lentil Soup", "Soups");
    const QString one = f.folder() + "/lentil";
    f.dialogs.answerFile(one);
    run(form, "Export Recipe...");
    QCOMPARE(f.dialogs.prompts()[1].defaultText.section('/', -1), QString("Lentil Soup.jsonld"));
    const QJsonObject o = QJsonDocument::fromJson(fileBytes(one + ".jsonld")).object();
    QCOMPARE(o["name"].toString(), QString("Lentil Soup"));
    QCOMPARE(f.dialogs.messages().last(), QString("1 recipe exported to \"%1.jsonld\".").arg(one));

    f.clickNode("baking");
    f.dialogs.answerFile(f.folder() + "/baking.txt");
    run(form, "Export Category...");
    QVERIFY(fileBytes(f.folder() + "/baking.txt").startsWith("Name: Scones\r\n"));

    // A cancelled file dialog does nothing more.
    const qsizetype shown = f.dialogs.prompts().size();
    f.dialogs.answerFile({});
    run(form, "Export All...");
    QCOMPARE(f.dialogs.prompts().size(), shown + 1);
}

void TestExchangeCommands::importIntoAChosenCategoryRebuildsTheTree() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QString file = f.folder() + "/peer.json";
    writeFile(file, R"([{"@type":"Recipe","name":"Scones","recipeIngredient":["flour"]},
                       {"@type":"Recipe","name":"Pancakes","author":"Di"}, {"@type":"Recipe"}])");
    importVia(form, f, file, "baking");
    QCOMPARE(f.storedNames("baking"), (QStringList{"Scones", "Bread", "Scones (2)", "Pancakes"}));
    QVERIFY(f.tree().contains("    Scones (2)"));
    const QString message = f.dialogs.messages().last();
    QVERIFY2(message.startsWith("2 recipes came in, 1 of them changed; 1 skipped."),
             qPrintable(message));
    QVERIFY(message.contains("item 3: the recipe is empty"));
    QVERIFY(message.endsWith("The full report is saved as \"" + file + ".import-report.txt\"."));
    QCOMPARE(f.dialogs.prompts().last().style, vbExclamation);
    QVERIFY(fileBytes(file + ".import-report.txt").contains("Came in changed, and why:"));
}

void TestExchangeCommands::longImportAndExportShowProgressAndCancelWritesNothing() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QList<exchange::RecipeRecord> many;
    for (int i = 0; i < 400; ++i) {
        exchange::RecipeRecord r;
        r.name = QString("Dish %1").arg(i);
        r.ingredients = "x";
        r.instructions = "y";
        many << r;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    exchange::writeJsonLd(buffer, many, {}, true);
    const QString file = f.folder() + "/many.jsonld";
    writeFile(file, buffer.data());
    const QStringList before = f.tables();
    f.dialogs.cancelProgressAt(200);
    importVia(form, f, file, "*");
    // Stopped at the first step that reached the point of the cancel.
    QCOMPARE(f.dialogs.progressValues().last(), std::int64_t(200));
    QVERIFY(f.dialogs.messages().last().startsWith("The import was cancelled. Nothing was "
                                                   "imported"));
    QCOMPARE(f.tables(), before);

    importVia(form, f, file, "*");
    QCOMPARE(f.dialogs.progressValues().last(), std::int64_t(400));
    QCOMPARE(f.storedNames("Imported").size(), 400);
    QVERIFY(f.tree().contains("  Imported"));

    // A long export cancelled midway: said as such, and no file.
    f.clickNode("Imported");
    const QString out = f.folder() + "/imported.jsonld";
    f.dialogs.answerFile(out);
    f.dialogs.cancelProgressAt(250);
    run(form, "Export Category...");
    QCOMPARE(f.dialogs.messages().last(),
             QString("The export was cancelled; no file was written."));
    QVERIFY(!QFile::exists(out));
}

void TestExchangeCommands::cookbookPrintsEachRecipeOnItsOwnPage() {
    MainFixture f;
    auto collection = sampleCollection();
    collection[0].second << Recipe{"Long Broth", "Ed", "water",
                                   QString("Stir the pot once more.\n").repeated(90).trimmed()};
    f.makeFile(collection);
    Main& form = f.start();
    f.clickNode("Soups");
    f.dialogs.answer(vbYes);
    run(form, "Print Cookbook...");
    auto* commands = form.findChild<ExchangeCommands*>("exchangeCommands");
    QVERIFY(commands);
    frmprint* preview = commands->cookbookPreview();
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(preview->Caption(), QString("Print [ Kettlebox Cookbook: Soups ]"));

    const QString pdf = f.folder() + "/cookbook.pdf";
    f.dialogs.answerPrintToPdf(pdf);
    preview->print_Click();
    const QString text = pdfText(pdf);
    if (text.isNull())
        QSKIP("pdftotext is not installed");
    QStringList pages = text.split('\f');
    if (pages.last().trimmed().isEmpty())
        pages.removeLast();
    QVERIFY2(pages[0].contains("Contents"), qPrintable(pages[0]));
    QVERIFY(pages[0].contains("1. Tomato Soup") && pages[0].contains("3. Long Broth"));
    QVERIFY(!pages[0].contains("Ingredints:"));
    QVERIFY(pages[1].trimmed().startsWith("Name: Tomato Soup"));
    QVERIFY(pages[2].trimmed().startsWith("Name: Lentil Soup"));
    QVERIFY(pages[3].trimmed().startsWith("Name: Long Broth"));
    // The long recipe runs on over a page of its own; nothing of another recipe shares it.
    QVERIFY(pages.size() >= 5);
    for (const QString& p : pages.mid(4))
        QVERIFY(!p.contains("Name: "));
    QVERIFY(!text.contains("Scones"));

    // Every category, when the question is answered No.
    f.dialogs.answer(vbNo);
    run(form, "Print Cookbook...");
    QCOMPARE(commands->cookbookPreview(), preview);
    QCOMPARE(preview->Caption(), QString("Print [ Kettlebox Cookbook ]"));
}

void TestExchangeCommands::cookbookCancelStopsTheReading() {
    MainFixture f;
    QList<Recipe> many;
    for (int i = 0; i < 300; ++i)
        many << Recipe{QString("Dish %1").arg(i), "", "x", "y"};
    f.makeFile({{"Soups", many}});
    Main& form = f.start();
    f.clickNode("Soups");
    f.dialogs.answer(vbNo);
    f.dialogs.cancelProgressAt(250);
    run(form, "Print Cookbook...");
    // Told as the reading goes, and stopped there: no preview.
    QCOMPARE(f.dialogs.progressValues(), (QList<std::int64_t>{0, 250}));
    auto* commands = form.findChild<ExchangeCommands*>("exchangeCommands");
    QVERIFY(commands && !commands->cookbookPreview());
}

QTEST_MAIN(TestExchangeCommands)
#include "test_exchange_commands.moc"
