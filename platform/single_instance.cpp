#include "platform/single_instance.h"

#include "core/app.h"
#include "core/recipefile.h"
#include "core/recipelock.h"
#include "platform/dialogs.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kb {

namespace {

constexpr int kConnectTimeoutMs = 1000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");

QString defaultName() {
    return kAppTitle + QLatin1Char('-') + QString::number(::getuid());
}

// An abstract name is open to every local user, who could take ours first: only a copy of
// this user is talked to, in either direction.
bool peerIsThisUser(qintptr fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return fd >= 0 &&
           ::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name.isEmpty() ? defaultName() : name),
      m_lock(QDir::temp().filePath(m_name + QStringLiteral(".lock"))) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::nameFor(const QString& folder) {
    // One name per recipe folder however it is spelt (a link, "..", a trailing slash).
    QString path = QFileInfo(folder).canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(QDir(folder).absolutePath());
    const QByteArray digest =
        QCryptographicHash::hash(QFile::encodeName(path), QCryptographicHash::Sha256);
    return defaultName() + QLatin1Char('-') + QString::fromLatin1(digest.toHex().left(16));
}

bool SingleInstance::askRunningToActivate() const {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    if (!peerIsThisUser(socket.socketDescriptor())) {
        socket.abort();
        return false;
    }
    socket.write(kActivate);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::handOver(const QString& name) {
    // The running copy listens on an abstract name: a NUL, then the name, the address no longer
    // than that, as Qt's local sockets spell it (an address padded with NULs is another name).
    const QByteArray encoded = QFile::encodeName(name.isEmpty() ? defaultName() : name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (encoded.size() + 1 > static_cast<qsizetype>(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path + 1, encoded.constData(),
                static_cast<std::size_t>(encoded.size()));
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + encoded.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool handed = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
        peerIsThisUser(fd)) {
        const ssize_t sent = ::send(fd, kActivate.constData(),
                                    static_cast<std::size_t>(kActivate.size()), MSG_NOSIGNAL);
        handed = sent == kActivate.size();
    }
    ::close(fd);
    return handed;
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

    // Nobody answers. An abstract name has no file under TMPDIR: it neither depends on the
    // environment nor outlives a crash, and its length does not grow with a folder's.
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    const bool listening = m_server->listen(m_name);
    m_lock.unlock();
    if (!listening)
        return true; // run anyway; only the hand-over to a later start is lost

    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            if (!peerIsThisUser(socket->socketDescriptor())) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith(kActivate.trimmed()))
                    emit activateRequested();
            });
        }
    });
    return true;
}

bool SingleInstance::holdRecipeFile(const QString& folder, Dialogs& dialogs) {
    m_fileLock = std::make_unique<QLockFile>(recipeLockPath(folder));
    if (takeRecipeLock(*m_fileLock) != RecipeLock::InUse)
        return true;
    // Another window has the file. A copy of this user that answers the socket is handed
    // over to (unless this process is the one listening: then none answered); one it can't
    // reach (another user, another computer) is named instead.
    if (!m_server && askRunningToActivate())
        return false;
    const QString holder = recipeLockHolder(*m_fileLock);
    dialogs.msgBox(QStringLiteral("The recipe file \"%1\" is open in another Kettlebox window%2. "
                                  "Two windows on one file would undo each other's changes, so "
                                  "this one ends without opening it. Close the other window "
                                  "first, then start the program again.")
                       .arg(QDir::toNativeSeparators(RecipeFile(folder).fileName()),
                            holder.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holder)),
                   vbExclamation, kAppTitle);
    return false;
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
