#include "core/printexport.h"
#include "core/store_error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/files.h"

using namespace kb;

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
    void unwritableFolderIsReported();
    void unwritablePageIsReported();
};

// Empty author, surrounding spaces, three ingredient lines, markup and non-ASCII characters.
void TestPrintExport::bothFilesToTheLetter() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const PrintRecipe recipe{QStringLiteral("  Crème <Brûlée> & Co  "), QString(),
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

void TestPrintExport::printableRules_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("author");
    QTest::addColumn<QString>("ingredients");
    QTest::addColumn<QString>("instructions");
    QTest::addColumn<int>("expected");

    const int ready = int(PrintCheck::Ready);
    const int none = int(PrintCheck::NoRecipe);
    const int blank = int(PrintCheck::Blank);
    QTest::newRow("complete") << "Soup"
                              << "Ann"
                              << "water"
                              << "boil" << ready;
    QTest::newRow("author may be empty") << "Soup"
                                         << ""
                                         << "water"
                                         << "boil" << ready;
    QTest::newRow("author may be spaces") << "Soup"
                                          << "   "
                                          << "water"
                                          << "boil" << ready;
    QTest::newRow("no name") << ""
                             << "Ann"
                             << "water"
                             << "boil" << none;
    QTest::newRow("no name wins over blanks") << ""
                                              << ""
                                              << ""
                                              << "" << none;
    QTest::newRow("name of spaces") << "   "
                                    << "Ann"
                                    << "water"
                                    << "boil" << blank;
    QTest::newRow("no ingredients") << "Soup"
                                    << "Ann"
                                    << ""
                                    << "boil" << blank;
    QTest::newRow("ingredients of spaces") << "Soup"
                                           << "Ann"
                                           << "  "
                                           << "boil" << blank;
    QTest::newRow("no instructions") << "Soup"
                                     << "Ann"
                                     << "water"
                                     << "" << blank;
    QTest::newRow("instructions of spaces") << "Soup"
                                            << "Ann"
                                            << "water"
                                            << " " << blank;
}

void TestPrintExport::printableRules() {
    QFETCH(QString, name);
    QFETCH(QString, author);
    QFETCH(QString, ingredients);
    QFETCH(QString, instructions);
    QFETCH(int, expected);
    QCOMPARE(int(checkPrintable({name, author, ingredients, instructions})), expected);
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

// A folder that can't hold files (here: it is a plain file) is reported in plain words.
void TestPrintExport::unwritableFolderIsReported() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString notAFolder = dir.filePath(QStringLiteral("plainfile"));
    QFile blocker(notAFolder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    try {
        writePrintFiles(
            notAFolder,
            {QStringLiteral("Tea"), {}, QStringLiteral("leaves"), QStringLiteral("steep")});
        QFAIL("writing into a file as if it were a folder succeeded");
    } catch (const StoreError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("could not be printed")),
                 qPrintable(error.message()));
        QVERIFY(error.message().contains(QStringLiteral("print.txt")));
    }
}

// The text file is written but the page can't be: reported too, and no page appears.
void TestPrintExport::unwritablePageIsReported() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("print.htm")));
    try {
        writePrintFiles(
            dir.path(),
            {QStringLiteral("Tea"), {}, QStringLiteral("leaves"), QStringLiteral("steep")});
        QFAIL("writing the page over a folder succeeded");
    } catch (const StoreError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("print.htm")),
                 qPrintable(error.message()));
    }
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("print.htm"))).isDir());
}

QTEST_MAIN(TestPrintExport)
#include "test_printexport.moc"
