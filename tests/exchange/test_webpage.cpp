// Recipe web pages as sites publish them: JSON-LD in every shape seen in the wild, microdata and
// RDFa, the texts made plain, the reason when nothing is found, and hostile markup.

#include "exchange/htmlscan.h"
#include "exchange/htmltext.h"
#include "exchange/jsonld.h"

#include <QTest>

using namespace kb;
using namespace kb::exchange;

namespace {

QByteArray page(const QByteArray& jsonLd, const QByteArray& body = {}) {
    return "<!DOCTYPE html><html><head><title>T</title><script type=\"application/ld+json\">" +
           jsonLd + "</script></head><body>" + body + "</body></html>";
}

} // namespace

class TestWebPage : public QObject {
    Q_OBJECT

  private slots:
    void textIsMadePlain_data();
    void textIsMadePlain();
    void readsEveryShapeSitesPublish_data();
    void readsEveryShapeSitesPublish();
    void detailsComeFromTheRecipeOrThePage();
    void nothingFoundSaysWhy_data();
    void nothingFoundSaysWhy();
    void hostileMarkupStaysBounded_data();
    void hostileMarkupStaysBounded();
    void oversizedPagesAreRefusedInWords();
};

void TestWebPage::textIsMadePlain_data() {
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("text");
    QTest::newRow("named") << "Beef &amp; Cauliflower"
                           << "Beef & Cauliflower";
    QTest::newRow("fraction and degree") << "&frac12; tsp at 75&deg;F"
                                         << "½ tsp at 75°F";
    QTest::newRow("numeric") << "&#189; cup &#x2019;n&#X2019;"
                             << "½ cup ’n’";
    QTest::newRow("legacy without ;") << "salt &amp pepper &copy2024"
                                      << "salt & pepper ©2024";
    QTest::newRow("not a reference") << "R&D &unknown; & co"
                                     << "R&D &unknown; & co";
    QTest::newRow("encoded twice") << "&amp;frac12; cup"
                                   << "½ cup";
    QTest::newRow("C1 as Windows-1252") << "&#150; &#147;x&#148;"
                                        << "– “x”";
    QTest::newRow("impossible code points") << "a&#0;b&#xD800;c&#99999999;"
                                            << "a\uFFFDb\uFFFDc\uFFFD";
    QTest::newRow("tags") << "<strong>2</strong> <a href=\"/x\">eggs</a>"
                          << "2 eggs";
    QTest::newRow("encoded tags") << "&lt;b&gt;Mix&lt;/b&gt; well"
                                  << "Mix well";
    QTest::newRow("breaking tags")
        << "<p>Mix.</p><p>Bake.<br>Serve.</p><ul><li>a</li><li>b</li></ul>"
        << "Mix.\nBake.\nServe.\na\nb";
    QTest::newRow("less than") << "cook < 5 min, a<b"
                               << "cook < 5 min, a<b";
    QTest::newRow("script and comment") << "a<script>x()</script><!-- c -->b<style>p{}</style>"
                                        << "ab";
    QTest::newRow("spaces and blank lines") << "  a \t\u00a0 b \n\n\n\n c  "
                                            << "a b\n\nc";
    QTest::newRow("control characters") << QString("a\x01"
                                                   "b") +
                                               QChar(0) + "c\x1b[31md"
                                        << "abc[31md";
}

void TestWebPage::textIsMadePlain() {
    QFETCH(QString, html);
    QFETCH(QString, text);
    QCOMPARE(htmlToText(html), text);
}

void TestWebPage::readsEveryShapeSitesPublish_data() {
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QStringList>("ingredients");
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("entities and tags")
        << page(R"({"@context":"https://schema.org","@type":"Recipe",
            "name":"Beef &amp; Cauliflower","author":{"@type":"Person","name":"Jos&eacute;"},
            "recipeIngredient":["&frac12; tsp salt","<strong>2</strong> <a href='/e'>eggs</a>"],
            "recipeInstructions":"<p>Heat to 75&deg;F.</p><p>Stir.</p>"})")
        << "Beef & Cauliflower"
        << "José" << QStringList{"½ tsp salt", "2 eggs"} << QStringList{"Heat to 75°F.", "Stir."};
    QTest::newRow("@id references, @graph as object")
        << page(R"({"@context":"https://schema.org","@graph":{"@type":"WebPage","@id":"#page",
            "mainEntity":{"@id":"#recipe"}}})"
                "</script><script type=\"application/ld+json\">"
                R"({"@graph":[{"@type":"Person","@id":"#ann","name":"Ann"},
            {"@type":"HowToStep","@id":"#s2","text":"Bake."},
            {"@type":"Recipe","@id":"#recipe","name":"Pie","author":{"@id":"#ann"},
             "recipeIngredient":["1 crust"],
             "recipeInstructions":[{"@type":"HowToStep","text":"Fill."},{"@id":"#s2"}]}]})")
        << "Pie"
        << "Ann" << QStringList{"1 crust"} << QStringList{"Fill.", "Bake."};
    QTest::newRow("step names and sections")
        << page(R"({"@type":"Recipe","name":"Lasagne","recipeInstructions":[
            {"@type":"HowToSection","name":"The sauce","itemListElement":[
              {"@type":"HowToStep","name":"Brown","text":"Brown the beef."},
              {"@type":"HowToStep","name":"Simmer it","text":"Simmer for 40 minutes."}]},
            {"@type":"HowToSection","name":"Assembly:","itemListElement":[
              {"@type":"HowToStep","name":"Layer the sheets and...","text":"Layer the sheets and sauce."}]}]})")
        << "Lasagne"
        << "" << QStringList{} << QStringList{"The sauce:", "Brown the beef.",
                                              "Simmer it",  "Simmer for 40 minutes.",
                                              "Assembly:",  "Layer the sheets and sauce."};
    QTest::newRow("CDATA, comments, trailing ; and commas, raw line breaks")
        << page("//<![CDATA[\n/* data */ {\"@type\": \"Recipe\", // the name\n"
                "\"name\": \"Soup\", \"recipeIngredient\": [\"water\",],\n"
                "\"recipeInstructions\": \"Boil.\nServe.\"};\n//]]>")
        << "Soup"
        << "" << QStringList{"water"} << QStringList{"Boil.", "Serve."};
    QTest::newRow("several values, type in lower case and as a list")
        << page(R"({"@type":"WebSite","name":"Site"}
            [{"@type":["recipe","NewsArticle"],"name":"Cake","Name":"ignored"}])")
        << "Cake"
        << "" << QStringList{} << QStringList{};
    QTest::newRow("property names in another case")
        << page(R"({"@type":"schema:Recipe","name":"Crêpes","recipeInstructions":[
            {"@type":"HowToSection","Name":"Pour la pâte","itemListElement":[{"Text":"Mélanger."}]}]})")
        << "Crêpes"
        << "" << QStringList{} << QStringList{"Pour la pâte:", "Mélanger."};
    QTest::newRow("microdata")
        << QByteArray(R"(<html><body><div itemscope itemtype="http://schema.org/Recipe">
            <h1 itemprop="name">Pea &amp; Ham Soup</h1>
            <span itemprop="author" itemscope itemtype="https://schema.org/Person">
              <span itemprop="name">Bo</span></span>
            <ul><li itemprop="recipeIngredient">1 kg <b>peas</b>
                <li itemprop="recipeIngredient">1 ham hock</ul>
            <div itemprop="recipeInstructions"><p>Soak the peas.<p>Simmer with the hock.</div>
            <meta itemprop="totalTime" content="PT2H">
            </div></body></html>)")
        << "Pea & Ham Soup"
        << "Bo" << QStringList{"1 kg peas", "1 ham hock"}
        << QStringList{"Soak the peas.", "Simmer with the hock."};
    QTest::newRow("RDFa") << QByteArray(
                                 R"(<html><head><meta property="og:title" content="x"></head><body>
            <div vocab="https://schema.org/" typeof="Recipe"><h2 property="name">Toast</h2>
            <span property="recipeIngredient">1 slice of bread</span>
            <ol property="recipeInstructions"><li>Toast it.</li><li>Butter it.</li></ol>
            </div></body></html>)")
                          << "Toast"
                          << "" << QStringList{"1 slice of bread"}
                          << QStringList{"Toast it.", "Butter it."};
    QTest::newRow("JSON-LD is preferred to microdata")
        << page(R"({"@type":"Recipe","name":"From JSON"})",
                R"(<div itemscope itemtype="http://schema.org/Recipe"><b itemprop="name">From
                microdata</b></div>)")
        << "From JSON"
        << "" << QStringList{} << QStringList{};
}

void TestWebPage::readsEveryShapeSitesPublish() {
    QFETCH(QByteArray, html);
    QFETCH(QString, name);
    QFETCH(QString, author);
    QFETCH(QStringList, ingredients);
    QFETCH(QStringList, steps);
    const PageRead read = readPage(html);
    QVERIFY2(read.result.problems.isEmpty(), qPrintable(read.result.problems.value(0).reason));
    QCOMPARE(read.recipes.size(), 1);
    const SchemaRecipe& r = read.recipes.first();
    QCOMPARE(r.name, name);
    QCOMPARE(r.author, author);
    QCOMPARE(r.ingredients, ingredients);
    QCOMPARE(r.steps, steps);
}

void TestWebPage::detailsComeFromTheRecipeOrThePage() {
    const QByteArray html =
        "<html><head><link rel=\"canonical\" href=\"https://cook.example/stew\">"
        "<meta property=\"og:image\" content=\"https://cook.example/stew.jpg\">"
        "<script type=\"application/ld+json\">" +
        QByteArray(R"({"@type":"Recipe","name":"Stew","recipeYield":["4","4 servings"],
        "totalTime":"PT1H30M","recipeCategory":["Main","Winter &amp; cold"],
        "keywords":"beef, slow"})") +
        "</script></head></html>";
    const PageRead read = readPage(html);
    QCOMPARE(read.recipes.size(), 1);
    const RecipeDetails& d = read.recipes[0].details;
    QCOMPARE(d.yield, QString("4 servings"));
    QCOMPARE(d.servings, std::optional<double>(4));
    QCOMPARE(d.totalTime, QString("1 h 30 min"));
    QCOMPARE(d.categories, (QStringList{"Main", "Winter & cold"}));
    QCOMPARE(d.keywords, (QStringList{"beef", "slow"}));
    QCOMPARE(d.source, QString("https://cook.example/stew"));
    QCOMPARE(d.image, QString("https://cook.example/stew.jpg"));
    // As read, they travel with the record; the import takes what has a detail of its own
    // into the recipe's details.
    const RecipeRecord& record = read.result.recipes[0];
    QCOMPARE(record.category, QString("Main"));
    QVERIFY(record.fullInstructions().contains("Categories:\nMain, Winter & cold"));
    QVERIFY(record.fullInstructions().contains("Photo:\nhttps://cook.example/stew.jpg"));
}

void TestWebPage::nothingFoundSaysWhy_data() {
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no data")
        << QByteArray("<html><body><p>Just text.</p></body></html>")
        << "it holds no recipe data (no schema.org JSON-LD, microdata or RDFa)";
    QTest::newRow("other types only")
        << page(R"({"@type":"WebPage","name":"About us"})",
                R"(<div itemscope itemtype="http://schema.org/Person">x</div>)")
        << "it holds schema.org data, but no Recipe";
    QTest::newRow("an empty recipe")
        << page(R"({"@type":"Recipe"})")
        << "the recipe is empty: it has no name, ingredients or instructions";
}

void TestWebPage::nothingFoundSaysWhy() {
    QFETCH(QByteArray, html);
    QFETCH(QString, reason);
    const ReadResult r = readHtml(html);
    QVERIFY(r.recipes.isEmpty());
    QCOMPARE(r.problems.size(), 1);
    QCOMPARE(r.problems[0].reason, reason);
}

void TestWebPage::hostileMarkupStaysBounded_data() {
    // Small cousins of the crafted pages that once exhausted memory or never finished; the full
    // sizes are measured by the exchange benchmark.
    QTest::addColumn<QByteArray>("markup");
    QTest::newRow("unclosed b i") << QByteArray("<b><i>").repeated(20'000);
    QTest::newRow("unclosed b i a") << QByteArray("<b><i><a>").repeated(20'000);
    QTest::newRow("nested div") << QByteArray("<div>").repeated(50'000) +
                                       QByteArray("</div>").repeated(50'000);
    QTest::newRow("stray end tags")
        << QByteArray("<b>").repeated(600) + QByteArray("</x>").repeated(20'000);
    QTest::newRow("unclosed attribute") << QByteArray("<div class=\"") + QByteArray(100'000, 'x');
    QTest::newRow("nested items") << QByteArray("<div itemscope itemprop=\"x\">").repeated(5'000);
}

void TestWebPage::hostileMarkupStaysBounded() {
    QFETCH(QByteArray, markup);
    // Whatever comes before, a recipe after it is still found.
    const QByteArray html = "<html><body>" + markup +
                            "<script type=\"application/ld+json\">"
                            R"({"@type":"Recipe","name":"Still here"})"
                            "</script></body></html>";
    const ReadResult r = readHtml(html);
    if (QTest::currentDataTag() == QLatin1String("unclosed attribute")) {
        // The rest of the page is inside the attribute, as a browser reads it.
        QVERIFY(r.recipes.isEmpty());
        QCOMPARE(r.problems.size(), 1);
        return;
    }
    QCOMPARE(r.recipes.size(), 1);
    QCOMPARE(r.recipes[0].name, QString("Still here"));
}

void TestWebPage::oversizedPagesAreRefusedInWords() {
    ScanLimits limits;
    limits.maxElements = 1'000;
    PageScan scan = scanPage(QByteArray("<p>").repeated(2'000), limits);
    QCOMPARE(scan.refusal,
             QString("it holds more than 1000 elements, far more than a recipe page has"));
    limits = {};
    limits.maxBytes = 1 << 20;
    scan = scanPage(QByteArray((1 << 20) + 1, ' '), limits);
    QCOMPARE(scan.refusal, QString("it is larger than 1 MB, far larger than a recipe page"));
}

QTEST_GUILESS_MAIN(TestWebPage)
#include "test_webpage.moc"
