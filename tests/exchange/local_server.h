#pragma once

// A small HTTP server for the tests of recipes from a web address, answering by path: a recipe
// page, a redirect to it, and each way a fetch can fail. Run it in a thread of its own
// (LocalServerThread), so that a test can wait for a child process that fetches from it.

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <memory>

namespace kb::test {

inline const QByteArray kRecipePage =
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

// The server in its own thread, listening on the loopback address while it lives.
class LocalServerThread {
  public:
    LocalServerThread() {
        m_server->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(
            m_server, [this] { m_server->listen(QHostAddress::LocalHost); },
            Qt::BlockingQueuedConnection);
    }
    ~LocalServerThread() {
        QMetaObject::invokeMethod(
            m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    LocalServerThread(const LocalServerThread&) = delete;
    LocalServerThread& operator=(const LocalServerThread&) = delete;

    bool listening() const { return m_server->isListening(); }
    QString at(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort()) +
               QLatin1String(path);
    }

  private:
    QThread m_thread;
    LocalServer* m_server = new LocalServer;
};

} // namespace kb::test
