// Recipes from a web address, against a small HTTP server the test runs itself: a recipe page,
// and each way a fetch fails (not found, a redirect loop, a body far too large, a server that
// never answers), in words; and kettlebox-db import with an address.

#include "exchange/webfetch.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "exchange_fixture.h"

using namespace kb;
using namespace kb::exchange;

namespace {

const QByteArray kRecipePage =
    R"(<html><head><script type="application/ld+json">{"@type":"Recipe","name":"Web Soup",
    "recipeIngredient":["1 l water"],"recipeInstructions":"Boil."}</script></head></html>)";

// Answers by path; runs in its own thread, so that a child process can be waited for.
class LocalServer : public QTcpServer {
  public:
    static constexpr qint64 kHugeBody = qint64(50) << 20;

  protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        // Every request of the connection in turn, as clients keep connections open.
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            QByteArray pending = socket->property("pending").toByteArray() + socket->readAll();
            for (qsizetype end = pending.indexOf("\r\n\r\n"); end >= 0;
                 end = pending.indexOf("\r\n\r\n")) {
                const QByteArray path = pending.left(end).split(' ').value(1);
                pending.remove(0, end + 4);
                answer(socket, path);
            }
            socket->setProperty("pending", pending);
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

  private:
    static void send(QTcpSocket* s, const QByteArray& status, const QByteArray& type,
                     const QByteArray& body, const QByteArray& extra = {}) {
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\n" + extra + "\r\n" + body);
    }

    // A body of `total` bytes, sent as fast as it is taken, until the client gives up.
    static void stream(QTcpSocket* s, bool announced) {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" +
                 (announced ? "Content-Length: " + QByteArray::number(kHugeBody) + "\r\n"
                            : QByteArray()) +
                 "Connection: close\r\n\r\n");
        auto sent = std::make_shared<qint64>(0);
        const auto more = [s, sent] {
            if (*sent >= kHugeBody || s->state() != QAbstractSocket::ConnectedState ||
                s->bytesToWrite() > (1 << 20))
                return;
            const QByteArray chunk(256 * 1024, 'x');
            *sent += s->write(chunk);
        };
        connect(s, &QTcpSocket::bytesWritten, s, more);
        more();
    }

    void answer(QTcpSocket* s, const QByteArray& path) {
        if (path == "/recipe")
            send(s, "200 OK", "text/html; charset=utf-8", kRecipePage);
        else if (path == "/moved")
            send(s, "301 Moved Permanently", "text/html", {}, "Location: /recipe\r\n");
        else if (path == "/none")
            send(s, "200 OK", "text/html", "<html><body><p>Hello.</p></body></html>");
        else if (path == "/image")
            send(s, "200 OK", "image/png", "\x89PNG");
        else if (path == "/loop")
            send(s, "302 Found", "text/html", {}, "Location: /loop-back\r\n");
        else if (path == "/loop-back")
            send(s, "302 Found", "text/html", {}, "Location: /loop\r\n");
        else if (path == "/to-file")
            send(s, "302 Found", "text/html", {}, "Location: file:///etc/passwd\r\n");
        else if (path == "/huge")
            stream(s, true);
        else if (path == "/huge-unannounced")
            stream(s, false);
        else if (path == "/slow")
            return; // never answers
        else
            send(s, "404 Not Found", "text/html", "<html>Not here</html>");
    }
};

} // namespace

class TestWebFetch : public QObject {
    Q_OBJECT

    QThread m_thread;
    LocalServer* m_server = nullptr;
    QString m_base;

    QString at(const char* path) const { return m_base + QLatin1String(path); }

  private slots:
    void initTestCase() {
        m_server = new LocalServer;
        m_server->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_server, [this] { m_server->listen(QHostAddress::LocalHost); },
            Qt::BlockingQueuedConnection);
        QVERIFY(m_server->isListening());
        m_base = QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
    }
    void cleanupTestCase() {
        QMetaObject::invokeMethod(
            m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

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
    QVERIFY2(r.recipes[0].instructions.endsWith("Source:\n" + at("/recipe")),
             qPrintable(r.recipes[0].instructions));
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
        readWebAddress(address.startsWith('/') ? m_base + address : address, options);
    QVERIFY(r.recipes.isEmpty());
    QCOMPARE(r.problems.size(), 1);
    QCOMPARE(r.problems[0].reason, reason);
}

void TestWebFetch::aCancelStopsTheDownload() {
    Progress progress;
    int asked = 0;
    progress.cancelled = [&asked] { return ++asked > 2; };
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
