// Recipes from a web address, against a small HTTP server the test runs itself: a recipe page,
// and each way a fetch fails (not found, a redirect loop, a body far too large, a server that
// never answers), in words; and kettlebox-db import with an address.

#include "exchange/webfetch.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "exchange_fixture.h"
#include "local_server.h"

using namespace kb;
using namespace kb::exchange;

class TestWebFetch : public QObject {
    Q_OBJECT

    test::LocalServerThread m_server;

    QString at(const char* path) const { return m_server.at(path); }

  private slots:
    void initTestCase() { QVERIFY(m_server.listening()); }

    void readsTheRecipeOfAPage();
    void eachFailureIsSaidInWords_data();
    void eachFailureIsSaidInWords();
    void aCancelStopsTheDownload();
    void commandLineImportsFromAnAddress();
};

void TestWebFetch::readsTheRecipeOfAPage() {
    // Through a redirect; the page names no address of its own, so the one it came from is
    // its source.
    const ReadResult r = readWebAddress(at("/moved"));
    QVERIFY2(r.problems.isEmpty(), qPrintable(r.problems.value(0).reason));
    QCOMPARE(r.recipes.size(), 1);
    QCOMPARE(r.recipes[0].name, QString("Web Soup"));
    QVERIFY2(r.recipes[0].fullInstructions().endsWith("Source:\n" + at("/recipe")),
             qPrintable(r.recipes[0].fullInstructions()));
}

void TestWebFetch::eachFailureIsSaidInWords_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not found") << "/gone"
                               << "the page was not found (HTTP 404)";
    QTest::newRow("redirect loop") << "/loop"
                                   << "the address redirects more than 10 times (a redirect loop)";
    QTest::newRow("redirect to a file")
        << "/to-file"
        << "the address redirects to something that is not a web page";
    QTest::newRow("50 MB announced")
        << "/huge"
        << "the page is larger than 10 MB, far larger than a recipe page";
    QTest::newRow("50 MB unannounced")
        << "/huge-unannounced"
        << "the page is larger than 10 MB, far larger than a recipe page";
    QTest::newRow("slow server") << "/slow"
                                 << "the server did not send the page within 0.5 seconds";
    QTest::newRow("not a web page") << "/image"
                                    << "it is not a web page but image/png, so not a recipe page";
    QTest::newRow("not a recipe page")
        << "/none"
        << "it holds no recipe data (no schema.org JSON-LD, microdata or RDFa)";
    QTest::newRow("not a web address")
        << "ftp://example.org/x"
        << "\"ftp://example.org/x\" is not a web address (http:// or https://)";
}

void TestWebFetch::eachFailureIsSaidInWords() {
    QFETCH(QString, address);
    QFETCH(QString, reason);
    FetchOptions options;
    options.timeoutMs = 500;
    const ReadResult r =
        readWebAddress(address.startsWith('/') ? at(qPrintable(address)) : address, options);
    QVERIFY(r.recipes.isEmpty());
    QCOMPARE(r.problems.size(), 1);
    QCOMPARE(r.problems[0].reason, reason);
}

void TestWebFetch::aCancelStopsTheDownload() {
    int asked = 0;
    const Progress progress = [&asked](std::int64_t, std::int64_t) { return ++asked <= 2; };
    bool cancelled = false;
    const ReadResult r = readWebAddress(at("/slow"), {}, progress, &cancelled);
    QVERIFY(cancelled);
    QCOMPARE(r.problems.value(0).reason, QString("the download was cancelled"));

    // A server that is not there.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    const FetchResult none = fetchPage(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    QVERIFY2(none.failure.startsWith("no connection to \"127.0.0.1\" could be made"),
             qPrintable(none.failure));
}

void TestWebFetch::commandLineImportsFromAnAddress() {
    QTemporaryDir dir;
    const auto run = [](const QStringList& args) {
        QProcess p;
        p.start(KB_DB_TOOL, args);
        p.waitForFinished(60'000);
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()));
    };
    QCOMPARE(run({"init", dir.path()}).first, 0);
    auto [code, out] = run({"import", "--folder", dir.path(), at("/recipe")});
    QVERIFY2(code == 0, qPrintable(out));
    QVERIFY(out.contains("1 recipe came in; 0 skipped."));
    std::tie(code, out) = run({"import", "--folder", dir.path(), at("/gone")});
    QCOMPARE(code, 1);
    QVERIFY2(out.contains("the page was not found (HTTP 404)"), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestWebFetch)
#include "test_webfetch.moc"
