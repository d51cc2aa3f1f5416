// The start-up's question for an old Access Recipe.mdb, answered both ways, through the real
// main window.

#include "access/header.h"
#include "core/app.h"
#include "core/database.h"
#include "tests/access/access_fixture.h"
#include "tests/main/main_fixture.h"
#include "tests/support/files.h"
#include "ui/access/accessstartup.h"

#include <QDir>
#include <QTest>

using namespace kb;
using namespace kb::test;

namespace {

QByteArray recipeFile(const QString& password = QStringLiteral("5820741963mxrdbe")) {
    jet::Options o;
    o.password = password;
    return jet::writeJet4(jet::recipeTables(), o);
}

} // namespace

class TestAccessStartup : public QObject {
    Q_OBJECT

  private slots:
    void noLeavesEverythingAndAsksAgain();
    void yesBringsEveryRecipeIn();
    void anotherProgramsPassword();
    void unreadableFileGetsOneMessage();
};

void TestAccessStartup::noLeavesEverythingAndAsksAgain() {
    MainFixture f;
    const QByteArray original = recipeFile();
    writeFile(f.fileName(), original);
    for (int start = 0; start < 2; ++start) {
        f.dialogs.clear();
        f.dialogs.answer(vbNo);
        f.start();
        QCOMPARE(f.dialogs.prompts().size(), 1);
        const Prompt& q = f.dialogs.prompts().first();
        QCOMPARE(q.style, vbYesNo + vbQuestion);
        QCOMPARE(q.text, QStringLiteral("Recipe.mdb was made by an earlier version of Kettlebox "
                                        "Recipe.\n\nBring its recipes into the new format now? "
                                        "The original file is kept, unchanged, as "
                                        "Recipe.access.mdb."));
        // A file that can't be opened gives: an empty tree, no message.
        QCOMPARE(f.tree(), QStringList());
        QCOMPARE(fileBytes(f.fileName()), original);
        QCOMPARE(QDir(f.folder()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("Recipe.mdb")}));
    }
}

void TestAccessStartup::yesBringsEveryRecipeIn() {
    MainFixture f;
    const QByteArray original = recipeFile();
    writeFile(f.fileName(), original);
    f.dialogs.answer(vbYes);
    f.start();
    const QStringList shown = f.dialogs.messages();
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown[1].startsWith(QStringLiteral("The recipes were brought in: 6 categories, 8 "
                                                "recipes.\n\nThe original file is kept as "
                                                "Recipe.access.mdb, and a report is saved as "
                                                "Recipe.access-report.txt.")),
             qPrintable(shown[1]));
    QVERIFY(shown[1].contains(QStringLiteral("\"Pies & Tarts. [Old]\" is now")));
    QCOMPARE(f.dialogs.prompts()[1].style, vbExclamation); // it lists a lost character
    QCOMPARE(f.dialogs.progressShown(),
             QStringList({QStringLiteral("Bringing in the recipes of Recipe.mdb...")}));
    QCOMPARE(fileBytes(QDir(f.folder()).filePath(QStringLiteral("Recipe.access.mdb"))), original);

    // The catalogue loads as at any start: every category and recipe.
    const QStringList tree = f.tree();
    for (const QString& line :
         {QStringLiteral("Kettlebox Recipe"), QStringLiteral("  Baking"),
          QStringLiteral("    Soda Bread"), QStringLiteral("  Drinks"),
          QStringLiteral("  Main Dishes"), QStringLiteral("    Long Stew"),
          QStringLiteral("    麻婆豆腐"), QStringLiteral("    Spaced Name"),
          QStringLiteral("  Pies & Tarts_ _Old_"), QStringLiteral("    Apple Pie"),
          QStringLiteral("  Soups"), QStringLiteral("    Tomato Soup"),
          QStringLiteral("    Borscht"), QStringLiteral("    "), QStringLiteral("  zzzNothing")})
        QVERIFY2(tree.contains(line),
                 qPrintable(line + QStringLiteral(" in\n") + tree.join(QLatin1Char('\n'))));
    QCOMPARE(tree.size(), 15);

    // The fields show the converted values whole: a Memo over 16 KiB, non-Latin text.
    const auto shownAs = [&](const QString& recipe, const QString& category) {
        f.clickNode(recipe, category);
        QStringList out;
        for (const QString& v : f.fields())
            out << trimSpaces(v);
        return out;
    };
    const QList<jet::Table> tables = jet::recipeTables();
    const jet::Row& stew = tables[1].rows[0];
    QCOMPARE(shownAs(QStringLiteral("Long Stew"), QStringLiteral("Main Dishes")),
             QStringList({QStringLiteral("Long Stew"), QStringLiteral("Kettlebox Kitchen"),
                          trimSpaces(*stew.ingredients), trimSpaces(*stew.instructions)}));
    QCOMPARE(
        shownAs(QStringLiteral("Borscht"), QStringLiteral("Soups")),
        QStringList({QStringLiteral("Borscht"), QStringLiteral("Ольга Петрова"),
                     QStringLiteral("Свёкла, 3 шт.\nКапуста"), QStringLiteral("Варить 1 час.")}));

    // Asked once: the next start finds a recipe file of ours.
    f.dialogs.clear();
    f.start();
    QVERIFY(f.dialogs.prompts().isEmpty());
    QVERIFY(f.dialogs.progressShown().isEmpty());
}

void TestAccessStartup::anotherProgramsPassword() {
    MainFixture f;
    writeFile(f.fileName(), recipeFile(QStringLiteral("secret")));
    f.dialogs.answer(vbNo);
    f.start();
    QVERIFY(f.dialogs.messages().first().endsWith(
        QStringLiteral("\n\nNote: this file is protected with a password that is not Kettlebox "
                       "Recipe's; it may be another program's database.")));
    // Still offered; Yes brings it in.
    f.dialogs.clear();
    f.dialogs.answer(vbYes);
    f.start();
    QVERIFY(f.tree().contains(QStringLiteral("  Soups")));
}

void TestAccessStartup::unreadableFileGetsOneMessage() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Recipe.mdb"));
    const QByteArray encrypted =
        fileBytes(accessData(QStringLiteral("encryption_office-agile-4.4.accdb")));
    writeFile(file, encrypted);
    ScriptedDialogs dialogs;
    offerAccessImport(dialogs, dir.path(), importOptions());
    QCOMPARE(dialogs.messages(),
             QStringList({QStringLiteral("Recipe.mdb is an encrypted Access database, and it "
                                         "can't be read here. It was left as it is.")}));
    QCOMPARE(dialogs.prompts().first().style, vbExclamation);
    QCOMPARE(fileBytes(file), encrypted);

    // One that passes the header but not the reader: asked, then one message.
    QByteArray broken = recipeFile();
    broken.replace(2 * 4096, 4096, QByteArray(4096, '\x7f'));
    writeFile(file, broken);
    dialogs.clear();
    dialogs.answer(vbYes);
    offerAccessImport(dialogs, dir.path(), importOptions());
    QCOMPARE(dialogs.messages().size(), 2);
    QVERIFY(dialogs.messages()[1].contains(QStringLiteral("can't be read")));
    QCOMPARE(fileBytes(file), broken);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("Recipe.mdb")}));
}

QTEST_MAIN(TestAccessStartup)
#include "test_startup.moc"
