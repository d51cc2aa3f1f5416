// The Shopping List window over the real main window: reached by Ctrl+L and the tree's menu,
// recipes added from the tree, lines ticked by Space and kept, the factor changed, the list
// exported and emptied, every field named for a screen reader, and the window resizable.

#include "core/database.h"
#include "kitchen/shoppingstore.h"
#include "tests/main/main_fixture.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/shopping/shoppinglist.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace kb;
using namespace kb::test;

class TestShoppingList : public QObject {
    Q_OBJECT

    std::unique_ptr<MainFixture> f;

    QAction* command(const QString& text) {
        for (QAction* a : f->form().treeCommands())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    ShoppingList* window() { return f->form().findChild<ShoppingList*>(); }
    QStringList shown() {
        QStringList out;
        for (const kitchen::ShoppingLine& l : window()->lines())
            out << l.text();
        return out;
    }
    QTreeWidgetItem* lineItem(const QString& text) {
        for (QTreeWidgetItem* i :
             window()->items->findItems(text, Qt::MatchExactly | Qt::MatchRecursive))
            return i;
        return nullptr;
    }
    void addFromTree(const QString& name, const QString& category) {
        f->clickNode(name, category);
        QAction* add = command(QStringLiteral("Add to Shopping List"));
        QVERIFY(add);
        add->trigger();
    }

  private slots:
    void init() {
        f = std::make_unique<MainFixture>();
        f->makeFile(sampleCollection());
        f->start();
    }
    void cleanup() { f.reset(); }

    void opensByCtrlLAndAddsTheRecipeChosenInTheTree() {
        QAction* open = command(QStringLiteral("Shopping List..."));
        QVERIFY(open);
        QCOMPARE(open->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        // Nothing chosen: the program's own words, and no list touched.
        command(QStringLiteral("Add to Shopping List"))->trigger();
        QCOMPARE(f->dialogs.messages(), QStringList{QStringLiteral("Please Choose a Recipe")});
        f->dialogs.clear();

        addFromTree(QStringLiteral("Tomato Soup"), QStringLiteral("Soups"));
        addFromTree(QStringLiteral("Lentil Soup"), QStringLiteral("Soups"));
        QVERIFY(window() && window()->isVisible());
        QCOMPARE(window()->recipes->topLevelItemCount(), 2);
        QCOMPARE(shown(), QStringList({QStringLiteral("1 onion"), QStringLiteral("6 tomatoes"),
                                       QStringLiteral("1 cup lentils")}));
        // The factor of a recipe, as the cook sets it, scales its lines.
        window()->recipes->setCurrentItem(window()->recipes->topLevelItem(0));
        window()->factor->setValue(2);
        QCOMPARE(shown(), QStringList({QStringLiteral("2 onions"), QStringLiteral("12 tomatoes"),
                                       QStringLiteral("1 cup lentils")}));
        QVERIFY(f->dialogs.messages().isEmpty());
    }

    void ticksBySpaceAndKeepsTheTicks() {
        addFromTree(QStringLiteral("Tomato Soup"), QStringLiteral("Soups"));
        QTreeWidgetItem* onion = lineItem(QStringLiteral("1 onion"));
        QVERIFY(onion);
        window()->items->setFocus();
        window()->items->setCurrentItem(onion);
        QTest::keyClick(window()->items, Qt::Key_Space);
        QCOMPARE(onion->checkState(0), Qt::Checked);
        window()->close();
        auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
        QCOMPARE(kitchen::tickedLines(*db).size(), 1);
        db->Close();
        command(QStringLiteral("Shopping List..."))->trigger();
        QCOMPARE(lineItem(QStringLiteral("1 onion"))->checkState(0), Qt::Checked);
        QVERIFY(window()->status->text().startsWith(QStringLiteral("1 of 2")));
    }

    void exportsAsTextAndEmptiesOnRequest() {
        addFromTree(QStringLiteral("Tomato Soup"), QStringLiteral("Soups"));
        const QString file = f->folder() + QStringLiteral("/list");
        f->dialogs.answerFile(file);
        window()->exportList();
        QFile out(file + QStringLiteral(".txt"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(out.readAll()),
                 QStringLiteral("Produce\n[ ] 1 onion  — Tomato Soup\n"
                                "[ ] 6 tomatoes  — Tomato Soup\n"));
        // Asked first; No keeps the list.
        f->dialogs.answer(vbNo);
        window()->emptyList();
        QCOMPARE(window()->recipes->topLevelItemCount(), 1);
        f->dialogs.answer(vbYes);
        window()->emptyList();
        QCOMPARE(window()->recipes->topLevelItemCount(), 0);
        QVERIFY(shown().isEmpty());
    }

    void correctsAnAisleAndKeepsIt() {
        addFromTree(QStringLiteral("Lentil Soup"), QStringLiteral("Soups"));
        window()->items->setCurrentItem(lineItem(QStringLiteral("1 cup lentils")));
        QVERIFY(window()->aisle->isEnabled());
        window()->aisle->setCurrentIndex(static_cast<int>(kitchen::Aisle::Other));
        emit window()->aisle->activated(static_cast<int>(kitchen::Aisle::Other));
        QCOMPARE(window()->lines().front().aisle, kitchen::Aisle::Other);
        window()->close();
        command(QStringLiteral("Shopping List..."))->trigger();
        QCOMPARE(window()->lines().front().aisle, kitchen::Aisle::Other);
    }

    void namesEveryFieldAndResizes() {
        command(QStringLiteral("Shopping List..."))->trigger();
        ShoppingList* w = window();
        QVERIFY(w && QTest::qWaitForWindowExposed(w));
        QVERIFY(!w->accessibleName().isEmpty());
        for (QWidget* child : w->findChildren<QWidget*>())
            if (child->focusPolicy() != Qt::NoFocus && child->isVisible())
                QVERIFY2(!child->accessibleName().isEmpty(),
                         qPrintable(child->metaObject()->className() + QStringLiteral(" ") +
                                    child->objectName()));
        const int before = w->items->width();
        w->resize(w->width() + 200, w->height() + 150);
        QApplication::processEvents();
        QCOMPARE(w->items->width(), before + 200);
        QCOMPARE(w->frame->size(), w->size());
    }
};

QTEST_MAIN(TestShoppingList)
#include "test_shoppinglist.moc"
