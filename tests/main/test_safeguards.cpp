// Ordinary use that used to lose typing or whole categories: each case through the real window,
// with what the file holds afterwards.
#include "main_fixture.h"
#include "tests/support/files.h"

#include "core/database.h"
#include "ui/controls/xpcmdbutton.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>

using namespace kb;
using namespace kb::test;

namespace {

void execOn(const MainFixture& f, const QString& sql) {
    auto db = Database::OpenDatabase(f.folder() + QStringLiteral("/Recipe"));
    db->Execute(sql);
    db->Close();
}

} // namespace

class TestSafeguards : public QObject {
    Q_OBJECT

  private slots:
    void aTableNamedLikeTheRootHidesNoOtherCategory();
    void aCategoryNamedLikeTheRootIsRefused();
    void deleteActsOnlyOnTheRecipeOnScreen();
    void aRecipeWithoutANameIsRefused();
    void saveEditedAfterCancelSaysNothingWasSaved();
    void aRecipeRemovedElsewhereIsNeitherSavedNorDeleted();
    void longNamesAreStoredWhole();
    void aNameTakenInTheCategoryIsRefusedWithTheTypingKept();
    void recipesOfOneNameEachReachTheirOwnRow();
};

void TestSafeguards::aTableNamedLikeTheRootHidesNoOtherCategory() {
    MainFixture f;
    f.makeFile(sampleCollection());
    execOn(f, QStringLiteral("CREATE TABLE AB (Name TEXT, Author TEXT, Ingredients TEXT, "
                             "Instructions TEXT)"));
    execOn(f, QStringLiteral("INSERT INTO AB VALUES ('Stray ', ' ', ' ', ' ')"));
    Main& form = f.start();
    QCOMPARE(f.tree(), QStringList({"Kettlebox Recipe", "  baking", "    Scones", "    Bread",
                                    "  Soups", "    Tomato Soup", "    Lentil Soup"}));
    // Said once, at start-up, naming the table.
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY2(f.dialogs.messages().first().contains(QStringLiteral("\"AB\"")),
             qPrintable(f.dialogs.messages().first()));

    // The collection stays usable: show, add, and no repetition on the rebuilds.
    f.clickNode("Bread", "baking");
    QCOMPARE(form.Text2->text(), QStringLiteral("Cy"));
    QVERIFY(f.press(form.add));
    f.clickNode("Soups");
    f.type("Pea Soup", "", "peas", "Blend.");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Recipe Added"));
    QVERIFY(f.node("Pea Soup", "Soups").isValid());
    QCOMPARE(f.dialogs.messages().size(), 3);
}

void TestSafeguards::aCategoryNamedLikeTheRootIsRefused() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QStringList tree = f.tree();
    f.dialogs.answerInput(QStringLiteral("AB"));
    QVERIFY(f.press(form.xpcmdbutton2));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY(!f.dialogs.messages().first().contains(QStringLiteral("Category Created")));
    QVERIFY(f.dialogs.messages().first().contains(QStringLiteral("\"AB\"")));
    QCOMPARE(f.tables(), QStringList({"baking", "Soups"}));
    QCOMPARE(f.tree(), tree);

    // The same letters in another case are an ordinary name.
    f.dialogs.answerInput(QStringLiteral("ab"));
    QVERIFY(f.press(form.xpcmdbutton2));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("ab Category Created"));
    QVERIFY(f.node(QStringLiteral("ab")).isValid());
}

void TestSafeguards::deleteActsOnlyOnTheRecipeOnScreen() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QStringList soups{"Tomato Soup", "Lentil Soup"};

    // Clicked, then ADD and a new name: the clicked recipe is not on screen.
    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.add));
    f.type("Carrot Soup", "", "", "");
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY(f.dialogs.messages().first().startsWith(QStringLiteral("Nothing was deleted")));
    QCOMPARE(f.storedNames("Soups"), soups);
    QCOMPARE(f.fields(), QStringList({"Carrot Soup", "", "", ""}));
    QCOMPARE(f.pairs(), kAdding);

    // Emptied by ADD and retyped with the same name: still not the recipe read from the file.
    f.type("Tomato Soup", "", "", "");
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages().size(), 2);
    QCOMPARE(f.storedNames("Soups"), soups);
    form.Cancel_Click();

    // An edited name names another recipe.
    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.Edit));
    form.Text1->setText(QStringLiteral("Tomato Soup, spicy"));
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages().size(), 3);
    QCOMPARE(f.storedNames("Soups"), soups);
    QCOMPARE(form.Text1->text(), QStringLiteral("Tomato Soup, spicy"));

    // The recipe as shown (its stored trailing space included) is deleted as before.
    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Record Deleted"));
    QCOMPARE(f.storedNames("Soups"), QStringList({"Lentil Soup"}));
}

void TestSafeguards::aRecipeWithoutANameIsRefused() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QByteArray before = fileBytes(f.fileName());

    QVERIFY(f.press(form.add));
    f.clickNode("Soups");
    f.type("   ", "Ann", "water", "Boil.");
    QVERIFY(f.press(form.Save)); // refused before the category question
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QVERIFY(f.dialogs.messages().first().contains(QStringLiteral("needs a name")));
    QCOMPARE(f.fields(), QStringList({"   ", "Ann", "water", "Boil."}));
    QCOMPARE(f.pairs(), kAdding);
    QVERIFY(!f.fieldsLocked());
    QCOMPARE(fileBytes(f.fileName()), before);

    // Editing a recipe down to no name is refused the same way.
    form.Cancel_Click();
    f.clickNode("Scones", "baking");
    QVERIFY(f.press(form.Edit));
    form.Text1->setText(QString());
    QVERIFY(f.press(form.saveedited));
    QCOMPARE(f.dialogs.prompts().size(), 2);
    QVERIFY(!f.dialogs.messages().contains(QStringLiteral("Recipe UpDated")));
    QCOMPARE(f.pairs(), kEditing);
    QCOMPARE(form.Text2->text(), QString());
    QCOMPARE(f.storedNames("baking"), QStringList({"Scones", "Bread"}));
    QCOMPARE(fileBytes(f.fileName()), before);
}

void TestSafeguards::saveEditedAfterCancelSaysNothingWasSaved() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Lentil Soup", "Soups");
    QVERIFY(f.press(form.Edit));
    QVERIFY(f.press(form.canceledit));
    QVERIFY(f.press(form.Edit));
    form.Text3->setPlainText(QStringLiteral("2 cups lentils"));
    QVERIFY(f.press(form.saveedited));
    QCOMPARE(f.dialogs.messages().size(), 1);
    const QString said = f.dialogs.messages().first();
    QVERIFY2(said.startsWith(QStringLiteral("Nothing was saved")) &&
                 said.contains(QStringLiteral("press Edit again")),
             qPrintable(said));
    QCOMPARE(form.Text3->toPlainText(), QStringLiteral("2 cups lentils"));
    QCOMPARE(f.pairs(), kEditing);
    QCOMPARE(f.storedRecipes("Soups").last().ingredients, QStringLiteral("1 cup lentils"));
}

void TestSafeguards::aRecipeRemovedElsewhereIsNeitherSavedNorDeleted() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();

    // Removed by a second connection between the click and the save.
    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.Edit));
    form.Text2->setText(QStringLiteral("Dee"));
    execOn(f, QStringLiteral("DELETE FROM Soups WHERE trim(Name, ' ') = 'Tomato Soup'"));
    QVERIFY(f.press(form.saveedited));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY2(f.dialogs.messages().first().contains(QStringLiteral("outside this window")),
             qPrintable(f.dialogs.messages().first()));
    QVERIFY(!f.dialogs.messages().contains(QStringLiteral("Recipe UpDated")));
    QCOMPARE(f.fields(), QStringList({"Tomato Soup ", "Dee", "6 tomatoes\n1 onion",
                                      "Chop.\nSimmer 20 minutes."}));
    QCOMPARE(f.pairs(), kEditing);
    QCOMPARE(f.storedNames("Soups"), QStringList({"Lentil Soup"}));
    // The tree shows the file as it is.
    QVERIFY(!f.node("Tomato Soup", "Soups").isValid());
    QVERIFY(f.node("Lentil Soup", "Soups").isValid());

    // Renamed elsewhere between the click and the delete: no "Record Deleted" for nothing.
    form.canceledit_Click();
    f.clickNode("Scones", "baking");
    execOn(f, QStringLiteral("UPDATE baking SET Name = 'Cream Scones ' WHERE Name = 'Scones '"));
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages().size(), 2);
    QVERIFY(f.dialogs.messages().last().contains(QStringLiteral("outside this window")));
    QCOMPARE(f.storedNames("baking"), QStringList({"Cream Scones", "Bread"}));
    QCOMPARE(form.Text1->text(), QStringLiteral("Scones "));
    QVERIFY(f.node("Cream Scones", "baking").isValid());
}

void TestSafeguards::longNamesAreStoredWhole() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QString name = QString(40000, QLatin1Char('n'));
    const QString author = QString(40000, QLatin1Char('a'));
    QVERIFY(f.press(form.add));
    f.clickNode("Soups");
    f.type(name, author, "", "");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Recipe Added"));
    const Recipe stored = f.storedRecipes("Soups").last();
    QCOMPARE(stored.name.size(), 40000);
    QCOMPARE(stored.author, author);

    // Shown back whole, and found again by its whole name.
    f.clickNode(name, "Soups");
    QCOMPARE(form.Text1->text(), name + QLatin1Char(' '));
    QCOMPARE(form.Text2->text(), author);
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Record Deleted"));
    QCOMPARE(f.storedNames("Soups"), QStringList({"Tomato Soup", "Lentil Soup"}));
}

void TestSafeguards::aNameTakenInTheCategoryIsRefusedWithTheTypingKept() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QVERIFY(f.press(form.add));
    f.clickNode("Soups");
    f.type(" lentil SOUP ", "Di", "red lentils", "Simmer.");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));
    QVERIFY2(f.dialogs.messages().last().contains(QStringLiteral("\"Lentil Soup\"")),
             qPrintable(f.dialogs.messages().last()));
    QCOMPARE(f.storedNames("Soups"), QStringList({"Tomato Soup", "Lentil Soup"}));
    QCOMPARE(f.fields(), QStringList({" lentil SOUP ", "Di", "red lentils", "Simmer."}));
    QCOMPARE(f.pairs(), kAdding);
    // The same name in another category is no clash.
    f.clickNode("baking");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Recipe Added"));

    // Save Edited: a new name that is taken is refused; the recipe's own name, recased, is not.
    f.clickNode("Scones", "baking");
    QVERIFY(f.press(form.Edit));
    form.Text1->setText(QStringLiteral("bread"));
    QVERIFY(f.press(form.saveedited));
    QVERIFY(f.dialogs.messages().last().contains(QStringLiteral("\"Bread\"")));
    QCOMPARE(f.pairs(), kEditing);
    QCOMPARE(form.Text1->text(), QStringLiteral("bread"));
    form.Text1->setText(QStringLiteral("SCONES"));
    QVERIFY(f.press(form.saveedited));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Recipe UpDated"));
    QCOMPARE(f.storedNames("baking"), QStringList({"SCONES", "Bread", "lentil SOUP"}));
}

void TestSafeguards::recipesOfOneNameEachReachTheirOwnRow() {
    MainFixture f;
    f.makeFile({{QStringLiteral("Desserts"),
                 {{"Pavlova", "Ann", "eggs", "Whisk."},
                  {"Trifle", "Bo", "cream", "Layer."},
                  {"Pavlova", "Cy", "meringue", "Bake."}}}});
    Main& form = f.start();
    const QModelIndex second = form.Tv->model()->index(2, 0, f.node("Desserts"));
    QCOMPARE(second.data().toString(), QStringLiteral("Pavlova"));
    f.clickNode(second);
    QCOMPARE(form.Text2->text(), QStringLiteral("Cy"));

    // Edited under its own name: the second row changes.
    QVERIFY(f.press(form.Edit));
    form.Text3->setPlainText(QStringLiteral("meringue\nkiwi"));
    QVERIFY(f.press(form.saveedited));
    QCOMPARE(f.storedRecipes("Desserts").at(2).ingredients, QStringLiteral("meringue\nkiwi"));
    QCOMPARE(f.storedRecipes("Desserts").at(0).ingredients, QStringLiteral("eggs"));

    // Find's result of the second row goes to the second node.
    QVERIFY(form.showRecipeNode(QStringLiteral("Desserts"), QStringLiteral("Pavlova"), 3));
    QCOMPARE(form.Tv->currentIndex().row(), 2);
    QCOMPARE(form.Text2->text(), QStringLiteral("Cy"));

    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.storedRecipes("Desserts").size(), 2);
    QCOMPARE(f.storedRecipes("Desserts").at(0).author, QStringLiteral("Ann"));
}

QTEST_MAIN(TestSafeguards)
#include "test_safeguards.moc"
