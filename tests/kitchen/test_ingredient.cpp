// Reading ingredient lines: the awkward forms cooks write, lines that can't be read, the
// command line's JSON, and a floor on the labelled New York Times sample.

#include "kitchen/ingredient.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace kb::kitchen;

namespace {

constexpr double kNone = -1;

std::optional<double> opt(double v) {
    return v == kNone ? std::nullopt : std::optional<double>(v);
}

// A quantity as the NYT sample writes it: "1#1$2" is 1 1/2, "#3$4" is 3/4, "0.333".
double nytNumber(const QString& token) {
    static const QRegularExpression mixed(QStringLiteral("^(\\d*)#(\\d+)\\$(\\d+)$"));
    const auto m = mixed.match(token);
    if (m.hasMatch())
        return m.captured(1).toDouble() + m.captured(2).toDouble() / m.captured(3).toDouble();
    return token.toDouble();
}

bool near(std::optional<double> a, std::optional<double> b) {
    return a.has_value() == b.has_value() && (!a || std::abs(*a - *b) < 0.01);
}

} // namespace

class TestIngredient : public QObject {
    Q_OBJECT

  private slots:
    void readsAmountUnitAndItem_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("quantity");
        QTest::addColumn<double>("quantityMax");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("item");
        const auto row = [](const char* line, double q, double max, const char* unit,
                            const char* item) {
            QTest::newRow(line) << QString::fromUtf8(line) << q << max << QString::fromUtf8(unit)
                                << QString::fromUtf8(item);
        };
        row("1 1/2 cups (190 g) all-purpose flour, sifted", 1.5, kNone, "cup", "all-purpose flour");
        row("1½ cups sugar", 1.5, kNone, "cup", "sugar");
        row("1 ½ cups milk", 1.5, kNone, "cup", "milk");
        row("1-1/2 cups water", 1.5, kNone, "cup", "water");
        row("½ tsp salt", 0.5, kNone, "tsp", "salt");
        row("⅓ cup oil", 1.0 / 3, kNone, "cup", "oil");
        row("2-3 cloves garlic", 2, 3, "clove", "garlic");
        row("2 to 3 cloves garlic", 2, 3, "clove", "garlic");
        row("20–25 g butter", 20, 25, "g", "butter");
        row("1,5 l Milch", 1.5, kNone, "l", "Milch");
        row("0.5 kg potatoes", 0.5, kNone, "kg", "potatoes");
        row("a pinch of nutmeg", 1, kNone, "pinch", "nutmeg");
        row("an egg", 1, kNone, "", "egg");
        row("one onion, chopped", 1, kNone, "", "onion");
        row("half a cup of cream", 0.5, kNone, "cup", "cream");
        row("10g/½oz fresh tarragon", 10, kNone, "g", "fresh tarragon");
        row("salt to taste", kNone, kNone, "", "salt");
        row("Salt", kNone, kNone, "", "Salt");
        row("2 x 400 g tins tomatoes", 2, kNone, "can", "tomatoes");
        row("1 (14 oz) can diced tomatoes", 1, kNone, "can", "diced tomatoes");
        row("2 28-ounce cans crushed tomatoes", 2, kNone, "can", "crushed tomatoes");
        row("1 T sugar", 1, kNone, "tbsp", "sugar");
        row("1 t salt", 1, kNone, "tsp", "salt");
        row("2 Tbsp. butter", 2, kNone, "tbsp", "butter");
        row("3 large cloves garlic, smashed", 3, kNone, "clove", "garlic");
        row("2 garlic cloves, minced", 2, kNone, "clove", "garlic");
        row("3 whole cloves", 3, kNone, "", "whole cloves");
        row("2 fl oz cream", 2, kNone, "fl oz", "cream");
        row("1 lb ground beef", 1, kNone, "lb", "ground beef");
        row("2 EL Öl", 2, kNone, "tbsp", "Öl");
        row("3 cuillères à soupe d'huile", 3, kNone, "tbsp", "huile");
        row("200 g de farine", 200, kNone, "g", "farine");
        row("1 Prise Salz", 1, kNone, "pinch", "Salz");
        row("1 Bund Petersilie", 1, kNone, "bunch", "Petersilie");
        row("Juice of 1 lemon", 1, kNone, "", "lemon");
        row("about 2/3 cup blanched almonds", 2.0 / 3, kNone, "cup", "blanched almonds");
        row("2 tablespoons plus 2 teaspoons baking powder", 2, kNone, "tbsp", "baking powder");
        row("1 cup or 250 g flour", 1, kNone, "cup", "or 250 g flour");
        row("Pinch of freshly grated nutmeg", kNone, kNone, "pinch", "freshly grated nutmeg");
        row("1 1-inch piece ginger", 1, kNone, "piece", "ginger");
        row("4 large eggs", 4, kNone, "", "large eggs");
    }
    void readsAmountUnitAndItem() {
        QFETCH(QString, line);
        QFETCH(double, quantity);
        QFETCH(double, quantityMax);
        QFETCH(QString, unit);
        QFETCH(QString, item);
        const Ingredient i = readIngredient(line);
        QVERIFY2(near(i.quantity, opt(quantity)), qPrintable(ingredientJson(i)));
        QVERIFY2(near(i.quantityMax, opt(quantityMax)), qPrintable(ingredientJson(i)));
        QCOMPARE(unitName(i.unit), unit);
        QCOMPARE(i.item, item);
        QVERIFY(!i.unread);
        QCOMPARE(i.text, line);
    }

    // What the reader can't take stays exactly as written, and says so.
    void leavesWhatItCannotReadAsWritten_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("amount after") << QStringLiteral("Eggs 2");
        QTest::newRow("broken number") << QStringLiteral("3.5.2 kg flour");
        QTest::newRow("too long") << QString(kMaxLineLength + 1, QLatin1Char('7'));
    }
    void leavesWhatItCannotReadAsWritten() {
        QFETCH(QString, line);
        const Ingredient i = readIngredient(line);
        QVERIFY(i.unread);
        QVERIFY(!i.quantity);
        QCOMPARE(i.unit, Unit::None);
        QCOMPARE(i.item, line);
    }

    // Pinches, dashes and "to taste" never scale; nor does a number the reader refused.
    void marksWhatNeverScales() {
        QVERIFY(readIngredient(u"a pinch of nutmeg").toTaste);
        QVERIFY(readIngredient(u"2 dashes Angostura bitters").toTaste);
        QVERIFY(readIngredient(u"pepper, to taste").toTaste);
        QVERIFY(readIngredient(u"1 tsp salt, or to taste").toTaste);
        QVERIFY(readIngredient(u"2 cups flour").scales());
        QVERIFY(!readIngredient(u"salt to taste").scales());
    }

    void writesOneJsonObjectPerLineInOrder() {
        QProcess p;
        p.start(QStringLiteral(KB_DB_TOOL),
                {QStringLiteral("ingredients"), QStringLiteral("--json")});
        QVERIFY(p.waitForStarted());
        p.write(
            QStringLiteral("1 1/2 cups \"sifted\" flour\n\n2-3 cloves garlic\r\nEggs 2").toUtf8());
        p.closeWriteChannel();
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
        QCOMPARE(
            lines,
            QStringList(
                {QStringLiteral("{\"text\":\"1 1/2 cups \\\"sifted\\\" flour\",\"quantity\":1.5,"
                                "\"quantityMax\":null,\"unit\":\"cup\",\"item\":\"\\\"sifted\\\" "
                                "flour\"}"),
                 QStringLiteral("{\"text\":\"\",\"quantity\":null,\"quantityMax\":null,"
                                "\"unit\":null,\"item\":\"\"}"),
                 QStringLiteral("{\"text\":\"2-3 cloves garlic\",\"quantity\":2,"
                                "\"quantityMax\":3,\"unit\":\"clove\",\"item\":\"garlic\"}"),
                 QStringLiteral("{\"text\":\"Eggs 2\",\"quantity\":null,\"quantityMax\":null,"
                                "\"unit\":null,\"item\":\"Eggs 2\"}"),
                 QString()}));
    }

    // The labelled sample: quantity, range and unit as labelled on nearly every line. The
    // labels carry their own noise (and write sizes such as "3 papayas (1 pound each)" as the
    // unit), so this is a floor that catches a fault, not a measure.
    void agreesWithTheLabelledSample() {
        QFile file(QStringLiteral(KB_NYT_SAMPLE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList rows = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        const QHash<QString, QString> units = {
            {QStringLiteral("cup"), QStringLiteral("cup")},
            {QStringLiteral("tablespoon"), QStringLiteral("tbsp")},
            {QStringLiteral("teaspoon"), QStringLiteral("tsp")},
            {QStringLiteral("ounce"), QStringLiteral("oz")},
            {QStringLiteral("pound"), QStringLiteral("lb")},
            {QStringLiteral("clove"), QStringLiteral("clove")},
            {QStringLiteral("pinch"), QStringLiteral("pinch")},
            {QStringLiteral("dash"), QStringLiteral("dash")},
            {QStringLiteral("sprig"), QStringLiteral("sprig")},
            {QStringLiteral("bunch"), QStringLiteral("bunch")},
            {QStringLiteral("slice"), QStringLiteral("slice")},
            {QStringLiteral("can"), QStringLiteral("can")},
            {QStringLiteral("pint"), QStringLiteral("pint")}};
        int agreed = 0;
        QStringList disagreed;
        for (const QString& row : rows.mid(1)) {
            const QStringList cols = row.split(u'\t');
            QCOMPARE(cols.size(), 3);
            const Ingredient i = readIngredient(cols[0]);
            std::optional<double> low;
            std::optional<double> high;
            if (const QString first = cols[1].section(u' ', 0, 0); !first.isEmpty()) {
                low = nytNumber(first.section(u'-', 0, 0));
                if (first.contains(u'-'))
                    high = nytNumber(first.section(u'-', 1));
            }
            QStringList labelled;
            for (const QString& w : cols[2].split(u' ', Qt::SkipEmptyParts))
                if (units.contains(w.toLower()))
                    labelled << units.value(w.toLower());
            const QString unit = i.unit == Unit::None ? QString() : unitName(i.unit);
            const bool unitOk = labelled.isEmpty() ? unit.isEmpty() : labelled.contains(unit);
            if (near(i.quantity, low) && near(i.quantityMax, high) && unitOk)
                ++agreed;
            else
                disagreed << cols[0];
        }
        const double share = double(agreed) / (rows.size() - 1);
        QVERIFY2(share >= 0.96, qPrintable(QStringLiteral("%1 agree; not: %2")
                                               .arg(share)
                                               .arg(disagreed.join(QStringLiteral(" | ")))));
    }
};

QTEST_GUILESS_MAIN(TestIngredient)
#include "test_ingredient.moc"
