// Start-up without a file, the window's layout and keyboard order, and what assistive
// technology finds on it.
#include "main_fixture.h"
#include "tests/support/files.h"

#include "core/database.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"

#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeView>

using namespace kb;
using namespace kb::test;

class TestStartupAndLayout : public QObject {
    Q_OBJECT

  private slots:
    void missingFileGivesAnEmptyWindowWithoutAMessage();
    void unreadableFilesAreTreatedAlike();
    void controlsStandWhereTheFormPutsThem();
    void tabFollowsTheTabOrder();
    void everyControlIsNamedForAssistiveTechnology();
    void emptyRecipeNameIsTakenForACategory();
    void vanishedCategoryIsReportedOnClick();
};

void TestStartupAndLayout::missingFileGivesAnEmptyWindowWithoutAMessage() {
    MainFixture f;
    Main& form = f.start();
    QCOMPARE(form.Tv->model()->rowCount(), 0);
    QVERIFY(f.dialogs.prompts().isEmpty());
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Kettlebox Recipe V2.4__https://kettlebox.example"));
    QCOMPARE(form.xp_canvas1->Caption(), form.windowTitle());
    QCOMPARE(f.store().DatabasePath, f.folder() + QStringLiteral("/Recipe"));
    QCOMPARE(f.pairs(), kBrowsing);
    QVERIFY(f.fieldsLocked());

    // Commands then meet their own failure, each shown once, and the window goes on.
    QVERIFY(f.press(form.add));
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QVERIFY2(f.dialogs.prompts()[0].text.contains(QStringLiteral("missing")),
             qPrintable(f.dialogs.prompts()[0].text));
    QVERIFY(!QFile::exists(f.fileName())); // never created
}

void TestStartupAndLayout::unreadableFilesAreTreatedAlike() {
    const QList<QByteArray> contents = {QByteArray(), QByteArray(4096, '\x5a'),
                                        QByteArray("SQLite format 3") + QByteArray(4081, '\0')};
    for (const QByteArray& bytes : contents) {
        MainFixture f;
        QFile file(f.fileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        Main& form = f.start();
        QCOMPARE(form.Tv->model()->rowCount(), 0);
        QVERIFY(f.dialogs.prompts().isEmpty());
        QCOMPARE(fileBytes(f.fileName()), bytes);
    }
}

void TestStartupAndLayout::controlsStandWhereTheFormPutsThem() {
    MainFixture f;
    Main& form = f.start();
    QCOMPARE(form.size(), QSize(713, 434));
    QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
    // The frame fills the window (the form drew it one pixel short of the bottom).
    QCOMPARE(form.xp_canvas1->geometry(), QRect(0, 0, 713, 434));
    QVERIFY(form.xp_canvas1->Fixed_Single());
    // Twips divided by 15.
    QCOMPARE(form.xptopbuttons3->geometry(), QRect(642, 6, 21, 21));
    QCOMPARE(form.xptopbuttons2->geometry(), QRect(665, 6, 21, 21));
    QCOMPARE(form.xptopbuttons1->geometry(), QRect(688, 6, 21, 21));
    QCOMPARE(form.xpcmdbutton2->geometry(), QRect(8, 32, 83, 20));
    QCOMPARE(form.xpcmdbutton1->geometry(), QRect(152, 32, 84, 20));
    QCOMPARE(form.Tv->geometry(), QRect(8, 56, 233, 369));
    QCOMPARE(form.Picture1->geometry(), QRect(251, 29, 457, 34));
    QCOMPARE(form.add->geometry(), QRect(8, 4, 57, 25));
    QCOMPARE(form.Website->geometry(), QRect(232, 4, 217, 25));
    QCOMPARE(form.Text1->geometry(), QRect(344, 80, 233, 19));
    QCOMPARE(form.Text3->geometry(), QRect(264, 152, 433, 97));
    QCOMPARE(form.Text4->geometry(), QRect(264, 272, 433, 153));
    QCOMPARE(form.saveedited->geometry(), QRect(592, 81, 81, 17));
    QCOMPARE(form.delcatagroy->geometry(), QRect(592, 81, 113, 17));
    QCOMPARE(form.Line1->geometry().left(), 251);

    // Captions, fonts, default captions from the control names, the hidden list.
    QCOMPARE(form.add->Caption(), QStringLiteral("ADD"));
    QCOMPARE(form.Save->Caption(), QStringLiteral("Save"));
    QCOMPARE(form.Edit->Caption(), QStringLiteral("Edit"));
    QCOMPARE(form.Website->Caption(), QStringLiteral("More, Newer, visit our website."));
    QCOMPARE(form.delcatagroy->Caption(), QStringLiteral("Delete a Category"));
    QCOMPARE(form.add->Font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(form.add->Font().pointSizeF(), 9.0);
    QCOMPARE(form.Tv->font().family(), QStringLiteral("MS Sans Serif"));
    QVERIFY(form.Tv->font().bold());
    QVERIFY(!form.List1->isVisible());
    QCOMPARE(form.Text1->palette().color(QPalette::Base), QColor(Qt::white));
    QVERIFY(!form.xptopbuttons2->isEnabled());
    QCOMPARE(form.xptopbuttons3->Value(), 2);
    // Caption buttons lie above the caption bar.
    QCOMPARE(form.xp_canvas1->childAt(form.xptopbuttons1->geometry().center()),
             static_cast<QWidget*>(form.xptopbuttons1));
}

void TestStartupAndLayout::tabFollowsTheTabOrder() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    form.activateWindow();
    form.Tv->setFocus();
    QList<QWidget*> seen;
    for (int i = 0; i < 8; ++i) {
        seen << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Hidden controls are passed over.
    const QList<QWidget*> expected = {form.Tv,    form.Text1, form.Text2,   form.Text3,
                                      form.Text4, form.print, form.delete_, form.add};
    QCOMPARE(seen, expected);
}

void TestStartupAndLayout::everyControlIsNamedForAssistiveTechnology() {
    MainFixture f;
    Main& form = f.start();
    auto name = [](QObject* o) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(o);
        return iface ? iface->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    QCOMPARE(name(form.Text1), QStringLiteral("Recipe Name:"));
    QCOMPARE(name(form.Text2), QStringLiteral("Author:"));
    QCOMPARE(name(form.Text3), QStringLiteral("Ingredients:"));
    QCOMPARE(name(form.Text4), QStringLiteral("Preparation Instructions:"));
    QVERIFY(!name(form.Tv).isEmpty());
    QCOMPARE(name(form.add), QStringLiteral("ADD"));
    QCOMPARE(name(form.xpcmdbutton1), QStringLiteral("Del Category"));
    QCOMPARE(name(form.xptopbuttons1), QStringLiteral("Close"));
    QCOMPARE(QAccessible::queryAccessibleInterface(form.add)->role(), QAccessible::Button);
    // The skinned window is a window to a reader, named by its title.
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&form);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), form.windowTitle());
}

void TestStartupAndLayout::emptyRecipeNameIsTakenForACategory() {
    MainFixture f;
    f.makeFile({{QStringLiteral("Soups"),
                 {{QStringLiteral("   "), QStringLiteral("Ann"), QStringLiteral("x"),
                   QStringLiteral("y")}}}});
    Main& form = f.start();
    QCOMPARE(f.tree(), QStringList({"Kettlebox Recipe", "  Soups", "    "}));
    f.clickNode(QString(), QStringLiteral("Soups"));
    QCOMPARE(f.store().SelectedCategory, QString());
    QCOMPARE(form.Text2->text(), QString());
    QVERIFY(f.dialogs.prompts().isEmpty());
}

void TestStartupAndLayout::vanishedCategoryIsReportedOnClick() {
    MainFixture f;
    f.makeFile(sampleCollection());
    f.start();
    {
        auto db = Database::OpenDatabase(f.folder() + QStringLiteral("/Recipe"));
        db->DeleteTableDef(QStringLiteral("Soups"));
        db->Close();
    }
    f.clickNode("Tomato Soup", "Soups");
    QCOMPARE(f.dialogs.prompts().size(), 1);
    QVERIFY2(f.dialogs.prompts()[0].text.contains(QStringLiteral("Soups")),
             qPrintable(f.dialogs.prompts()[0].text));
    QCOMPARE(f.store().SelectedRecipe, QStringLiteral("Tomato Soup"));
    QCOMPARE(f.store().RecipeCategory, QStringLiteral("Soups"));
}

QTEST_MAIN(TestStartupAndLayout)
#include "test_startup_and_layout.moc"
