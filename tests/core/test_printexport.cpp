#include "core/printexport.h"
#include "core/store_error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/files.h"

using namespace kb;

Q_DECLARE_METATYPE(kb::PrintCheck)

namespace {

const QByteArray kPageHead = "<HTML>\r\n"
                             "<HEAD>\r\n"
                             "    <TITLE>This Recipes by Kettlebox "
                             "Recipe_https://kettlebox.example/</TITLE>\r\n"
                             "</HEAD>\r\n"
                             "<BODY><FONT SIZE=\"3\" FACE=\"Verdana\">\r\n"
                             "<U>Printed from This Recipes by <B>Kettlebox Recipe</B></U>"
                             "<br><br><B>\r\n";
const QByteArray kPageTail = "</B></FONT></BODY>\r\n"
                             "</HTML>\r\n";

} // namespace

class TestPrintExport : public QObject {
    Q_OBJECT

  private slots:
    void bothFilesToTheLetter();
    void printableRules_data();
    void printableRules();
    void secondPrintReplacesTheFirst();
    void unwritableTargetIsReported_data();
    void unwritableTargetIsReported();
};

// Empty author, surrounding spaces, three ingredient lines, markup and non-ASCII characters.
void TestPrintExport::bothFilesToTheLetter() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const RecipeFields recipe{QStringLiteral("  Crème <Brûlée> & Co  "), QString(),
                              QStringLiteral(" 1 < 2 cups milk\nsalt & pepper\n3 \"large\" eggs "),
                              QStringLiteral("  Mix.\nBake at >180 C.  ")};
    writePrintFiles(dir.path(), recipe);

    const QByteArray text = "Name: Crème <Brûlée> & Co\r\n"
                            "\r\n"
                            "Author: \r\n"
                            "\r\n"
                            "Ingredints:\r\n"
                            "1 < 2 cups milk\r\n"
                            "salt & pepper\r\n"
                            "3 \"large\" eggs\r\n"
                            "\r\n"
                            "\r\n"
                            "Instructions:\r\n"
                            "Mix.\r\n"
                            "Bake at >180 C.\r\n";
    QCOMPARE(test::fileBytes(dir.filePath(QStringLiteral("print.txt"))), text);

    const QByteArray page = kPageHead +
                            "Name: Crème &lt;Brûlée&gt; &amp; Co<br>\r\n"
                            "<br>\r\n"
                            "Author: <br>\r\n"
                            "<br>\r\n"
                            "Ingredints:<br>\r\n"
                            "1 &lt; 2 cups milk<br>\r\n"
                            "salt &amp; pepper<br>\r\n"
                            "3 &quot;large&quot; eggs<br>\r\n"
                            "<br>\r\n"
                            "<br>\r\n"
                            "Instructions:<br>\r\n"
                            "Mix.<br>\r\n"
                            "Bake at &gt;180 C.<br>\r\n" +
                            kPageTail;
    QCOMPARE(test::fileBytes(dir.filePath(QStringLiteral("print.htm"))), page);
}

// Fields: name, author, ingredients, instructions.
void TestPrintExport::printableRules_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<PrintCheck>("expected");
    const auto row = [](const char* what, QStringList fields, PrintCheck expected) {
        QTest::newRow(what) << fields << expected;
    };
    row("complete", {"Soup", "Ann", "water", "boil"}, PrintCheck::Ready);
    row("author may be empty", {"Soup", "", "water", "boil"}, PrintCheck::Ready);
    row("author may be spaces", {"Soup", "   ", "water", "boil"}, PrintCheck::Ready);
    row("no name", {"", "Ann", "water", "boil"}, PrintCheck::NoRecipe);
    row("no name wins over blanks", {"", "", "", ""}, PrintCheck::NoRecipe);
    row("name of spaces", {"   ", "Ann", "water", "boil"}, PrintCheck::Blank);
    row("no ingredients", {"Soup", "Ann", "", "boil"}, PrintCheck::Blank);
    row("ingredients of spaces", {"Soup", "Ann", "  ", "boil"}, PrintCheck::Blank);
    row("no instructions", {"Soup", "Ann", "water", ""}, PrintCheck::Blank);
    row("instructions of spaces", {"Soup", "Ann", "water", " "}, PrintCheck::Blank);
}

void TestPrintExport::printableRules() {
    QFETCH(QStringList, fields);
    QFETCH(PrintCheck, expected);
    QCOMPARE(checkPrintable({fields[0], fields[1], fields[2], fields[3]}), expected);
}

void TestPrintExport::secondPrintReplacesTheFirst() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePrintFiles(dir.path(), {QStringLiteral("Long First Recipe Name"), QStringLiteral("Ann"),
                                 QStringLiteral("a\nb\nc\nd\ne"), QStringLiteral("f\ng\nh")});
    writePrintFiles(dir.path(), {QStringLiteral("Tea"), QStringLiteral("Bo"),
                                 QStringLiteral("leaves"), QStringLiteral("steep")});

    QCOMPARE(test::fileBytes(dir.filePath(QStringLiteral("print.txt"))),
             QByteArray("Name: Tea\r\n\r\nAuthor: Bo\r\n\r\nIngredints:\r\nleaves\r\n\r\n\r\n"
                        "Instructions:\r\nsteep\r\n"));
    const QByteArray page = test::fileBytes(dir.filePath(QStringLiteral("print.htm")));
    QVERIFY(page.startsWith(kPageHead));
    QVERIFY(page.endsWith("steep<br>\r\n" + kPageTail));
    QVERIFY(!page.contains("First"));
    QCOMPARE(page.count("<br>\r\n"), 10);
}

// A folder that can't hold files (it is a plain file), or a page that can't be written after
// the text file was (its name is taken by a folder): reported in plain words, nothing replaced.
void TestPrintExport::unwritableTargetIsReported_data() {
    QTest::addColumn<QString>("blocker");
    QTest::addColumn<bool>("blockerIsFolder");
    QTest::addColumn<QStringList>("says");
    QTest::newRow("folder is a file")
        << "plainfile" << false << QStringList{"could not be printed", "print.txt"};
    QTest::newRow("page is a folder") << "print.htm" << true << QStringList{"print.htm"};
}

void TestPrintExport::unwritableTargetIsReported() {
    QFETCH(QString, blocker);
    QFETCH(bool, blockerIsFolder);
    QFETCH(QStringList, says);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(blocker));
    QVERIFY(blockerIsFolder ? QDir(dir.path()).mkdir(blocker) : file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = blockerIsFolder ? dir.path() : file.fileName();
    try {
        writePrintFiles(
            folder, {QStringLiteral("Tea"), {}, QStringLiteral("leaves"), QStringLiteral("steep")});
        QFAIL("writing into a blocked place succeeded");
    } catch (const StoreError& error) {
        for (const QString& part : says)
            QVERIFY2(error.message().contains(part), qPrintable(error.message()));
    }
    QCOMPARE(QFileInfo(file.fileName()).isDir(), blockerIsFolder);
}

QTEST_MAIN(TestPrintExport)
#include "test_printexport.moc"
