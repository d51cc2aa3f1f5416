// The window by keyboard and through the tree's context menu: what the keys show and press,
// and which node the menu's commands act on.
#include "main_fixture.h"

#include "ui/controls/xpcmdbutton.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace kb;
using namespace kb::test;

namespace {

// Opens the tree's context menu with a right click on `node`, runs the entry `entry` from the
// open menu and closes it.
void rightClickAndRun(MainFixture& f, const QModelIndex& node, const QString& entry) {
    Main& form = f.form();
    const QPoint at = form.Tv->visualRect(node).center();
    QTest::mousePress(form.Tv->viewport(), Qt::RightButton, {}, at);
    QTimer::singleShot(0, [&form, entry] {
        QMenu* menu = form.treeMenu();
        QVERIFY(menu->isVisible());
        for (QAction* a : menu->actions())
            if (a->text() == entry)
                a->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, form.Tv->viewport()->mapToGlobal(at));
    QApplication::sendEvent(form.Tv->viewport(), &event);
    QTest::mouseRelease(form.Tv->viewport(), Qt::RightButton, {}, at);
}

} // namespace

class TestKeysAndMenu : public QObject {
    Q_OBJECT

  private slots:
    void arrowKeysShowTheHighlightedRecipe();
    void everyButtonHasAKeyThatPressesTheShownOne();
    void menuCommandsActOnTheRightClickedNode();
    void theMenuIsTheSameForEveryOpening();
};

void TestKeysAndMenu::arrowKeysShowTheHighlightedRecipe() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Tomato Soup", "Soups");
    form.Tv->setFocus();
    QTest::keyClick(form.Tv, Qt::Key_Down);
    QCOMPARE(form.Tv->currentIndex().data().toString(), QStringLiteral("Lentil Soup"));
    QCOMPARE(f.fields(), QStringList({"Lentil Soup ", "Bob", "1 cup lentils", "Boil."}));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Lentil Soup"));

    QTest::keyClick(form.Tv, Qt::Key_Up);
    QCOMPARE(form.Text1->text(), QStringLiteral("Tomato Soup "));
    // Up onto a category chooses it, as a click on it does, and leaves the recipe shown.
    QTest::keyClick(form.Tv, Qt::Key_Up);
    QCOMPARE(form.Tv->currentIndex().data().toString(), QStringLiteral("Soups"));
    QCOMPARE(f.store().SelectedCategory, QStringLiteral("Soups"));
    QCOMPARE(form.Text1->text(), QStringLiteral("Tomato Soup "));
    QTest::keyClick(form.Tv, Qt::Key_End);
    QCOMPARE(form.Tv->currentIndex().data().toString(), QStringLiteral("Lentil Soup"));
    QCOMPARE(form.Text1->text(), QStringLiteral("Lentil Soup "));
    QVERIFY(f.dialogs.prompts().isEmpty());
}

void TestKeysAndMenu::everyButtonHasAKeyThatPressesTheShownOne() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    for (xpcmdbutton* b : {form.add, form.Edit, form.Save, form.saveedited, form.delete_,
                           form.delcatagroy, form.Cancel, form.canceledit, form.cancelcata,
                           form.print, form.xpcmdbutton1, form.xpcmdbutton2})
        QVERIFY2(b->accessibleDescription().contains(QStringLiteral("Key: ")),
                 qPrintable(b->objectName()));
    QVERIFY(form.delete_->accessibleDescription().endsWith(QStringLiteral("Key: Del.")));
    const QRect addAt = form.add->geometry();

    f.clickNode("Bread", "baking");
    form.Tv->setFocus();
    QTest::keyClick(&form, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(f.pairs(), kEditing);
    // Delete in a field that takes typing deletes a letter, never the recipe.
    form.Text1->setFocus();
    form.Text1->setCursorPosition(0);
    QTest::keyClick(form.Text1, Qt::Key_Delete);
    QCOMPARE(form.Text1->text(), QStringLiteral("read "));
    QCOMPARE(f.storedNames("baking"), QStringList({"Scones", "Bread"}));
    QTest::keyClick(form.Text1, Qt::Key_Escape);
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(f.fieldsLocked());

    QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(f.pairs(), kAdding);
    QTest::keyClick(&form, Qt::Key_Escape);
    QCOMPARE(f.pairs(), kBrowsing);

    QTest::keyClick(&form, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(f.pairs(), kDeletingCategory);
    QTest::keyClick(&form, Qt::Key_Escape);
    QCOMPARE(f.pairs(), kBrowsing);

    // Space presses the button that has the focus.
    form.add->setFocus(Qt::TabFocusReason);
    QTest::keyClick(form.add, Qt::Key_Space);
    QCOMPARE(f.pairs(), kAdding);
    QTest::keyClick(&form, Qt::Key_Escape);

    f.clickNode("Scones", "baking");
    form.Tv->setFocus();
    QTest::keyClick(form.Tv, Qt::Key_Delete);
    QCOMPARE(f.storedNames("baking"), QStringList({"Bread"}));
    QCOMPARE(f.dialogs.messages(), QStringList({"Record Deleted"}));
    // Keys move nothing on the form.
    QCOMPARE(form.add->geometry(), addAt);
}

void TestKeysAndMenu::menuCommandsActOnTheRightClickedNode() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Bread", "baking");
    f.dialogs.answerFile(QString()); // the export's file dialog, cancelled
    rightClickAndRun(f, f.node("Soups"), QStringLiteral("Export Category..."));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QVERIFY2(f.dialogs.prompts().first().defaultText.endsWith(QStringLiteral("/Soups.jsonld")),
             qPrintable(f.dialogs.prompts().first().defaultText));
    // The window's own choice and the highlight are as they were.
    QCOMPARE(form.Tv->currentIndex().data().toString(), QStringLiteral("Bread"));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Bread"));
    QCOMPARE(f.store().RecipeCategory, QStringLiteral("baking"));
    QCOMPARE(form.Text1->text(), QStringLiteral("Bread "));

    f.dialogs.clear();
    f.dialogs.answerFile(QString());
    rightClickAndRun(f, f.node("Lentil Soup", "Soups"), QStringLiteral("Export Recipe..."));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QVERIFY(
        f.dialogs.prompts().first().defaultText.endsWith(QStringLiteral("/Lentil Soup.jsonld")));
}

void TestKeysAndMenu::theMenuIsTheSameForEveryOpening() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    QMenu* menu = form.treeMenu();
    QCOMPARE(menu->actions(), form.treeCommands());
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, [menu, &form] {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(menu);
            QVERIFY(a);
            QCOMPARE(a->childCount(), static_cast<int>(form.treeCommands().size()));
            for (int i = 0; i < a->childCount(); ++i) {
                QVERIFY(a->child(i));
                QCOMPARE(a->child(i)->text(QAccessible::Name), form.treeCommands().at(i)->text());
            }
            menu->close();
        });
        QTest::mouseClick(form.Tv->viewport(), Qt::RightButton, {}, {5, 5});
        QContextMenuEvent event(QContextMenuEvent::Keyboard, {5, 5},
                                form.Tv->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(form.Tv, &event);
        QCOMPARE(form.treeMenu(), menu);
    }
}

QTEST_MAIN(TestKeysAndMenu)
#include "test_keys_and_menu.moc"
