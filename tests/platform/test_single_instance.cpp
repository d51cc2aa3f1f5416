// One running program per recipe file: a later start on that file hands over to the running
// one before it builds any Qt application object, a start on another file or that finds nobody
// listening goes on, and another user's process is never talked to.

#include "platform/single_instance.h"
#include "tests/support/scripted_dialogs.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using kb::SingleInstance;

namespace {

// A process of the user nobody that listens on `name`, or connects to it and asks for the
// window, as another local user could. Between fork and its end only plain system calls.
class Stranger {
  public:
    enum Role { Listens, Asks };
    Stranger(const QString& name, Role role) {
        const QByteArray encoded = QFile::encodeName(name);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, encoded.constData(),
                    static_cast<std::size_t>(encoded.size()));
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + encoded.size());
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(1);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const auto* at = reinterpret_cast<const sockaddr*>(&address);
            const bool done = role == Listens ? ::bind(fd, at, length) == 0 && ::listen(fd, 4) == 0
                                              : ::connect(fd, at, length) == 0 &&
                                                    ::send(fd, "activate\n", 9, MSG_NOSIGNAL) == 9;
            const char answer = done ? 'y' : 'n';
            if (::write(ready[1], &answer, 1) != 1 || !done)
                ::_exit(1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char answer = 'n';
        m_ready = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~Stranger() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }

  private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

    // Apart from any copy of the program the developer is running.
    static QString name(const char* tag) {
        return QStringLiteral("kb-test-%1-%2")
            .arg(QCoreApplication::applicationPid())
            .arg(QLatin1String(tag));
    }

  private slots:
    void aLaterStartHandsOverToTheRunningOne() {
        const QString n = name("running");
        QVERIFY(!SingleInstance::handOver(n));

        SingleInstance running(n);
        QVERIFY(running.claim());
        QSignalSpy asked(&running, &SingleInstance::activateRequested);
        QVERIFY(SingleInstance::handOver(n));
        QVERIFY(asked.wait(5000));

        // Without the early hand-over, the Qt path asks the same.
        SingleInstance later(n);
        QVERIFY(!later.claim());
        QVERIFY(asked.count() >= 2 || asked.wait(5000));
    }

    void anEndedCopyLeavesNothingToHandOverTo() {
        const QString n = name("ended");
        {
            SingleInstance running(n);
            QVERIFY(running.claim());
        }
        QVERIFY(!SingleInstance::handOver(n));
        SingleInstance next(n);
        QVERIFY(next.claim());
    }

    void aCopyOnAnotherFileRunsBeside() {
        QTemporaryDir first, second;
        kb::test::ScriptedDialogs dialogs;
        SingleInstance running(SingleInstance::nameFor(first.path()));
        QVERIFY(running.claim());
        QVERIFY(running.holdRecipeFile(first.path(), dialogs));

        const QString other = SingleInstance::nameFor(second.path());
        QVERIFY(!SingleInstance::handOver(other));
        SingleInstance beside(other);
        QVERIFY(beside.claim());
        QVERIFY(beside.holdRecipeFile(second.path(), dialogs));
        QVERIFY(dialogs.prompts().isEmpty());

        // The first file, however its folder is spelt, is the running copy's.
        QSignalSpy asked(&running, &SingleInstance::activateRequested);
        const QString spelt = second.path() + QStringLiteral("/../") +
                              QDir(first.path()).dirName() + QLatin1Char('/');
        QVERIFY(SingleInstance::handOver(SingleInstance::nameFor(spelt)));
        QVERIFY(asked.wait(5000));
    }

    void anotherUsersProcessIsNeverTalkedTo() {
        if (::getuid() != 0)
            QSKIP("Needs root, to run a process as another user");
        // Holding our name first: no start of ours hands over to it, and it doesn't stop one.
        const QString taken = name("taken");
        Stranger squatter(taken, Stranger::Listens);
        QVERIFY(squatter.ready());
        QVERIFY(!SingleInstance::handOver(taken));
        SingleInstance start(taken);
        QVERIFY(start.claim());

        // Asking our running copy for its window: not heard.
        const QString ours = name("ours");
        SingleInstance running(ours);
        QVERIFY(running.claim());
        QSignalSpy asked(&running, &SingleInstance::activateRequested);
        Stranger caller(ours, Stranger::Asks);
        QVERIFY(caller.ready());
        QVERIFY(!asked.wait(1000));
        QVERIFY(SingleInstance::handOver(ours));
        QVERIFY(asked.wait(5000));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
