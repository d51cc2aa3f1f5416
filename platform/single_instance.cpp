#include "platform/single_instance.h"

#include "core/app.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <unistd.h>

namespace kb {

namespace {

constexpr int kConnectTimeoutMs = 1000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");

QString defaultName() {
    return kAppTitle + QLatin1Char('-') + QString::number(::getuid());
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : name),
      m_lock(QDir::temp().filePath(m_name + QStringLiteral(".lock"))) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::askRunningToActivate() const {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kActivate);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::claim() {
    // The lock closes the race of two starts at once: only one of them may look and listen.
    m_lock.setStaleLockTime(0);
    if (!m_lock.tryLock(5000))
        return !askRunningToActivate();

    if (askRunningToActivate()) {
        m_lock.unlock();
        return false;
    }

    // Nobody answers: a name left over from a crash is removed before listening.
    QLocalServer::removeServer(m_name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const bool listening = m_server->listen(m_name);
    m_lock.unlock();
    if (!listening)
        return true; // run anyway; only the hand-over to a later start is lost

    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith(kActivate.trimmed()))
                    emit activateRequested();
            });
        }
    });
    return true;
}

void bringToFront(QWidget* window) {
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace kb
