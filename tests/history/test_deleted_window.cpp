// The "Deleted Recipes" window, and the check of the recipe file after start-up.

#include "tests/history/history_fixture.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/history/deletedrecipeswindow.h"
#include "ui/history/historyfeature.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

using namespace kb;
using namespace kb::test;

class TestDeletedWindow : public QObject {
    Q_OBJECT

  private slots:
    void listsNewestFirstShowsReadOnlyAndPutsBackAfterAsking() {
        HistoryFixture f;
        f.makeCategory("Soups");
        f.addRow("Soups", {"Leek ", "Ann ", "2 leeks ", "Boil. "});
        f.addRecipe("Soups", "Onion");
        f.store->DeleteRecipe("Soups", "Leek");
        f.store->DeleteRecipe("Soups", "Onion");
        f.dialogs.clear();

        DeletedRecipesWindow w(*f.store, f.dialogs);
        w.show();
        QCOMPARE(w.list->topLevelItemCount(), 2);
        QCOMPARE(w.list->topLevelItem(0)->text(0), QStringLiteral("Onion"));
        QCOMPARE(w.list->topLevelItem(0)->text(1), QStringLiteral("Soups"));
        QCOMPARE(w.list->topLevelItem(0)->text(3), QStringLiteral("deleted"));
        w.list->setCurrentItem(w.list->topLevelItem(1));
        QCOMPARE(w.nameBox->text(), QStringLiteral("Leek "));
        QCOMPARE(w.ingredientsBox->toPlainText(), QStringLiteral("2 leeks "));
        for (QWidget* box : std::initializer_list<QWidget*>{w.nameBox, w.authorBox})
            QVERIFY(static_cast<QLineEdit*>(box)->isReadOnly());
        QVERIFY(w.ingredientsBox->isReadOnly() && w.instructionsBox->isReadOnly());
        for (QWidget* child : w.findChildren<QWidget*>())
            if (child->isVisible() && child->focusPolicy() != Qt::NoFocus)
                QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(child->objectName()));

        // "No" leaves everything as it is.
        f.dialogs.answer(vbNo);
        w.putBack();
        QCOMPARE(f.dialogs.prompts().last().text,
                 QStringLiteral("Put the recipe \"Leek\" back into the category \"Soups\"?"));
        QCOMPARE(w.list->topLevelItemCount(), 2);

        f.dialogs.answer(vbYes);
        w.putBack();
        QCOMPARE(w.list->topLevelItemCount(), 1);
        QCOMPARE(f.rows("Soups"), (QList<Row>{{"Leek ", "Ann ", "2 leeks ", "Boil. "}}));
        QCOMPARE(f.tree(), (QStringList{"Kettlebox Recipe", "  Soups", "    Leek"}));
    }

    void escapeClosesIt() {
        HistoryFixture f;
        QPointer<DeletedRecipesWindow> w = new DeletedRecipesWindow(*f.store, f.dialogs);
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::keyClick(w->list, Qt::Key_Escape);
        QTRY_VERIFY(!w); // closed, and gone with it
    }

    void aDamagedFileIsToldOnceAfterStartUp() {
        HistoryFixture f;
        f.makeCategory("Soups");
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
               "INSERT INTO Soups SELECT 'r' || i, hex(randomblob(300)), 'I', 'S' FROM n");
        {
            QWidget window;
            HistoryFeature clean(&window, *f.store, f.dialogs, f.dir.path());
            QSignalSpy done(&clean, &HistoryFeature::checkFinished);
            QVERIFY(done.wait(10000));
            QVERIFY(f.dialogs.prompts().isEmpty());
        }
        const QString backup = backupRecipeFile(f.base);
        flipByte(f.fileName());
        QWidget window;
        HistoryFeature feature(&window, *f.store, f.dialogs, f.dir.path());
        QSignalSpy done(&feature, &HistoryFeature::checkFinished);
        QVERIFY(done.wait(10000));
        QCOMPARE(f.dialogs.prompts().size(), 1);
        QVERIFY(f.dialogs.prompts().first().text.contains(backup));
        QCOMPARE(f.dialogs.prompts().first().style, vbCritical);
    }

    void aBadlyDamagedFileIsToldInAFewLines() {
        HistoryFixture f;
        f.makeCategory("Soups");
        f.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
               "INSERT INTO Soups SELECT 'r' || i, hex(randomblob(300)), 'I', 'S' FROM n");
        const QString backup = backupRecipeFile(f.base);
        const qint64 size = QFileInfo(f.fileName()).size();
        for (int i = 0; i < 8; ++i)
            flipByte(f.fileName(), size / 4 + i * (size / 16) + 100);
        QWidget window;
        HistoryFeature feature(&window, *f.store, f.dialogs, f.dir.path());
        QSignalSpy done(&feature, &HistoryFeature::checkFinished);
        QVERIFY(done.wait(10000));
        QCOMPARE(f.dialogs.prompts().size(), 1);
        const Prompt& box = f.dialogs.prompts().first();
        QVERIFY2(box.text.count(QLatin1Char('\n')) <= 10, qPrintable(box.text));
        QVERIFY(box.text.contains(backup));
        QVERIFY(box.text.contains(QStringLiteral("kettlebox-db restore")));
        if (!box.details.isEmpty())
            QVERIFY(box.text.contains(QStringLiteral("Show Details")));
    }
};

QTEST_MAIN(TestDeletedWindow)
#include "test_deleted_window.moc"
