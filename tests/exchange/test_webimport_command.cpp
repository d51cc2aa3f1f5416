// The tree's "Import from Web Address…" in the real main window, answered by scripted dialogs,
// against the tests' own HTTP server.

#include "ui/exchange/exchangecommands.h"

#include <QAction>
#include <QTest>

#include "exchange_fixture.h"
#include "local_server.h"
#include "tests/main/main_fixture.h"

using namespace kb;
using namespace kb::test;

namespace {

const QString kCommand = QString("Import from Web Address") + QChar(0x2026);

void run(Main& form) {
    for (QAction* a : form.treeCommands())
        if (a->text() == kCommand) {
            a->trigger();
            return;
        }
    QFAIL("no Import from Web Address command");
}

} // namespace

class TestWebImportCommand : public QObject {
    Q_OBJECT

    LocalServerThread m_server;

  private slots:
    void importsThePageIntoTheChosenCategory();
    void failuresAreSaidAndWriteNothing();
};

void TestWebImportCommand::importsThePageIntoTheChosenCategory() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    f.dialogs.answerInput(m_server.at("/moved"));
    f.dialogs.answerInput("Soups");
    run(form);
    QVERIFY(f.storedNames("Soups").contains("Web Soup"));
    QVERIFY(f.tree().contains("    Web Soup"));
    QCOMPARE(f.dialogs.messages().last(), QString("1 recipe came in; 0 skipped."));
    // The fetch was shown with a Cancel.
    QVERIFY(f.dialogs.progressShown().contains("Fetching " + m_server.at("/moved") + " ..."));
}

void TestWebImportCommand::failuresAreSaidAndWriteNothing() {
    MainFixture f;
    f.makeFile(sampleCollection());
    Main& form = f.start();
    const QStringList before = f.tables();

    f.dialogs.answerInput(m_server.at("/gone"));
    run(form);
    QCOMPARE(f.dialogs.messages().last(),
             QString("No recipe was found at %1: the page was not found (HTTP 404).")
                 .arg(m_server.at("/gone")));

    f.dialogs.answerInput("www.example.org/soup");
    run(form);
    QCOMPARE(f.dialogs.messages().last(),
             QString("\"www.example.org/soup\" is not a web address: it begins with http:// "
                     "or https://."));

    // A server that never answers: Cancel ends the wait at once.
    f.dialogs.cancelProgressAt(0);
    f.dialogs.answerInput(m_server.at("/slow"));
    run(form);
    QCOMPARE(f.dialogs.messages().last(),
             QString("The download was cancelled; nothing was imported."));
    QCOMPARE(f.tables(), before);
    QCOMPARE(f.dialogs.pendingAnswers(), 0);
}

QTEST_MAIN(TestWebImportCommand)
#include "test_webimport_command.moc"
