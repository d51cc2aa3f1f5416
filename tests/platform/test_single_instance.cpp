// One running program per user: a later start hands over to the running one before it builds
// any Qt application object, and a start that finds nobody listening goes on.

#include "platform/single_instance.h"

#include <QSignalSpy>
#include <QtTest>

using kb::SingleInstance;

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
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
