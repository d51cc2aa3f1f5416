// Scaling a recipe three ways, kitchen fractions and metric roundings, unit conversion both
// ways with the density marked, oven temperatures and the timers found in steps.

#include "kitchen/scaling.h"
#include "kitchen/steps.h"

#include <QTest>

using namespace kb::kitchen;

class TestScaling : public QObject {
    Q_OBJECT

  private slots:
    void scalesByFactorInKitchenFractionsAndSensibleMetric_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("factor");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cups by 1.5") << QStringLiteral("1 1/2 cups flour, sifted") << 1.5
                                     << QStringLiteral("2 ¼ cups flour, sifted");
        QTest::newRow("a third of grams")
            << QStringLiteral("10 g yeast") << 1.0 / 3 << QStringLiteral("3.5 g yeast");
        QTest::newRow("hundreds to fives")
            << QStringLiteral("250 g sugar") << 2.0 / 3 << QStringLiteral("165 g sugar");
        QTest::newRow("eighths") << QStringLiteral("1/4 tsp salt") << 1.5
                                 << QStringLiteral("⅜ tsp salt");
        QTest::newRow("range") << QStringLiteral("2-3 cloves garlic") << 2.0
                               << QStringLiteral("4–6 cloves garlic");
        QTest::newRow("can keeps its size") << QStringLiteral("1 (14 oz) can tomatoes") << 2.0
                                            << QStringLiteral("2 (14 oz) can tomatoes");
        QTest::newRow("second measure dropped")
            << QStringLiteral("1 cup (240 ml) milk") << 2.0 << QStringLiteral("2 cups milk");
        QTest::newRow("plus joins") << QStringLiteral("2 tablespoons plus 2 teaspoons sugar") << 2.0
                                    << QStringLiteral("5 ⅓ tbsp sugar");
        QTest::newRow("count") << QStringLiteral("3 eggs") << 0.5 << QStringLiteral("1 ½ eggs");
        QTest::newRow("pinch never")
            << QStringLiteral("a pinch of salt") << 3.0 << QStringLiteral("a pinch of salt");
        QTest::newRow("to taste never")
            << QStringLiteral("pepper to taste") << 3.0 << QStringLiteral("pepper to taste");
        QTest::newRow("no amount") << QStringLiteral("Salt") << 3.0 << QStringLiteral("Salt");
    }
    void scalesByFactorInKitchenFractionsAndSensibleMetric() {
        QFETCH(QString, line);
        QFETCH(double, factor);
        QFETCH(QString, shown);
        QCOMPARE(showLine(readIngredient(line), factor, System::AsWritten).text, shown);
    }

    void scalesToServingsAndToTheAmountTheCookHas() {
        QCOMPARE(factorForServings(4, 6).value(), 1.5);
        QVERIFY(!factorForServings(0, 6));
        QVERIFY(!factorForServings(4, -1));
        const Ingredient flour = readIngredient(u"2 cups all-purpose flour");
        // "I have 300 g of flour": across mass and volume through the density table.
        const auto byMass = factorForAmount(flour, Amount{300, std::nullopt, Unit::G, false});
        QVERIFY(byMass);
        QVERIFY(std::abs(*byMass - 300 / (2 * 236.588 * 0.53)) < 0.01);
        QCOMPARE(factorForAmount(flour, Amount{1, std::nullopt, Unit::Cup, false}).value(), 0.5);
        QCOMPARE(factorForAmount(readIngredient(u"500 g butter"),
                                 Amount{1, std::nullopt, Unit::Kg, false})
                     .value(),
                 2.0);
        QCOMPARE(
            factorForAmount(readIngredient(u"3 eggs"), Amount{6, std::nullopt, Unit::None, false})
                .value(),
            2.0);
        // No density for an unknown item, no factor from a line without an amount.
        QVERIFY(!factorForAmount(readIngredient(u"2 cups mystery"),
                                 Amount{300, std::nullopt, Unit::G, false}));
        QVERIFY(!factorForAmount(readIngredient(u"salt to taste"),
                                 Amount{5, std::nullopt, Unit::G, false}));
    }

    void showsUnreadLinesUnscaledAndMarked() {
        const QList<ShownLine> shown =
            showIngredients(u"2 cups flour\nEggs 2\n\nFor the sauce:", 2, System::AsWritten);
        QCOMPARE(shown.size(), 4);
        QCOMPARE(shown[0].text, QStringLiteral("4 cups flour"));
        QVERIFY(shown[0].scaled);
        QCOMPARE(shown[1].text, QStringLiteral("Eggs 2"));
        QVERIFY(shown[1].unread);
        QVERIFY(!shown[1].scaled);
        QCOMPARE(shown[3].text, QStringLiteral("For the sauce:"));
        QVERIFY(!shown[3].unread);
    }

    // Volume to volume and mass to mass always; volume to mass only with a density, marked.
    void convertsBothWaysMarkingTheDensity_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("system");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("approximate");
        const int metric = static_cast<int>(System::Metric);
        const int us = static_cast<int>(System::Us);
        QTest::newRow("cups of flour weighed")
            << QStringLiteral("2 cups all-purpose flour") << metric
            << QStringLiteral("~250 g all-purpose flour") << true;
        QTest::newRow("cups of stock stay volume")
            << QStringLiteral("2 cups stock") << metric << QStringLiteral("475 ml stock") << false;
        QTest::newRow("pounds to kilos") << QStringLiteral("3 lb potatoes") << metric
                                         << QStringLiteral("1.35 kg potatoes") << false;
        QTest::newRow("grams of sugar to cups")
            << QStringLiteral("200 g sugar") << us << QStringLiteral("~1 cup sugar") << true;
        QTest::newRow("grams of beef to ounces")
            << QStringLiteral("250 g beef") << us << QStringLiteral("8 ⅞ oz beef") << false;
        QTest::newRow("litres to quarts")
            << QStringLiteral("1 l milk") << us << QStringLiteral("4 ¼ cups milk") << false;
        QTest::newRow("ml to tsp")
            << QStringLiteral("5 ml vanilla") << us << QStringLiteral("1 tsp vanilla") << false;
        QTest::newRow("count stays") << QStringLiteral("2 cloves garlic") << metric
                                     << QStringLiteral("2 cloves garlic") << false;
    }
    void convertsBothWaysMarkingTheDensity() {
        QFETCH(QString, line);
        QFETCH(int, system);
        QFETCH(QString, shown);
        QFETCH(bool, approximate);
        const ShownLine s = showLine(readIngredient(line), 1, static_cast<System>(system));
        QCOMPARE(s.text, shown);
        QCOMPARE(s.approximate, approximate);
    }

    void convertsOvenTemperatures() {
        QCOMPARE(convertTemperatures(u"Bake at 350°F for 25 minutes.", System::Metric),
                 QStringLiteral("Bake at 175°C for 25 minutes."));
        QCOMPARE(convertTemperatures(u"Heat the oven to 180 °C (gas mark 4).", System::Us),
                 QStringLiteral("Heat the oven to 350°F (350°F)."));
        QCOMPARE(convertTemperatures(u"Preheat to 400 degrees F.", System::Metric),
                 QStringLiteral("Preheat to 205°C."));
        QCOMPARE(convertTemperatures(u"Gas 6, then 200-220°C", System::Us),
                 QStringLiteral("400°F, then 400–425°F"));
        // Already in the wanted scale, no temperature, or as written: untouched.
        QCOMPARE(convertTemperatures(u"Bake at 180°C.", System::Metric),
                 QStringLiteral("Bake at 180°C."));
        QCOMPARE(convertTemperatures(u"Add 2 cups of flour.", System::Metric),
                 QStringLiteral("Add 2 cups of flour."));
        QCOMPARE(convertTemperatures(u"Bake at 350°F.", System::AsWritten),
                 QStringLiteral("Bake at 350°F."));
    }

    void findsTheDurationsOfAStep_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("found"); // text of each: seconds[-max]
        QTest::newRow("minutes") << QStringLiteral("Bake 25 minutes until golden.")
                                 << QStringLiteral("25 minutes=1500");
        QTest::newRow("mixed hours")
            << QStringLiteral("Simmer for 1 1/2 hours.") << QStringLiteral("1 1/2 hours=5400");
        QTest::newRow("range German")
            << QStringLiteral("20-25 Min. backen") << QStringLiteral("20-25 Min.=1200-1500");
        QTest::newRow("hour and minutes") << QStringLiteral("Roast 1 hour 15 minutes, rest 10 min.")
                                          << QStringLiteral("1 hour 15 minutes=4500;10 min.=600");
        QTest::newRow("words") << QStringLiteral("Leave for an hour or two.")
                               << QStringLiteral("an hour=3600");
        QTest::newRow("seconds") << QStringLiteral("Blend 30 s.") << QStringLiteral("30 s=30");
        QTest::newRow("not time") << QStringLiteral("Add 2 cups and 3 shallots.") << QString();
        QTest::newRow("too long") << QStringLiteral("Cure for 48 hours.") << QString();
    }
    void findsTheDurationsOfAStep() {
        QFETCH(QString, step);
        QFETCH(QString, found);
        QStringList got;
        for (const Duration& d : findDurations(step)) {
            QString t =
                step.mid(d.begin, d.end - d.begin) + QLatin1Char('=') + QString::number(d.seconds);
            if (d.secondsMax != d.seconds)
                t += QLatin1Char('-') + QString::number(d.secondsMax);
            got << t;
        }
        QCOMPARE(got.join(u';'), found);
    }
};

QTEST_GUILESS_MAIN(TestScaling)
#include "test_scaling.moc"
