#include "platform/browser.h"
#include "print_fixture.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/controls/xp_canvas.h"
#include "ui/controls/xpcmdbutton.h"
#include "ui/controls/xptopbuttons.h"
#include "ui/print/frmprint.h"
#include "ui/print/printcommand.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/files.h"

using namespace kb;

namespace {

// Waits until a preview closed by the user is gone.
bool unloaded(const PrintCommand& command) {
    return QTest::qWaitFor([&] { return command.preview() == nullptr; }, 2000);
}

} // namespace

class TestPrintCommand : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void preconditionsStopBeforeAnyFile();
    void printShowsThePreviewNotModal();
    void previewIsLaidOutByTheForm();
    void secondPrintWhileOpenShowsTheSecondRecipe();
    void closingUnloadsAndNextPrintLoadsAnew_data();
    void closingUnloadsAndNextPrintLoadsAnew();
    void minimiseKeepsItLoadedAndPrintBringsItBack();
    void printButtonPrintsTheRecipeToPdf();
    void cancelledPrintLeavesTheWindowOpen();
    void frameAndPageFollowTheWindowSize();
    void unwritableFolderIsOneClearMessage();

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::ScriptedDialogs> m_dialogs;
    std::unique_ptr<PrintCommand> m_command;
};

void TestPrintCommand::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dialogs = std::make_unique<test::ScriptedDialogs>();
    m_command = std::make_unique<PrintCommand>(m_dir->path(), *m_dialogs);
}

void TestPrintCommand::cleanup() {
    m_command.reset();
    m_dialogs.reset();
    m_dir.reset();
}

void TestPrintCommand::preconditionsStopBeforeAnyFile() {
    m_command->run(QString(), QStringLiteral("Ann"), QStringLiteral("water"),
                   QStringLiteral("boil"));
    QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Please Choose a Recipe")});
    QCOMPARE(m_dialogs->prompts().first().style, vbOKOnly);
    QCOMPARE(m_dialogs->prompts().first().title, QStringLiteral("Kettlebox"));

    m_command->run(QStringLiteral("   "), {}, QStringLiteral("water"), QStringLiteral("boil"));
    m_command->run(QStringLiteral("Soup"), {}, QStringLiteral(" "), QStringLiteral("boil"));
    m_command->run(QStringLiteral("Soup"), {}, QStringLiteral("water"), QString());
    QCOMPARE(m_dialogs->prompts().size(), 1); // the blank ones say nothing
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
    QVERIFY(!m_command->preview());
}

void TestPrintCommand::printShowsThePreviewNotModal() {
    m_command->run(QStringLiteral("  Pea Soup  "), QString(), QStringLiteral("peas\nwater"),
                   QStringLiteral("boil"));
    QVERIFY(m_dialogs->prompts().isEmpty());
    frmprint* preview = m_command->preview();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QVERIFY(!preview->isModal());
    QCOMPARE(preview->windowModality(), Qt::NonModal);
    QCOMPARE(preview->Caption(), QStringLiteral("Print [ Pea Soup ] Recipe"));
    QCOMPARE(preview->windowTitle(), QStringLiteral("Print [ Pea Soup ] Recipe"));
    QCOMPARE(preview->frmprintXP->Caption(), QStringLiteral("Print"));
    QCOMPARE(preview->WB->printName(), QStringLiteral("Print [ Pea Soup ] Recipe"));
    QVERIFY(preview->WB->toPlainText().contains(QStringLiteral("Name: Pea Soup")));
    QVERIFY(preview->WB->toPlainText().contains(QStringLiteral("peas\nwater")));
    QCOMPARE(preview->WB->source(),
             QUrl::fromLocalFile(QDir(m_dir->path()).filePath(QStringLiteral("print.htm"))));
}

// Every control where the form's design puts it (twips divided by 15).
void TestPrintCommand::previewIsLaidOutByTheForm() {
    m_command->run(QStringLiteral("Tea"), {}, QStringLiteral("leaves"), QStringLiteral("steep"));
    frmprint* f = m_command->preview();
    QVERIFY(f);
    QCOMPARE(f->size(), QSize(553, 481));
    QVERIFY(f->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(f->frmprintXP->geometry(), QRect(0, 0, 553, 481));
    QVERIFY(!f->frmprintXP->Fixed_Single());
    QCOMPARE(f->xptopbuttons3->geometry(), QRect(482, 6, 21, 21));
    QCOMPARE(f->xptopbuttons2->geometry(), QRect(505, 6, 21, 21));
    QCOMPARE(f->xptopbuttons1->geometry(), QRect(528, 6, 21, 21));
    QCOMPARE(f->print->geometry(), QRect(480, 30, 65, 25));
    QCOMPARE(f->printform->geometry(), QRect(352, 30, 113, 25));
    QCOMPARE(f->Label1->geometry(), QRect(8, 40, 295, 13));
    QCOMPARE(f->WB->geometry(), QRect(8, 56, 537, 409));

    QCOMPARE(f->xptopbuttons3->Value(), 2);
    QCOMPARE(f->xptopbuttons2->Value(), 1);
    QVERIFY(!f->xptopbuttons2->isEnabled());
    QCOMPARE(f->xptopbuttons1->Value(), 0);
    QCOMPARE(f->print->Caption(), QStringLiteral("Print"));
    QCOMPARE(f->printform->Caption(), QStringLiteral("Close print Form"));
    QCOMPARE(f->print->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(f->Label1->text(),
             QStringLiteral("Right Click On White Area in the View Box To Print."));
    for (QWidget* child : {static_cast<QWidget*>(f->xptopbuttons1), static_cast<QWidget*>(f->print),
                           static_cast<QWidget*>(f->WB), static_cast<QWidget*>(f->Label1)})
        QCOMPARE(child->parentWidget(), f->frmprintXP);

    // The disabled maximise button can't be clicked.
    QSignalSpy clicks(f->xptopbuttons2, &xptopbuttons::Click);
    QTest::mouseClick(f->xptopbuttons2, Qt::LeftButton);
    QCOMPARE(clicks.size(), 0);
    QVERIFY(f->isVisible());
    QVERIFY(!f->isMaximized());
}

void TestPrintCommand::secondPrintWhileOpenShowsTheSecondRecipe() {
    m_command->run(QStringLiteral("Pea Soup"), QStringLiteral("Ann"), QStringLiteral("peas"),
                   QStringLiteral("boil"));
    QPointer<frmprint> first = m_command->preview();
    QVERIFY(first);
    m_command->run(QStringLiteral("Green Tea"), QStringLiteral("Bo"), QStringLiteral("leaves"),
                   QStringLiteral("steep"));

    QCOMPARE(m_command->preview(), first.data()); // the one window, not a second one
    QCOMPARE(first->Caption(), QStringLiteral("Print [ Green Tea ] Recipe"));
    const QString shown = first->WB->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("Name: Green Tea")), qPrintable(shown));
    QVERIFY(!shown.contains(QStringLiteral("Pea Soup")));
    QVERIFY(!test::fileBytes(m_dir->filePath(QStringLiteral("print.txt"))).contains("Pea"));
    QVERIFY(!test::fileBytes(m_dir->filePath(QStringLiteral("print.htm"))).contains("Pea"));
}

void TestPrintCommand::closingUnloadsAndNextPrintLoadsAnew_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("close caption button") << QStringLiteral("xptopbuttons1");
    QTest::newRow("Close print Form") << QStringLiteral("printform");
    QTest::newRow("window system") << QStringLiteral("close");
}

void TestPrintCommand::closingUnloadsAndNextPrintLoadsAnew() {
    QFETCH(QString, how);
    m_command->run(QStringLiteral("Pea Soup"), {}, QStringLiteral("peas"), QStringLiteral("boil"));
    frmprint* f = m_command->preview();
    QVERIFY(f);
    QSignalSpy destroyed(f, &QObject::destroyed);
    if (how == QStringLiteral("xptopbuttons1"))
        QTest::mouseClick(f->xptopbuttons1, Qt::LeftButton);
    else if (how == QStringLiteral("printform"))
        QTest::mouseClick(f->printform, Qt::LeftButton);
    else
        f->close();
    QVERIFY(unloaded(*m_command));
    QCOMPARE(destroyed.size(), 1);

    m_command->run(QStringLiteral("Green Tea"), {}, QStringLiteral("leaves"),
                   QStringLiteral("steep"));
    QVERIFY(m_command->preview());
    QVERIFY(m_command->preview()->isVisible());
    QCOMPARE(m_command->preview()->Caption(), QStringLiteral("Print [ Green Tea ] Recipe"));
    QVERIFY(m_command->preview()->WB->toPlainText().contains(QStringLiteral("Green Tea")));
}

void TestPrintCommand::minimiseKeepsItLoadedAndPrintBringsItBack() {
    m_command->run(QStringLiteral("Pea Soup"), {}, QStringLiteral("peas"), QStringLiteral("boil"));
    frmprint* f = m_command->preview();
    QTest::mouseClick(f->xptopbuttons3, Qt::LeftButton);
    QVERIFY(f->windowState() & Qt::WindowMinimized);
    QCOMPARE(m_command->preview(), f);

    m_command->run(QStringLiteral("Tea"), {}, QStringLiteral("leaves"), QStringLiteral("steep"));
    QCOMPARE(m_command->preview(), f);
    QVERIFY(!(f->windowState() & Qt::WindowMinimized));
    QVERIFY(f->WB->toPlainText().contains(QStringLiteral("Name: Tea")));
}

void TestPrintCommand::printButtonPrintsTheRecipeToPdf() {
    m_command->run(QStringLiteral("Pea Soup"), QString(),
                   QStringLiteral("1 < 2 cups peas\nsalt & pepper\nwater"),
                   QStringLiteral("Boil <gently>."));
    frmprint* f = m_command->preview();
    const QString pdf = m_dir->filePath(QStringLiteral("recipe.pdf"));
    m_dialogs->answerPrintToPdf(pdf);
    QTest::mouseClick(f->print, Qt::LeftButton);

    QCOMPARE(m_dialogs->prompts().size(), 1);
    QCOMPARE(m_dialogs->prompts().first().kind, test::Prompt::Kind::Print);
    QVERIFY(test::looksLikePdf(pdf));
    const QString text = test::pdfText(pdf);
    if (text.isNull())
        QSKIP("pdftotext is not installed; only the PDF header was checked");
    for (const char* expected : {"Printed from This Recipes by Kettlebox Recipe", "Name: Pea Soup",
                                 "Author:", "Ingredints:", "1 < 2 cups peas", "salt & pepper",
                                 "Instructions:", "Boil <gently>."})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    QVERIFY(f->isVisible());
}

void TestPrintCommand::cancelledPrintLeavesTheWindowOpen() {
    m_command->run(QStringLiteral("Pea Soup"), {}, QStringLiteral("peas"), QStringLiteral("boil"));
    frmprint* f = m_command->preview();
    const QStringList before = QDir(m_dir->path()).entryList(QDir::Files);
    m_dialogs->answerPrintCancel();
    QTest::mouseClick(f->print, Qt::LeftButton);
    QCOMPARE(m_dialogs->prompts().size(), 1);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), before);
    QCOMPARE(m_command->preview(), f);
    QVERIFY(f->isVisible());
}

// Resized by its border, the window's frame and page view take the new size; the caption
// and push buttons keep their place at the right end.
void TestPrintCommand::frameAndPageFollowTheWindowSize() {
    m_command->run(QStringLiteral("Pea Soup"), {}, QStringLiteral("peas"), QStringLiteral("boil"));
    frmprint* f = m_command->preview();
    f->resize(700, 600);
    QCOMPARE(f->frmprintXP->geometry(), QRect(0, 0, 700, 600));
    QCOMPARE(f->WB->geometry(), QRect(8, 56, 684, 528));
    QCOMPARE(f->xptopbuttons1->geometry(), QRect(675, 6, 21, 21));
    QCOMPARE(f->print->geometry(), QRect(627, 30, 65, 25));

    f->resize(400, 300);
    QCOMPARE(f->frmprintXP->geometry(), QRect(0, 0, 400, 300));
    QCOMPARE(f->WB->geometry(), QRect(8, 56, 384, 228));
    QCOMPARE(f->xptopbuttons3->geometry(), QRect(329, 6, 21, 21));
    QCOMPARE(f->printform->geometry(), QRect(199, 30, 113, 25));

    // The frame's own border drag ends in the same place.
    xp_canvas::ResizeFromDrag(f, QPoint(0, 0), QPoint(30, 20), xp_canvas::EdgeBottomRight);
    QTRY_COMPARE(f->size(), QSize(430, 320));
    QCOMPARE(f->frmprintXP->size(), QSize(430, 320));
    QCOMPARE(f->WB->size(), QSize(414, 248));
}

void TestPrintCommand::unwritableFolderIsOneClearMessage() {
    const QString blocker = m_dir->filePath(QStringLiteral("not-a-folder"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    PrintCommand command(blocker, *m_dialogs);
    command.run(QStringLiteral("Pea Soup"), {}, QStringLiteral("peas"), QStringLiteral("boil"));
    QCOMPARE(m_dialogs->prompts().size(), 1);
    const test::Prompt& prompt = m_dialogs->prompts().first();
    QVERIFY2(prompt.text.contains(QStringLiteral("could not be printed")), qPrintable(prompt.text));
    QCOMPARE(prompt.title, QStringLiteral("Kettlebox"));
    QVERIFY(!command.preview());
}

QTEST_MAIN(TestPrintCommand)
#include "test_printcommand.moc"
