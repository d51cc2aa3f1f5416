// Creating and deleting categories from the main window, end to end on a real file.
#include "main_fixture.h"

#include "core/database.h"
#include "ui/controls/xpcmdbutton.h"

#include <QLineEdit>
#include <QTest>

using namespace kb;
using namespace kb::test;

class TestCategoryCommands : public QObject {
    Q_OBJECT

  private slots:
    void createsACategoryInNameOrder();
    void aRefusedNameIsShownAsAFailureAndCreatesNothing();
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
    QCOMPARE(f.dialogs.prompts().size(), 2);
    QCOMPARE(f.dialogs.prompts()[1].title, QStringLiteral("Kettlebox"));

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

// Which names are refused, and in which words, is the store's to test; here, that the form
// shows the refusal as a failure and stays in its mode.
void TestCategoryCommands::aRefusedNameIsShownAsAFailureAndCreatesNothing() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.dialogs.answerInput(QStringLiteral("SOUPS"));
    QVERIFY(f.press(form.xpcmdbutton2));
    QCOMPARE(f.dialogs.prompts().size(), 2);
    QCOMPARE(f.dialogs.prompts().last().style, vbCritical);
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
