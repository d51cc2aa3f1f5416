// Creating and deleting categories from the main window, end to end on a real file.
#include "main_fixture.h"

#include "core/database.h"
#include "ui/controls/xpcmdbutton.h"

#include <QLineEdit>
#include <QTest>

using namespace kb;
using namespace kb::test;

namespace {
QString deleteQuestion(const QString& name) {
    return QStringLiteral("This will Delete Category \"") + name +
           QStringLiteral("\"\r\nAll of It's Recipes\r\nDo you want to continue ?");
}
} // namespace

class TestCategoryCommands : public QObject {
    Q_OBJECT

  private slots:
    void createsACategoryInNameOrder();
    void cancelOrEmptyNameCreatesNothing();
    void refusedNamesSayWhichRuleAndCreateNothing();
    void deletesAfterConfirmationOnly();
    void deletingTheJustDeletedCategoryAgainFails();
    void needsACategoryClickedInTheMode();
    void placeholderCategoryCanNeverBeSelected();
};

void TestCategoryCommands::createsACategoryInNameOrder() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.Edit)); // any mode: creating does not change it

    f.dialogs.answerInput(QStringLiteral("Desserts"));
    QVERIFY(f.press(form.xpcmdbutton2));
    const QList<Prompt>& p = f.dialogs.prompts();
    QCOMPARE(p.size(), 2);
    QCOMPARE(p[0].kind, Prompt::Kind::Input);
    QCOMPARE(p[0].text, QStringLiteral("Enter a Name For New Category"));
    QCOMPARE(p[0].title, QStringLiteral("Create New Category"));
    QCOMPARE(p[0].defaultText, QString());
    QCOMPARE(p[1].text, QStringLiteral("Desserts Category Created"));
    QCOMPARE(p[1].title, QStringLiteral("Kettlebox"));
    QCOMPARE(f.store().NewCategoryName, QStringLiteral("Desserts"));

    QCOMPARE(f.tables(), QStringList({"baking", "Desserts", "Soups"}));
    QCOMPARE(f.tree().mid(0, 5), QStringList({"Kettlebox Recipe", "  baking", "    Scones",
                                              "    Bread", "  Desserts"}));
    QCOMPARE(f.pairs(), kEditing);
    QVERIFY(!f.fieldsLocked());

    // The new category takes recipes at once.
    form.Cancel_Click();
    QVERIFY(f.press(form.add));
    f.clickNode("Desserts");
    f.type("Trifle", "Gran", "custard\ncream", "Layer.");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));
    QCOMPARE(f.storedNames("Desserts"), QStringList({"Trifle"}));
}

void TestCategoryCommands::cancelOrEmptyNameCreatesNothing() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.dialogs.answerInput(QString());
    QVERIFY(f.press(form.xpcmdbutton2));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QCOMPARE(f.tables(), QStringList({"baking", "Soups"}));
}

void TestCategoryCommands::refusedNamesSayWhichRuleAndCreateNothing() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QStringList refused = {QStringLiteral("SOUPS"), QStringLiteral(" Pies"),
                                 QStringLiteral("Pies.Tarts"), QString(65, QLatin1Char('x'))};
    const QStringList words = {QStringLiteral("already"), QStringLiteral("space"),
                               QStringLiteral("."), QStringLiteral("64")};
    for (qsizetype i = 0; i < refused.size(); ++i) {
        f.dialogs.clear();
        f.dialogs.answerInput(refused[i]);
        QVERIFY(f.press(form.xpcmdbutton2));
        QCOMPARE(f.dialogs.prompts().size(), 2);
        const Prompt shown = f.dialogs.prompts().last();
        QCOMPARE(shown.style, vbCritical);
        QVERIFY2(shown.text.contains(words[i]), qPrintable(shown.text));
        QVERIFY(!shown.text.endsWith(QStringLiteral("Category Created")));
    }
    QCOMPARE(f.tables(), QStringList({"baking", "Soups"}));
    QCOMPARE(f.pairs(), kBrowsing);
}

void TestCategoryCommands::deletesAfterConfirmationOnly() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Soups"); // forgotten on entry into the mode

    QVERIFY(f.press(form.xpcmdbutton1));
    QCOMPARE(f.pairs(), kDeletingCategory);
    QVERIFY(f.store().SelectedCategory.isEmpty());
    QCOMPARE(f.tree(), QStringList({"Kettlebox Recipe", "  baking", "  Soups"}));

    f.clickNode("Soups");
    f.dialogs.answer(vbNo);
    QVERIFY(f.press(form.delcatagroy));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QCOMPARE(f.dialogs.prompts()[0].text, deleteQuestion("Soups"));
    QCOMPARE(f.dialogs.prompts()[0].style, 276);
    QCOMPARE(f.dialogs.prompts()[0].title, QStringLiteral("Warnning"));
    QCOMPARE(f.tables(), QStringList({"baking", "Soups"}));

    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.delcatagroy));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Category Soups Has Been Deleted"));
    QCOMPARE(f.tables(), QStringList({"baking"}));
    // The full tree comes back while the pair stays shown.
    QCOMPARE(f.tree(), QStringList({"Kettlebox Recipe", "  baking", "    Scones", "    Bread"}));
    QCOMPARE(f.pairs(), kDeletingCategory);

    QVERIFY(f.press(form.cancelcata));
    QCOMPARE(f.pairs(), kBrowsing);
}

void TestCategoryCommands::deletingTheJustDeletedCategoryAgainFails() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QVERIFY(f.press(form.xpcmdbutton1));
    f.clickNode("baking");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.delcatagroy));
    f.dialogs.clear();
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.delcatagroy));
    QCOMPARE(f.dialogs.prompts().size(), 2);
    const Prompt failure = f.dialogs.prompts().last();
    QCOMPARE(failure.style, vbCritical);
    QVERIFY2(failure.text.contains(QStringLiteral("no longer exists")), qPrintable(failure.text));
    QCOMPARE(f.pairs(), kDeletingCategory);
    QCOMPARE(f.tables(), QStringList({"Soups"}));
}

void TestCategoryCommands::needsACategoryClickedInTheMode() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QVERIFY(f.press(form.xpcmdbutton1));
    QVERIFY(f.press(form.delcatagroy));
    QCOMPARE(f.dialogs.messages(), QStringList({"Please Choose a Category"}));

    // A category clicked in the mode stays selected after Cancel, for a following Save.
    f.clickNode("Soups");
    QVERIFY(f.press(form.cancelcata));
    QCOMPARE(f.store().SelectedCategory, QStringLiteral("Soups"));
    QCOMPARE(f.tables(), QStringList({"baking", "Soups"}));
}

void TestCategoryCommands::placeholderCategoryCanNeverBeSelected() {
    MainFixture f;
    auto collection = sampleCollection();
    collection.append({QStringLiteral("zzzNothing"), {}});
    collection.append({QStringLiteral("Kettlebox Recipe"), {}});
    f.makeFile(collection);
    f.start();
    f.clickNode("Soups");
    f.clickNode("zzzNothing");
    QCOMPARE(f.store().SelectedCategory, QStringLiteral("Soups"));
    // A category named like the root is taken for the root.
    f.clickNode("Kettlebox Recipe", "Kettlebox Recipe");
    QCOMPARE(f.store().SelectedCategory, QStringLiteral("Soups"));
}

QTEST_MAIN(TestCategoryCommands)
#include "test_category_commands.moc"
