// A recipe's details on the command line and through our own JSON-LD: set, shown, exported and
// imported back exactly; wrong values and hostile images refused in words with nothing
// written; a peer's schema.org details taken into the details, not the instructions.

#include "core/database.h"
#include "details/details.h"
#include "exchange/importer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include "exchange_fixture.h"

using namespace kb;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run tool(const QStringList& args) {
    QProcess p;
    p.start(KB_DB_TOOL, args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray imageBytes(const char* format, int width = 40, int height = 30) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 120, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

quint32 crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray be32(quint32 v) {
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    return be32(static_cast<quint32>(data.size())) + type + data + be32(crc32(type + data));
}

// A small PNG that claims 60000 x 60000 pixels, valid to its checksums.
QByteArray hugePngHeader() {
    return QByteArray("\x89PNG\r\n\x1a\n", 8) +
           pngChunk("IHDR", be32(60000) + be32(60000) + QByteArray("\x08\x02\x00\x00\x00", 5)) +
           pngChunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           pngChunk("IEND", {});
}

} // namespace

class TestDetailsCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString sub(const QString& name) const {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }
    QString file(const QString& name, const QByteArray& bytes) const {
        const QString path = m_dir.filePath(name);
        test::writeFile(path, bytes);
        return path;
    }

  private slots:
    void everyDetailOutAndBackInExactly();
    void wrongSettingsAndHostileImagesWriteNothing();
    void peerDetailsBecomeDetails();
};

void TestDetailsCli::everyDetailOutAndBackInExactly() {
    const QString a = sub("a");
    const QString b = sub("b");
    QCOMPARE(tool({"init", "--sample", a}).code, 0);
    QCOMPARE(tool({"init", b}).code, 0);
    const QByteArray png = imageBytes("PNG", 600, 400);
    const QByteArray jpeg = imageBytes("JPEG");
    const QString photo1 = file("one.png", png);
    const QString photo2 = file("two.jpg", jpeg);
    Run r = tool({"details", "--folder", a, "breakfast", " Buttermilk Pancakes", "servings=2.5",
                  "yield=12 small pancakes", "prep=15", "cook=1 h 5 min", "total=PT1H20M",
                  "source=https://cook.example/pancakes", "tags=Sunday, sweet,quick", "rating=4",
                  "notes=Rest the batter.\nButter the pan.", "photo=" + photo1, "photo=" + photo2});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.contains("Saved the details of \"Buttermilk Pancakes\" in \"Breakfast\"."));
    // A second recipe with only some, and one whose source is not an address.
    QCOMPARE(tool({"details", "--folder", a, "Breakfast", "Scrambled Eggs", "servings=1",
                   "source=Grandmother's notebook"})
                 .code,
             0);

    r = tool({"show", "--folder", a, "Breakfast", "Buttermilk Pancakes"});
    QCOMPARE(r.code, 0);
    for (const char* line :
         {"Servings: 2.5\n", "Yield: 12 small pancakes\n", "Preparation time: 15 min\n",
          "Cooking time: 1 h 5 min\n", "Total time: 1 h 20 min\n",
          "Source: https://cook.example/pancakes\n", "Tags: Sunday, sweet, quick\n",
          "Rating: 4 of 5\n", "Photo 1: png, 600 x 400 pixels", "Photo 2: jpeg, 40 x 30 pixels",
          "Notes:\nRest the batter.\nButter the pan.\n", "\nIngredients:\n200 g flour"})
        QVERIFY2(r.out.contains(QLatin1String(line)), line);

    const Run before = tool({"show", "--json", "--folder", a, "Breakfast", "Buttermilk Pancakes"});
    QCOMPARE(before.code, 0);
    for (const char* property :
         {"\"recipeYield\": [\n        \"2.5\",\n        \"12 small pancakes\"",
          "\"prepTime\": \"PT15M\"", "\"cookTime\": \"PT1H5M\"", "\"totalTime\": \"PT1H20M\"",
          "\"url\": \"https://cook.example/pancakes\"", "\"keywords\": \"Sunday, sweet, quick\"",
          "\"ratingValue\": 4", "\"data:image/png;base64,", "\"data:image/jpeg;base64,"})
        QVERIFY2(before.out.contains(QLatin1String(property)), property);

    const QString json = m_dir.filePath("all.jsonld");
    QCOMPARE(tool({"export", "--format", "jsonld", "--folder", a, json}).code, 0);
    r = tool({"import", "--folder", b, json});
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
    for (const QString& name : {QString("Buttermilk Pancakes"), QString("Scrambled Eggs"),
                                QString("Porridge with Apple")})
        QCOMPARE(tool({"show", "--json", "--folder", b, "Breakfast", name}).out,
                 tool({"show", "--json", "--folder", a, "Breakfast", name}).out);
    auto db = Database::OpenDatabase(b + "/Recipe");
    const Details d = readDetails(*db, "Breakfast", "Buttermilk Pancakes");
    QCOMPARE(d.photos.size(), 2);
    QCOMPARE(d.photos.at(0).data, png);
    QCOMPARE(d.photos.at(1).data, jpeg);
    QCOMPARE(readDetails(*db, "Breakfast", "Scrambled Eggs").source,
             QString("Grandmother's notebook"));
    QVERIFY(readDetails(*db, "Breakfast", "Porridge with Apple").isEmpty());
    db->Close();
}

void TestDetailsCli::wrongSettingsAndHostileImagesWriteNothing() {
    const QString c = sub("c");
    QCOMPARE(tool({"init", "--sample", c}).code, 0);
    QCOMPARE(tool({"details", "--folder", c, "Breakfast", "Scrambled Eggs", "rating=3"}).code, 0);
    const QStringList show{"show", "--json", "--folder", c, "Breakfast", "Scrambled Eggs"};
    const QString before = tool(show).out;
    QByteArray jpeg = imageBytes("JPEG", 300, 300);
    jpeg.truncate(jpeg.size() / 2);
    const QList<std::pair<QStringList, QString>> refused = {
        {{"colour=red"}, "\"colour\" is not a detail. The details are servings, yield"},
        {{"servings=4", "rating=9"}, "rating=9: a rating is a whole number from 0 to 5."},
        {{"prep=a while"}, "prep=a while: give minutes (90) or a time (1 h 30 min)."},
        {{"notes"}, "\"notes\" is not KEY=VALUE."},
        {{"servings=4", "photo=" + file("huge.png", hugePngHeader())},
         "\"huge.png\" is too large to open (60000 x 60000 pixels)."},
        {{"photo=" + file("cut.jpg", jpeg)}, "\"cut.jpg\" is cut short"},
        {{"photo=" + file("recipe.txt", "Not a picture at all.")},
         "\"recipe.txt\" is not a JPEG, PNG or WebP image."},
        {{"photo=" + m_dir.filePath("missing.png")}, "\"missing.png\" is not there."}};
    for (const auto& [settings, message] : refused) {
        const Run r =
            tool(QStringList{"details", "--folder", c, "Breakfast", "Scrambled Eggs"} + settings);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(tool(show).out, before);
    }
    const Run missing = tool({"details", "--folder", c, "Breakfast", "Toast", "rating=2"});
    QCOMPARE(missing.code, 1);
    QVERIFY2(missing.err.contains("there is no recipe \"Toast\" in the category \"Breakfast\"."),
             qPrintable(missing.err));
    QVERIFY(tool({"show", "--folder", c, "Lunch Boxes", "Toast"})
                .err.contains("there is no category \"Lunch Boxes\"."));
    QCOMPARE(tool({"details", "--folder", c, "Breakfast", "Scrambled Eggs"}).code, 2);
    QCOMPARE(tool({"show", "--xml", "Breakfast", "Scrambled Eggs"}).code, 2);
    QVERIFY(tool({"details", "--help"}).out.contains("photo=FILE"));
    QVERIFY(tool({"--help"}).out.contains("kettlebox-db show [--json]"));
}

void TestDetailsCli::peerDetailsBecomeDetails() {
    const QString folder = sub("peer");
    test::newRecipeFile(folder)->Close();
    const QByteArray png = imageBytes("PNG");
    const QString json =
        QString(R"({"@context": "https://schema.org", "@type": "Recipe", "name": "Tomato Soup",
          "description": "A warming soup.", "recipeYield": ["4", "4 bowls"],
          "prepTime": "PT10M", "cookTime": "about half an hour", "totalTime": "PT40M",
          "url": "https://soup.example/tomato", "recipeCategory": ["Soups", "Starters"],
          "keywords": "tomato, vegetarian, starters", "recipeCuisine": "Italian",
          "aggregateRating": {"@type": "AggregateRating", "ratingValue": "8.6", "bestRating": "10"},
          "image": ["data:image/png;base64,%1", "data:image/png;base64,%2"],
          "recipeIngredient": ["1 kg tomatoes"], "recipeInstructions": "Cook them."})")
            .arg(QString::fromLatin1(png.toBase64()),
                 QString::fromLatin1(hugePngHeader().toBase64()));
    exchange::Importer importer({});
    importer.addFile(file("soup.json", json.toUtf8()));
    RecipeFile recipes(folder);
    const exchange::ImportReport report = importer.run(recipes);
    QCOMPARE(report.imported, 1);
    QVERIFY2(report.text().contains("a photo was left out: The image is too large to open"),
             qPrintable(report.text()));
    auto db = Database::OpenDatabase(folder + "/Recipe");
    const Details d = readDetails(*db, "Soups", "Tomato Soup");
    QCOMPARE(d.servings, std::optional<double>(4));
    QCOMPARE(d.yield, QString("4 bowls"));
    QCOMPARE(d.prepMinutes, 10);
    QCOMPARE(d.cookMinutes, 0);
    QCOMPARE(d.totalMinutes, 40);
    QCOMPARE(d.source, QString("https://soup.example/tomato"));
    QCOMPARE(d.tags, QStringList({"Starters", "tomato", "vegetarian"}));
    QCOMPARE(d.rating, 4);
    QCOMPARE(d.photos.size(), 1);
    QCOMPARE(d.photos.first().data, png);
    // What has no detail of its own stays text, as before.
    auto rs = db->OpenRecordset("Soups");
    QVERIFY(rs->FindFirst("Tomato Soup", false));
    QCOMPARE(rs->Fields(3).value_or(QString()).trimmed().replace("\r\n", "\n"),
             QString("Cook them.\n\nDescription:\nA warming soup.\n\nCooking time:\nabout half "
                     "an hour\n\nCuisine:\nItalian"));
    rs.reset();
    db->Close();
}

QTEST_GUILESS_MAIN(TestDetailsCli)
#include "test_details_cli.moc"
