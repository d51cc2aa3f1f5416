// Which tables become categories, under which names, and what the report lists.

#include "access/convert.h"
#include "core/database.h"

#include <QTest>

using namespace kb;
using namespace kb::access;

namespace {

SourceTable make(const QString& name, int rows = 0, quint32 flags = 0) {
    SourceTable t;
    t.name = name;
    t.flags = flags;
    t.columns = 4;
    t.storedRows = rows;
    t.ended = true;
    for (int i = 0; i < rows; ++i) {
        Row r;
        r[0].text = QStringLiteral("Recipe %1").arg(i + 1);
        t.rows.append(r);
    }
    return t;
}

QStringList names(const QList<PlannedCategory>& plan) {
    QStringList out;
    for (const PlannedCategory& p : plan)
        out << p.name;
    return out;
}

} // namespace

class TestAccessMapping : public QObject {
    Q_OBJECT

  private slots:
    void excludedAndSystemTables();
    void adjustedNames_data();
    void adjustedNames();
    void clashesWithExistingAndEarlierNames();
    void placeholderAlreadyThere();
    void problemsByTableAndRow();
};

// Also: the file's order is kept, not sorted either way, and each category knows its table.
void TestAccessMapping::excludedAndSystemTables() {
    SourceFile f;
    f.tables = {make(QStringLiteral("MSysObjects"), 0, 0x80000000U),
                make(QStringLiteral("MSysACEs")),          // excluded by name alone
                make(QStringLiteral("MSysNameMap"), 0, 2), // flagged system by the file
                make(QStringLiteral("MSysNavPaneGroups"), 0, 0x0a),
                make(QStringLiteral("msysobjects")), // only the exact names are excluded
                make(QStringLiteral("MSysCustom")),  // not flagged: a category
                make(QStringLiteral("Soups"), 2)};
    Report r;
    const QList<PlannedCategory> plan = planCategories(f, {}, r);
    QCOMPARE(names(plan), QStringList({QStringLiteral("msysobjects"), QStringLiteral("MSysCustom"),
                                       QStringLiteral("Soups")}));
    QCOMPARE(plan[0].source, 4);
    QCOMPARE(plan[2].source, 6);
    QCOMPARE(r.recipes, 2);
    QVERIFY(r.problems.isEmpty());
    QVERIFY(r.complete);
}

void TestAccessMapping::adjustedNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("adjusted");
    QTest::newRow("allowed") << "Pies & Tarts"
                             << "Pies & Tarts";
    QTest::newRow("forbidden characters") << "Pies. [Old]! `x`"
                                          << "Pies_ _Old__ _x_";
    QTest::newRow("leading space") << " Soups"
                                   << "_Soups";
    QTest::newRow("tab and line break") << "A\tB\nC"
                                        << "A_B_C";
    QTest::newRow("reserved prefix") << "sqlite_master"
                                     << "_sqlite_master";
    QTest::newRow("empty") << ""
                           << "_";
    QTest::newRow("too long") << QString(70, QLatin1Char('x')) << QString(64, QLatin1Char('x'));
    QTest::newRow("non-Latin") << "Супы"
                               << "Супы";
}

void TestAccessMapping::adjustedNames() {
    QFETCH(QString, name);
    QFETCH(QString, adjusted);
    QCOMPARE(adjustedName(name, {}), adjusted);
    Database::checkNewTableName(adjusted, {}); // the store takes it
}

void TestAccessMapping::clashesWithExistingAndEarlierNames() {
    SourceFile f;
    f.tables = {make(QStringLiteral("soups")), make(QStringLiteral("Pies.")),
                make(QStringLiteral("Pies_")), make(QString(70, QLatin1Char('y'))),
                make(QString(64, QLatin1Char('y')) + QLatin1Char('z'))};
    Report r;
    const QList<PlannedCategory> plan = planCategories(f, {QStringLiteral("Soups")}, r);
    QCOMPARE(names(plan), QStringList({QStringLiteral("soups (2)"), QStringLiteral("Pies_"),
                                       QStringLiteral("Pies_ (2)"), QString(64, QLatin1Char('y')),
                                       QString(60, QLatin1Char('y')) + QStringLiteral(" (2)")}));
    for (const PlannedCategory& p : plan)
        QVERIFY(p.renamed);
    QCOMPARE(r.renames.size(), 5);
    QCOMPARE(r.renames[1], QStringLiteral("\"Pies.\" is now \"Pies_\""));
}

void TestAccessMapping::placeholderAlreadyThere() {
    SourceFile f;
    f.tables = {make(QStringLiteral("zzzNothing"))};
    Report r;
    QVERIFY(planCategories(f, {QStringLiteral("zzzNothing")}, r).isEmpty());
    QCOMPARE(names(planCategories(f, {}, r)), QStringList({QStringLiteral("zzzNothing")}));
}

void TestAccessMapping::problemsByTableAndRow() {
    SourceFile f;
    SourceTable counted = make(QStringLiteral("Counted"), 2);
    counted.storedRows = 3;
    SourceTable values = make(QStringLiteral("Values"), 3);
    values.rows[0][2].cut = true;
    values.rows[1][3].text = QStringLiteral("Chili ?? flakes");
    values.rows[2][0].text.clear();
    values.rows[2][1].text = QStringLiteral("what??");
    SourceTable refused = make(QStringLiteral("Mapless"));
    refused.status = 1;
    refused.storedRows = -1;
    SourceTable narrow = make(QStringLiteral("Narrow"), 1);
    narrow.columns = 2;
    f.tables = {counted, values, refused, narrow};
    Report r;
    const QList<PlannedCategory> plan = planCategories(f, {}, r);
    QCOMPARE(names(plan), QStringList({QStringLiteral("Counted"), QStringLiteral("Values"),
                                       QStringLiteral("Narrow")}));
    QVERIFY(!r.complete);
    const QString all = r.problems.join(QLatin1Char('\n'));
    for (const char* problem :
         {"\"Counted\": the file says it holds 3 recipes, 2 were read.",
          "\"Values\", recipe 1 (\"Recipe 1\"): the ingredients may be cut short",
          "\"Values\", recipe 2 (\"Recipe 2\"): in the instructions",
          "\"Values\", recipe 3: in the author",
          "\"Mapless\" was not brought in: its page map is missing.",
          "\"Narrow\" has only 2 of the four columns"})
        QVERIFY2(all.contains(QLatin1String(problem)), qPrintable(all));
    QCOMPARE(r.problems.size(), 6);

    // Lost characters alone still count as complete.
    SourceFile g;
    g.tables = {values};
    g.tables[0].rows[0][2].cut = false;
    Report q;
    planCategories(g, {}, q);
    QVERIFY(q.complete);
}

QTEST_GUILESS_MAIN(TestAccessMapping)
#include "test_mapping.moc"
