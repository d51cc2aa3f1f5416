#include "core/store_error.h"
#include "platform/browser.h"
#include "print_fixture.h"
#include "tests/support/scripted_dialogs.h"

#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace kb;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QAction* printAction(QMenu* menu) {
    for (QAction* action : menu->actions())
        if (action->text() == QStringLiteral("Print"))
            return action;
    return nullptr;
}

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT

  private slots:
    void navigateShowsTheFileAndRereadsIt();
    void printsToPdfWithoutPageNumbers();
    void cancelledPrintWritesNothing();
    void unwritablePdfIsAFailureNotASuccess();
    void contextMenuOffersPrint();
    void printNameIsAFileName();
};

// The same path navigated twice shows the file as it is on disk the second time; UTF-8 text
// without a declared charset reads correctly.
void TestBrowser::navigateShowsTheFileAndRereadsIt() {
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("print.htm"));
    writeFile(page, "<HTML><HEAD><TITLE>T</TITLE></HEAD><BODY>Crème first</BODY></HTML>\r\n");
    test::ScriptedDialogs dialogs;
    Browser browser(dialogs);
    browser.Navigate(page);
    QCOMPARE(browser.toPlainText().trimmed(), QStringLiteral("Crème first"));
    QCOMPARE(browser.documentTitle(), QStringLiteral("T"));
    QCOMPARE(browser.printName(), QStringLiteral("T"));

    writeFile(page, "<HTML><BODY>second &amp; last</BODY></HTML>\r\n");
    browser.Navigate(page);
    QCOMPARE(browser.toPlainText().trimmed(), QStringLiteral("second & last"));
}

// A page longer than one sheet prints on several pages, and nothing but the page is printed:
// the text holds no digit that the page itself does not hold.
void TestBrowser::printsToPdfWithoutPageNumbers() {
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("print.htm"));
    QByteArray html = "<HTML><BODY><B>Pea Soup</B><br>";
    for (int i = 0; i < 150; ++i)
        html += "stir the pot gently<br>";
    html += "serve hot</BODY></HTML>";
    writeFile(page, html);

    test::ScriptedDialogs dialogs;
    Browser browser(dialogs);
    browser.Navigate(page);
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    dialogs.answerPrintToPdf(pdf);
    QVERIFY(browser.ExecWB(Browser::OLECMDID_PRINT, Browser::OLECMDEXECOPT_PROMPTUSER));
    QCOMPARE(dialogs.prompts().size(), 1);
    QCOMPARE(dialogs.prompts().first().kind, test::Prompt::Kind::Print);
    QVERIFY(test::looksLikePdf(pdf));

    const QString text = test::pdfText(pdf);
    if (text.isNull())
        QSKIP("pdftotext is not installed; only the PDF header was checked");
    QVERIFY(text.contains(QStringLiteral("Pea Soup")));
    QVERIFY(text.contains(QStringLiteral("serve hot")));
    // A line just above a page's top may also lie, clipped away, in that page's drawing, as in
    // Qt's own document printing; so at least every line, not exactly each once.
    QVERIFY(text.count(QStringLiteral("stir the pot gently")) >= 150);
    QVERIFY2(text.count(QLatin1Char('\f')) >= 2, "the page should need more than one sheet");
    static const QRegularExpression digit(QStringLiteral("\\d"));
    QVERIFY2(!text.contains(digit), qPrintable(text.left(400)));
}

void TestBrowser::cancelledPrintWritesNothing() {
    QTemporaryDir dir;
    test::ScriptedDialogs dialogs;
    Browser browser(dialogs);
    browser.setHtml(QStringLiteral("<p>Tea</p>"));
    dialogs.answerPrintCancel();
    QVERIFY(!browser.ExecWB(Browser::OLECMDID_PRINT, Browser::OLECMDEXECOPT_PROMPTUSER));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
    // Commands other than printing do nothing and ask nothing.
    QVERIFY(!browser.ExecWB(7, Browser::OLECMDEXECOPT_PROMPTUSER));
    QCOMPARE(dialogs.prompts().size(), 1);
}

void TestBrowser::unwritablePdfIsAFailureNotASuccess() {
    QTemporaryDir dir;
    test::ScriptedDialogs dialogs;
    Browser browser(dialogs);
    browser.setHtml(QStringLiteral("<p>Tea</p>"));
    dialogs.answerPrintToPdf(dir.filePath(QStringLiteral("no/such/folder/out.pdf")));
    QVERIFY_THROWS_EXCEPTION(StoreError, browser.printWithPrompt());

    // From the context menu the failure is shown, not thrown into the event loop.
    dialogs.answerPrintToPdf(dir.filePath(QStringLiteral("no/such/folder/out.pdf")));
    std::unique_ptr<QMenu> menu(browser.createContextMenu({1, 1}));
    printAction(menu.get())->trigger();
    QCOMPARE(dialogs.messages().size(), 1);
    QVERIFY(dialogs.messages().first().contains(QStringLiteral("could not be printed")));
    QCOMPARE(dialogs.prompts().last().style & vbCritical, vbCritical);
}

void TestBrowser::contextMenuOffersPrint() {
    QTemporaryDir dir;
    test::ScriptedDialogs dialogs;
    Browser browser(dialogs);
    browser.setHtml(QStringLiteral("<p>Tea with lemon</p>"));
    std::unique_ptr<QMenu> menu(browser.createContextMenu({1, 1}));
    QAction* print = printAction(menu.get());
    QVERIFY(print);
    QCOMPARE(menu->actions().first(), print);
    QVERIFY(menu->actions().size() > 2); // the view's own entries (copy, select all) stay

    const QString pdf = dir.filePath(QStringLiteral("menu.pdf"));
    dialogs.answerPrintToPdf(pdf);
    print->trigger();
    QVERIFY(test::looksLikePdf(pdf));
    const QString text = test::pdfText(pdf);
    if (!text.isNull())
        QVERIFY(text.contains(QStringLiteral("Tea with lemon")));
}

// The print dialog offers the name as a file name, so no folder separator may slip in.
void TestBrowser::printNameIsAFileName() {
    test::ScriptedDialogs dialogs;
    Browser browser(dialogs);
    browser.setHtml(QStringLiteral("<html><head><title>This Recipes by Kettlebox "
                                   "Recipe_https://kettlebox.example/</title></head></html>"));
    QCOMPARE(browser.printName(),
             QStringLiteral("This Recipes by Kettlebox Recipe_https_kettlebox.example_"));
    browser.setPrintName(QStringLiteral("Print [ Fish/Chips ] Recipe"));
    QCOMPARE(browser.printName(), QStringLiteral("Print [ Fish_Chips ] Recipe"));
    browser.setPrintName(QStringLiteral("  ://  "));
    QCOMPARE(browser.printName(), QStringLiteral("_"));
    browser.setPrintName({});
    browser.setHtml(QStringLiteral("<p>untitled</p>"));
    QCOMPARE(browser.printName(), QStringLiteral("print"));
}

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
