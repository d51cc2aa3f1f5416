// The Find Recipe window over the real main window: opening it, searching as one types, and
// going to a result as a click on its node would.

#include "core/database.h"
#include "details/details.h"
#include "tests/main/main_fixture.h"
#include "tests/store/store_fixture.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/search/findrecipe.h"

#include <QAccessible>
#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeView>

using namespace kb;
using namespace kb::test;

namespace {

// The names of the events that assistive technology was told of, per object.
QList<QPair<QObject*, QAccessible::Event>> g_events;
void recordEvent(QAccessibleEvent* event) {
    g_events.append({event->object(), event->type()});
}

} // namespace

class TestFindRecipe : public QObject {
    Q_OBJECT

    std::unique_ptr<MainFixture> f;

    QAction* findCommand() {
        for (QAction* a : f->form().treeCommands())
            if (a->text() == QStringLiteral("Find..."))
                return a;
        return nullptr;
    }

    FindRecipe* window() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* find = qobject_cast<FindRecipe*>(w))
                return find;
        return nullptr;
    }

    FindRecipe* openWithKeys() {
        f->form().activateWindow();
        if (!QTest::qWaitForWindowActive(&f->form()))
            qWarning("main window not active");
        QTest::keyClick(f->form().Tv, Qt::Key_F, Qt::ControlModifier);
        FindRecipe* w = window();
        if (w)
            (void)QTest::qWaitForWindowExposed(w);
        return w;
    }

    QStringList rows() {
        QStringList out;
        for (int i = 0; i < window()->results->count(); ++i)
            out << window()->results->item(i)->data(FindRecipe::NameRole).toString();
        return out;
    }

  private slots:
    void init() {
        f = std::make_unique<MainFixture>();
        f->makeFile(sampleCollection());
        f->start();
    }
    void cleanup() { f.reset(); }

    void ctrlFOpensTheSkinnedWindowWithTheFocusInTheSearchBox() {
        QAction* find = findCommand();
        QVERIFY(find);
        QCOMPARE(find->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        FindRecipe* w = openWithKeys();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QVERIFY(!w->isModal());
        QCOMPARE(w->frame->Caption(), QStringLiteral("Find Recipe"));
        QTRY_VERIFY(w->words->hasFocus());
        QCOMPARE(w->words->accessibleName(), QStringLiteral("Search words"));
        QCOMPARE(w->results->accessibleName(), QStringLiteral("Found recipes"));
        // The main window still takes clicks while it is open.
        f->clickNode(QStringLiteral("Bread"), QStringLiteral("baking"));
        QCOMPARE(f->store().SelectedRecipe, QStringLiteral("Bread"));

        QTest::keyClick(w->words, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        // The menu entry opens the same window again.
        find->trigger();
        QCOMPARE(window(), w);
        QVERIFY(w->isVisible());
    }

    void typingListsTheMatchesBestFirstAndTheCountIsAnnounced() {
        QAccessible::setActive(true);
        QAccessible::installUpdateHandler(recordEvent);
        FindRecipe* w = openWithKeys();
        QTest::keyClicks(w->words, QStringLiteral("flo"));
        QCOMPARE(rows(), (QStringList{QStringLiteral("Scones"), QStringLiteral("Bread")}));
        QCOMPARE(w->count->text(), QStringLiteral("2 recipes found"));
        QCOMPARE(w->count->accessibleName(), w->count->text());
        // The count's name is the count, and changing it tells assistive technology (where
        // the platform has any: the offscreen one in the test runs has none).
        const auto announced = [&](const QString& text) {
            return w->count->accessibleName() == text &&
                   (!QAccessible::isActive() ||
                    g_events.contains(
                        qMakePair(static_cast<QObject*>(w->count), QAccessible::NameChanged)));
        };
        QVERIFY(announced(QStringLiteral("2 recipes found")));
        g_events.clear();
        QTest::keyClicks(w->words, QStringLiteral("ur kn"));
        QCOMPARE(rows(), QStringList{QStringLiteral("Bread")});
        QVERIFY(announced(QStringLiteral("1 recipe found")));
        const QListWidgetItem* row = w->results->item(0);
        QCOMPARE(row->data(FindRecipe::CategoryRole).toString(), QStringLiteral("baking"));
        QVERIFY(row->text().contains(QStringLiteral("«Knead»")));
        QVERIFY(row->data(Qt::AccessibleTextRole)
                    .toString()
                    .startsWith(QStringLiteral("Bread, in baking")));
        w->words->setText(QStringLiteral("nothing like it"));
        QCOMPARE(w->results->count(), 0);
        QCOMPARE(w->count->text(), QStringLiteral("No recipe found"));
        QAccessible::installUpdateHandler(nullptr);
        g_events.clear();
    }

    void tagsNotesAndSourceAreSearchedAndAPhotoShows() {
        {
            auto db = Database::OpenDatabase(f->folder() + QStringLiteral("/Recipe"));
            Details d;
            d.tags = {QStringLiteral("Winter Warmer")};
            QImage image(64, 32, QImage::Format_RGB32);
            image.fill(Qt::red);
            QByteArray png;
            QBuffer out(&png);
            out.open(QIODevice::WriteOnly);
            image.save(&out, "PNG");
            d.photos = {photoFromBytes(png)};
            writeDetails(*db, QStringLiteral("Soups"), QStringLiteral("Lentil Soup"), d);
            d.photos.clear();
            d.tags.clear();
            d.notes = QStringLiteral("Grandma's, for a winter evening");
            writeDetails(*db, QStringLiteral("baking"), QStringLiteral("Bread"), d);
        }
        FindRecipe* w = openWithKeys();
        QTest::keyClicks(w->words, QStringLiteral("winter"));
        QCOMPARE(rows(), (QStringList{QStringLiteral("Bread"), QStringLiteral("Lentil Soup")}));
        QVERIFY(w->results->item(1)->text().contains(QStringLiteral("Tags: Winter Warmer")));
        QVERIFY(!w->results->item(1)->icon().isNull());
        QVERIFY(w->results->item(0)->icon().isNull());
        // Found by a field and by a detail, a recipe is listed once.
        w->words->setText(QStringLiteral("lentil"));
        QCOMPARE(rows(), QStringList{QStringLiteral("Lentil Soup")});
    }

    void goingToAResultSelectsItAsAClickWould() {
        // What a click does, as the reference.
        f->clickNode(QStringLiteral("Lentil Soup"), QStringLiteral("Soups"));
        const QStringList clickedFields = f->fields();
        const QString clickedRecipe = f->store().SelectedRecipe;
        const QString clickedCategory = f->store().RecipeCategory;
        f->clickNode(QStringLiteral("Scones"), QStringLiteral("baking"));
        f->form().Tv->collapse(f->node(QStringLiteral("Soups")));
        f->form().Tv->scrollToTop();

        FindRecipe* w = openWithKeys();
        QTest::keyClicks(w->words, QStringLiteral("lentils"));
        QCOMPARE(rows(), QStringList{QStringLiteral("Lentil Soup")});
        QTest::keyClick(w->words, Qt::Key_Return);

        const QModelIndex node = f->node(QStringLiteral("Lentil Soup"), QStringLiteral("Soups"));
        QCOMPARE(f->form().Tv->currentIndex(), node);
        QVERIFY(f->form().Tv->selectionModel()->isSelected(node));
        QVERIFY(f->form().Tv->isExpanded(node.parent()));
        QVERIFY(f->form().Tv->viewport()->rect().intersects(f->form().Tv->visualRect(node)));
        QCOMPARE(f->store().SelectedRecipe, clickedRecipe);
        QCOMPARE(f->store().RecipeCategory, clickedCategory);
        QCOMPARE(f->fields(), clickedFields);
        QCOMPARE(f->pairs(), kBrowsing);

        // A double click on a row goes there too.
        w->words->setText(QStringLiteral("bake"));
        QCOMPARE(rows(), QStringList{QStringLiteral("Scones")});
        const QRect at = w->results->visualItemRect(w->results->item(0));
        QTest::mouseClick(w->results->viewport(), Qt::LeftButton, {}, at.center());
        QTest::mouseDClick(w->results->viewport(), Qt::LeftButton, {}, at.center());
        QCOMPARE(f->store().SelectedRecipe, QStringLiteral("Scones"));
        QCOMPARE(f->store().RecipeCategory, QStringLiteral("baking"));
        QVERIFY(f->dialogs.prompts().isEmpty());
    }

    void wordsInsideLongerWordsAreListedOnceTypingPauses() {
        FindRecipe* w = openWithKeys();
        QTest::keyClicks(w->words, QStringLiteral("oup"));
        QCOMPARE(w->results->count(), 0);
        QTRY_COMPARE(rows(),
                     (QStringList{QStringLiteral("Tomato Soup"), QStringLiteral("Lentil Soup")}));
        QCOMPARE(w->count->text(), QStringLiteral("2 recipes found"));
    }

    void resultsShowAuthorAndCategoryAndMoreThanTheBestOnAsking() {
        f = std::make_unique<MainFixture>();
        QList<Recipe> many;
        for (int i = 1; i <= 205; ++i)
            many << Recipe{QStringLiteral("Broth %1").arg(i), QStringLiteral("Ann"),
                           QStringLiteral("water"), QStringLiteral("Boil.")};
        f->makeFile({{QStringLiteral("Soups"), many}});
        f->start();
        FindRecipe* w = openWithKeys();
        QTest::keyClicks(w->words, QStringLiteral("broth"));
        QCOMPARE(w->results->count(), FindRecipe::kShown + 1);
        QVERIFY(w->results->item(0)->text().startsWith(
            QStringLiteral("Broth 1  \u2014  in Soups, by Ann\n")));
        QListWidgetItem* more = w->results->item(FindRecipe::kShown);
        QVERIFY(more->data(FindRecipe::MoreRole).toBool());
        QCOMPARE(more->text(), QStringLiteral("Show 5 more of the 205 found..."));
        w->results->setCurrentItem(more);
        QTest::keyClick(w->words, Qt::Key_Return);
        QCOMPARE(w->results->count(), 205);
        // The place is kept: the first of the newly listed.
        QCOMPARE(w->results->currentRow(), FindRecipe::kShown);
        QCOMPARE(w->results->currentItem()->data(FindRecipe::NameRole).toString(),
                 QStringLiteral("Broth 201"));
        QVERIFY(f->dialogs.prompts().isEmpty());
    }

    void inAddingModeItSaysSoInstead() {
        f->clickNode(QStringLiteral("Bread"), QStringLiteral("baking"));
        QVERIFY(f->press(f->form().add));
        FindRecipe* w = openWithKeys();
        w->words->setText(QStringLiteral("lentils"));
        f->dialogs.answer(vbOK);
        w->goToCurrent();
        QCOMPARE(f->dialogs.messages().size(), 1);
        QVERIFY(f->dialogs.messages().at(0).contains(QStringLiteral("Lentil Soup")));
        QCOMPARE(f->pairs(), kAdding);
        QCOMPARE(f->store().SelectedRecipe, QStringLiteral("Bread"));
    }

    void aRecipeSavedInTheWindowIsFoundAtOnce() {
        FindRecipe* w = openWithKeys();
        QVERIFY(f->press(f->form().add));
        f->clickNode(QStringLiteral("Soups"));
        f->type(QStringLiteral("Pea Soup"), QStringLiteral("Dee"), QStringLiteral("frozen peas"),
                QStringLiteral("Blend."));
        f->dialogs.answer(vbYes);
        f->dialogs.answer(vbOK);
        QVERIFY(f->press(f->form().Save));
        QCOMPARE(f->storedNames(QStringLiteral("Soups")).size(), 3);
        w->words->setText(QStringLiteral("frozen"));
        QCOMPARE(rows(), QStringList{QStringLiteral("Pea Soup")});
        // Index and recipe file agree: opening again rebuilds nothing.
        QVERIFY(!QFile::exists(f->folder() + QStringLiteral("/Recipe.index.unreadable")));
    }

    void aFileChangedElsewhereIsIndexedAgainOnOpening() {
        FindRecipe* w = openWithKeys();
        w->close();
        rawExec(f->fileName(),
                QStringLiteral(
                    "INSERT INTO \"Soups\" VALUES ('Fish Soup ', 'Al ', 'cod ', 'Poach. ')"));
        w = openWithKeys();
        QTest::keyClicks(w->words, QStringLiteral("cod"));
        QCOMPARE(rows(), QStringList{QStringLiteral("Fish Soup")});
        // The tree was filled before the change: going there says so and changes nothing.
        f->dialogs.answer(vbOK);
        QTest::keyClick(w->words, Qt::Key_Return);
        QCOMPARE(f->dialogs.messages(),
                 QStringList{QStringLiteral("\"Fish Soup\" is not in the tree under \"Soups\".")});
        QCOMPARE(f->store().SelectedRecipe, QString());
    }
};

QTEST_MAIN(TestFindRecipe)
#include "test_findrecipe.moc"
