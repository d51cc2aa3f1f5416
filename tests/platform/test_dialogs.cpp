// The real message boxes: wide enough for their titles, Escape as the answer that changes
// nothing, and the second text and details where they are given. Each box is inspected and
// answered from a timer, so no test waits on it.
#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace kb;

namespace {

// Runs `ask` while a timer hands each box that opens to `inspect` and then presses `key` on it.
int answeredWith(const std::function<int()>& ask, Qt::Key key,
                 const std::function<void(QMessageBox&)>& inspect) {
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        timer.stop();
        inspect(*box);
        QTest::keyClick(box, key);
    });
    timer.start();
    return ask();
}

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("Kettlebox")); }

    void aShortBoxIsAsWideAsItsTitle() {
        QtDialogs dialogs;
        int width = 0;
        const int answer =
            answeredWith([&] { return dialogs.msgBox(QStringLiteral("Recipe Added")); },
                         Qt::Key_Return, [&](QMessageBox& box) { width = box.width(); });
        QCOMPARE(answer, vbOK);
        QVERIFY2(width >= Dialogs::titleWidth({}), qPrintable(QString::number(width)));

        const QString title = QStringLiteral("Create New Category");
        QVERIFY(Dialogs::titleWidth(title) > Dialogs::titleWidth({}));
        answeredWith([&] { return dialogs.msgBox(QStringLiteral("Ok"), vbOKOnly, title); },
                     Qt::Key_Return, [&](QMessageBox& box) { width = box.width(); });
        QVERIFY(width >= Dialogs::titleWidth(title));
    }

    void anInputBoxIsAsWideAsItsTitle() {
        QtDialogs dialogs;
        const QString title = QStringLiteral("Create New Category");
        int width = 0;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (!box || !box->isVisible())
                return;
            timer.stop();
            width = box->width();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        timer.start();
        QCOMPARE(dialogs.inputBox(QStringLiteral("Name?"), title), QString());
        QVERIFY2(width >= Dialogs::titleWidth(title), qPrintable(QString::number(width)));
    }

    void escapeOnAThreeWayQuestionIsCancel() {
        QtDialogs dialogs;
        QStringList buttons;
        const int answer = answeredWith(
            [&] { return dialogs.msgBox(QStringLiteral("Save?"), vbYesNoCancel + vbExclamation); },
            Qt::Key_Escape,
            [&](QMessageBox& box) {
                for (QAbstractButton* b : box.buttons())
                    buttons << b->text().remove(QLatin1Char('&'));
            });
        QCOMPARE(answer, vbCancel);
        QCOMPARE(buttons.size(), 3);
    }

    // A window closed while its work goes on takes the progress dialog along; the work goes on
    // and lets go of the dialog without deleting it twice.
    void aProgressOutlivesTheWindowItIsShownOver() {
        auto* window = new QWidget;
        window->show();
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QtDialogs dialogs;
        Progress progress =
            dialogs.progress(QStringLiteral("Reading"), QStringLiteral("Import"), true);
        QVERIFY(progress(1, 4));
        QCOMPARE(window->findChildren<QProgressDialog*>().size(), 1);
        delete window;
        QVERIFY(progress(2, 4));
        progress = {};
    }

    void theSecondTextAndDetailsAreShownApart() {
        QtDialogs dialogs;
        QString informative;
        QString details;
        answeredWith(
            [&] {
                return dialogs.msgBoxWith(QStringLiteral("Record Deleted"),
                                          QStringLiteral("It can be put back."),
                                          QStringLiteral("line 1\nline 2"));
            },
            Qt::Key_Return,
            [&](QMessageBox& box) {
                QCOMPARE(box.text(), QStringLiteral("Record Deleted"));
                informative = box.informativeText();
                details = box.detailedText();
            });
        QCOMPARE(informative, QStringLiteral("It can be put back."));
        QCOMPARE(details, QStringLiteral("line 1\nline 2"));
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
