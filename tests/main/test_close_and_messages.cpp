// Closing with typing on screen, the words after a delete, and the multi-step commands that
// must stop cleanly on any question: each through the real window with scripted answers.
#include "main_fixture.h"

#include "platform/browser.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/exchange/exchangecommands.h"
#include "ui/history/deletedrecipeswindow.h"
#include "ui/print/frmprint.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTreeView>

using namespace kb;
using namespace kb::test;

namespace {

void run(Main& form, const QString& text) {
    for (QAction* a : form.treeCommands())
        if (a->text() == text) {
            a->trigger();
            return;
        }
    QFAIL(qPrintable("no command " + text));
}

template <typename W> W* topLevel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<W*>(w); found && found->isVisible())
            return found;
    return nullptr;
}

} // namespace

class TestCloseAndMessages : public QObject {
    Q_OBJECT

  private slots:
    void closingWithTypingAsksAndStayKeepsIt();
    void deleteSaysHowToPutTheRecipeBack();
    void cookbookQuestionsCancelAndItsPageIsPrivate();
    void importCancelledAtItsLastQuestionWritesNothing();
};

void TestCloseAndMessages::closingWithTypingAsksAndStayKeepsIt() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Bread", "baking");
    QVERIFY(f.press(form.Edit));
    form.Text2->setText(QStringLiteral("Dee"));

    f.dialogs.answer(vbCancel);
    QVERIFY(!form.close());
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QCOMPARE(f.dialogs.prompts().first().style, vbYesNoCancel + vbExclamation);
    QVERIFY(form.isVisible());
    QCOMPARE(f.ended, 0);
    QCOMPARE(f.pairs(), kEditing);
    QCOMPARE(form.Text2->text(), QStringLiteral("Dee"));

    // Yes saves, then closes.
    f.dialogs.answer(vbYes);
    form.close();
    QCOMPARE(f.ended, 1);
    QCOMPARE(f.storedRecipes("baking").at(1).author, QStringLiteral("Dee"));

    // While adding: No closes without writing; nothing typed asks nothing.
    MainFixture g;
    g.makeFile(sampleCollection());
    Main& other = g.start();
    QVERIFY(g.press(other.add));
    other.close();
    QCOMPARE(g.ended, 1);
    QVERIFY(g.dialogs.prompts().isEmpty());

    MainFixture h;
    h.makeFile(sampleCollection());
    Main& third = h.start();
    QVERIFY(h.press(third.add));
    h.clickNode("Soups");
    h.type("Pea Soup", "", "peas", "");
    h.dialogs.answer(vbNo);
    third.close();
    QCOMPARE(h.ended, 1);
    QCOMPARE(h.storedNames("Soups"), QStringList({"Tomato Soup", "Lentil Soup"}));
}

void TestCloseAndMessages::deleteSaysHowToPutTheRecipeBack() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.clickNode("Scones", "baking");
    QVERIFY(f.press(form.delete_));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    const Prompt& box = f.dialogs.prompts().first();
    QCOMPARE(box.text, QStringLiteral("Record Deleted"));
    QCOMPARE(box.style, vbOKOnly);
    QVERIFY2(box.informative.contains(QStringLiteral("Deleted Recipes (Ctrl+Shift+D)")),
             qPrintable(box.informative));

    run(form, QStringLiteral("Deleted Recipes..."));
    auto* deleted = topLevel<DeletedRecipesWindow>();
    QVERIFY(deleted);
    QCOMPARE(deleted->status->text(), QStringLiteral("1 recipe in the history."));
    // A reader says the line itself, not a name in its place.
    QCOMPARE(deleted->status->accessibleName(), deleted->status->text());
    deleted->close();
}

void TestCloseAndMessages::cookbookQuestionsCancelAndItsPageIsPrivate() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    auto* commands = form.findChild<ExchangeCommands*>(QStringLiteral("exchangeCommands"));
    QVERIFY(commands);

    // Nothing chosen: the whole collection, asked with a Cancel.
    f.dialogs.answer(vbCancel);
    run(form, QStringLiteral("Print Cookbook..."));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QCOMPARE(f.dialogs.prompts().first().style, vbOKCancel + vbQuestion);
    QVERIFY(!commands->cookbookPreview());

    f.dialogs.answer(vbOK);
    run(form, QStringLiteral("Print Cookbook..."));
    QPointer<frmprint> preview = commands->cookbookPreview();
    QVERIFY(preview && preview->isVisible());
    QCOMPARE(f.dialogs.progressShown().size(), 1);
    QVERIFY(!QFileInfo::exists(f.folder() + QStringLiteral("/cookbook.htm")));
    const QString page = preview->WB->source().toLocalFile();
    QVERIFY2(QFileInfo::exists(page), qPrintable(page));
    QVERIFY(!page.startsWith(f.folder()));
    QCOMPARE(QFileInfo(QFileInfo(page).path()).permissions() &
                 (QFileDevice::ReadGroup | QFileDevice::ReadOther),
             QFileDevice::Permissions());

    // A category chosen: its question's Cancel prints nothing and leaves the preview alone.
    f.clickNode("Soups");
    f.dialogs.answer(vbCancel);
    run(form, QStringLiteral("Print Cookbook..."));
    QCOMPARE(preview->Caption(), QStringLiteral("Print [ Kettlebox Cookbook ]"));

    preview->close();
    QTRY_VERIFY(!preview);
    QVERIFY(!QFileInfo::exists(page));
    QVERIFY(!QFileInfo::exists(QFileInfo(page).path()));
}

void TestCloseAndMessages::importCancelledAtItsLastQuestionWritesNothing() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QStringList before = f.tables();
    f.dialogs.answerFile(f.folder() + QStringLiteral("/none.jsonld"));
    f.dialogs.answerInput(QStringLiteral("Imported"));
    f.dialogs.answer(vbCancel);
    run(form, QStringLiteral("Import Recipes..."));
    QCOMPARE(f.dialogs.prompts().last().style, vbYesNoCancel + vbQuestion);
    QCOMPARE(f.dialogs.messages().size(), 1); // the question alone: no report
    QCOMPARE(f.tables(), before);
}

QTEST_MAIN(TestCloseAndMessages)
#include "test_close_and_messages.moc"
