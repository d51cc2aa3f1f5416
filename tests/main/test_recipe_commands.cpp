// The recipe commands as the user drives them: modes, messages to the letter, and what ends
// up in the file.
#include "main_fixture.h"
#include "tests/support/files.h"

#include "core/database.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"
#include "ui/print/frmprint.h"
#include "ui/print/printcommand.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

using namespace kb;
using namespace kb::test;

namespace {
const QString kSaveQuestion =
    QStringLiteral("The Category is: SOUPS\r\nIs This Category Right ?\r\nIf Not Right Choose [ "
                   "No ] and then choose the Right Category");
}

class TestRecipeCommands : public QObject {
    Q_OBJECT

  private slots:
    void startsInBrowsingMode();
    void clickingRecipesShowsThemAndCategoriesSelect();
    void addingSavesIntoTheClickedCategoryAfterYes();
    void savingAsksAgainAfterNoAndNeedsACategory();
    void cancelLeavesAddingMode();
    void editingWritesTheRowAndLeavesEditingMode();
    void editNeedsANameAndCancelEditKeepsTheTyping();
    void deleteRemovesTheFirstMatchingRowWithoutAsking();
    void addWhileEditingAndDelCategoryWhileAdding();
    void failuresShowOneMessageAndKeepTheMode();
    void websiteAndCaptionButtonsTouchNoRecipeData();
    void printShowsTheShownRecipeInThePreview();
    void choosingARecipeByNameActsAsAClick();
};

void TestRecipeCommands::choosingARecipeByNameActsAsAClick() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.store().SelectedCategory = QStringLiteral("Soups");
    // "baking" is closed and not read yet: choosing opens it, selects and shows the recipe.
    QVERIFY(form.showRecipeNode(QStringLiteral("baking"), QStringLiteral(" Bread ")));
    QCOMPARE(f.fields(), QStringList({"Bread ", "Cy", "flour", "Knead."}));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Bread"));
    QCOMPARE(f.store().RecipeCategory, QStringLiteral("baking"));
    QCOMPARE(f.store().SelectedCategory, QStringLiteral("Soups")); // as a click leaves it
    const QModelIndex current = form.Tv->currentIndex();
    QCOMPARE(current.data().toString(), QStringLiteral("Bread"));
    QVERIFY(form.Tv->isExpanded(current.parent()));
    QVERIFY(form.Tv->viewport()->rect().contains(form.Tv->visualRect(current)));
    QVERIFY(f.dialogs.prompts().isEmpty());

    // No such recipe, or a category's name given as the recipe: nothing changes.
    QVERIFY(!form.showRecipeNode(QStringLiteral("baking"), QStringLiteral("Pavlova")));
    QVERIFY(!form.showRecipeNode(QStringLiteral("Pies"), QStringLiteral("Bread")));
    QVERIFY(!form.showRecipeNode(QStringLiteral("Kettlebox Recipe"), QStringLiteral("Soups")));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Bread"));
}

void TestRecipeCommands::startsInBrowsingMode() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(f.fieldsLocked());
    QCOMPARE(f.fields(), QStringList(4, QString()));
    // Categories in name order regardless of case; the last category shown open.
    QCOMPARE(f.tree(), QStringList({"Kettlebox Recipe", "  baking", "    Scones", "    Bread",
                                    "  Soups", "    Tomato Soup", "    Lentil Soup"}));
    QVERIFY(f.isOpen("Soups"));
    QVERIFY(!f.isOpen("baking"));
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Kettlebox Recipe V2.4__https://kettlebox.example"));
    QVERIFY(f.dialogs.prompts().isEmpty());
}

void TestRecipeCommands::clickingRecipesShowsThemAndCategoriesSelect() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Tomato Soup", "Soups");
    QCOMPARE(f.fields(), QStringList({"Tomato Soup ", "Ann", "6 tomatoes\n1 onion",
                                      "Chop.\nSimmer 20 minutes."}));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Tomato Soup"));
    QCOMPARE(f.store().RecipeCategory, QStringLiteral("Soups"));

    // A category click selects it and leaves the shown recipe alone.
    f.clickNode("baking");
    QCOMPARE(f.store().SelectedCategory, QStringLiteral("baking"));
    QCOMPARE(form.Text1->text(), QStringLiteral("Tomato Soup "));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Tomato Soup"));

    // The root changes nothing.
    f.clickNode("Kettlebox Recipe");
    QCOMPARE(f.store().SelectedCategory, QStringLiteral("baking"));
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(f.dialogs.prompts().isEmpty());
}

void TestRecipeCommands::addingSavesIntoTheClickedCategoryAfterYes() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Tomato Soup", "Soups");

    QVERIFY(f.press(form.add));
    QCOMPARE(f.pairs(), kAdding);
    QVERIFY(!f.fieldsLocked());
    QCOMPARE(f.fields(), QStringList(4, QString()));
    QCOMPARE(QApplication::focusWidget(), form.Text1);
    // Categories only while adding.
    QCOMPARE(f.tree(), QStringList({"Kettlebox Recipe", "  baking", "  Soups"}));

    f.clickNode("Soups");
    f.type("  Pea Soup  ", "Di", "peas\nmint", "Blend.");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));

    const QList<Prompt>& prompts = f.dialogs.prompts();
    QCOMPARE(prompts.size(), 2);
    QCOMPARE(prompts[0].text, kSaveQuestion);
    QCOMPARE(prompts[0].style, 276);
    QCOMPARE(prompts[0].title, QStringLiteral("Choose Category"));
    QCOMPARE(prompts[1].text, QStringLiteral("Recipe Added"));
    QCOMPARE(prompts[1].style, 0);
    QCOMPARE(prompts[1].title, QStringLiteral("Kettlebox"));

    QCOMPARE(f.storedNames("Soups"), QStringList({"Tomato Soup", "Lentil Soup", "Pea Soup"}));
    QCOMPARE(f.storedRecipes("Soups").last().ingredients, QStringLiteral("peas\nmint"));
    // Saved: fields empty and locked, full tree, the pair still shown, the category forgotten.
    QCOMPARE(f.pairs(), kAdding);
    QVERIFY(f.fieldsLocked());
    QCOMPARE(f.fields(), QStringList(4, QString()));
    QVERIFY(f.node("Pea Soup", "Soups").isValid());
    QVERIFY(f.store().SelectedCategory.isEmpty());

    // Saving again without a new category click asks for one.
    QVERIFY(f.press(form.Save));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Please Choose a Category"));
    QCOMPARE(f.storedNames("Soups").size(), 3);
}

void TestRecipeCommands::savingAsksAgainAfterNoAndNeedsACategory() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QVERIFY(f.press(form.add));
    f.type("Broth", "", "bones", "Simmer.");

    QVERIFY(f.press(form.Save));
    QCOMPARE(f.dialogs.messages(), QStringList({"Please Choose a Category"}));

    f.clickNode("Soups");
    f.dialogs.answer(vbNo);
    QVERIFY(f.press(form.Save));
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));
    QCOMPARE(f.dialogs.messages(), QStringList({"Please Choose a Category", kSaveQuestion,
                                                kSaveQuestion, "Recipe Added"}));
    QCOMPARE(f.storedNames("Soups"), QStringList({"Tomato Soup", "Lentil Soup", "Broth"}));
    // The author box was empty: it is stored as one space, read back empty.
    QCOMPARE(f.storedRecipes("Soups").last().author, QString());
}

void TestRecipeCommands::cancelLeavesAddingMode() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QVERIFY(f.press(form.add));
    f.clickNode("Soups");
    f.type("Half typed", "", "", "");
    QVERIFY(f.press(form.Cancel));
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(f.fieldsLocked());
    QCOMPARE(f.fields(), QStringList(4, QString()));
    QVERIFY(f.store().SelectedCategory.isEmpty());
    QVERIFY(f.node("Tomato Soup", "Soups").isValid());
    QCOMPARE(f.storedNames("Soups").size(), 2);
}

void TestRecipeCommands::editingWritesTheRowAndLeavesEditingMode() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Lentil Soup", "Soups");
    QVERIFY(f.press(form.Edit));
    QCOMPARE(f.pairs(), kEditing);
    QVERIFY(!f.fieldsLocked());
    QCOMPARE(QApplication::focusWidget(), form.Text1);
    // The tree stays as it was while editing.
    QVERIFY(f.node("Lentil Soup", "Soups").isValid());

    f.type("Red Lentil Soup", "Bob", "1 cup red lentils", "Boil gently.");
    QVERIFY(f.press(form.saveedited));
    QCOMPARE(f.dialogs.messages(), QStringList({"Recipe UpDated"}));
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(f.fieldsLocked());
    QCOMPARE(f.fields(), QStringList(4, QString()));
    // The row keeps its place.
    QCOMPARE(f.storedNames("Soups"), QStringList({"Tomato Soup", "Red Lentil Soup"}));
    QVERIFY(f.node("Red Lentil Soup", "Soups").isValid());
    QVERIFY(f.store().SelectedRecipe.isEmpty());
    QVERIFY(f.store().RecipeCategory.isEmpty());
}

void TestRecipeCommands::editNeedsANameAndCancelEditKeepsTheTyping() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();

    // Adding mode, then Edit with nothing shown: the message, and the adding pair hidden.
    QVERIFY(f.press(form.add));
    QVERIFY(f.press(form.Edit));
    QCOMPARE(f.dialogs.messages(), QStringList({"Please Choose a Recipe To Edit"}));
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(!f.fieldsLocked()); // nothing else changed
    QVERIFY(f.press(form.Cancel) == false);

    f.dialogs.clear();
    QVERIFY(f.press(form.Cancel) == false);
    form.Cancel_Click(); // back to a full tree the way the user would have left
    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.Edit));
    form.Text2->setText("Someone else");
    QVERIFY(f.press(form.canceledit));
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(f.fieldsLocked());
    QCOMPARE(form.Text2->text(), QStringLiteral("Someone else"));
    QVERIFY(f.store().RecipeCategory.isEmpty());
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Tomato Soup"));

    // Edit and Save Edited without a new click write nothing, and say so; the typing and the
    // editing mode stay.
    QVERIFY(f.press(form.Edit));
    QVERIFY(f.press(form.saveedited));
    QCOMPARE(f.pairs(), kEditing);
    QCOMPARE(f.storedRecipes("Soups").first().author, QStringLiteral("Ann"));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY(f.dialogs.messages().first().startsWith(QStringLiteral("Nothing was saved")));
    QCOMPARE(form.Text2->text(), QStringLiteral("Someone else"));
    QVERIFY(!f.fieldsLocked());

    // Clicking the recipe shows the stored values again.
    f.clickNode("Tomato Soup", "Soups");
    QCOMPARE(form.Text2->text(), QStringLiteral("Ann"));
}

void TestRecipeCommands::deleteRemovesTheFirstMatchingRowWithoutAsking() {
    MainFixture f;
    auto collection = sampleCollection();
    collection[0].second.append({QStringLiteral("Tomato Soup"), QStringLiteral("Second"),
                                 QStringLiteral("x"), QStringLiteral("y")});
    f.makeFile(collection);
    Main& form = f.start();

    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages(), QStringList({"Please Choose a Recipe To Delete"}));

    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.messages().last(), QStringLiteral("Record Deleted"));
    QCOMPARE(f.storedNames("Soups"), QStringList({"Lentil Soup", "Tomato Soup"}));
    QCOMPARE(f.storedRecipes("Soups").last().author, QStringLiteral("Second"));
    QCOMPARE(f.fields(), QStringList(4, QString()));
    QCOMPARE(f.pairs(), kBrowsing);
}

void TestRecipeCommands::addWhileEditingAndDelCategoryWhileAdding() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Scones", "baking");
    QVERIFY(f.press(form.Edit));
    QVERIFY(f.press(form.add));
    QCOMPARE(f.pairs(), kAdding);
    QCOMPARE(f.fields(), QStringList(4, QString()));
    QVERIFY(!f.fieldsLocked());
    QCOMPARE(f.tree(), QStringList({"Kettlebox Recipe", "  baking", "  Soups"}));

    f.type("Muffins", "", "", "");
    QVERIFY(f.press(form.xpcmdbutton1));
    QCOMPARE(f.pairs(), kDeletingCategory);
    QVERIFY(!f.fieldsLocked());
    QCOMPARE(form.Text1->text(), QStringLiteral("Muffins"));
    QVERIFY(f.press(form.cancelcata));
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(!f.fieldsLocked());
    QVERIFY(f.node("Scones", "baking").isValid());
}

void TestRecipeCommands::failuresShowOneMessageAndKeepTheMode() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();

    // Save into a category deleted since it was clicked (here by another program).
    QVERIFY(f.press(form.add));
    f.clickNode("Soups");
    {
        auto db = Database::OpenDatabase(f.folder() + QStringLiteral("/Recipe"));
        db->DeleteTableDef(QStringLiteral("Soups"));
        db->Close();
    }
    f.type("Pea Soup", "", "peas", "Blend.");
    f.dialogs.answer(vbYes);
    QVERIFY(f.press(form.Save));
    QCOMPARE(f.dialogs.prompts().size(), 2);
    const Prompt failure = f.dialogs.prompts().last();
    QCOMPARE(failure.style, vbCritical);
    QCOMPARE(failure.title, QStringLiteral("Kettlebox"));
    QVERIFY2(failure.text.contains(QStringLiteral("Soups")), qPrintable(failure.text));
    QVERIFY(!f.dialogs.messages().contains(QStringLiteral("Recipe Added")));
    QCOMPARE(f.pairs(), kAdding);
    QCOMPARE(form.Text1->text(), QStringLiteral("Pea Soup"));
    QVERIFY(!f.fieldsLocked());

    // Delete after Cancel of an edit: the recipe is no longer targeted.
    form.Cancel_Click();
    f.dialogs.clear();
    f.clickNode("Scones", "baking");
    QVERIFY(f.press(form.Edit));
    QVERIFY(f.press(form.canceledit));
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QCOMPARE(f.dialogs.prompts().first().style, vbCritical);
    QVERIFY2(f.dialogs.prompts().first().text.startsWith(QStringLiteral("No recipe is chosen")),
             qPrintable(f.dialogs.prompts().first().text));
    QVERIFY(!f.dialogs.messages().contains(QStringLiteral("Record Deleted")));
    QCOMPARE(f.storedNames("baking"), QStringList({"Scones", "Bread"}));
    QCOMPARE(f.pairs(), kBrowsing);
}

void TestRecipeCommands::websiteAndCaptionButtonsTouchNoRecipeData() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.Edit));
    form.Text1->setText("Unsaved");
    const QByteArray before = fileBytes(f.fileName());

    QVERIFY(f.press(form.Website));
    QCOMPARE(f.opened, QStringList({"https://kettlebox.example/"}));
    QVERIFY(f.dialogs.prompts().isEmpty());
    QCOMPARE(f.pairs(), kEditing);
    QCOMPARE(form.Text1->text(), QStringLiteral("Unsaved"));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Tomato Soup"));

    // The disabled maximise button does nothing.
    QVERIFY(!f.press(form.xptopbuttons2));
    QVERIFY(!form.isMaximized());

    QVERIFY(f.press(form.xptopbuttons3));
    QVERIFY(form.windowState() & Qt::WindowMinimized);
    QCOMPARE(f.ended, 0);

    // Close asks about the typing; No ends the program without writing and empties the
    // shared state.
    f.dialogs.answer(vbNo);
    QVERIFY(f.press(form.xptopbuttons1));
    QCOMPARE(f.ended, 1);
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QVERIFY(f.store().DatabasePath.isEmpty());
    QVERIFY(f.store().SelectedRecipe.isEmpty());
    QVERIFY(f.store().RecipeCategory.isEmpty());
    QVERIFY(!f.store().RecipeDatabase);
    QCOMPARE(fileBytes(f.fileName()), before);
}

void TestRecipeCommands::printShowsTheShownRecipeInThePreview() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QVERIFY(f.press(form.print));
    QCOMPARE(f.dialogs.messages(), QStringList({"Please Choose a Recipe"}));
    QVERIFY(!form.printCommand().preview());

    f.clickNode("Tomato Soup", "Soups");
    QVERIFY(f.press(form.print));
    frmprint* preview = form.printCommand().preview();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Print [ Tomato Soup ] Recipe"));
    QFile text(f.folder() + QStringLiteral("/print.txt"));
    QVERIFY(text.open(QIODevice::ReadOnly));
    QVERIFY(text.readAll().startsWith("Name: Tomato Soup\r\n\r\nAuthor: Ann\r\n"));
    // Printing changes neither the mode nor the fields.
    QCOMPARE(f.pairs(), kBrowsing);
    QCOMPARE(form.Text1->text(), QStringLiteral("Tomato Soup "));
}

QTEST_MAIN(TestRecipeCommands)
#include "test_recipe_commands.moc"
